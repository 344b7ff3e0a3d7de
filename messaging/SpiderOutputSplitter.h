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
// and calls OnSpiderOutput for each label its notifier was given, so handlers
// run there, one message at a time, in posting order.
class TSpiderOutputSplitter {
  public:
    static constexpr int MaxSubscriptions = 9;

    explicit TSpiderOutputSplitter(TSpiderOutputMessageQueue& Queue);
    TSpiderOutputSplitter(const TSpiderOutputSplitter&) = delete;
    TSpiderOutputSplitter& operator=(const TSpiderOutputSplitter&) = delete;

    // Handlers are called in registration order. A tenth is refused ("Array full").
    bool RegisterForSpiderOutput(TSpiderOutputKindSet Kinds, TSpiderOutputHandler Handler);
    // Takes the labelled message out of the queue and hands it to every
    // handler whose kinds contain its kind. A label no longer queued (the queue
    // was cleared) is reported in the trace log and ignored.
    void OnSpiderOutput(std::uint32_t Label);
    int SubscriptionCount() const { return Subscriptions; }

  private:
    struct TSubscription {
        TSpiderOutputKindSet Kinds = 0;
        TSpiderOutputHandler Handler;
    };

    void Deliver(std::uint32_t Label);

    TSpiderOutputMessageQueue& Queue;
    std::array<TSubscription, MaxSubscriptions> Subscribers;
    int Subscriptions = 0;
    TSpiderOutputMsg Msg; // every message is taken out into this one, reusing its buffers
};

} // namespace messaging
