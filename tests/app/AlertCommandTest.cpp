// The program of [Alerts] Command, run for real: small shell scripts in a folder of the test's
// own write what they were given to files there. The runs' time limit is judged on a clock
// set by hand; the programs themselves run on the machine's time.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "app/AlertCommand.h"
#include "support/TempDir.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TAlertChange SilentSensor(std::string label = "Tank 7") {
    TAlertChange c;
    c.Event = TAlertEvent::Silent;
    c.Kind = TAlertKind::Sensor;
    c.Id = "0000000000123456";
    c.Label = std::move(label);
    c.SilenceS = 2400;
    c.UsualGapS = 15;
    return c;
}

class AlertCommand : public ::testing::Test {
protected:
    TTempDir dir;
    TManualClock clock{46000.0};
    std::vector<std::string> log;

    // A script of body in the test's folder.
    std::string Script(const std::string& name, const std::string& body) {
        const std::string path = dir.Path() + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n" << body;
        ::chmod(path.c_str(), 0755);
        return path;
    }
    std::unique_ptr<TAlertCommands> Commands(const std::string& program) {
        return std::make_unique<TAlertCommands>(
            program, "north-station", clock, [this](std::string_view l) { log.emplace_back(l); });
    }
    std::string Path(const std::string& name) const { return dir.Path() + "/" + name; }
    // Polls until done, for at most 10 s of the machine's time.
    static bool PollUntil(TAlertCommands& c, const std::function<bool()>& done) {
        for (int i = 0; i < 1000 && !done(); ++i) {
            c.Poll();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }
    int Markers(const std::string& prefix) const {
        int n = 0;
        for (const auto& e : fs::directory_iterator(dir.Path()))
            n += e.path().filename().string().rfind(prefix, 0) == 0;
        return n;
    }
    // Every child of the test was reaped: none runs and none is left a zombie.
    static bool NoChildLeft() {
        int status;
        return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
    }
};

TEST_F(AlertCommand, TheChangeArrivesInTheEnvironmentOnlyAndUnexpanded) {
    const std::string out = Path("env.txt");
    const std::string program =
        Script("hook", "echo \"args=$#\" > '" + out + "'\nenv >> '" + out + "'\n");
    ::setenv("CORVANE_STALE", "from the parent", 1);
    auto commands = Commands(program);
    ::unsetenv("CORVANE_STALE");
    bool busy = false;
    commands->OnBusy = [&] { busy = true; };
    TAlertChange change = SilentSensor("Tank $(touch pwned) `touch pwned` \"q\" 'x' \xE9\xFF");
    commands->AlertChanged(change);
    // Queued, not started: the intake goes on at once.
    EXPECT_TRUE(busy);
    EXPECT_EQ(commands->Running(), 0);
    ASSERT_TRUE(PollUntil(*commands, [&] { return !commands->Busy(); }));
    const std::string env = ReadText(out);
    EXPECT_NE(env.find("args=0\n"), std::string::npos);
    EXPECT_NE(env.find("\nCORVANE_EVENT=silent\n"), std::string::npos);
    EXPECT_NE(env.find("\nCORVANE_KIND=sensor\n"), std::string::npos);
    EXPECT_NE(env.find("\nCORVANE_ID=0000000000123456\n"), std::string::npos);
    EXPECT_NE(env.find("\nCORVANE_LABEL=Tank $(touch pwned) `touch pwned` \"q\" 'x' "
                       "\xC3\xA9\xC3\xBF\n"),
              std::string::npos);
    EXPECT_NE(env.find("\nCORVANE_SILENCE_S=2400\n"), std::string::npos);
    EXPECT_NE(env.find("\nCORVANE_USUAL_GAP_S=15\n"), std::string::npos);
    EXPECT_NE(env.find("\nCORVANE_BEHIND=\n"), std::string::npos);
    EXPECT_NE(env.find("\nCORVANE_STATION=north-station\n"), std::string::npos);
    EXPECT_NE(env.find("\nPATH="), std::string::npos);
    EXPECT_EQ(env.find("CORVANE_STALE"), std::string::npos);
    EXPECT_FALSE(fs::exists(Path("pwned")));
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(NoChildLeft());
}

TEST_F(AlertCommand, UnknownFiguresAndACauseGoOutAsTheyAre) {
    TAlertChange change;
    change.Event = TAlertEvent::Back;
    change.Kind = TAlertKind::Repeat;
    change.Id = change.Label = "a";
    change.Behind = "entry/3";
    const std::vector<std::string> env = AlertCommandEnvironment(change, "s", {"HOME=/root"});
    const std::vector<std::string> expected{
        "HOME=/root",           "CORVANE_EVENT=back",     "CORVANE_KIND=repeater",
        "CORVANE_ID=a",         "CORVANE_LABEL=a",        "CORVANE_SILENCE_S=",
        "CORVANE_USUAL_GAP_S=", "CORVANE_BEHIND=entry/3", "CORVANE_STATION=s"};
    EXPECT_EQ(env, expected);
}

TEST_F(AlertCommand, AFailureLogsItsExitCodeAndFirstErrorLine) {
    const std::string program =
        Script("fails", "echo >&2\necho 'mail: cannot reach relay' >&2\necho more >&2\nexit 3\n");
    auto commands = Commands(program);
    commands->AlertChanged(SilentSensor());
    ASSERT_TRUE(PollUntil(*commands, [&] { return !commands->Busy(); }));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "Alert command failed (3): mail: cannot reach relay");
    // A program that succeeds is not logged.
    commands = Commands(Script("works", "exit 0\n"));
    commands->AlertChanged(SilentSensor());
    ASSERT_TRUE(PollUntil(*commands, [&] { return !commands->Busy(); }));
    EXPECT_EQ(log.size(), 1u);
    EXPECT_TRUE(NoChildLeft());
}

