#include "util/FileWrite.h"

#include <cerrno>
#include <unistd.h>

namespace corvane {

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text.remove_prefix(size_t(n));
    }
    return true;
}

} // namespace corvane
