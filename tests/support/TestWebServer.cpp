#include "support/TestWebServer.h"

#include "support/TempDir.h"

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <ctime>
#include <mutex>
#include <stdexcept>
#include <strings.h>
#include <thread>

namespace testsupport {

namespace {

bool SameName(const std::string& A, const std::string& B) {
    return ::strcasecmp(A.c_str(), B.c_str()) == 0;
}

struct TKeyFree {
    void operator()(EVP_PKEY* Key) const { EVP_PKEY_free(Key); }
};
struct TCertFree {
    void operator()(X509* Cert) const { X509_free(Cert); }
};
using TKey = std::unique_ptr<EVP_PKEY, TKeyFree>;
using TCert = std::unique_ptr<X509, TCertFree>;

bool AddExtension(X509* Cert, int Nid, const char* Value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, Cert, Cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, Nid, Value);
    if (!extension) return false;
    const bool ok = X509_add_ext(Cert, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return ok;
}

// A fresh self-signed certificate for 127.0.0.1, valid for a day. It is its
// own authority, so a client that trusts this one file accepts the server.
std::pair<TKey, TCert> MakeCertificate() {
    TKey key(EVP_EC_gen("P-256"));
    TCert cert(X509_new());
    if (!key || !cert) throw std::runtime_error("cannot make a test key");
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), static_cast<long>(std::time(nullptr)));
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Harvexis test server"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    if (!AddExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE") ||
        !AddExtension(cert.get(), NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") ||
        X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
        throw std::runtime_error("cannot sign the test certificate");
    return {std::move(key), std::move(cert)};
}

void WriteCertificate(X509* Cert, const std::string& FileName) {
    FILE* file = std::fopen(FileName.c_str(), "w");
    if (!file) throw std::runtime_error("cannot write " + FileName);
    const bool ok = PEM_write_X509(file, Cert) == 1;
    std::fclose(file);
    if (!ok) throw std::runtime_error("cannot write " + FileName);
}

std::string TargetOf(const httplib::Request& Request) {
    return Request.target.empty() ? Request.path : Request.target;
}

} // namespace

std::string TRecordedRequest::Header(const std::string& Name) const {
    for (const auto& [key, value] : Headers)
        if (SameName(key, Name)) return value;
    return {};
}

bool TRecordedRequest::HasHeader(const std::string& Name) const {
    for (const auto& header : Headers)
        if (SameName(header.first, Name)) return true;
    return false;
}

struct TTestWebServer::TImpl {
    TKind Kind = TKind::HTTP;
    std::unique_ptr<httplib::Server> Server;
    std::thread Listener;
    std::future<void> ListenerDone;  // ready when the accept loop has returned
    int Port = 0;
    TTempDir CertFolder;
    std::string CertFile;

    mutable std::mutex Lock;  // guards Table, Requests and Stopping
    // Signalled when a request is recorded and when the server starts stopping.
    mutable std::condition_variable Changed;
    std::map<std::string, TTestHandler> Table;
    std::vector<TRecordedRequest> Requests;
    bool Stopping = false;

    void Handle(const httplib::Request& Request, httplib::Response& Response);
    void Answer(const TTestResponse& Answer, httplib::Response& Response);
    void Start();
};

void TTestWebServer::TImpl::Handle(const httplib::Request& Request, httplib::Response& Response) {
    // The site table decides every answer: the library must not cut the body
    // to the requested range on its own. The request object is the library's
    // own non-const local; only the handler's view of it is const.
    const_cast<httplib::Request&>(Request).ranges.clear();
    TRecordedRequest recorded{Request.method, TargetOf(Request), {}, Request.remote_port};
    for (const auto& header : Request.headers) recorded.Headers.push_back(header);
    TTestHandler handler;
    {
        std::lock_guard guard(Lock);
        Requests.push_back(recorded);
        if (auto found = Table.find(recorded.Target); found != Table.end()) handler = found->second;
    }
    Changed.notify_all();
    TTestResponse answer = MakeResponse(404, "Not Found", {{"Content-Type", "text/plain"}});
    if (handler) answer = handler(recorded);
    if (answer.NeverAnswer) {
        std::unique_lock guard(Lock);
        Changed.wait(guard, [this] { return Stopping; });
        Response.status = 503;
        return;
    }
    Answer(answer, Response);
}

void TTestWebServer::TImpl::Answer(const TTestResponse& Answer, httplib::Response& Response) {
    Response.status = Answer.Status;
    std::string type = "text/html";
    for (const auto& [name, value] : Answer.Headers) {
        if (SameName(name, "Content-Type")) type = value;
        else Response.set_header(name.c_str(), value);
    }
    if (Answer.Status == 304 || Answer.Status == 204 || (Answer.Status >= 100 && Answer.Status < 200))
        return;
    if (Answer.PieceSize == 0) {
        Response.set_content(Answer.Body, type.c_str());
        return;
    }
    auto shared = std::make_shared<TTestResponse>(Answer);
    Response.set_content_provider(
        shared->Body.size(), type.c_str(),
        [shared](std::size_t Offset, std::size_t Length, httplib::DataSink& Sink) {
            const std::size_t index = Offset / shared->PieceSize;
            if (index > 0 && shared->BeforePiece) shared->BeforePiece(index);
            const std::size_t size = std::min(Length, shared->PieceSize);
            return Sink.write(shared->Body.data() + Offset, size);
        });
}

