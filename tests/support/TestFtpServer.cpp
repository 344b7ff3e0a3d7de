#include "support/TestFtpServer.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

// Debian's interpreter: the first python3 on PATH may be another
// installation without pyftpdlib.
constexpr const char* Python = "/usr/bin/python3";
constexpr int StartTimeoutMs = 20000;

std::string ScriptPath() { return std::string(HARVEXIS_SOURCE_DIR) + "/tests/support/TestFtpServer.py"; }

} // namespace

TTestFtpServer::TTestFtpServer(TSetup Setup) {
    try {
        Start(Setup);
    } catch (...) {
        Stop();
        throw;
    }
}

void TTestFtpServer::Start(const TSetup& Setup) {
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
        throw std::runtime_error("FTP test server: no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    std::vector<std::string> args = {Python, "-u", ScriptPath(), "--root", Root.Path()};
    if (!Setup.User.empty()) {
        args.insert(args.end(), {"--user", Setup.User, "--password", Setup.Password});
    }
    if (Setup.SendLimit > 0) args.insert(args.end(), {"--send-limit", std::to_string(Setup.SendLimit)});
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int spawned = ::posix_spawn(&Process, Python, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    InputPipe = input[1];
    OutputPipe = output[0];
    if (spawned != 0) {
        Process = -1;
        throw std::runtime_error(std::string("FTP test server: cannot run ") + Python);
    }
    std::string line;
    std::lock_guard guard(Lock);
    if (!ReadLine(line, StartTimeoutMs) || line.rfind("PORT ", 0) != 0)
        throw std::runtime_error("FTP test server did not start (is python3-pyftpdlib installed?)");
    ServerPort = std::stoi(line.substr(5));
}

TTestFtpServer::~TTestFtpServer() { Stop(); }

void TTestFtpServer::Stop() {
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

std::string TTestFtpServer::URL(const std::string& Path) const {
    return "ftp://127.0.0.1:" + std::to_string(ServerPort) + Path;
}

void TTestFtpServer::AddFile(const std::string& Path, const std::string& Body, std::time_t Time) {
    const std::string file = FilePath(Path);
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << Body;
    if (Time != 0) {
        const timespec times[2] = {{Time, 0}, {Time, 0}};
        ::utimensat(AT_FDCWD, file.c_str(), times, 0);
    }
}

void TTestFtpServer::AddSparseFile(const std::string& Path, std::int64_t Size) {
    const std::string file = FilePath(Path);
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc).flush();
    std::filesystem::resize_file(file, static_cast<std::uintmax_t>(Size));
}

// Caller holds Lock. Waits at most TimeoutMs for the next whole line.
bool TTestFtpServer::ReadLine(std::string& Line, int TimeoutMs) const {
    for (;;) {
        const auto end = Pending.find('\n');
        if (end != std::string::npos) {
            Line = Pending.substr(0, end);
            Pending.erase(0, end + 1);
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

// Caller holds Lock. The server writes a command's line before it answers
// the command, so whatever a client has had an answer to is in the pipe.
void TTestFtpServer::Drain() const {
    std::string line;
    while (ReadLine(line, 0))
        if (line.rfind("CMD ", 0) == 0) {
            std::string command = line.substr(4);
            while (!command.empty() && command.back() == ' ') command.pop_back();
            Recorded.push_back(command);
        }
}

std::vector<std::string> TTestFtpServer::Commands() const {
    std::lock_guard guard(Lock);
    Drain();
    return Recorded;
}

std::size_t TTestFtpServer::CountCommands(const std::string& Verb) const {
    std::size_t count = 0;
    for (const auto& command : Commands())
        if (command == Verb || command.rfind(Verb + " ", 0) == 0) ++count;
    return count;
}

void TTestFtpServer::ClearCommands() {
    std::lock_guard guard(Lock);
    Drain();
    Recorded.clear();
}

} // namespace testsupport
