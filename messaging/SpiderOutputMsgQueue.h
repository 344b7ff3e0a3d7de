#pragma once

#include "messaging/SpiderOutputMsgTypes.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace messaging {

// The receiving side of the output queue: the front end's thread that takes
// messages out (the desktop program's splitter, the runner's event loop).
class TSpiderOutputNotifier {
  public:
    virtual ~TSpiderOutputNotifier() = default;
    // The message with this label waits in the queue. Called with the queue's
    // lock held, so labels arrive in posting order; hand the label to the
    // receiving thread and return at once, never calling back into the queue.
    // False when the label could not be handed over: the post then fails.
    virtual bool NotifySpiderOutput(std::uint32_t Label) = 0;
};

struct TLabeledSpiderOutputMsg {
    std::uint32_t Label = 0;
    TSpiderOutputMsg Msg;
};

// The bounded report queue from the copy engine to the front end. The engine
// posts copies; the front end, told each label by the notifier, retrieves them.
class TSpiderOutputMessageQueue {
  public:
    static constexpr int Capacity = 100;

    TSpiderOutputMessageQueue();
    TSpiderOutputMessageQueue(const TSpiderOutputMessageQueue&) = delete;
    TSpiderOutputMessageQueue& operator=(const TSpiderOutputMessageQueue&) = delete;

    // Borrowed; null when the front end goes away. Its owner must reset it
    // before the notifier is destroyed.
    void SetDestinationWindow(TSpiderOutputNotifier* Notifier);

    // One attempt: false when the queue is full, when there is no destination
    // ("No destination window") or when the notifier refuses the label.
    bool PostMessage(const TSpiderOutputMsg& Msg);
    // What the engine uses: retries while the front end is behind, waking as
    // soon as it takes a message out (at the latest after the retry period),
    // and gives up after the give-up period with "Spider output msg queue full".
    // After giving up the queue counts as broken (GaveUp) and later calls try
    // once only, until ClearMessageQueue: the engine must end the job as failed.
    bool TryToPostMessage(const TSpiderOutputMsg& Msg);
    // Moves the message with Label into Msg; false when it is no longer queued.
    bool Retrieve(std::uint32_t Label, TSpiderOutputMsg& Msg);
    // Drops every queued message (a failed job) and forgets a give-up.
    void ClearMessageQueue();

    int Count() const;
    bool GaveUp() const;
    // Shortens the give-up limit (60 s) and the retry period (100 ms) so tests
    // of a stuck front end finish quickly. Not for the program.
    void SetRetryTimingForTests(std::chrono::milliseconds GiveUpAfter,
                                std::chrono::milliseconds RetryEvery);

  private:
    bool PostLocked(const TSpiderOutputMsg& Msg);
    void SlotsChangedLocked();

    mutable std::mutex Lock; // guards every field below
    // Signalled when a post that failed may now succeed: a message was taken
    // out, the queue was cleared or the destination changed.
    std::condition_variable SlotsChanged;
    // Built once with the queue and reused; messages never move between them.
    std::vector<TLabeledSpiderOutputMsg> Slots;
    // Order[0..Used) are the slots in use, oldest first; the rest are free.
    // Removal shifts these indices, not the messages.
    std::array<std::uint8_t, Capacity> Order{};
    int Used = 0;
    std::uint32_t NextLabel = 1; // never reused while the program runs
    TSpiderOutputNotifier* Destination = nullptr;
    std::uint64_t Changes = 0; // counts SlotsChanged events, so no wake-up is missed
    bool GaveUpPosting = false;
    std::chrono::milliseconds GiveUpAfter{60000};
    std::chrono::milliseconds RetryEvery{100};
};

} // namespace messaging
