#include "ui/Application.h"
#include "ui/TerminationSignals.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Before Qt and the engine start threads, so the signals reach only the window's loop.
    ui::BlockTerminationSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Harvexis");
    QApplication::setDesktopFileName("harvexis");
    return ui::RunApplication(app);
}
