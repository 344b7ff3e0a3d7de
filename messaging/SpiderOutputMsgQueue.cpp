#include "messaging/SpiderOutputMsgQueue.h"

#include "base/AppTraceLog.h"

#include <algorithm>
#include <utility>

namespace messaging {

namespace {
constexpr const char* UnitName = "SpiderOutputMsgQueue";
} // namespace

TSpiderOutputMessageQueue::TSpiderOutputMessageQueue() : Slots(Capacity) {
    for (int i = 0; i < Capacity; ++i)
        Order[i] = static_cast<std::uint8_t>(i);
}

void TSpiderOutputMessageQueue::SetDestinationWindow(TSpiderOutputNotifier* Notifier) {
    std::lock_guard guard(Lock);
    Destination = Notifier;
    SlotsChangedLocked();
}

bool TSpiderOutputMessageQueue::PostMessage(const TSpiderOutputMsg& Msg) {
    std::lock_guard guard(Lock);
    return PostLocked(Msg);
}

bool TSpiderOutputMessageQueue::PostLocked(const TSpiderOutputMsg& Msg) {
    if (Used >= Capacity) return false;
    if (!Destination) {
        base::TraceLog.LogEntry(base::ttWarning, "No destination window", "PostMessage", UnitName);
        return false;
    }
    TLabeledSpiderOutputMsg& slot = Slots[Order[Used]];
    slot.Msg = Msg;
    slot.Label = NextLabel++;
    if (NextLabel == 0) NextLabel = 1; // 0 is never a label
    // The slot counts only once the receiver knows its label; a receiver that
    // looks for it meanwhile waits for our lock.
    if (!Destination->NotifySpiderOutput(slot.Label)) {
        base::TraceLog.LogEntry(base::ttAPIError, "Notify destination window", "PostMessage", UnitName);
        return false;
    }
    ++Used;
    return true;
}

bool TSpiderOutputMessageQueue::TryToPostMessage(const TSpiderOutputMsg& Msg) {
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

bool TSpiderOutputMessageQueue::Retrieve(std::uint32_t Label, TSpiderOutputMsg& Msg) {
    std::lock_guard guard(Lock);
    const auto used = Order.begin() + Used;
    const auto found =
        std::find_if(Order.begin(), used, [&](std::uint8_t i) { return Slots[i].Label == Label; });
    if (found == used) return false;
    const std::uint8_t slot = *found;
    // Swapping moves the strings without copying them; the freed slot keeps
    // the caller's old buffers for a later post.
    std::swap(Msg, Slots[slot].Msg);
    // Later messages move up, in order; the freed slot joins the free ones.
    std::rotate(found, found + 1, used);
    --Used;
    SlotsChangedLocked();
    return true;
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