void TTestWebServer::TImpl::Start() {
    if (Kind == TKind::HTTPS) {
        auto [key, cert] = MakeCertificate();
        CertFile = CertFolder.File("test-ca.pem");
        WriteCertificate(cert.get(), CertFile);
        Server = std::make_unique<httplib::SSLServer>(cert.get(), key.get());
    } else {
        Server = std::make_unique<httplib::Server>();
    }
    if (!Server->is_valid()) throw std::runtime_error("test web server could not be made");
    auto handler = [this](const httplib::Request& Request, httplib::Response& Response) {
        Handle(Request, Response);
    };
    Server->Get(".*", handler);
    Server->Post(".*", handler);
    Server->Put(".*", handler);
    Server->Delete(".*", handler);
    Server->Options(".*", handler);
    Port = Server->bind_to_any_port("127.0.0.1");
    if (Port <= 0) throw std::runtime_error("test web server could not bind");
    // The socket listens from here on; connections wait in its backlog until
    // the accept loop runs.
    std::promise<void> done;
    ListenerDone = done.get_future();
    Listener = std::thread([this, done = std::move(done)]() mutable {
        Server->listen_after_bind();
        done.set_value();
    });
}

TTestWebServer::TTestWebServer(TKind Kind) : Impl(std::make_unique<TImpl>()) {
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "ftp_proxy", "FTP_PROXY"})
        ::unsetenv(name);
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    Impl->Kind = Kind;
    Impl->Start();
}

TTestWebServer::~TTestWebServer() {
    {
        std::lock_guard guard(Impl->Lock);
        Impl->Stopping = true;
    }
    Impl->Changed.notify_all();
    // A stop that comes before the accept loop has started is lost, so it is
    // repeated until the loop is seen to end.
    do {
        Impl->Server->stop();
    } while (Impl->ListenerDone.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
    Impl->Listener.join();
}

void TTestWebServer::Serve(const std::string& Target, TTestResponse Response) {
    ServeHandler(Target, [Response](const TRecordedRequest&) { return Response; });
}

void TTestWebServer::Serve(const std::string& Target, int Status, std::string Body,
                           TTestHeaders Headers) {
    Serve(Target, MakeResponse(Status, std::move(Body), std::move(Headers)));
}

TTestResponse MakeResponse(int Status, std::string Body, TTestHeaders Headers) {
    TTestResponse response;
    response.Status = Status;
    response.Body = std::move(Body);
    response.Headers = std::move(Headers);
    return response;
}

void TTestWebServer::ServeHandler(const std::string& Target, TTestHandler Handler) {
    std::lock_guard guard(Impl->Lock);
    Impl->Table[Target] = std::move(Handler);
}

int TTestWebServer::Port() const { return Impl->Port; }

std::string TTestWebServer::BaseURL() const {
    return std::string(Impl->Kind == TKind::HTTPS ? "https" : "http") + "://127.0.0.1:" +
           std::to_string(Impl->Port);
}

std::string TTestWebServer::CAFile() const { return Impl->CertFile; }

std::vector<TRecordedRequest> TTestWebServer::Requests() const {
    std::lock_guard guard(Impl->Lock);
    return Impl->Requests;
}

std::vector<TRecordedRequest> TTestWebServer::RequestsFor(const std::string& Target) const {
    std::vector<TRecordedRequest> found;
    for (auto& request : Requests())
        if (request.Target == Target) found.push_back(std::move(request));
    return found;
}

std::size_t TTestWebServer::RequestCount() const {
    std::lock_guard guard(Impl->Lock);
    return Impl->Requests.size();
}

bool TTestWebServer::WaitForRequests(std::size_t Count, std::chrono::milliseconds Timeout) const {
    std::unique_lock guard(Impl->Lock);
    return Impl->Changed.wait_for(guard, Timeout, [&] { return Impl->Requests.size() >= Count; });
}

void TTestWebServer::ClearRequests() {
    std::lock_guard guard(Impl->Lock);
    Impl->Requests.clear();
}

std::string HTTPDate(std::int64_t UnixSeconds) {
    static const char* const Days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t time = static_cast<std::time_t>(UnixSeconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", Days[utc.tm_wday],
                  utc.tm_mday, Months[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                  utc.tm_sec);
    return text;
}

TTestHandler RangeServingHandler(std::string Body, TTestHeaders Headers) {
    return [Body = std::move(Body), Headers = std::move(Headers)](const TRecordedRequest& Request) {
        TTestResponse response;
        response.Headers = Headers;
        const std::string range = Request.Header("Range");
        unsigned long long from = 0;
        if (range.empty() || std::sscanf(range.c_str(), "bytes=%llu-", &from) != 1) {
            response.Body = Body;
            return response;
        }
        if (from >= Body.size()) {
            response.Status = 416;
            response.Headers.emplace_back("Content-Range", "bytes */" + std::to_string(Body.size()));
            response.Body.clear();
            return response;
        }
        response.Status = 206;
        response.Body = Body.substr(from);
        response.Headers.emplace_back("Content-Range", "bytes " + std::to_string(from) + "-" +
                                                           std::to_string(Body.size() - 1) + "/" +
                                                           std::to_string(Body.size()));
        return response;
    };
}

} // namespace testsupport
