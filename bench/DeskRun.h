// A desk: the real `corvane --headless -M127.0.0.1:<port>` in a folder of its own, reading
// every station under the topic root "bench". What it registered is read back from its
// statistics log (one block a second, each sensor's total count), its processor time and
// resident memory from /proc.
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
    // publishAs (its packet messages carry each read's registration time).
    TDeskRun(int port, const std::string& publishAs = {});
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

    // The statistics log's blocks read since the last call: the newest complete block's sum of
    // total counts (reads registered since the start), and the steady-clock seconds at which
    // the bench first saw that block. False when no new block is complete.
    bool NextBlock(uint64_t& registered, double& seenAt);

private:
    void ReadLog();

    QTemporaryDir dir_;
    QProcess process_;
    QByteArray out_;
    int port_;
    // The statistics log as far as read, and the block being read.
    int64_t logOffset_ = 0;
    QByteArray partial_;
    QByteArray blockTime_;
    QByteArray blockFirst_;
    uint64_t blockSum_ = 0;
    double blockSeen_ = 0;
    bool haveDone_ = false;
    uint64_t doneSum_ = 0;
    double doneSeen_ = 0;
};

// Steady-clock seconds, as NextBlock stamps its blocks.
double SteadySecondsNow();

} // namespace corvane::bench
