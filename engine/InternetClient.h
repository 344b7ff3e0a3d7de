#pragma once

#include "engine/InternetSettings.h"
#include "jobs/DownloadOptionTypes.h"

#include <curl/curl.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The download threads' view of the network: a thin layer over libcurl that
// offers what the HTTP, HTTPS and FTP downloads need (open a request, send it,
// read the status and headers, read the body in pieces, stop it from another
// thread). Everything below is used by one download thread at a time, except
// TInternetSession::RequestStop and the shared TCookieStore.
namespace engine {

// One number space for every failure of a transfer: errno values below 12000,
// library errors at 12000 + the curl code (base::SystemErrorText knows both).
constexpr std::int32_t InternetErrorBase = 12000;
constexpr std::int32_t InternetErrorCode(CURLcode Code) {
    return InternetErrorBase + static_cast<std::int32_t>(Code);
}
static_assert(TooManyRedirectsError == InternetErrorCode(CURLE_TOO_MANY_REDIRECTS));

struct TCurlEasyCleanup {
    void operator()(CURL* Handle) const { curl_easy_cleanup(Handle); }
};
struct TCurlMultiCleanup {
    void operator()(CURLM* Handle) const { curl_multi_cleanup(Handle); }
};
struct TCurlShareCleanup {
    void operator()(CURLSH* Handle) const { curl_share_cleanup(Handle); }
};
struct TCurlSlistCleanup {
    void operator()(curl_slist* List) const { curl_slist_free_all(List); }
};
using TCurlEasyHandle = std::unique_ptr<CURL, TCurlEasyCleanup>;
using TCurlMultiHandle = std::unique_ptr<CURLM, TCurlMultiCleanup>;
using TCurlShareHandle = std::unique_ptr<CURLSH, TCurlShareCleanup>;
using TCurlSlist = std::unique_ptr<curl_slist, TCurlSlistCleanup>;

// Initialises libcurl once for the process; every constructor below calls it.
void EnsureInternetLibraryInitialised();

// The in-memory cookie jar that the download threads of one dispatcher share
// when the job allows cookies. Must outlive every session that uses it.
class TCookieStore {
public:
    TCookieStore();
    TCookieStore(const TCookieStore&) = delete;
    TCookieStore& operator=(const TCookieStore&) = delete;

    // The share handle, or null when it could not be made (cookies then stay
    // per handle, which is still correct, only not shared).
    CURLSH* Handle() const { return Share.get(); }

private:
    static void LockData(CURL* Handle, curl_lock_data Data, curl_lock_access Access, void* Self);
    static void UnlockData(CURL* Handle, curl_lock_data Data, void* Self);

    // One lock per kind of shared data; each guards curl's copy of that data
    // (the cookie jar, and the share's own bookkeeping) while a transfer uses it.
    std::array<std::mutex, CURL_LOCK_DATA_LAST> Locks;
    TCurlShareHandle Share;
};

// A download thread's connection to the network: its three root handles (one
// reusable curl handle per root, so that connections are kept alive), the
// options they are opened with, and the stop request of the transfer in progress.
class TInternetSession {
public:
    // Cookies may be null: then no cookie is kept or sent at all.
    TInternetSession(TCookieStore* Cookies, TInternetClientSettings Settings);
    ~TInternetSession();
    TInternetSession(const TInternetSession&) = delete;
    TInternetSession& operator=(const TInternetSession&) = delete;

    // Keeps a copy of Options and closes the roots, so that the next request
    // opens them with these options.
    void SetOptions(const jobs::TDownloadOptions& Options);
    jobs::TDownloadOptions Options() const;
    // Opens the root when it is not open. False with an errno value in Error
    // when the library cannot give a handle.
    bool EnsureRoot(TInternetRoot Root, std::int32_t& Error);
    bool HasRoot(TInternetRoot Root) const;
    void CloseRoots();

    // Any thread: the transfer in progress ends as soon as curl's transfer
    // callback or the transfer loop sees the request (within one poll).
    void RequestStop();
    // The owning thread, before a new download.
    void ClearStop() { Stop.store(false); }
    bool StopRequested() const { return Stop.load(); }

    const TInternetClientSettings& Settings() const { return ClientSettings; }

private:
    friend class TInternetRequest;
    CURL* Root(TInternetRoot Root) const;
    CURLM* MultiHandle() const { return Multi.get(); }
    TCookieStore* CookieStore() const { return Cookies; }

