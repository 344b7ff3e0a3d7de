#pragma once

namespace base {

// Puts the calling thread one step below normal priority: a nice value one
// above the process's, so that a copy never slows the desktop it runs on.
void LowerThisThreadsPriority();

} // namespace base
