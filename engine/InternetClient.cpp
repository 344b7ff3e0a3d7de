#include "engine/InternetClient.h"

#include "engine/InternetSettings.h"
#include "base/AsciiText.h"
#include "base/AppTraceLog.h"
#include "jobs/AppInfo.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace engine {

namespace {

// Body bytes held between reads; beyond this curl is paused, so a slow reader
// never makes the client hold a whole file in memory.
constexpr std::size_t BodyBufferLimit = 64 * 1024;
// Upper bound of one wait for network activity; a stop wakes the wait at once.
constexpr long MaxPollMs = 1000;
constexpr long MinimumBytesPerSecond = 100;

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Header lines arrive with their CR LF; blanks and line ends go on both sides.
std::string_view TrimmedView(std::string_view Text) { return base::TrimmedView(Text, " \t\r\n"); }

bool StartsWithDigits(std::string_view Line) {
    return Line.size() >= 4 && Line[0] >= '0' && Line[0] <= '9' && Line[1] >= '0' && Line[1] <= '9' &&
           Line[2] >= '0' && Line[2] <= '9';
}

} // namespace

void EnsureInternetLibraryInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// ---------------------------------------------------------------- cookies

TCookieStore::TCookieStore() {
    EnsureInternetLibraryInitialised();
    Share.reset(curl_share_init());
    if (!Share) return;
    bool ok = curl_share_setopt(Share.get(), CURLSHOPT_LOCKFUNC, &TCookieStore::LockData) == CURLSHE_OK &&
              curl_share_setopt(Share.get(), CURLSHOPT_UNLOCKFUNC, &TCookieStore::UnlockData) == CURLSHE_OK &&
              curl_share_setopt(Share.get(), CURLSHOPT_USERDATA, this) == CURLSHE_OK &&
              curl_share_setopt(Share.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) == CURLSHE_OK;
    if (!ok) Share.reset();
}

void TCookieStore::LockData(CURL*, curl_lock_data Data, curl_lock_access, void* Self) {
    auto& store = *static_cast<TCookieStore*>(Self);
    if (Data >= 0 && Data < CURL_LOCK_DATA_LAST) store.Locks[Data].lock();
}

void TCookieStore::UnlockData(CURL*, curl_lock_data Data, void* Self) {
    auto& store = *static_cast<TCookieStore*>(Self);
    if (Data >= 0 && Data < CURL_LOCK_DATA_LAST) store.Locks[Data].unlock();
}

// ---------------------------------------------------------------- session

TInternetSession::TInternetSession(TCookieStore* CookieStore, TInternetClientSettings Settings)
    : Cookies(CookieStore), ClientSettings(std::move(Settings)) {
    EnsureInternetLibraryInitialised();
    Multi.reset(curl_multi_init());
}

TInternetSession::~TInternetSession() {
    // Easy handles go before the multi handle that may still cache their connections.
    CloseRoots();
}

void TInternetSession::SetOptions(const jobs::TDownloadOptions& Options) {
    std::lock_guard guard(RootLock);
    CurrentOptions = Options;
    for (auto& root : Roots) root.reset();
}

jobs::TDownloadOptions TInternetSession::Options() const {
    std::lock_guard guard(RootLock);
    return CurrentOptions;
}

bool TInternetSession::EnsureRoot(TInternetRoot Root, std::int32_t& Error) {
    std::lock_guard guard(RootLock);
    auto& slot = Roots[static_cast<std::size_t>(Root)];
    if (!slot) slot.reset(curl_easy_init());
    if (!slot || !Multi) {
        Error = ENOMEM;  // the library only fails to give a handle when out of memory
        return false;
    }
    return true;
}

bool TInternetSession::HasRoot(TInternetRoot Root) const {
    std::lock_guard guard(RootLock);
    return static_cast<bool>(Roots[static_cast<std::size_t>(Root)]);
}

void TInternetSession::CloseRoots() {
    std::lock_guard guard(RootLock);
    for (auto& root : Roots) root.reset();
}

CURL* TInternetSession::Root(TInternetRoot Root) const {
    std::lock_guard guard(RootLock);
    return Roots[static_cast<std::size_t>(Root)].get();
}

void TInternetSession::RequestStop() {
    Stop.store(true);
    if (Multi) curl_multi_wakeup(Multi.get());
}

// ---------------------------------------------------------------- request