    TCookieStore* Cookies;  // borrowed; outlives the session
    TInternetClientSettings ClientSettings;
    // The download thread's critical section: guards Roots and CurrentOptions,
    // which the dispatcher replaces (Set options) while the thread is idle.
    mutable std::mutex RootLock;
    std::array<TCurlEasyHandle, InternetRootCount> Roots;
    jobs::TDownloadOptions CurrentOptions;
    // Lives as long as the session, so that RequestStop can wake it from any
    // thread; holds the connection cache that keeps connections alive.
    TCurlMultiHandle Multi;
    // Set by any thread to end the transfer in progress; read by the transfer
    // loop and curl's transfer callback; cleared by the owning thread.
    std::atomic<bool> Stop{false};
};

// What one request sends.
struct TRequestParams {
    std::string URL;  // absolute, without user name and password
    std::string UserName;  // sent only when not empty (basic authentication)
    std::string Password;
    std::string Referrer;  // empty = none
    std::vector<std::string> HeaderLines;  // extra header lines without their CR LF
    bool SendCookies = true;  // false: the request neither sends nor keeps cookies
    bool LookUpOnly = false;  // FTP: ask for the file's size and time, transfer nothing
};

// One request on a root handle of a session, from Open to destruction; the
// destructor ends a transfer still running (the root and its other live
// connections stay). Used only by the session's own thread.
class TInternetRequest {
public:
    TInternetRequest(TInternetSession& Session, TInternetRoot Root);
    ~TInternetRequest();
    TInternetRequest(const TInternetRequest&) = delete;
    TInternetRequest& operator=(const TInternetRequest&) = delete;

    // Sets the request up on the root. False with Error when the root is not
    // open or the library refuses an option (a malformed address).
    bool Open(const TRequestParams& Params, std::int32_t& Error);
    // Sends the request and waits until the response headers are complete,
    // retrying a failed connect as often as the options say. For a protocol
    // without headers it returns with the first data or the end of the transfer.
    bool Send(std::int32_t& Error);
    // Reads up to Size bytes of the body. True with Count 0 at the end of data.
    bool Read(char* Buffer, std::size_t Size, std::size_t& Count, std::int32_t& Error);

    bool HaveStatus() const { return Status != 0; }
    std::int32_t StatusCode() const { return Status; }
    // The status line's reason text ("Not Found"); empty when the server sent none.
    const std::string& StatusText() const { return Reason; }
    // The final response's header block, status line included, lines ended by CR LF.
    const std::string& RawHeaders() const { return Raw; }
    // The first header of that name (compared without regard to case), trimmed.
    bool Header(std::string_view Name, std::string& Value) const;
    // The library's own words on the last failure ("Connection refused"...); may be empty.
    std::string ErrorDetail() const { return ErrorBuffer.data(); }
    // The transfer stopped because a stop was requested.
    bool Stopped() const { return StoppedByRequest; }
    // A connection was made, or an open one reused, for the last attempt (for
    // FTP: the login completed).
    bool ConnectionMade() const { return Connected; }

    // After an FTP look-up: the file's last-write time (UTC) and size, when
    // the server gave them.
    bool RemoteFileTime(std::time_t& Time) const;
    bool RemoteSize(std::int64_t& Size) const;
    // The FTP server's last reply: its code (0 when none) and its text after the code.
    std::int32_t ServerReplyCode() const { return ReplyCode; }
    const std::string& ServerReplyText() const { return ReplyText; }

private:
    struct TCallbacks;
    friend struct TCallbacks;
    bool ApplyOptions(const TRequestParams& Params, CURLcode& Code);
    bool ApplyRootOptions(CURLcode& Code);
    void ApplyFTPRootOptions(CURLcode& Code);
    void ApplyProxy(const jobs::TProxyServerInfo& Proxy, CURLcode& Code);
    CURLcode RunOnce();
    CURLcode Pump(bool UntilHeaders);
    CURLcode Finish(CURLcode Code);
    void ResetResponse();
    void Detach();
    void HeaderLine(std::string_view Line);
    void ServerReply(std::string_view Line);
    bool ConnectFailed(CURLcode Code) const;
    bool WantsDigest() const;
    std::size_t BodyData(const char* Data, std::size_t Size);
    bool ShouldStop() const;

    TInternetSession& Session;
    TInternetRoot RootKind;
    CURL* Handle = nullptr;  // the session's root; borrowed
    jobs::TDownloadOptions Options;
    TCurlSlist HeaderList;
    std::array<char, CURL_ERROR_SIZE> ErrorBuffer{};
    bool Attached = false;     // Handle is in the session's multi handle
    bool Done = false;         // the transfer ended; DoneCode says how
    CURLcode DoneCode = CURLE_OK;
    bool Connected = false;    // a connection was made or reused for this attempt
    bool HeadersDone = false;  // the final response's header block is complete
    bool Paused = false;       // the body buffer is full; curl holds further data
    bool StoppedByRequest = false;
    bool LookUpOnly = false;       // the transfer runs to its end before Send returns
    bool HaveCredentials = false;  // a user name goes with the request
    bool DigestAuth = false;       // the server asked for Digest: Basic is not offered again
    std::int32_t Status = 0;
    std::string Reason;
    std::string Raw;
    std::int32_t ReplyCode = 0;  // FTP only
    std::string ReplyText;
    std::string Body;          // received, not yet read
    std::size_t BodyStart = 0; // first unread byte of Body
    std::int64_t LastActivityMs = 0;  // steady-clock time of the last byte received
};

} // namespace engine
