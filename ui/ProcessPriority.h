#pragma once

namespace ui {

// Process priority classes as the settings store them.
inline constexpr int NormalPriorityClass = 32;
inline constexpr int IdlePriorityClass = 64;

// Runs every thread of the process in the idle class (IdlePriorityClass) or
// the normal one (anything else); threads started later inherit it. Answers
// 0, or the system's error number of a thread that could not be moved.
int SetProcessPriorityClass(int PriorityClass);

} // namespace ui
