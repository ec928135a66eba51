// The window's state file is read only when it is what a save leaves: a regular file (or a link
// to one) of modest size. A FIFO or a device there would block the start with no way out but a
// kill, and a file grown by accident would cost seconds and memory to take in; either is left
// unread and replaced at the next save.
#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// A saved state is a few kilobytes; this leaves room for any number of columns and screens.
constexpr std::uintmax_t kMaxStateFileBytes = 1024 * 1024;

// True when path leads, through any links, to a regular file of at most kMaxStateFileBytes.
bool IsReadableStateFile(const std::string& path);

// Clears the way for a save at path: what stands there and may not be read (a FIFO, a socket, a
// device, an oversized file, or a link to one, or a dangling link) is removed, so that the save
// makes a regular file. False when the save cannot go ahead: a folder stands there, or what
// stands there cannot be removed.
bool ClearWayForStateFile(const std::string& path);

} // namespace corvane
