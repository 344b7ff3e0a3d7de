#include "ui/TrayIcon.h"

#include "ui/Icons.h"

#include <QApplication>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QWidget>

namespace ui {

TTrayIcon::TTrayIcon(QWidget* Window)
    : QObject(Window), Window(Window), NormalIcon(ProgramIcon()), BusyIcon(ui::BusyIcon()),
      FlashIcon(ui::FlashIcon()) {
    connect(&FlashTimer, &QTimer::timeout, this, &TTrayIcon::FlashTimerTimer);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    Icon = std::make_unique<QSystemTrayIcon>(NormalIcon);
    connect(Icon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason Reason) {
        if (Reason == QSystemTrayIcon::Trigger || Reason == QSystemTrayIcon::DoubleClick) emit Clicked();
    });
    Icon->show();
}

TTrayIcon::~TTrayIcon() = default;

void TTrayIcon::SetTrayHint(const QString& Hint) {
    if (Icon) Icon->setToolTip(Hint);
}

void TTrayIcon::SetBusyIcon(bool NowBusy) {
    Busy = NowBusy;
    if (!Flashing()) ShowRestingIcon();
}

void TTrayIcon::ShowRestingIcon() {
    if (Icon) Icon->setIcon(Busy ? BusyIcon : NormalIcon);
}

void TTrayIcon::StartFlashing(int Seconds) {
    FlashTimeLeft = (Seconds >= 11 ? 10 : Seconds < 1 ? 2 : Seconds) * 1000;
    FlashPhase = false;
    // The caret's blink is the desktop's own rhythm for drawing the eye.
    int interval = QApplication::styleHints()->cursorFlashTime() / 2;
    if (interval < 1 || interval > FlashTimeLeft) interval = 500;
    FlashTimer.start(interval);
}

void TTrayIcon::FlashTimerTimer() {
    FlashPhase = !FlashPhase;
    if (FlashPhase) {
        if (Icon) Icon->setIcon(FlashIcon);
        if (Window) QApplication::alert(Window, FlashTimer.interval());
    } else {
        ShowRestingIcon();
    }
    FlashTimeLeft -= FlashTimer.interval();
    if (FlashTimeLeft < 1) StopFlashing();
}

void TTrayIcon::StopFlashing() {
    FlashTimer.stop();
    FlashPhase = false;
    ShowRestingIcon();
}

} // namespace ui
