#include "messaging/SpiderOutputLabelQueue.h"

#include "messaging/SpiderOutputSplitter.h"

namespace messaging {

bool TSpiderOutputLabelQueue::Push(std::uint32_t Label) {
    std::lock_guard guard(Lock);
    const bool wake = Labels.empty();
    Labels.push_back(Label);
    return wake;
}

void TSpiderOutputLabelQueue::DeliverTo(TSpiderOutputSplitter& Splitter) {
    for (;;) {
        std::uint32_t label = 0;
        {
            std::lock_guard guard(Lock);
            if (Labels.empty()) return;
            label = Labels.front();
            Labels.pop_front();
        }
        // Outside the lock: handlers run long, and posters must not wait for them.
        Splitter.OnSpiderOutput(label);
    }
}

} // namespace messaging
