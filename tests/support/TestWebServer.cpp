#include "support/TestWebServer.h"

#include "support/TempDir.h"

#include <httplib.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <strings.h>
#include <sys/stat.h>

namespace testsupport {

namespace {

bool SameName(const std::string& A, const std::string& B) {
    return ::strcasecmp(A.c_str(), B.c_str()) == 0;
}

// A fresh self-signed certificate for 127.0.0.1, valid for a day, made by the
// openssl tool. It is its own authority, so a client that trusts this one file
// accepts the server, and no other server's.
void MakeCertificate(const std::string& Key, const std::string& Cert) {
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 -subj /CN=127.0.0.1 "
        "-addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout " + Key + " -out " + Cert + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot make a test certificate");
}

// Text with every "@SERVER@" replaced by Server.
std::string Replaced(std::string Text, const std::string& Server) {
    for (auto at = Text.find("@SERVER@"); at != std::string::npos; at = Text.find("@SERVER@", at))
        Text.replace(at, 8, Server);
    return Text;
}

std::string ContentType(const std::filesystem::path& File) {
    static const std::map<std::string, std::string> Types = {
        {".html", "text/html"}, {".htm", "text/html"}, {".gif", "image/gif"}, {".txt", "text/plain"},
        {".css", "text/css"}};
    const auto found = Types.find(File.extension().string());
    return found == Types.end() ? "application/octet-stream" : found->second;
}

std::string HeaderValue(const TTestHeaders& Headers, const std::string& Name) {
    for (const auto& [key, value] : Headers)
        if (SameName(key, Name)) return value;
    return {};
}

std::int64_t ParseHTTPDate(const std::string& Text) {
    std::tm time{};
    return ::strptime(Text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &time) ? ::timegm(&time) : -1;
}

} // namespace

std::string SiteFolder(const std::string& Name) {
    return std::string(HARVEXIS_SOURCE_DIR) + "/tests/data/sites/" + Name;
}

TTestResponse ConditionalResponse(TTestResponse Whole, const TRecordedRequest& Request) {
    const std::string modified = Whole.Header("Last-Modified");
    const std::int64_t since = ParseHTTPDate(Request.Header("If-Modified-Since"));
    const std::int64_t time = ParseHTTPDate(modified);
    if (since >= 0 && time >= 0 && since >= time) return MakeResponse(304, "");
    unsigned long long from = 0;
    if (std::sscanf(Request.Header("Range").c_str(), "bytes=%llu-", &from) != 1) return Whole;
    // A validator of another version asks for the whole file.
    const std::string validator = Request.Header("If-Range");
    if (!validator.empty() && validator != Whole.Header("ETag") && validator != modified) return Whole;
    const std::string size = std::to_string(Whole.Body.size());
    if (from >= Whole.Body.size()) return MakeResponse(416, "", {{"Content-Range", "bytes */" + size}});
    Whole.Status = 206;
    Whole.Headers.emplace_back("Content-Range", "bytes " + std::to_string(from) + "-" +
                                                    std::to_string(Whole.Body.size() - 1) + "/" + size);
    Whole.Body.erase(0, from);
    return Whole;
}

std::string TTestResponse::Header(const std::string& Name) const { return HeaderValue(Headers, Name); }

std::string TRecordedRequest::Header(const std::string& Name) const { return HeaderValue(Headers, Name); }

TTestResponse MakeResponse(int Status, std::string Body, TTestHeaders Headers) {
    TTestResponse response;
    response.Status = Status;
    response.Body = std::move(Body);
    response.Headers = std::move(Headers);
    return response;
}

struct TTestWebServer::TImpl {
    TKind Kind = TKind::HTTP;
    std::unique_ptr<httplib::Server> Server;
    std::thread Listener;
    std::future<void> ListenerDone;  // ready when the accept loop has returned
    int Port = 0;
    std::string BaseURL;
    TTempDir CertFolder;
    std::string CertFile;

    mutable std::mutex Lock;  // guards Folder, Table and Requests
    // Signalled when a request is recorded.
    mutable std::condition_variable Changed;
    std::map<std::string, TTestHandler> Table;
    std::string Folder;
    std::vector<TRecordedRequest> Requests;

