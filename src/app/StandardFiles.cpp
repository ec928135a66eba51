#include "app/StandardFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace corvane {

void OpenMissingStandardFiles() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is taken: the closed one, as every lower one is open by now.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened > fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

} // namespace corvane
