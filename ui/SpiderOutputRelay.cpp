#include "ui/SpiderOutputRelay.h"

#include "messaging/SpiderOutputSplitter.h"

namespace ui {

TSpiderOutputRelay::TSpiderOutputRelay(messaging::TSpiderOutputMessageQueue& Queue,
                                       messaging::TSpiderOutputSplitter& Splitter, QObject* Parent)
    : QObject(Parent), Queue(Queue), Splitter(Splitter) {
    DeliveryTimer.setSingleShot(true);
    connect(&DeliveryTimer, &QTimer::timeout, this, &TSpiderOutputRelay::Deliver);
    Queue.SetDestinationWindow(this);
}

TSpiderOutputRelay::~TSpiderOutputRelay() { Queue.SetDestinationWindow(nullptr); }

bool TSpiderOutputRelay::NotifySpiderOutput(std::uint32_t) {
    QMetaObject::invokeMethod(this, &TSpiderOutputRelay::Notified, Qt::QueuedConnection);
    return true;
}

void TSpiderOutputRelay::Notified() {
    if (DeliveryTimer.isActive()) return;
    const qint64 interval = messaging::ReportDeliveryInterval.count();
    const qint64 since = SinceDelivery.isValid() ? SinceDelivery.elapsed() : interval;
    if (since >= interval) return Deliver();
    DeliveryTimer.start(static_cast<int>(interval - since));
}

void TSpiderOutputRelay::Deliver() {
    SinceDelivery.start();
    Splitter.DeliverQueued();
}

} // namespace ui