// curl's callbacks, each forwarding to the request given as user data.
struct TInternetRequest::TCallbacks {
    static std::size_t Header(char* Data, std::size_t Size, std::size_t Count, void* Self) {
        static_cast<TInternetRequest*>(Self)->HeaderLine({Data, Size * Count});
        return Size * Count;
    }
    static std::size_t Write(char* Data, std::size_t Size, std::size_t Count, void* Self) {
        return static_cast<TInternetRequest*>(Self)->BodyData(Data, Size * Count);
    }
    // A stop requested by another thread ends the transfer here, inside curl,
    // so that no other thread ever touches the handle.
    static int TransferInfo(void* Self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        return static_cast<TInternetRequest*>(Self)->ShouldStop() ? 1 : 0;
    }
    static int PreRequest(void* Self, char*, char*, int, int) {
        static_cast<TInternetRequest*>(Self)->Connected = true;
        return CURL_PREREQFUNC_OK;
    }
};

TInternetRequest::TInternetRequest(TInternetSession& Owner, TInternetRoot Root)
    : Session(Owner), RootKind(Root), Handle(Owner.Root(Root)), Options(Owner.Options()) {}

TInternetRequest::~TInternetRequest() { Detach(); }

void TInternetRequest::Detach() {
    if (Attached) curl_multi_remove_handle(Session.MultiHandle(), Handle);
    Attached = false;
}

bool TInternetRequest::Open(const TRequestParams& Params, std::int32_t& Error) {
    if (!Handle || !Session.MultiHandle()) {
        Error = ENOMEM;
        return false;
    }
    // A reset keeps the handle's live connections and its share but drops every
    // option of the previous request.
    // The reset forgets the queued cookie file names without freeing them;
    // clearing the list first keeps them from leaking.
    curl_easy_setopt(Handle, CURLOPT_COOKIEFILE, static_cast<char*>(nullptr));
    curl_easy_reset(Handle);
    CURLcode code = CURLE_OK;
    if (!ApplyRootOptions(code) || !ApplyOptions(Params, code)) {
        Error = InternetErrorCode(code);
        return false;
    }
    return true;
}

bool TInternetRequest::ApplyRootOptions(CURLcode& Code) {
    const auto& job = Options.JobOptions;
    auto set = [&](CURLoption Option, auto Value) {
        if (Code == CURLE_OK) Code = curl_easy_setopt(Handle, Option, Value);
    };
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_FOLLOWLOCATION, 0L);  // redirects go back to the crawl as new objects
    set(CURLOPT_PATH_AS_IS, 1L);      // the address is already resolved; send it as it is
    // A job without an agent name of its own goes out under the program's.
    const std::string agent = job.HTTPAgentName.empty() ? jobs::AppInfo.DefaultAgentName() : job.HTTPAgentName;
    set(CURLOPT_USERAGENT, agent.c_str());
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::max(job.Timeout, 1)));
    // A server dripping a byte now and then is never idle for the time-out, so
    // a transfer slower than this over a time-out's length ends the same way.
    set(CURLOPT_LOW_SPEED_LIMIT, MinimumBytesPerSecond);
    set(CURLOPT_LOW_SPEED_TIME, static_cast<long>((std::max<std::int64_t>(job.Timeout, 1) + 999) / 1000));
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    set(CURLOPT_ERRORBUFFER, ErrorBuffer.data());
    set(CURLOPT_HEADERFUNCTION, &TCallbacks::Header);
    set(CURLOPT_HEADERDATA, static_cast<void*>(this));
    set(CURLOPT_WRITEFUNCTION, &TCallbacks::Write);
    set(CURLOPT_WRITEDATA, static_cast<void*>(this));
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, &TCallbacks::TransferInfo);
    set(CURLOPT_XFERINFODATA, static_cast<void*>(this));
    set(CURLOPT_PREREQFUNCTION, &TCallbacks::PreRequest);
    set(CURLOPT_PREREQDATA, static_cast<void*>(this));
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    // Replaces the default CA bundle; the default CA folder stays in effect.
    if (!Session.Settings().ExtraCAFile.empty())
        set(CURLOPT_CAINFO, Session.Settings().ExtraCAFile.c_str());
    // Pages travel several times smaller compressed; the library decodes
    // every encoding it knows, also one the server sends unasked.
    if (RootKind != TInternetRoot::FTP) set(CURLOPT_ACCEPT_ENCODING, "");
    if (RootKind == TInternetRoot::FTP) ApplyFTPRootOptions(Code);
    // The environment's proxy variables apply unless the settings name a proxy
    // for plain HTTP; HTTPS always takes the environment's.
    if (RootKind == TInternetRoot::HTTP && ProxyInUse(Options.HTTPProxy))
        ApplyProxy(Options.HTTPProxy, Code);
    return Code == CURLE_OK;
}

