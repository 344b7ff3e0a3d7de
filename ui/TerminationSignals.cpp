#include "ui/TerminationSignals.h"

#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace ui {

namespace {

sigset_t TerminationSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

void BlockTerminationSignals() {
    const sigset_t set = TerminationSignalSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TTerminationSignals::TTerminationSignals(QObject* Parent) : QObject(Parent) {
    const sigset_t set = TerminationSignalSet();
    SignalFd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (SignalFd < 0) return;
    Notifier = std::make_unique<QSocketNotifier>(SignalFd, QSocketNotifier::Read);
    connect(Notifier.get(), &QSocketNotifier::activated, this, &TTerminationSignals::OnReadable);
}

TTerminationSignals::~TTerminationSignals() {
    Notifier.reset();
    if (SignalFd >= 0) ::close(SignalFd);
}

void TTerminationSignals::OnReadable() {
    signalfd_siginfo info{};
    bool any = false;
    while (::read(SignalFd, &info, sizeof info) == sizeof info) any = true;
    if (any) emit TerminationRequested();
}

} // namespace ui
