// Writing a whole text to a descriptor, as the settings file and the service's output both do.
#pragma once

#include <string_view>

namespace corvane {

// Writes all of text, again after an interrupted write; false when the descriptor fails. A
// full pipe or disk blocks here, on the caller's thread.
bool WriteAll(int fd, std::string_view text);

} // namespace corvane
