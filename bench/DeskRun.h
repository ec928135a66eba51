// A desk: the real `corvane --headless -M127.0.0.1:<port>` in a folder of its own, reading
// every station under the topic root "bench". What it registered is counted in its packet log
// (one line for each line that passed the checks), its resident memory read from /proc.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdint>
#include <string>
#include <utility>

namespace corvane::bench {

class TDeskRun {
public:
    // publishAs: when not empty, the desk also publishes what it registers, as station
    // publishAs (its packet messages carry each read's registration time); logPackets: it keeps
    // its packet log ([Settings] LogPackets).
    TDeskRun(int port, const std::string& publishAs, bool logPackets);
    ~TDeskRun();
    bool Start();
    // SIGTERM, and what the desk said last about its broker.
    QByteArray Stop();
    // Takes what the desk wrote to its standard output; the whole of it so far.
    const QByteArray& Out();
    // Until it has said n times that a station is online.
    bool WaitOnline(int n, int milliseconds = 10000);

    // Processor seconds and resident kB of the desk.
    std::pair<double, long> Usage() const;
    // Resident kB of the desk's own heap and stacks (RssAnon), and of files it maps (RssFile:
    // the program, its libraries, the history database).
    std::pair<long, long> ResidentParts() const;

    // Lines in the packet log so far.
    uint64_t Logged();

private:
    QTemporaryDir dir_;
    QProcess process_;
    QByteArray out_;
    int port_;
    int64_t logOffset_ = 0; // the packet log as far as counted
    uint64_t logged_ = 0;
};

// Steady-clock seconds.
double SteadySecondsNow();

} // namespace corvane::bench
