#include "util/ThreadPriority.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace corvane {

void SetThisThreadNice(int nice) {
    // PRIO_PROCESS with a thread's id names that thread alone on Linux.
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    ::setpriority(PRIO_PROCESS, tid, nice);
}

void NameThisThread(const char* name) {
    ::pthread_setname_np(::pthread_self(), name);
}

} // namespace corvane
