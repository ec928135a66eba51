#include "app/AlertCommand.h"

#include <cmath>
#include <csignal>
#include <unistd.h>

#include "util/JsonText.h"

extern char** environ;

namespace corvane {

namespace {

constexpr std::string_view kPrefix = "CORVANE_";

std::string Figure(int32_t value) {
    return value < 0 ? std::string() : std::to_string(value);
}

} // namespace

std::vector<std::string> InheritedEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e)
        env.emplace_back(*e);
    return env;
}

std::vector<std::string> AlertCommandEnvironment(const TAlertChange& change,
                                                 std::string_view station,
                                                 const std::vector<std::string>& inherited) {
    std::vector<std::string> env;
    env.reserve(inherited.size() + 8);
    for (const std::string& entry : inherited)
        if (entry.compare(0, kPrefix.size(), kPrefix) != 0)
            env.push_back(entry);
    auto add = [&env](std::string_view name, std::string_view value) {
        env.push_back(std::string(kPrefix).append(name).append("=").append(value));
    };
    add("EVENT", AlertEventName(change.Event));
    add("KIND", AlertKindName(change.Kind));
    add("ID", change.Id);
    add("LABEL", Latin1AsUtf8(change.Label));
    add("SILENCE_S", Figure(change.SilenceS));
    add("USUAL_GAP_S", Figure(change.UsualGapS));
    add("BEHIND", change.Behind);
    add("STATION", station);
    return env;
}

TAlertCommands::TAlertCommands(std::string program, std::string station, const TClock& clock,
                               TLog log)
    : program_(std::move(program)), station_(std::move(station)), clock_(clock),
      log_(std::move(log)), inherited_(InheritedEnvironment()) {}

TAlertCommands::~TAlertCommands() {
    for (TRun& run : running_)
        run.Process->Signal(SIGTERM);
    // A moment for a program to end on its own terms; the processes' own end kills the rest.
    for (int wait = 0; wait < 50 && !running_.empty(); ++wait) {
        std::erase_if(running_, [](TRun& run) { return run.Process->Poll(); });
        if (!running_.empty())
            ::usleep(10000);
    }
}

void TAlertCommands::AlertChanged(const TAlertChange& change) {
    if (waiting_.size() >= kQueueMax) {
        ++dropped_;
        if (droppedNow_++ == 0)
            log_("Alert command queue full (" + std::to_string(kQueueMax) +
                 " changes waiting): later changes are dropped until it has room");
        return;
    }
    const bool wasBusy = Busy();
    waiting_.push_back(AlertCommandEnvironment(change, station_, inherited_));
    if (!wasBusy && OnBusy)
        OnBusy();
}

void TAlertCommands::Poll() {
    const TDateTime now = clock_.Now();
    std::erase_if(running_, [&](TRun& run) {
        if (!run.Process->Poll()) {
            EndIfOverdue(run, now);
            return false;
        }
        Report(run);
        return true;
    });
    StartWaiting();
}

void TAlertCommands::StartWaiting() {
    while (running_.size() < size_t(kMaxRunning) && !waiting_.empty()) {
        TRun run{std::make_unique<TCommandProcess>(), clock_.Now()};
        std::string why;
        const bool started = run.Process->Start(program_, waiting_.front(), why);
        waiting_.pop_front();
        if (started)
            running_.push_back(std::move(run));
        else if (const std::string_view line = cannotStart_.Occur(
                     clock_, "Alert command failed (cannot start): " + program_ + ": " + why);
                 !line.empty())
            log_(line);
    }
    if (droppedNow_ > 0 && waiting_.size() < kQueueMax) {
        log_("Alert command queue has room again; " + std::to_string(droppedNow_) +
             (droppedNow_ == 1 ? " change was" : " changes were") + " dropped");
        droppedNow_ = 0;
    }
}

void TAlertCommands::EndIfOverdue(TRun& run, TDateTime now) {
    // Whole milliseconds, so that 30 s measured on day fractions is never 29.999 s.
    const int64_t ranMs = std::llround((now - run.Started) * 86400000.0);
    if (!run.Terminated && ranMs >= TimeoutSec * 1000LL) {
        run.Terminated = true;
        run.Process->Signal(SIGTERM);
    } else if (run.Terminated && ranMs >= (TimeoutSec + kKillGraceSec) * 1000LL) {
        run.Process->Signal(SIGKILL);
    }
}

void TAlertCommands::Report(const TRun& run) {
    const TCommandProcess& p = *run.Process;
    std::string why;
    if (run.Terminated)
        why = "ended after " + std::to_string(TimeoutSec) + " s";
    else if (p.ExitCode() > 0)
        why = std::to_string(p.ExitCode());
    else if (p.ExitCode() < 0)
        why = "signal " + std::to_string(p.TermSignal());
    else
        return;
    std::string line = "Alert command failed (" + why + ")";
    if (!p.ErrorLine().empty())
        line += ": " + p.ErrorLine();
    log_(line);
}

} // namespace corvane