// FTP goes to the server itself, or, when the settings name an HTTP proxy for
// FTP, to that proxy as "GET ftp://..." (no tunnel). The environment's proxy
// variables are for HTTP and HTTPS only: the direct path stays direct.
void TInternetRequest::ApplyFTPRootOptions(CURLcode& Code) {
    auto set = [&](CURLoption Option, auto Value) {
        if (Code == CURLE_OK) Code = curl_easy_setopt(Handle, Option, Value);
    };
    // Active mode: the server connects back to the address of the control connection.
    if (!Options.JobOptions.UsePassiveFTP) set(CURLOPT_FTPPORT, "-");
    set(CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(std::max(Options.JobOptions.Timeout, 1)));
    if (UsesCERNProxy(Options.FTPProxy)) ApplyProxy(Options.FTPProxy, Code);
    else set(CURLOPT_PROXY, "");
}

// The proxy's user name and password go with every request (Basic), so that
// no request is sent twice just to learn that the proxy wants them.
void TInternetRequest::ApplyProxy(const jobs::TProxyServerInfo& Proxy, CURLcode& Code) {
    auto set = [&](CURLoption Option, auto Value) {
        if (Code == CURLE_OK) Code = curl_easy_setopt(Handle, Option, Value);
    };
    const std::string address = ProxyHostPort(Proxy);
    set(CURLOPT_PROXY, address.c_str());
    // The record's bypass list replaces the environment's no_proxy; an empty
    // list proxies every host.
    const std::string bypass = CurlNoProxyList(Proxy.ProxyBypass);
    set(CURLOPT_NOPROXY, bypass.c_str());
    if (!Proxy.Username.empty()) {
        set(CURLOPT_PROXYUSERNAME, Proxy.Username.c_str());
        set(CURLOPT_PROXYPASSWORD, Proxy.Password.c_str());
    }
}

bool TInternetRequest::ApplyOptions(const TRequestParams& Params, CURLcode& Code) {
    auto set = [&](CURLoption Option, auto Value) {
        if (Code == CURLE_OK) Code = curl_easy_setopt(Handle, Option, Value);
    };
    set(CURLOPT_URL, Params.URL.c_str());
    HaveCredentials = !Params.UserName.empty();
    DigestAuth = false;
    if (HaveCredentials) {
        set(CURLOPT_USERNAME, Params.UserName.c_str());
        set(CURLOPT_PASSWORD, Params.Password.c_str());
        // Basic goes with the first request; Digest only after a server asked for it.
        set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    }
    // A look-up ends only when the transfer does: the size comes after the time.
    LookUpOnly = Params.LookUpOnly;
    if (LookUpOnly) {
        set(CURLOPT_NOBODY, 1L);
        set(CURLOPT_FILETIME, 1L);
    }
    if (!Params.Referrer.empty()) set(CURLOPT_REFERER, Params.Referrer.c_str());
    // Cookies travel only through the shared jar, and only when allowed; the
    // jar's engine takes and sends them for every handle attached to it.
    CURLSH* jar = Session.CookieStore() ? Session.CookieStore()->Handle() : nullptr;
    const bool cookies = jar && Params.SendCookies && Options.JobOptions.AllowCookies;
    set(CURLOPT_SHARE, cookies ? jar : static_cast<CURLSH*>(nullptr));
    if (cookies) set(CURLOPT_COOKIEFILE, "");  // an empty file name switches the engine on
    HeaderList.reset();
    for (const auto& line : Params.HeaderLines) {
        curl_slist* grown = curl_slist_append(HeaderList.get(), line.c_str());
        if (!grown) {
            Code = CURLE_OUT_OF_MEMORY;
            return false;
        }
        HeaderList.release();
        HeaderList.reset(grown);
    }
    set(CURLOPT_HTTPHEADER, HeaderList.get());
    return Code == CURLE_OK;
}

void TInternetRequest::ResetResponse() {
    Done = HeadersDone = Paused = Connected = StoppedByRequest = false;
    DoneCode = CURLE_OK;
    Status = 0;
    Reason.clear();
    Raw.clear();
    ReplyCode = 0;
    ReplyText.clear();
    Body.clear();
    BodyStart = 0;
    ErrorBuffer[0] = '\0';
}

