#include "support/OutputQueueDrain.h"

namespace testsupport {

TOutputQueueDrain::TOutputQueueDrain(messaging::TSpiderOutputMessageQueue& OutputQueue,
                                     messaging::TSpiderOutputSplitter& OutputSplitter)
    : Queue(OutputQueue), Splitter(OutputSplitter),
      Worker([this](std::stop_token stop) { Run(stop); }) {
    Queue.SetDestinationWindow(this);
}

TOutputQueueDrain::~TOutputQueueDrain() {
    Queue.SetDestinationWindow(nullptr);
    Worker.request_stop(); // the condition variable wakes on the stop request
    Worker.join();
}

bool TOutputQueueDrain::NotifySpiderOutput(std::uint32_t Label) {
    {
        std::lock_guard guard(Lock);
        Pending.push_back(Label);
    }
    Changed.notify_all();
    return true;
}

void TOutputQueueDrain::Run(std::stop_token Stop) {
    std::unique_lock guard(Lock);
    while (!Stop.stop_requested()) {
        if (!Changed.wait(guard, Stop, [&] { return !Held && !Pending.empty(); })) break;
        const std::uint32_t label = Pending.front();
        Pending.pop_front();
        Busy = true;
        guard.unlock();
        // Outside the lock, as a user-interface thread runs its handlers.
        Splitter.OnSpiderOutput(label);
        guard.lock();
        Busy = false;
        Changed.notify_all();
    }
}

void TOutputQueueDrain::Hold() {
    std::lock_guard guard(Lock);
    Held = true;
}

void TOutputQueueDrain::Release() {
    {
        std::lock_guard guard(Lock);
        Held = false;
    }
    Changed.notify_all();
}

bool TOutputQueueDrain::WaitUntilDrained(std::chrono::milliseconds Timeout) {
    std::unique_lock guard(Lock);
    return Changed.wait_for(guard, Timeout, [&] { return Pending.empty() && !Busy; });
}

bool TOutputRecorder::Subscribe(messaging::TSpiderOutputSplitter& Splitter,
                                messaging::TSpiderOutputKindSet Kinds) {
    return Splitter.RegisterForSpiderOutput(
        Kinds, [this](const messaging::TSpiderOutputMsg& Msg, std::uint32_t Label) {
            {
                std::lock_guard guard(Lock);
                Received.push_back({Label, Msg});
            }
            Arrived.notify_all();
        });
}

std::vector<TOutputRecorder::TRecord> TOutputRecorder::Records() const {
    std::lock_guard guard(Lock);
    return Received;
}

bool TOutputRecorder::WaitFor(const std::function<bool(const std::vector<TRecord>&)>& Done,
                              std::chrono::milliseconds Timeout) const {
    std::unique_lock guard(Lock);
    return Arrived.wait_for(guard, Timeout, [&] { return Done(Received); });
}

} // namespace testsupport
