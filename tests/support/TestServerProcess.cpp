#include "support/TestServerProcess.h"

#include <cstdio>
#include <filesystem>
#include <sstream>
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

TTestServerProcess::TTestServerProcess(const std::string& Script, std::vector<std::string> Args) {
    int input[2], output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
        throw std::runtime_error("test server: no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    // Debian's interpreter: the first python3 on PATH may be one without pyftpdlib.
    Args.insert(Args.begin(), {"/usr/bin/python3", std::string(HARVEXIS_SOURCE_DIR) + "/tests/support/" + Script,
                               "--record", Folder.File("records")});
    std::vector<char*> argv;
    for (auto& arg : Args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const bool spawned = ::posix_spawn(&Process, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    InputPipe = input[1];
    // The first and only line on standard output is "PORT <n>", written at once.
    char line[64] = {};
    pollfd ready{output[0], POLLIN, 0};
    const bool started = spawned && ::poll(&ready, 1, 20000) > 0 && ::read(output[0], line, sizeof line - 1) > 0 &&
                         std::sscanf(line, "PORT %d", &ServerPort) == 1;
    ::close(output[0]);
    if (!spawned) Process = -1;
    if (!started) {
        Stop();
        throw std::runtime_error(Script + " did not start (is python3-pyftpdlib installed?)");
    }
}

TTestServerProcess::~TTestServerProcess() { Stop(); }

void TTestServerProcess::Stop() {
    if (InputPipe >= 0) ::close(InputPipe);  // the server ends when its input closes
    InputPipe = -1;
    // A server that does not notice its closed input is ended the hard way.
    for (int tries = 0; Process > 0 && ::waitpid(Process, nullptr, WNOHANG) == 0; ++tries) {
        if (tries == 200) ::kill(Process, SIGKILL);
        ::poll(nullptr, 0, 10);
    }
    Process = -1;
}

std::vector<std::string> TTestServerProcess::Records() const {
    std::istringstream text(ReadFileText(Folder.File("records")));
    std::vector<std::string> records;
    for (std::string line; std::getline(text, line);) records.push_back(line);
    return records;
}

std::size_t TTestServerProcess::CountRecords(const std::string& Prefix) const {
    std::size_t count = 0;
    for (const auto& record : Records()) count += record.rfind(Prefix, 0) == 0 ? 1 : 0;
    return count;
}

void TTestServerProcess::ClearRecords() { WriteFileText(Folder.File("records"), ""); }

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
