#pragma once

#include "messaging/SpiderOutputMsgQueue.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>

namespace messaging {
class TSpiderOutputSplitter;
}

namespace ui {

// The output queue's notifier in the desktop program. The queue calls it on an
// engine thread when it stops being empty; it only queues one call onto the GUI
// thread, where the splitter takes every waiting message out and hands it to
// the views, at most every messaging::ReportDeliveryInterval.
class TSpiderOutputRelay final : public QObject, public messaging::TSpiderOutputNotifier {
    Q_OBJECT

  public:
    // Becomes Queue's destination; both must outlive the relay.
    TSpiderOutputRelay(messaging::TSpiderOutputMessageQueue& Queue,
                       messaging::TSpiderOutputSplitter& Splitter, QObject* Parent = nullptr);
    // Leaves the queue first, so no engine thread calls a relay that is gone.
    ~TSpiderOutputRelay() override;

    // Any thread, with the output queue's lock held.
    bool NotifySpiderOutput(std::uint32_t Label) override;

  private:
    // GUI thread: delivers now, or once the interval since the last delivery is over.
    void Notified();
    void Deliver();

    messaging::TSpiderOutputMessageQueue& Queue;
    messaging::TSpiderOutputSplitter& Splitter;
    QElapsedTimer SinceDelivery;
    QTimer DeliveryTimer;
};

} // namespace ui
