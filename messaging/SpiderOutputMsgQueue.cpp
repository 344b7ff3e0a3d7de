#include "messaging/SpiderOutputMsgQueue.h"

#include "base/AppTraceLog.h"

#include <utility>

namespace messaging {

namespace {
constexpr const char* UnitName = "SpiderOutputMsgQueue";
} // namespace

// Room for a full queue is set aside, but a slot is made only when the queue
// first gets that deep: a front end that keeps up never pays for the rest.
TSpiderOutputMessageQueue::TSpiderOutputMessageQueue() { Slots.reserve(Capacity); }

void TSpiderOutputMessageQueue::SetDestinationWindow(TSpiderOutputNotifier* Notifier) {
    std::lock_guard guard(Lock);
    Destination = Notifier;
    // Queued messages would otherwise wait for a notification that only an
    // empty queue gives.
    if (Destination && Used > 0) Destination->NotifySpiderOutput(Slots[0].Label);
    SlotsChangedLocked();
}

void TSpiderOutputMessageQueue::SetWantedKinds(TSpiderOutputKindSet Kinds) {
    WantedKinds.store(Kinds, std::memory_order_relaxed);
}

bool TSpiderOutputMessageQueue::Wanted(std::uint8_t Kind) const {
    return Kind < 32 && (WantedKinds.load(std::memory_order_relaxed) & (TSpiderOutputKindSet{1} << Kind)) != 0;
}

bool TSpiderOutputMessageQueue::PostMessage(const TSpiderOutputMsg& Msg) {
    if (!Wanted(Msg.Kind)) return true;
    std::lock_guard guard(Lock);
    return PostLocked(Msg);
}

bool TSpiderOutputMessageQueue::PostLocked(const TSpiderOutputMsg& Msg) {
    if (Used >= Capacity) return false;
    if (!Destination) {
        base::TraceLog.LogEntry(base::ttWarning, "No destination window", "PostMessage", UnitName);
        return false;
    }
    if (Used == static_cast<int>(Slots.size())) Slots.emplace_back();
    TLabeledSpiderOutputMsg& slot = Slots[Used];
    AssignReport(slot.Msg, Msg);
    slot.Label = NextLabel++;
    if (NextLabel == 0) NextLabel = 1; // 0 is never a label
    // A receiver drains everything it finds, so it needs telling only when
    // there was nothing to drain. The slot counts only once it was told; a
    // receiver that looks meanwhile waits for our lock.
    if (Used == 0 && !Destination->NotifySpiderOutput(slot.Label)) {
        base::TraceLog.LogEntry(base::ttAPIError, "Notify destination window", "PostMessage", UnitName);
        return false;
    }
    ++Used;
    return true;
}

bool TSpiderOutputMessageQueue::TryToPostMessage(const TSpiderOutputMsg& Msg) {
    if (!Wanted(Msg.Kind)) return true;
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock guard(Lock);
    for (;;) {
        // No yield after a success: on a busy machine it costs a whole time
        // slice per message (eight times fewer messages per second). A
        // receiver that falls behind still gets its turn, because a full
        // queue makes the poster wait until a message is taken out.
        if (PostLocked(Msg)) return true;
        base::TraceLog.LogEntry(base::ttWarning, "Post message failed", "TryToPostMessage", UnitName);
        if (GaveUpPosting) return false;
        // Checked under the same lock as the failed post, so a message taken
        // out in between is not missed.
        const std::uint64_t seen = Changes;
        SlotsChanged.wait_for(guard, RetryEvery, [&] { return Changes != seen; });
        if (std::chrono::steady_clock::now() - start > GiveUpAfter) {
            GaveUpPosting = true;
            base::TraceLog.LogEntry(base::ttWarning, "Spider output msg queue full", "TryToPostMessage",
                              UnitName);
            return false;
        }
    }
}

int TSpiderOutputMessageQueue::TakeAll(TSpiderOutputBatch& Batch) {
    // The batch's array becomes the slots: it must never grow under the lock.
    Batch.Messages.reserve(Capacity);
    std::lock_guard guard(Lock);
    // Trading the whole arrays keeps the lock for a moment only, however many
    // messages wait; the slots then keep the batch's old buffers for later posts.
    Batch.Messages.swap(Slots);
    Batch.Count = Used;
    Used = 0;
    if (Batch.Count > 0) SlotsChangedLocked();
    return Batch.Count;
}

void TSpiderOutputMessageQueue::ClearMessageQueue() {
    std::lock_guard guard(Lock);
    Used = 0;
    GaveUpPosting = false;
    base::TraceLog.LogEntry(base::ttWarning, "Spider output msg queue cleared", "ClearMessageQueue", UnitName);
    SlotsChangedLocked();
}

void TSpiderOutputMessageQueue::SlotsChangedLocked() {
    ++Changes;
    SlotsChanged.notify_all();
}

int TSpiderOutputMessageQueue::Count() const {
    std::lock_guard guard(Lock);
    return Used;
}

bool TSpiderOutputMessageQueue::GaveUp() const {
    std::lock_guard guard(Lock);
    return GaveUpPosting;
}

void TSpiderOutputMessageQueue::SetRetryTimingForTests(std::chrono::milliseconds NewGiveUpAfter,
                                                       std::chrono::milliseconds NewRetryEvery) {
    std::lock_guard guard(Lock);
    GiveUpAfter = NewGiveUpAfter;
    RetryEvery = NewRetryEvery;
}

} // namespace messaging
