#include "base/ThreadPriority.h"

#include <cerrno>

#include <sys/resource.h>
#include <unistd.h>

namespace base {

void LowerThisThreadsPriority() {
    // getpriority may return -1 as a real value; only errno tells a failure.
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, 0);
    if (errno == 0) ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), current + 1);
}

} // namespace base
