#include "support/TestFtpServer.h"

#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>

namespace testsupport {

namespace {

std::vector<std::string> ServerArgs(const std::string& Root, const TTestFtpServer::TSetup& Setup) {
    std::vector<std::string> args{"--root", Root, "--send-limit", std::to_string(Setup.SendLimit)};
    if (!Setup.User.empty()) args.insert(args.end(), {"--user", Setup.User, "--password", Setup.Password});
    return args;
}

} // namespace

TTestFtpServer::TTestFtpServer(TSetup Setup) : TTestServerProcess("TestFtpServer.py", ServerArgs(Root.Path(), Setup)) {}

void TTestFtpServer::AddFile(const std::string& Path, const std::string& Body, std::time_t Time) {
    const std::string file = Root.Path() + Path;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << Body;
    const timespec times[2] = {{Time, 0}, {Time, 0}};
    if (Time != 0) ::utimensat(AT_FDCWD, file.c_str(), times, 0);
}

} // namespace testsupport
