#include "ui/SpiderOutputRelay.h"

#include "messaging/SpiderOutputSplitter.h"

namespace ui {

TSpiderOutputRelay::TSpiderOutputRelay(messaging::TSpiderOutputMessageQueue& Queue,
                                       messaging::TSpiderOutputSplitter& Splitter, QObject* Parent)
    : QObject(Parent), Queue(Queue), Splitter(Splitter) {
    Queue.SetDestinationWindow(this);
}

TSpiderOutputRelay::~TSpiderOutputRelay() { Queue.SetDestinationWindow(nullptr); }

bool TSpiderOutputRelay::NotifySpiderOutput(std::uint32_t Label) {
    bool wake = false;
    {
        std::lock_guard guard(LabelLock);
        // The GUI thread takes labels until none is left, so only the first
        // label after it found the list empty needs a call queued.
        wake = Labels.empty();
        Labels.push_back(Label);
    }
    if (wake) QMetaObject::invokeMethod(this, &TSpiderOutputRelay::DeliverLabels, Qt::QueuedConnection);
    return true;
}

void TSpiderOutputRelay::DeliverLabels() {
    for (;;) {
        std::uint32_t label = 0;
        {
            std::lock_guard guard(LabelLock);
            if (Labels.empty()) return;
            label = Labels.front();
            Labels.pop_front();
        }
        Splitter.OnSpiderOutput(label);
    }
}

} // namespace ui
