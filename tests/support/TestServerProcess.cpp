#include "support/TestServerProcess.h"

#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

// Debian's interpreter: the first python3 on PATH may be another installation
// without pyftpdlib.
constexpr const char* Python = "/usr/bin/python3";
constexpr int StartTimeoutMs = 20000;

} // namespace

TTestServerProcess::TTestServerProcess(const std::string& Script, std::vector<std::string> Args) {
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
        throw std::runtime_error("test server: no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    Args.insert(Args.begin(), {Python, "-u", std::string(HARVEXIS_SOURCE_DIR) + "/tests/support/" + Script});
    std::vector<char*> argv;
    for (auto& arg : Args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int spawned = ::posix_spawn(&Process, Python, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    InputPipe = input[1];
    OutputPipe = output[0];
    std::string line;
    std::unique_lock guard(Lock);
    if (spawned == 0 && ReadLine(line, StartTimeoutMs) && line.rfind("PORT ", 0) == 0) {
        ServerPort = std::stoi(line.substr(5));
        return;
    }
    if (spawned != 0) Process = -1;
    guard.unlock();
    Stop();
    throw std::runtime_error(Script + " did not start (is python3-pyftpdlib installed?)");
}

TTestServerProcess::~TTestServerProcess() { Stop(); }

void TTestServerProcess::Stop() {
    if (InputPipe >= 0) ::close(InputPipe);  // the server ends when its input closes
    if (Process > 0) {
        int status = 0;
        // A server that does not notice its closed input is ended the hard way.
        for (int tries = 0; ::waitpid(Process, &status, WNOHANG) == 0; ++tries) {
            if (tries == 200) ::kill(Process, SIGKILL);
            ::poll(nullptr, 0, 10);
        }
    }
    if (OutputPipe >= 0) ::close(OutputPipe);
    InputPipe = OutputPipe = Process = -1;
}

// Caller holds Lock. Waits at most TimeoutMs for the next whole line.
bool TTestServerProcess::ReadLine(std::string& Line, int TimeoutMs) const {
    for (;;) {
        if (const auto end = Pending.find('\n'); end != std::string::npos) {
            Line = Pending.substr(0, end);
            Pending.erase(0, end + 1);
            while (!Line.empty() && Line.back() == ' ') Line.pop_back();
            return true;
        }
        pollfd ready{OutputPipe, POLLIN, 0};
        if (::poll(&ready, 1, TimeoutMs) <= 0) return false;
        char buffer[4096];
        const ssize_t count = ::read(OutputPipe, buffer, sizeof buffer);
        if (count <= 0) return false;
        Pending.append(buffer, static_cast<std::size_t>(count));
    }
}

// Caller holds Lock.
void TTestServerProcess::Drain() const {
    for (std::string line; ReadLine(line, 0);) Recorded.push_back(line);
}

std::vector<std::string> TTestServerProcess::Records() const {
    std::lock_guard guard(Lock);
    Drain();
    return Recorded;
}

std::size_t TTestServerProcess::CountRecords(const std::string& Prefix) const {
    std::size_t count = 0;
    for (const auto& record : Records()) count += record.rfind(Prefix, 0) == 0 ? 1 : 0;
    return count;
}

void TTestServerProcess::ClearRecords() {
    std::lock_guard guard(Lock);
    Drain();
    Recorded.clear();
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
