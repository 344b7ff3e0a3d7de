#include "messaging/SpiderOutputSplitter.h"

#include "base/AppTraceLog.h"

#include <exception>
#include <string>
#include <utility>

namespace messaging {

namespace {
constexpr const char* UnitName = "SpiderOutputSplitter";
} // namespace

TSpiderOutputSplitter::TSpiderOutputSplitter(TSpiderOutputMessageQueue& OutputQueue)
    : Queue(OutputQueue) {
    Queue.SetWantedKinds(WantedKinds);
}

bool TSpiderOutputSplitter::RegisterForSpiderOutput(TSpiderOutputKindSet Kinds,
                                                    TSpiderOutputHandler Handler) {
    if (Subscriptions >= MaxSubscriptions) {
        base::TraceLog.LogEntry(base::ttWarning, "Array full", "RegisterForSpiderOutput", UnitName);
        return false;
    }
    Subscribers[Subscriptions].Kinds = Kinds;
    Subscribers[Subscriptions].Handler = std::move(Handler);
    ++Subscriptions;
    WantedKinds |= Kinds;
    Queue.SetWantedKinds(WantedKinds);
    return true;
}

void TSpiderOutputSplitter::OnSpiderOutput(std::uint32_t Label) {
    const bool nested = Delivering;
    if (DeliverQueued() > 0 || nested) return;
    base::TraceLog.LogEntry(base::ttWarning, "Retrieval of msg " + std::to_string(Label) + " failed",
                            "OnSpiderOutput", UnitName);
}

int TSpiderOutputSplitter::DeliverQueued() {
    // A handler that runs a nested event loop (a modal prompt) may get here
    // again: the batch in hand is not overwritten, and what was queued
    // meanwhile is taken out once it is done, since no new notification
    // comes while messages wait.
    if (Delivering) {
        TakeAgain = true;
        return 0;
    }
    Delivering = true;
    int total = 0;
    do {
        TakeAgain = false;
        const int count = Queue.TakeAll(Batch);
        for (int i = 0; i < count; ++i)
            Deliver(Batch.Messages[i].Msg, Batch.Messages[i].Label);
        total += count;
    } while (TakeAgain);
    Delivering = false;
    return total;
}

void TSpiderOutputSplitter::Deliver(const TSpiderOutputMsg& Msg, std::uint32_t Label) {
    if (Msg.Kind >= 32) return;
    const TSpiderOutputKindSet bit = TSpiderOutputKindSet{1} << Msg.Kind;
    for (int i = 0; i < Subscriptions; ++i) {
        if ((Subscribers[i].Kinds & bit) == 0 || !Subscribers[i].Handler) continue;
        // One failing view must not keep the report from the others, nor
        // escape into the front end's event loop.
        try {
            Subscribers[i].Handler(Msg, Label);
        } catch (const std::exception& e) {
            base::TraceLog.LogEntry(base::ttException, e.what(), "OnSpiderOutput", UnitName);
        } catch (...) {
            base::TraceLog.LogEntry(base::ttException, "Unknown exception in a handler", "OnSpiderOutput",
                              UnitName);
        }
    }
}

} // namespace messaging
