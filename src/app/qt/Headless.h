// corvane --headless: the monitor as a service, without a window or a display. The same settings,
// intake, store, expiry and logs as the window; what the window would write to its log pane goes
// to standard output, one stamped line each.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "output/LineQueue.h"
#include "store/Listener.h"
#include "util/untTime.h"

namespace corvane {

// Writes log lines as "yyyy-mm-dd hh:nn:ss <message>" to a descriptor through a queue of their
// own thread, so that an output nobody reads holds up neither the intake nor the quit. The
// service has no list and no tree: their null listeners stand in.
class THeadlessListener : public TNullShellListener {
public:
    // Lines that may wait for a slow reader, on top of what the pipe itself holds.
    static constexpr size_t QueuedLines = 1000;

    THeadlessListener(const TClock& clock, int fd);
    void AddLogLine(std::string_view message) override;
    void SetExpireInterval(int milliseconds) override;
    // The line as written, without its line end.
    std::string Stamped(std::string_view message) const;

    // Where the expiry period goes; set by the runner.
    std::function<void(int)> OnExpireInterval;

private:
    const TClock& clock_;
    TLineQueue out_;
};

struct TCmdTarget;
struct TMqttSettings;
// Why an -M option has no broker to read from (none named, none in [MQTT] Host); empty when
// every one has.
std::string MissingBrokerProblem(const std::vector<TCmdTarget>& targets, const TMqttSettings& mqtt);

// True when the arguments ask for the service.
bool WantsHeadless(int argc, char** argv);
// Runs the service to its end: 0 after a quit signal, 2 on a usage error or when its settings
// or logs' folder cannot be written.
int RunHeadless(int argc, char** argv);

} // namespace corvane
