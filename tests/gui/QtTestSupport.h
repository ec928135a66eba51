// Qt tests run headless, with one application object for the whole test program and a way to
// let the event loop run until something has happened.
#pragma once

#include <functional>

namespace corvane::test {

// Runs the event loop until done() holds or timeoutMs passed; the final value of done().
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 3000);
// Runs the event loop for ms milliseconds.
void Pump(int ms);

} // namespace corvane::test
