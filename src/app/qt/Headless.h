// corvane --headless: the monitor as a service, without a window or a display. The same settings,
// intake, store, expiry and logs as the window; what the window would write to its log pane goes
// to standard output, one stamped line each.
#pragma once

#include <cstdio>
#include <functional>
#include <string_view>

#include "store/Listener.h"
#include "util/untTime.h"

namespace corvane {

// Writes log lines as "yyyy-mm-dd hh:nn:ss <message>", flushed at once. The service has no list
// and no tree: their null listeners stand in.
class THeadlessListener : public TNullShellListener {
public:
    THeadlessListener(const TClock& clock, std::FILE* out) : clock_(clock), out_(out) {}
    void AddLogLine(std::string_view message) override;
    void SetExpireInterval(int milliseconds) override;

    // Where the expiry period goes; set by the runner.
    std::function<void(int)> OnExpireInterval;

private:
    const TClock& clock_;
    std::FILE* out_;
};

// True when the arguments ask for the service.
bool WantsHeadless(int argc, char** argv);
// Runs the service to its end: 0 after a quit signal, 2 on a usage error or when its settings
// or logs' folder cannot be written.
int RunHeadless(int argc, char** argv);

} // namespace corvane