bool TInternetRequest::ShouldStop() const { return Session.StopRequested(); }

void TInternetRequest::HeaderLine(std::string_view Line) {
    LastActivityMs = NowMs();
    if (Line.rfind("HTTP/", 0) == 0) {
        // A new response begins (after a 1xx, or the first one).
        Raw.assign(Line);
        Reason.clear();
        Status = 0;
        const auto space = Line.find(' ');
        if (space != std::string_view::npos) {
            std::string_view rest = Line.substr(space + 1);
            std::int32_t code = 0;
            std::size_t i = 0;
            for (; i < rest.size() && i < 3 && rest[i] >= '0' && rest[i] <= '9'; ++i)
                code = code * 10 + (rest[i] - '0');
            Status = code;
            Reason = std::string(TrimmedView(rest.substr(i)));
        }
        return;
    }
    if (Status == 0 && StartsWithDigits(Line)) ServerReply(Line);
    Raw.append(Line);
    // A 401 or 407 may be a step of authentication that the library answers
    // with a new request at once; its body is then skipped. So those headers
    // count as final only when body bytes or the end of the transfer follow.
    if (TrimmedView(Line).empty() && Status >= 200 && Status != 401 && Status != 407)
        HeadersDone = true;
}

// FTP replies: "230 Login successful." ends a reply; "230-..." lines continue it.
void TInternetRequest::ServerReply(std::string_view Line) {
    if (Line[3] != ' ' && Line[3] != '\r' && Line[3] != '\n') return;
    ReplyCode = (Line[0] - '0') * 100 + (Line[1] - '0') * 10 + (Line[2] - '0');
    ReplyText = std::string(TrimmedView(Line.substr(3)));
}

std::size_t TInternetRequest::BodyData(const char* Data, std::size_t Size) {
    LastActivityMs = NowMs();
    if (ShouldStop()) return CURL_WRITEFUNC_ERROR;
    if (LookUpOnly) return Size;  // the size and time lines again, already taken as headers
    if (BodyStart > 0 && BodyStart == Body.size()) {
        Body.clear();
        BodyStart = 0;
    }
    if (Body.size() - BodyStart > 0 && Body.size() + Size > BodyBufferLimit) {
        Paused = true;  // curl keeps these bytes and offers them again after the pause
        return CURL_WRITEFUNC_PAUSE;
    }
    Body.append(Data, Size);
    return Size;
}

bool TInternetRequest::Header(std::string_view Name, std::string& Value) const {
    std::string_view rest(Raw);
    bool statusLine = true;  // the first line is the status line, not a header
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const auto colon = line.find(':');
        if (!statusLine && colon != std::string_view::npos &&
            base::SameTextAscii(TrimmedView(line.substr(0, colon)), Name)) {
            Value = std::string(TrimmedView(line.substr(colon + 1)));
            return true;
        }
        statusLine = false;
    }
    return false;
}

// Drives the transfer until the headers are complete (UntilHeaders), or until
// body bytes are waiting, or until it ends. Ends it with a time-out when no byte
// arrives for the options' time-out, or with an abort when a stop is requested.
CURLcode TInternetRequest::Pump(bool UntilHeaders) {
    CURLM* multi = Session.MultiHandle();
    const std::int64_t timeout = std::max(Options.JobOptions.Timeout, 1);
    LastActivityMs = NowMs();
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) return Finish(CURLE_RECV_ERROR);
        while (CURLMsg* msg = curl_multi_info_read(multi, &running))
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == Handle) {
                Done = true;
                DoneCode = msg->data.result;
            }
        if (Done) {
            StoppedByRequest = DoneCode == CURLE_ABORTED_BY_CALLBACK ||
                               (DoneCode == CURLE_WRITE_ERROR && ShouldStop());
            return Finish(DoneCode);
        }
        const bool ready = !LookUpOnly && (UntilHeaders ? (HeadersDone || Body.size() > BodyStart)
                                                        : Body.size() > BodyStart);
        if (ready) return CURLE_OK;
        const std::int64_t idle = NowMs() - LastActivityMs;
        if (ShouldStop()) {
            StoppedByRequest = true;
            return Finish(CURLE_ABORTED_BY_CALLBACK);
        }
        if (idle >= timeout) {
            std::snprintf(ErrorBuffer.data(), ErrorBuffer.size(), "No data received for %lld ms",
                          static_cast<long long>(idle));
            return Finish(CURLE_OPERATION_TIMEDOUT);
        }
        long wait = MaxPollMs;
        curl_multi_timeout(multi, &wait);
        if (wait < 0 || wait > MaxPollMs) wait = MaxPollMs;
        wait = std::min<long>(wait, static_cast<long>(timeout - idle) + 1);
        if (curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait), nullptr) != CURLM_OK)
            return Finish(CURLE_RECV_ERROR);
    }
}