TEST_F(AlertCommand, AMissingProgramIsLoggedOnceAMinute) {
    auto commands = Commands(Path("no-such-program"));
    commands->AlertChanged(SilentSensor());
    commands->AlertChanged(SilentSensor());
    commands->Poll();
    EXPECT_FALSE(commands->Busy());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "Alert command failed (cannot start): " + Path("no-such-program") +
                          ": No such file or directory");
    clock.AdvanceSeconds(60);
    commands->AlertChanged(SilentSensor());
    commands->Poll();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[1].find("(1 more failed to start since "), std::string::npos) << log[1];
    EXPECT_TRUE(NoChildLeft());
}

// A program that ignores SIGTERM and has started one of its own: both end at the limit.
TEST_F(AlertCommand, AHangingProgramIsEndedWithWhatItStartedAtTheLimit) {
    const std::string program =
        Script("hangs", "trap '' TERM\nsleep 1000 &\necho $! > '" + Path("child.pid") +
                            "'\necho 'still waiting' >&2\nwhile :; do wait; done\n");
    auto commands = Commands(program);
    commands->AlertChanged(SilentSensor());
    ASSERT_TRUE(PollUntil(*commands, [&] {
        return fs::exists(Path("child.pid")) && fs::file_size(Path("child.pid")) > 0;
    }));
    const pid_t child = std::stoi(ReadText(Path("child.pid")));
    clock.AdvanceSeconds(TAlertCommands::kTimeoutSec - 1);
    commands->Poll();
    EXPECT_EQ(commands->Running(), 1);
    clock.AdvanceSeconds(1); // the limit: SIGTERM, which it ignores
    commands->Poll();
    commands->Poll();
    EXPECT_EQ(commands->Running(), 1);
    clock.AdvanceSeconds(TAlertCommands::kKillGraceSec);
    ASSERT_TRUE(PollUntil(*commands, [&] { return !commands->Busy(); }));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "Alert command failed (ended after 30 s): still waiting");
    // Its own child went with it (gone, or a zombie for init to reap).
    const std::string stat = "/proc/" + std::to_string(child) + "/stat";
    for (int i = 0; i < 500 && fs::exists(stat) && ReadText(stat).find(") Z ") == std::string::npos;
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(!fs::exists(stat) || ReadText(stat).find(") Z ") != std::string::npos);
    EXPECT_TRUE(NoChildLeft());
}

TEST_F(AlertCommand, TheLimitIsASeamThatTestsCanShorten) {
    auto commands = Commands(Script("sleeps", "exec sleep 1000\n"));
    commands->TimeoutSec = 1;
    commands->AlertChanged(SilentSensor());
    commands->Poll();
    ASSERT_EQ(commands->Running(), 1);
    clock.AdvanceSeconds(1);
    ASSERT_TRUE(PollUntil(*commands, [&] { return !commands->Busy(); }));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "Alert command failed (ended after 1 s)");
}

// Four run at once; the rest wait, up to the queue's bound, and the overflow is counted.
TEST_F(AlertCommand, FourRunAtOnceAndAFullQueueDropsAndCounts) {
    const std::string program =
        Script("blocks", "touch '" + dir.Path() + "/ran.'$$\nwhile [ ! -e '" + Path("release") +
                             "' ]; do sleep 0.02; done\n");
    auto commands = Commands(program);
    for (int i = 0; i < 6; ++i)
        commands->AlertChanged(SilentSensor());
    commands->Poll();
    EXPECT_EQ(commands->Running(), TAlertCommands::kMaxRunning);
    EXPECT_EQ(commands->Waiting(), 2u);
    ASSERT_TRUE(PollUntil(*commands, [&] { return Markers("ran.") == 4; }));
    commands->Poll();
    EXPECT_EQ(Markers("ran."), 4);

    const size_t room = TAlertCommands::kQueueMax - commands->Waiting();
    for (size_t i = 0; i < room + 3; ++i)
        commands->AlertChanged(SilentSensor());
    EXPECT_EQ(commands->Waiting(), TAlertCommands::kQueueMax);
    EXPECT_EQ(commands->Dropped(), 3);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "Alert command queue full (64 changes waiting): later changes are "
                      "dropped until it has room");

    std::ofstream(Path("release")) << "";
    ASSERT_TRUE(PollUntil(*commands, [&] { return !commands->Busy(); }));
    EXPECT_EQ(Markers("ran."), int(TAlertCommands::kQueueMax) + 4);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "Alert command queue has room again; 3 changes were dropped");
    EXPECT_TRUE(NoChildLeft());
}

// The window or service quits while a program runs: it is ended and reaped, not left behind.
TEST_F(AlertCommand, RunsStillGoingAtTheEndAreEndedAndReaped) {
    auto commands = Commands(Script("sleeps", "trap '' TERM\nsleep 1000\n"));
    commands->AlertChanged(SilentSensor());
    commands->Poll();
    ASSERT_EQ(commands->Running(), 1);
    commands.reset();
    EXPECT_TRUE(NoChildLeft());
}

} // namespace
