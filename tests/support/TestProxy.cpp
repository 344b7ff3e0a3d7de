#include "support/TestProxy.h"

#include "jobs/Base64.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace testsupport {

namespace {

constexpr std::size_t MaxHeadSize = 64 * 1024;

bool SameName(const std::string& A, const std::string& B) {
    return ::strcasecmp(A.c_str(), B.c_str()) == 0;
}

std::string Trimmed(const std::string& Text) {
    const auto first = Text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return Text.substr(first, Text.find_last_not_of(" \t\r") - first + 1);
}

bool SendAll(int Socket, const std::string& Data) {
    std::size_t sent = 0;
    while (sent < Data.size()) {
        const ssize_t count = ::send(Socket, Data.data() + sent, Data.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) return false;
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

std::string Answer(int Status, const std::string& Reason, const std::string& Body,
                   const std::string& ExtraHeaders = {}) {
    return "HTTP/1.1 " + std::to_string(Status) + " " + Reason + "\r\n" + ExtraHeaders +
           "Content-Length: " + std::to_string(Body.size()) + "\r\nConnection: close\r\n\r\n" + Body;
}

// "host:port" of a loopback address; false for any other host.
bool LoopbackHostPort(const std::string& HostPort, int DefaultPort, std::string& Host, int& Port) {
    const auto colon = HostPort.rfind(':');
    Host = colon == std::string::npos ? HostPort : HostPort.substr(0, colon);
    Port = colon == std::string::npos ? DefaultPort : std::atoi(HostPort.c_str() + colon + 1);
    return (Host == "127.0.0.1" || Host == "localhost") && Port > 0 && Port < 65536;
}

int ConnectLoopback(int Port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(Port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s >= 0 && ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return s;
    if (s >= 0) ::close(s);
    return -1;
}

std::size_t CollectBody(char* Data, std::size_t Size, std::size_t Count, void* Body) {
    static_cast<std::string*>(Body)->append(Data, Size * Count);
    return Size * Count;
}

// What a CERN-style proxy answers for an ftp address: the file as an HTTP body.
std::string FetchFTP(const std::string& URL) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    std::string body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, URL.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_PROXY, "");
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_FILETIME, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &CollectBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    const CURLcode code = curl_easy_perform(curl.get());
    if (code == CURLE_REMOTE_FILE_NOT_FOUND) return Answer(404, "Not Found", "No such file");
    if (code != CURLE_OK) return Answer(502, "Bad Gateway", curl_easy_strerror(code));
    curl_off_t time = -1;
    curl_easy_getinfo(curl.get(), CURLINFO_FILETIME_T, &time);
    std::string headers = "Content-Type: application/octet-stream\r\n";
    if (time >= 0) headers += "Last-Modified: " + HTTPDate(time) + "\r\n";
    return Answer(200, "OK", body, headers);
}

} // namespace

std::string TProxyRequest::Header(const std::string& Name) const {
    for (const auto& [key, value] : Headers)
        if (SameName(key, Name)) return value;
    return {};
}

struct TTestProxy::TImpl {
    std::string Credentials;  // "Basic ..." that every request must carry; empty = none
    int Listener = -1;
    int Port = 0;
    int StopPipe[2] = {-1, -1};  // readable once the proxy stops: wakes every wait
    std::thread Acceptor;

    mutable std::mutex Lock;  // guards Requests and Workers
    std::vector<TProxyRequest> Requests;
    std::vector<std::thread> Workers;

    // Waits until Socket is readable; false when the proxy stops first.
    bool WaitReadable(int Socket) const {
        pollfd fds[2] = {{Socket, POLLIN, 0}, {StopPipe[0], POLLIN, 0}};
        return ::poll(fds, 2, -1) > 0 && fds[1].revents == 0;
    }
    bool ReadHead(int Socket, TProxyRequest& Request);
    void Serve(int Client);
    int ConnectTarget(int Client, const std::string& HostPort, int DefaultPort);
    void Forward(int Client, const TProxyRequest& Request);
    void Tunnel(int Client, const std::string& Target);
    void Relay(int Client, int Server);
    void Accept();
};

bool TTestProxy::TImpl::ReadHead(int Socket, TProxyRequest& Request) {
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() > MaxHeadSize || !WaitReadable(Socket)) return false;
        char buffer[4096];
        const ssize_t count = ::recv(Socket, buffer, sizeof buffer, 0);
        if (count <= 0) return false;
        head.append(buffer, static_cast<std::size_t>(count));
    }
    head.resize(head.find("\r\n\r\n") + 2);
    std::size_t start = head.find("\r\n");
    const std::string line = head.substr(0, start);
    const auto first = line.find(' ');
    const auto second = line.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos) return false;
    Request.Method = line.substr(0, first);
    Request.Target = line.substr(first + 1, second - first - 1);
    for (start += 2; start < head.size();) {
        const auto end = head.find("\r\n", start);
        const std::string header = head.substr(start, end - start);
        const auto colon = header.find(':');
        if (colon != std::string::npos)
            Request.Headers.emplace_back(Trimmed(header.substr(0, colon)), Trimmed(header.substr(colon + 1)));
        start = end + 2;
    }
    return true;
}