CURLcode TInternetRequest::Finish(CURLcode Code) {
    Done = true;
    DoneCode = Code;
    Detach();
    return Code;
}

CURLcode TInternetRequest::RunOnce() {
    Detach();
    ResetResponse();
    if (curl_multi_add_handle(Session.MultiHandle(), Handle) != CURLM_OK) return CURLE_FAILED_INIT;
    Attached = true;
    return Pump(true);
}

// A connect that failed before the server accepted it: refused, or no answer
// to the connection request within the time-out.
bool TInternetRequest::ConnectFailed(CURLcode Code) const {
    if (Connected || (Code != CURLE_COULDNT_CONNECT && Code != CURLE_OPERATION_TIMEDOUT)) return false;
    curl_off_t connectTime = 0;
    curl_easy_getinfo(Handle, CURLINFO_CONNECT_TIME_T, &connectTime);
    return connectTime <= 0;
}

// The server refused our Basic credentials and offers Digest.
bool TInternetRequest::WantsDigest() const {
    std::string challenge;
    return HaveCredentials && !DigestAuth && Status == 401 && Header("WWW-Authenticate", challenge) &&
           base::LowerAscii(challenge).find("digest") != std::string::npos;
}

bool TInternetRequest::Send(std::int32_t& Error) {
    const int retries = std::max(Options.JobOptions.ConnectRetries, 0);
    CURLcode code = CURLE_OK;
    for (int attempt = 0; attempt <= retries; ++attempt) {
        code = RunOnce();
        if (code == CURLE_OK && WantsDigest()) {
            DigestAuth = true;
            curl_easy_setopt(Handle, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_DIGEST));
            code = RunOnce();
        }
        // Only a connect that failed is tried again; a server that answered
        // (or kept silent after accepting) is not asked twice.
        if (!ConnectFailed(code) || StoppedByRequest) break;
        if (attempt < retries)
            base::TraceLog.LogEntry(base::ttMessage,
                                         std::string(ErrorBuffer.data()) + "; connect retry " +
                                             std::to_string(attempt + 1) + " of " + std::to_string(retries),
                                         "Send", "InternetClient");
    }
    // Headers that arrived before a failure still count; the failure shows on Read.
    if (code == CURLE_OK || (HeadersDone && !StoppedByRequest)) return true;
    Error = InternetErrorCode(code);
    return false;
}

bool TInternetRequest::RemoteFileTime(std::time_t& Time) const {
    curl_off_t time = -1;
    if (curl_easy_getinfo(Handle, CURLINFO_FILETIME_T, &time) != CURLE_OK || time < 0) return false;
    Time = static_cast<std::time_t>(time);
    return true;
}

// The library hands an FTP file's SIZE reply on as a "Content-Length" line.
bool TInternetRequest::RemoteSize(std::int64_t& Size) const {
    std::string text;
    std::int64_t size = 0;
    if (!Header("Content-Length", text)) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    if (error != std::errc() || end != text.data() + text.size() || size < 0) return false;
    Size = size;
    return true;
}

bool TInternetRequest::Read(char* Buffer, std::size_t Size, std::size_t& Count, std::int32_t& Error) {
    Count = 0;
    if (Body.size() == BodyStart && !Done) {
        if (Paused) {
            Paused = false;
            curl_easy_pause(Handle, CURLPAUSE_CONT);  // may hand over the held bytes at once
        }
        if (Body.size() == BodyStart) Pump(false);
    }
    if (Body.size() > BodyStart) {
        Count = std::min(Size, Body.size() - BodyStart);
        std::memcpy(Buffer, Body.data() + BodyStart, Count);
        BodyStart += Count;
        return true;
    }
    if (Done && DoneCode == CURLE_OK) return true;  // end of data
    Error = InternetErrorCode(Done ? DoneCode : CURLE_RECV_ERROR);
    return false;
}

} // namespace engine
