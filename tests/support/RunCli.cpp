#include "support/RunCli.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

// Feeds the input and drains both outputs together, so no pipe fills up and blocks the child.
void Pump(int In, int Out, int Err, const std::string& Input, TCliResult& Result) {
    std::size_t written = 0;
    if (Input.empty()) ::close(In), In = -1;
    while (Out >= 0 || Err >= 0) {
        pollfd fds[3] = {{Out, POLLIN, 0}, {Err, POLLIN, 0}, {In, POLLOUT, 0}};
        if (::poll(fds, 3, 60000) <= 0) throw std::runtime_error("harvexis-cli hangs");
        char buffer[4096];
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents) continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) (i == 0 ? Result.Out : Result.Err).append(buffer, static_cast<std::size_t>(n));
            else (i == 0 ? ::close(Out), Out = -1 : (::close(Err), Err = -1));
        }
        if (In >= 0 && fds[2].revents) {
            const ssize_t n = ::write(In, Input.data() + written, Input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n < 0 || written == Input.size()) ::close(In), In = -1;
        }
    }
    if (In >= 0) ::close(In);
}

} // namespace

std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& Env) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (!Env.count(text.substr(0, text.find('=')))) merged.push_back(text);
    }
    for (const auto& [name, value] : Env) merged.push_back(name + "=" + value);
    return merged;
}

std::vector<char*> ExecPointers(std::vector<std::string>& Texts) {
    std::vector<char*> pointers;
    for (auto& text : Texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

TCliResult RunCli(const std::vector<std::string>& Args, const std::string& Input,
                  const std::map<std::string, std::string>& Env) {
    ::signal(SIGPIPE, SIG_IGN);  // a child that exits early must not kill the test
    std::vector<std::string> argv{HARVEXIS_CLI_PATH};
    argv.insert(argv.end(), Args.begin(), Args.end());
    auto env = MergedEnvironment(Env);
    auto argvPointers = ExecPointers(argv);
    auto envPointers = ExecPointers(env);
    int in[2], out[2], err[2];
    if (::pipe(in) || ::pipe(out) || ::pipe(err)) throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0), ::dup2(out[1], 1), ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
        ::execve(argvPointers[0], argvPointers.data(), envPointers.data());
        ::_exit(127);
    }
    ::close(in[0]), ::close(out[1]), ::close(err[1]);
    TCliResult result;
    Pump(in[1], out[0], err[0], Input, result);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace testsupport
