// Background threads that must never take the processor from the intake and the window: the
// history's writer, checkpointer and check. On Linux a thread has a nice value of its own; a
// higher one loses the processor to the intake at once whenever both want it, yet still gets
// whatever time is left, so a busy but not saturated program records everything.
#pragma once

namespace corvane {

// The nice value of the history's threads: a tenth of the intake's share when both are busy.
constexpr int kBackgroundNice = 10;

// Sets the calling thread's nice value (0 to 19); quietly does nothing where that is refused.
void SetThisThreadNice(int nice);

// Names the calling thread (at most 15 characters) as `top -H` and /proc/<pid>/task show it, so
// an operator sees which of the program's threads is busy.
void NameThisThread(const char* name);

} // namespace corvane
