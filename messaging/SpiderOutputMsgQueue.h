#pragma once

#include "messaging/SpiderOutputMsgTypes.h"

#include <atomic>
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
    // The empty queue just received the message with this label: the receiving
    // thread should take out everything queued (TakeAll, or the splitter's
    // OnSpiderOutput). Called only when the queue goes from empty to non-empty,
    // so one notification stands for a whole batch, and with the queue's lock
    // held: wake the receiving thread and return at once, never calling back
    // into the queue. False when the receiver could not be told: the post
    // then fails.
    virtual bool NotifySpiderOutput(std::uint32_t Label) = 0;
};

// How often a receiver takes reports out while they keep coming: the first
// after a quiet spell goes at once, later ones wait for the interval's end.
// Each wake-up of the receiving thread costs far more than handing out one
// more message, so reports in quick succession go out together.
constexpr std::chrono::milliseconds ReportDeliveryInterval{10};

struct TLabeledSpiderOutputMsg {
    std::uint32_t Label = 0;
    TSpiderOutputMsg Msg;
};

// Messages taken out of the queue at once, oldest first. Built once by the
// receiver and reused: taking out trades it for the queue's slots, so no
// message is copied and the slots keep the batch's string buffers.
struct TSpiderOutputBatch {
    std::vector<TLabeledSpiderOutputMsg> Messages; // [0, Count) are valid
    int Count = 0;
};

// The bounded report queue from the copy engine to the front end. The engine
// posts copies; the front end, woken by the notifier, takes them out in batches.
class TSpiderOutputMessageQueue {
  public:
    // Deep enough that a front end draining a batch every few milliseconds
    // does not make the engine wait for it even when the machine is busy:
    // rewriting posts tens of thousands of reports a second, and a GUI thread
    // may get no processor for a tenth of a second. Slots are made only as
    // deep as the queue ever gets.
    static constexpr int Capacity = 10000;

    TSpiderOutputMessageQueue();
    TSpiderOutputMessageQueue(const TSpiderOutputMessageQueue&) = delete;
    TSpiderOutputMessageQueue& operator=(const TSpiderOutputMessageQueue&) = delete;

    // Borrowed; null when the front end goes away. Its owner must reset it
    // before the notifier is destroyed.
    void SetDestinationWindow(TSpiderOutputNotifier* Notifier);

    // The kinds somebody receives; a post of any other kind succeeds at once
    // without queueing anything. All kinds until set. Any thread.
    void SetWantedKinds(TSpiderOutputKindSet Kinds);
    bool Wanted(std::uint8_t Kind) const;

    // One attempt: false when the queue is full, when there is no destination
    // ("No destination window") or when the notifier refuses the label.
    bool PostMessage(const TSpiderOutputMsg& Msg);
    // What the engine uses: retries while the front end is behind, waking as
    // soon as it takes a message out (at the latest after the retry period),
    // and gives up after the give-up period with "Spider output msg queue full".
    // After giving up the queue counts as broken (GaveUp) and later calls try
    // once only, until ClearMessageQueue: the engine must end the job as failed.
    bool TryToPostMessage(const TSpiderOutputMsg& Msg);
    // Moves every queued message into Batch, oldest first, under one lock; a
    // poster waiting for room is woken once for the whole batch. The count.
    int TakeAll(TSpiderOutputBatch& Batch);
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
    // Made as the queue first gets deep and reused; [0, Used) are queued, oldest first.
    std::vector<TLabeledSpiderOutputMsg> Slots;
    int Used = 0;
    std::atomic<TSpiderOutputKindSet> WantedKinds{~TSpiderOutputKindSet{0}};
    std::uint32_t NextLabel = 1; // never reused while the program runs
    TSpiderOutputNotifier* Destination = nullptr;
    std::uint64_t Changes = 0; // counts SlotsChanged events, so no wake-up is missed
    bool GaveUpPosting = false;
    std::chrono::milliseconds GiveUpAfter{60000};
    std::chrono::milliseconds RetryEvery{100};
};

} // namespace messaging
