#pragma once

#include "messaging/SpiderOutputMsgQueue.h"
#include "messaging/SpiderOutputMsgTypes.h"

#include <array>
#include <cstdint>
#include <functional>

namespace messaging {

// A view's reaction to one report. The message is the splitter's own and is
// overwritten by the next delivery: a handler that keeps anything copies it.
using TSpiderOutputHandler = std::function<void(const TSpiderOutputMsg& Msg, std::uint32_t Label)>;

// Fans the engine's reports out to the views that subscribed to their kinds.
// Lives on the front end's receiving thread: that thread registers the views
// and, when its notifier fires, calls OnSpiderOutput or DeliverQueued, so
// handlers run there, one message at a time, in posting order. The queue is
// told which kinds the views want, and drops the others when they are posted.
class TSpiderOutputSplitter {
  public:
    static constexpr int MaxSubscriptions = 9;

    explicit TSpiderOutputSplitter(TSpiderOutputMessageQueue& Queue);
    TSpiderOutputSplitter(const TSpiderOutputSplitter&) = delete;
    TSpiderOutputSplitter& operator=(const TSpiderOutputSplitter&) = delete;

    // Handlers are called in registration order. A tenth is refused ("Array full").
    bool RegisterForSpiderOutput(TSpiderOutputKindSet Kinds, TSpiderOutputHandler Handler);
    // What a notification with Label asks for: DeliverQueued. Finding nothing
    // queued means the message was dropped (the queue was cleared); that is
    // reported in the trace log.
    void OnSpiderOutput(std::uint32_t Label);
    // Takes every queued message out at once and hands each, in posting
    // order, to every handler whose kinds contain its kind. The count.
    int DeliverQueued();
    int SubscriptionCount() const { return Subscriptions; }

  private:
    struct TSubscription {
        TSpiderOutputKindSet Kinds = 0;
        TSpiderOutputHandler Handler;
    };

    void Deliver(const TSpiderOutputMsg& Msg, std::uint32_t Label);

    TSpiderOutputMessageQueue& Queue;
    std::array<TSubscription, MaxSubscriptions> Subscribers;
    int Subscriptions = 0;
    TSpiderOutputKindSet WantedKinds = 0; // every subscription's kinds
    TSpiderOutputBatch Batch; // messages are taken out into these, reusing their buffers
    bool Delivering = false;  // a batch is being handed out
    bool TakeAgain = false;   // a nested call asked for another batch
};

} // namespace messaging
