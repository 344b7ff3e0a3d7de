#include "ui/SpiderOutputRelay.h"

#include "messaging/SpiderOutputSplitter.h"

namespace ui {

TSpiderOutputRelay::TSpiderOutputRelay(messaging::TSpiderOutputMessageQueue& Queue,
                                       messaging::TSpiderOutputSplitter& Splitter, QObject* Parent)
    : QObject(Parent), Queue(Queue), Splitter(Splitter) {
    Queue.SetDestinationWindow(this);
}

TSpiderOutputRelay::~TSpiderOutputRelay() { Queue.SetDestinationWindow(nullptr); }

bool TSpiderOutputRelay::NotifySpiderOutput(std::uint32_t) {
    QMetaObject::invokeMethod(this, [this] { Splitter.DeliverQueued(); }, Qt::QueuedConnection);
    return true;
}

} // namespace ui
