#include "support/TestServerProcess.h"

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

TTestServerProcess::TTestServerProcess(const std::string& Script, const std::vector<std::string>& Args) {
    // Debian's interpreter: the first python3 on PATH may be one without pyftpdlib.
    std::string command = "exec /usr/bin/python3";
    for (const auto& arg : {std::string(HARVEXIS_SOURCE_DIR) + "/tests/support/" + Script, std::string("--record"),
                            Folder.File("records")})
        command += " '" + arg + "'";
    for (const auto& arg : Args) command += " '" + arg + "'";
    // "e": no other child inherits the pipe, so closing it here is its last close.
    Output = ::popen(command.c_str(), "re");
    char line[64] = {};
    if (!Output || !std::fgets(line, sizeof line, Output) || std::sscanf(line, "PORT %d", &ServerPort) != 1) {
        Stop();
        throw std::runtime_error(Script + " did not start (is python3-pyftpdlib installed?)");
    }
}

TTestServerProcess::~TTestServerProcess() { Stop(); }

void TTestServerProcess::Stop() {
    if (Output) ::pclose(Output);  // waits for the server, which ends when its output closes
    Output = nullptr;
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
