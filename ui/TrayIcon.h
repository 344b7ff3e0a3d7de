#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QSystemTrayIcon;
class QWidget;

namespace ui {

// The tray icon: normal, busy while a job runs, and flashing to draw the
// eye (with the window's own alert). Without a system tray it does nothing.
class TTrayIcon final : public QObject {
    Q_OBJECT

  public:
    // Window is the one to alert while flashing.
    explicit TTrayIcon(QWidget* Window);
    ~TTrayIcon() override;

    bool Available() const { return Icon != nullptr; }
    void SetTrayHint(const QString& Hint);
    void SetBusyIcon(bool Busy);
    // Flashes for Seconds: 10 at most, 2 for none or less.
    void StartFlashing(int Seconds);
    void StopFlashing();
    bool Flashing() const { return FlashTimer.isActive(); }

  signals:
    void Clicked();

  private:
    void FlashTimerTimer();
    void ShowRestingIcon();

    QPointer<QWidget> Window;
    std::unique_ptr<QSystemTrayIcon> Icon;
    QIcon NormalIcon, BusyIcon, FlashIcon;
    bool Busy = false;
    QTimer FlashTimer;
    int FlashTimeLeft = 0; // milliseconds
    bool FlashPhase = false; // true while the flash icon shows
};

} // namespace ui
