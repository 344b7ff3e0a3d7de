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
    if (Labels.Push(Label)) QMetaObject::invokeMethod(this, &TSpiderOutputRelay::DeliverLabels, Qt::QueuedConnection);
    return true;
}

void TSpiderOutputRelay::DeliverLabels() { Labels.DeliverTo(Splitter); }

} // namespace ui