    TTestResponse FromFolder(const TRecordedRequest& Request);
    void Handle(const httplib::Request& Request, httplib::Response& Response);
    void Answer(const TTestResponse& Answer, httplib::Response& Response);
    void Start();
};

TTestResponse TTestWebServer::TImpl::FromFolder(const TRecordedRequest& Request) {
    std::unique_lock guard(Lock);
    const bool served = !Folder.empty();
    std::string path = Folder + Request.Target.substr(0, Request.Target.find('?'));
    guard.unlock();
    if (path.back() == '/') path += "index.html";
    if (!served || !std::filesystem::is_regular_file(path)) return MakeResponse(404, "Not Found", {{"Content-Type", "text/plain"}});
    TTestResponse answer = MakeResponse(200, ReadFileText(path), {{"Content-Type", ContentType(path)}});
    if (ContentType(path) == "text/html") answer.Body = Replaced(answer.Body, BaseURL);
    struct stat info {};
    ::stat(path.c_str(), &info);
    answer.Headers.emplace_back("Last-Modified", HTTPDate(info.st_mtime));
    return ConditionalResponse(std::move(answer), Request);
}

void TTestWebServer::TImpl::Handle(const httplib::Request& Request, httplib::Response& Response) {
    // The server decides every answer: the library must not cut the body to
    // the requested range on its own. The request object is the library's own
    // non-const local; only the handler's view of it is const.
    const_cast<httplib::Request&>(Request).ranges.clear();
    TRecordedRequest recorded{Request.method, Request.target.empty() ? Request.path : Request.target, {}};
    for (const auto& header : Request.headers) recorded.Headers.push_back(header);
    TTestHandler handler;
    {
        std::lock_guard guard(Lock);
        Requests.push_back(recorded);
        if (auto found = Table.find(recorded.Target); found != Table.end()) handler = found->second;
    }
    Changed.notify_all();
    Answer(handler ? handler(recorded) : FromFolder(recorded), Response);
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
            return Sink.write(shared->Body.data() + Offset, std::min(Length, shared->PieceSize));
        });
}

void TTestWebServer::TImpl::Start() {
    if (Kind == TKind::HTTPS) {
        CertFile = CertFolder.File("test-ca.pem");
        MakeCertificate(CertFolder.File("key.pem"), CertFile);
        Server = std::make_unique<httplib::SSLServer>(CertFile.c_str(), CertFolder.File("key.pem").c_str());
    } else {
        Server = std::make_unique<httplib::Server>();
    }
    if (!Server->is_valid()) throw std::runtime_error("test web server could not be made");
    auto handler = [this](const httplib::Request& Request, httplib::Response& Response) {
        Handle(Request, Response);
    };
    Server->Get(".*", handler);
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
    Impl->BaseURL = BaseURL();
}

TTestWebServer::~TTestWebServer() {
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

void TTestWebServer::Serve(const std::string& Target, int Status, std::string Body, TTestHeaders Headers) {
    Serve(Target, MakeResponse(Status, std::move(Body), std::move(Headers)));
}

void TTestWebServer::ServeHandler(const std::string& Target, TTestHandler Handler) {
    std::lock_guard guard(Impl->Lock);
    Impl->Table[Target] = std::move(Handler);
}

void TTestWebServer::ServeFolder(const std::string& Folder) {
    {
        std::lock_guard guard(Impl->Lock);
        Impl->Folder = Folder;
    }
    // Each ".responses" row: target, status, then headers, tab-separated.
    std::istringstream lines(ReadFileText(Folder + "/.responses"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream cells(line);
        std::string target, status;
        std::getline(cells, target, '\t');
        std::getline(cells, status, '\t');
        TTestResponse row = MakeResponse(std::stoi(status), ReadFileText(Folder + target));
        for (std::string header; std::getline(cells, header, '\t');)
            row.Headers.emplace_back(header.substr(0, header.find(": ")),
                                     Replaced(header.substr(header.find(": ") + 2), BaseURL()));
        Serve(target, row);
    }
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

bool TTestWebServer::WaitForRequests(std::size_t Count, std::chrono::milliseconds Timeout) const {
    std::unique_lock guard(Impl->Lock);
    return Impl->Changed.wait_for(guard, Timeout, [&] { return Impl->Requests.size() >= Count; });
}

void TTestWebServer::ClearRequests() {
    std::lock_guard guard(Impl->Lock);
    Impl->Requests.clear();
}

std::string HTTPDate(std::int64_t UnixSeconds) {
    const std::time_t time = static_cast<std::time_t>(UnixSeconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);  // the C locale's names
    return text;
}

} // namespace testsupport
