#include "support/RunCli.h"

#include <cerrno>
#include <csignal>
#include <stdexcept>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

// Pointers to Texts' characters, ending with a null pointer, for execve.
std::vector<char*> ExecPointers(std::vector<std::string>& Texts) {
    std::vector<char*> pointers;
    for (auto& text : Texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& Env) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (!Env.count(text.substr(0, text.find('=')))) merged.push_back(text);
    }
    for (const auto& [name, value] : Env) merged.push_back(name + "=" + value);
    return merged;
}

} // namespace

TCliProcess::TCliProcess(const std::vector<std::string>& Args, const std::map<std::string, std::string>& Env,
                         const std::string& Input) {
    ::signal(SIGPIPE, SIG_IGN);  // a child that exits early must not kill the test
    std::vector<std::string> argv{HARVEXIS_CLI_PATH};
    argv.insert(argv.end(), Args.begin(), Args.end());
    auto env = MergedEnvironment(Env);
    auto argvPointers = ExecPointers(argv);
    auto envPointers = ExecPointers(env);
    int in[2], out[2], err[2];
    if (::pipe(in) || ::pipe(out) || ::pipe(err)) throw std::runtime_error("pipe failed");
    Pid = ::fork();
    if (Pid == 0) {
        // The child starts with default signal handling and an empty mask, as from a shell.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::dup2(in[0], 0), ::dup2(out[1], 1), ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
        ::execve(argvPointers[0], argvPointers.data(), envPointers.data());
        ::_exit(127);
    }
    ::close(in[0]), ::close(out[1]), ::close(err[1]);
    // Input is small: it fits the pipe at once. A program that exits unread leaves it unwritten.
    (void)!::write(in[1], Input.data(), Input.size());
    ::close(in[1]);
    Out = out[0];
    Err = err[0];
}

TCliProcess::~TCliProcess() {
    if (Pid > 0) {
        ::kill(Pid, SIGKILL);
        Wait();
    }
}

void TCliProcess::ReadUntil(const std::function<bool()>& Done) {
    while ((Out >= 0 || Err >= 0) && !Done()) {
        pollfd fds[2] = {{Out, POLLIN, 0}, {Err, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
        for (auto& ready : fds) {
            if (ready.fd < 0 || !ready.revents) continue;
            char buffer[4096];
            const ssize_t n = ::read(ready.fd, buffer, sizeof buffer);
            if (n > 0) (ready.fd == Out ? Result.Out : Result.Err).append(buffer, static_cast<std::size_t>(n));
            else ::close(ready.fd), (ready.fd == Out ? Out : Err) = -1;
        }
    }
}

bool TCliProcess::WaitForError(const std::string& Text) {
    ReadUntil([&] { return Result.Err.find(Text) != std::string::npos; });
    return Result.Err.find(Text) != std::string::npos;
}

void TCliProcess::Signal(int Number) { ::kill(Pid, Number); }

TCliResult TCliProcess::Wait() {
    ReadUntil([] { return false; });
    int status = 0;
    while (::waitpid(Pid, &status, 0) < 0 && errno == EINTR) {
    }
    Pid = -1;
    Result.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return Result;
}

TCliResult RunCli(const std::vector<std::string>& Args, const std::string& Input,
                  const std::map<std::string, std::string>& Env) {
    return TCliProcess(Args, Env, Input).Wait();
}

} // namespace testsupport
