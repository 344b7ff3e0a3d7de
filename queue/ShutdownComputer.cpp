#include "queue/ShutdownComputer.h"

#include "jobs/LanguageStrings.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace queue {

TCommandShutdown::TCommandShutdown(std::vector<std::string> Command) : Command(std::move(Command)) {}

bool TCommandShutdown::ShutdownComputer(std::string& ErrorText) {
    if (Command.empty()) {
        ErrorText = jobs::GetErrorText(EINVAL);
        return false;
    }
    std::vector<char*> argv;
    for (std::string& argument : Command)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (const int error = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ)) {
        ErrorText = jobs::GetErrorText(error);
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) {
            ErrorText = jobs::GetLastErrorText();
            return false;
        }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    ErrorText = Command[0] + " ended with status " +
                std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    return false;
}

} // namespace queue
