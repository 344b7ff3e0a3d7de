#pragma once

#include "messaging/SpiderOutputMsgQueue.h"
#include "messaging/SpiderOutputMsgTypes.h"
#include "messaging/SpiderOutputSplitter.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace testsupport {

// A front end for tests: stands in for the desktop program's user-interface
// thread. It is the queue's notifier while it lives, and its own thread hands
// every notified label, in order, to the splitter, which runs the handlers there.
class TOutputQueueDrain final : public messaging::TSpiderOutputNotifier {
  public:
    TOutputQueueDrain(messaging::TSpiderOutputMessageQueue& Queue,
                      messaging::TSpiderOutputSplitter& Splitter);
    ~TOutputQueueDrain() override;
    TOutputQueueDrain(const TOutputQueueDrain&) = delete;
    TOutputQueueDrain& operator=(const TOutputQueueDrain&) = delete;

    bool NotifySpiderOutput(std::uint32_t Label) override;

    // The thread stops taking labels (a busy user interface) until Release.
    void Hold();
    void Release();
    // Waits until every label notified so far has gone through the splitter.
    bool WaitUntilDrained(std::chrono::milliseconds Timeout);

  private:
    void Run(std::stop_token Stop);

    messaging::TSpiderOutputMessageQueue& Queue;
    messaging::TSpiderOutputSplitter& Splitter;
    std::mutex Lock; // guards Pending, Held and Busy
    // Signalled when a label arrives, when Hold/Release change, and when a label
    // has been handed to the splitter.
    std::condition_variable_any Changed;
    std::deque<std::uint32_t> Pending;
    bool Held = false;
    bool Busy = false;   // a label is being delivered outside the lock
    std::jthread Worker; // last member: starts after the fields above exist
};

// Keeps a copy of every message one subscription received, for assertions.
class TOutputRecorder {
  public:
    struct TRecord {
        std::uint32_t Label = 0;
        messaging::TSpiderOutputMsg Msg;
    };

    // Subscribes to Kinds on Splitter; false when the splitter refused.
    bool Subscribe(messaging::TSpiderOutputSplitter& Splitter,
                   messaging::TSpiderOutputKindSet Kinds);
    std::vector<TRecord> Records() const;
    std::size_t Count() const { return Records().size(); }
    // Waits until Done holds for the records received so far.
    bool WaitFor(const std::function<bool(const std::vector<TRecord>&)>& Done,
                 std::chrono::milliseconds Timeout) const;
    bool WaitForCount(std::size_t Wanted, std::chrono::milliseconds Timeout) const {
        return WaitFor([&](const std::vector<TRecord>& All) { return All.size() >= Wanted; }, Timeout);
    }

  private:
    mutable std::mutex Lock; // guards Received
    // Signalled on every message received.
    mutable std::condition_variable Arrived;
    std::vector<TRecord> Received;
};

} // namespace testsupport