void TTestProxy::TImpl::Serve(int Client) {
    TProxyRequest request;
    if (ReadHead(Client, request)) {
        {
            std::lock_guard guard(Lock);
            Requests.push_back(request);
        }
        if (!Credentials.empty() && request.Header("Proxy-Authorization") != Credentials) {
            SendAll(Client, Answer(407, "Proxy Authentication Required", "Proxy authentication required",
                                   "Proxy-Authenticate: Basic realm=\"harvexis-test\"\r\n"));
        } else if (request.Method == "CONNECT") {
            Tunnel(Client, request.Target);
        } else if (request.Target.rfind("ftp://", 0) == 0) {
            SendAll(Client, FetchFTP(request.Target));
        } else if (request.Target.rfind("http://", 0) == 0) {
            Forward(Client, request);
        } else {
            SendAll(Client, Answer(400, "Bad Request", "Absolute address expected"));
        }
    }
    ::close(Client);
}

// A connection to the target "host:port", or -1 after the client has been told why not.
int TTestProxy::TImpl::ConnectTarget(int Client, const std::string& HostPort, int DefaultPort) {
    std::string host;
    int port = 0;
    if (!LoopbackHostPort(HostPort, DefaultPort, host, port)) {
        SendAll(Client, Answer(403, "Forbidden", "Loopback targets only"));
        return -1;
    }
    const int server = ConnectLoopback(port);
    if (server < 0) SendAll(Client, Answer(502, "Bad Gateway", "Origin refused the connection"));
    return server;
}

void TTestProxy::TImpl::Forward(int Client, const TProxyRequest& Request) {
    const std::string rest = Request.Target.substr(7);
    const auto slash = rest.find('/');
    const int server = ConnectTarget(Client, rest.substr(0, slash), 80);
    if (server < 0) return;
    std::string head = Request.Method + " " + (slash == std::string::npos ? "/" : rest.substr(slash)) +
                       " HTTP/1.1\r\n";
    for (const auto& [name, value] : Request.Headers)
        if (!SameName(name, "Proxy-Authorization") && !SameName(name, "Proxy-Connection") &&
            !SameName(name, "Connection") && !SameName(name, "Keep-Alive"))
            head += name + ": " + value + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (SendAll(server, head)) Relay(Client, server);
    ::close(server);
}

void TTestProxy::TImpl::Tunnel(int Client, const std::string& Target) {
    const int server = ConnectTarget(Client, Target, 443);
    if (server < 0) return;
    if (SendAll(Client, "HTTP/1.1 200 Connection established\r\n\r\n")) Relay(Client, server);
    ::close(server);
}

// Copies bytes both ways until either side closes.
void TTestProxy::TImpl::Relay(int Client, int Server) {
    for (;;) {
        pollfd fds[3] = {{Client, POLLIN, 0}, {Server, POLLIN, 0}, {StopPipe[0], POLLIN, 0}};
        if (::poll(fds, 3, -1) <= 0 || fds[2].revents != 0) return;
        for (int side = 0; side < 2; ++side) {
            if (fds[side].revents == 0) continue;
            char buffer[16384];
            const ssize_t count = ::recv(fds[side].fd, buffer, sizeof buffer, 0);
            if (count <= 0) return;
            if (!SendAll(fds[1 - side].fd, std::string(buffer, static_cast<std::size_t>(count)))) return;
        }
    }
}

void TTestProxy::TImpl::Accept() {
    while (WaitReadable(Listener)) {
        const int client = ::accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::lock_guard guard(Lock);
        Workers.emplace_back([this, client] { Serve(client); });
    }
}

TTestProxy::TTestProxy(std::string User, std::string Password) : Impl(std::make_unique<TImpl>()) {
    if (!User.empty()) Impl->Credentials = "Basic " + jobs::StrToBase64(User + ":" + Password);
    if (::pipe2(Impl->StopPipe, O_CLOEXEC) != 0) throw std::runtime_error("test proxy: no pipe");
    Impl->Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (Impl->Listener < 0 || ::bind(Impl->Listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(Impl->Listener, 64) != 0 ||
        ::getsockname(Impl->Listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("test proxy could not listen");
    Impl->Port = ntohs(address.sin_port);
    Impl->Acceptor = std::thread([this] { Impl->Accept(); });
}

TTestProxy::~TTestProxy() {
    const char stop = 1;
    (void)!::write(Impl->StopPipe[1], &stop, 1);
    Impl->Acceptor.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard guard(Impl->Lock);
        workers.swap(Impl->Workers);
    }
    for (auto& worker : workers) worker.join();
    ::close(Impl->Listener);
    ::close(Impl->StopPipe[0]);
    ::close(Impl->StopPipe[1]);
}

int TTestProxy::Port() const { return Impl->Port; }

std::vector<TProxyRequest> TTestProxy::Requests() const {
    std::lock_guard guard(Impl->Lock);
    return Impl->Requests;
}

std::size_t TTestProxy::CountRequests(const std::string& Prefix) const {
    const auto requests = Requests();
    return static_cast<std::size_t>(std::count_if(requests.begin(), requests.end(), [&](const auto& R) {
        return R.Target.rfind(Prefix, 0) == 0;
    }));
}

int ClosedLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

} // namespace testsupport
