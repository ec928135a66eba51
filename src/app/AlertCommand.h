// The program of [Alerts] Command, run for each alert change by the window and the service
// alike. It is started directly, never through a shell, with no arguments; the change reaches
// it only through its environment (CORVANE_EVENT, CORVANE_KIND, CORVANE_ID, CORVANE_LABEL in
// UTF-8, CORVANE_SILENCE_S, CORVANE_USUAL_GAP_S, CORVANE_BEHIND, CORVANE_STATION), so that no
// text from the radio is ever read as a word of a command.
//
// The intake only queues a change; Poll, on the event loop, starts the programs. At most
// kMaxRunning run at once, later changes wait in a queue of kQueueMax, and a change that finds
// the queue full is dropped and counted. A run is ended after TimeoutSec: SIGTERM to its group,
// then SIGKILL kKillGraceSec later for a program that ignores it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/AlertChange.h"
#include "app/CommandProcess.h"
#include "util/RateLimitedMessage.h"
#include "util/untTime.h"

namespace corvane {

// The environment of a run: inherited without any CORVANE_ variable of its own, then the
// change's. Empty figures (a silence or usual gap not known) are empty values.
std::vector<std::string> AlertCommandEnvironment(const TAlertChange& change,
                                                 std::string_view station,
                                                 const std::vector<std::string>& inherited);
// This program's environment, as a run inherits it.
std::vector<std::string> InheritedEnvironment();

class TAlertCommands : public TAlertOutlet {
public:
    using TLog = std::function<void(std::string_view)>;
    static constexpr int kMaxRunning = 4;
    static constexpr size_t kQueueMax = 64;
    static constexpr int kTimeoutSec = 30;
    static constexpr int kKillGraceSec = 2;

    TAlertCommands(std::string program, std::string station, const TClock& clock, TLog log);
    // Runs still going are ended (SIGTERM, then SIGKILL after a short wait) and reaped.
    ~TAlertCommands() override;

    // How long a run may take; tests shorten it.
    int TimeoutSec = kTimeoutSec;
    // Called when a change is queued while nothing was waiting or running: the event loop's
    // side starts calling Poll.
    std::function<void()> OnBusy;

    void AlertChanged(const TAlertChange& change) override;
    // Starts what waits while fewer than kMaxRunning run, reads their standard error, ends
    // those past their time and reaps those that ended, logging each failure.
    void Poll();
    bool Busy() const { return !running_.empty() || !waiting_.empty(); }
    int Running() const { return static_cast<int>(running_.size()); }
    size_t Waiting() const { return waiting_.size(); }
    int64_t Dropped() const { return dropped_; }

private:
    struct TRun {
        std::unique_ptr<TCommandProcess> Process;
        TDateTime Started = 0;
        bool Terminated = false; // SIGTERM sent at its time
    };

    void StartWaiting();
    void EndIfOverdue(TRun& run, TDateTime now);
    void Report(const TRun& run);

    const std::string program_;
    const std::string station_;
    const TClock& clock_;
    TLog log_;
    const std::vector<std::string> inherited_;
    std::deque<std::vector<std::string>> waiting_; // environments of the changes not yet run
    std::vector<TRun> running_;
    int64_t dropped_ = 0;
    int64_t droppedNow_ = 0; // since the queue last had room
    TRateLimitedMessage cannotStart_{"failed to start"};
};

} // namespace corvane
