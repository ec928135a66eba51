// One run of a program, started directly (never through a shell) with no arguments and exactly
// the environment given. It runs in a process group of its own, so that ending it ends what it
// started too; its standard input and output are /dev/null and only the first line of its
// standard error is kept. No other file of this program stays open in it, and no signal this
// program catches or blocks stays so in it.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane {

class TCommandProcess {
public:
    // The first line of standard error is kept up to this many bytes.
    static constexpr size_t kErrorLineMax = 200;

    TCommandProcess() = default;
    // A program still running is killed with everything in its group, and reaped.
    ~TCommandProcess();
    TCommandProcess(const TCommandProcess&) = delete;
    TCommandProcess& operator=(const TCommandProcess&) = delete;

    // False, with the system's reason in why, when the program cannot be started (it does not
    // exist, cannot be executed, or the system is out of processes). A program named without a
    // '/' is looked for along PATH.
    bool Start(const std::string& program, const std::vector<std::string>& environment,
               std::string& why);
    // Reads what standard error holds without waiting, and reaps the program once it has
    // ended; true from then on.
    bool Poll();
    // To the program's whole group, while it has not been reaped.
    void Signal(int signal);

    bool Ended() const { return pid_ < 0 && started_; }
    // After Ended: the exit code, or -1 when a signal ended it (then TermSignal says which).
    int ExitCode() const;
    int TermSignal() const;
    const std::string& ErrorLine() const { return errorLine_; }

private:
    void ReadErrors();
    void CloseErrors();

    pid_t pid_ = -1;
    bool started_ = false;
    int status_ = 0;
    int errorFd_ = -1;
    bool lineDone_ = false; // a newline was seen: the rest of standard error is read and dropped
    std::string errorLine_;
};

} // namespace corvane
