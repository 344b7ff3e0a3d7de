#pragma once

#include <QIcon>

#include <cstdint>

// The program's icons, painted at start: no image plugin or resource file is
// needed, and they look alike on every desktop. The installed SVG files under
// ui/icons are the same drawings for the desktop's menus and file manager.
namespace ui {

// One icon per job status, in status order (Queued ... Error); none for another value.
QIcon JobStatusIcon(std::int32_t Status);
QIcon ProgramIcon();
// The tray while a job runs, and the second phase of flashing.
QIcon BusyIcon();
QIcon FlashIcon();

} // namespace ui
