#include "ui/ProcessPriority.h"

#include <QDir>

#include <cerrno>

#include <sched.h>

namespace ui {

// Linux schedules threads, not processes. The idle policy, unlike a higher
// nice value, may be left again without privileges.
int SetProcessPriorityClass(int PriorityClass) {
    const int policy = PriorityClass == IdlePriorityClass ? SCHED_IDLE : SCHED_OTHER;
    const sched_param param{};
    int error = 0;
    for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (::sched_setscheduler(task.toInt(), policy, &param) != 0) error = errno;
    return error;
}

} // namespace ui
