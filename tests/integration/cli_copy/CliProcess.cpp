#include "CliProcess.h"

#include "support/RunCli.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace clitest {


TCliProcess::TCliProcess(const std::vector<std::string>& Args, const std::map<std::string, std::string>& Env) {
    std::vector<std::string> argv{HARVEXIS_CLI_PATH};
    argv.insert(argv.end(), Args.begin(), Args.end());
    auto env = testsupport::MergedEnvironment(Env);
    auto argvPointers = testsupport::ExecPointers(argv);
    auto envPointers = testsupport::ExecPointers(env);
    int out[2], err[2];
    if (::pipe(out) || ::pipe(err)) throw std::runtime_error("pipe failed");
    Pid = ::fork();
    if (Pid == 0) {
        // The child starts with default signal handling and an empty mask, as from a shell.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::dup2(out[1], 1), ::dup2(err[1], 2);
        ::close(0);
        for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
        ::execve(argvPointers[0], argvPointers.data(), envPointers.data());
        ::_exit(127);
    }
    ::close(out[1]), ::close(err[1]);
    Reader = std::thread([this, o = out[0], e = err[0]] { Read(o, e); });
}

TCliProcess::~TCliProcess() {
    if (ExitStatus == -2 && Pid > 0) {
        ::kill(Pid, SIGKILL);
        Wait(std::chrono::seconds(10));
    }
    if (Reader.joinable()) Reader.join();
}

void TCliProcess::Read(int Out, int Err) {
    while (Out >= 0 || Err >= 0) {
        pollfd fds[2] = {{Out, POLLIN, 0}, {Err, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
        char buffer[4096];
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !fds[i].revents) continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            std::lock_guard guard(Lock);
            if (n > 0) (i == 0 ? OutText : ErrText).append(buffer, static_cast<std::size_t>(n));
            else (i == 0 ? (::close(Out), Out = -1) : (::close(Err), Err = -1));
        }
        Grew.notify_all();
    }
    std::lock_guard guard(Lock);
    Closed = true;
    Grew.notify_all();
}

bool TCliProcess::WaitForOutput(const std::string& Text, std::chrono::milliseconds Timeout) {
    std::unique_lock guard(Lock);
    return Grew.wait_for(guard, Timeout, [&] { return OutText.find(Text) != std::string::npos || Closed; }) &&
           OutText.find(Text) != std::string::npos;
}

bool TCliProcess::WaitForError(const std::string& Text, std::chrono::milliseconds Timeout) {
    std::unique_lock guard(Lock);
    return Grew.wait_for(guard, Timeout, [&] { return ErrText.find(Text) != std::string::npos || Closed; }) &&
           ErrText.find(Text) != std::string::npos;
}

void TCliProcess::Signal(int Number) { ::kill(Pid, Number); }

int TCliProcess::Wait(std::chrono::milliseconds Timeout) {
    if (ExitStatus != -2) return ExitStatus;
    bool closed = false;
    {
        std::unique_lock guard(Lock);
        closed = Grew.wait_for(guard, Timeout, [&] { return Closed; });
    }
    if (!closed) ::kill(Pid, SIGKILL);
    int status = 0;
    while (::waitpid(Pid, &status, 0) < 0 && errno == EINTR) {}
    ExitStatus = closed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (Reader.joinable()) Reader.join();
    return ExitStatus;
}

std::string TCliProcess::Out() const {
    std::lock_guard guard(Lock);
    return OutText;
}

std::string TCliProcess::Err() const {
    std::lock_guard guard(Lock);
    return ErrText;
}

} // namespace clitest
