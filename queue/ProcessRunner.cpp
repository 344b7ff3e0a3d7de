#include "queue/ProcessRunner.h"

#include "queue/CommandPlaceholders.h"

#include <cerrno>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace queue {

namespace {

class TSpawnedProcess final : public TRunningProcess {
  public:
    explicit TSpawnedProcess(pid_t Pid) : Pid(Pid) {}

    // A program still running when the wait ends is reaped on a thread of its
    // own, so it never lingers as a zombie.
    ~TSpawnedProcess() override {
        if (Ended) return;
        std::thread([Pid = Pid] { waitpid(Pid, nullptr, 0); }).detach();
    }

    bool StillRuns() override {
        if (!Ended && waitpid(Pid, nullptr, WNOHANG) != 0) Ended = true;
        return !Ended;
    }

  private:
    pid_t Pid;
    bool Ended = false;
};

// A program named by a path that is no executable file (a page, a folder)
// is opened the way the desktop opens it.
bool WantsOpener(const std::string& Program) {
    if (Program.find('/') == std::string::npos) return false;
    struct stat info {};
    return stat(Program.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
           access(Program.c_str(), X_OK) != 0;
}

std::vector<std::string> Arguments(const TProcessRequest& Request) {
    std::vector<std::string> arguments;
    if (WantsOpener(Request.Program)) arguments.emplace_back("xdg-open");
    arguments.push_back(Request.Program);
    for (std::string& token : SplitCommandTokens(Request.Parameters))
        arguments.push_back(std::move(token));
    return arguments;
}

} // namespace

std::unique_ptr<TRunningProcess> TSpawnProcessRunner::Start(const TProcessRequest& Request,
                                                            int& Error) {
    std::vector<std::string> arguments = Arguments(Request);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!Request.WorkingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, Request.WorkingFolder.c_str());
    pid_t pid = 0;
    Error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (Error != 0) return nullptr;
    return std::make_unique<TSpawnedProcess>(pid);
}

} // namespace queue
