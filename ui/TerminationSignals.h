#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace ui {

// Blocks SIGTERM, SIGINT and SIGHUP in the calling thread and in every thread
// started after it. Call first thing in main(), before Qt or the engine start
// threads: an unblocked thread would take the signal's default action and end
// the program in the middle of a write.
void BlockTerminationSignals();

// Turns the blocked signals into a Qt signal on the GUI thread, through a
// signal descriptor: the program then closes as when its window is closed,
// aborting a running job so that its partial files stay resumable.
class TTerminationSignals : public QObject {
    Q_OBJECT

  public:
    explicit TTerminationSignals(QObject* Parent = nullptr);
    ~TTerminationSignals() override;

  signals:
    void TerminationRequested();

  private:
    void OnReadable();

    int SignalFd = -1;
    std::unique_ptr<QSocketNotifier> Notifier;
};

} // namespace ui
