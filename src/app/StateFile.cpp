#include "app/StateFile.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

bool IsReadableStateFile(const std::string& path) {
    // stat never opens the file, so nothing here waits on a FIFO's writer.
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           std::uintmax_t(st.st_size) <= kMaxStateFileBytes;
}

bool ClearWayForStateFile(const std::string& path) {
    struct stat own {};
    if (::lstat(path.c_str(), &own) != 0)
        return errno == ENOENT;
    if (IsReadableStateFile(path))
        return true;
    if (S_ISDIR(own.st_mode))
        return false;
    // A link is removed, never what it points to.
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

} // namespace corvane
