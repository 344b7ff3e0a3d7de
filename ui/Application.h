#pragma once

class QApplication;

namespace ui {

// The program's start and end: settings, the installer switches, the hand-
// over to a running copy, the trace log, the engine, the queue and the main
// window; then the command line and the event loop. Returns the exit status.
int RunApplication(QApplication& App);

} // namespace ui
