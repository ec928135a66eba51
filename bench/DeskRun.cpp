#include "DeskRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>

#include <chrono>
#include <csignal>
#include <unistd.h>

namespace corvane::bench {

double SteadySecondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TDeskRun::TDeskRun(int port, const std::string& publishAs) : port_(port) {
    const QString program = dir_.filePath("corvane");
    QFile::copy(QStringLiteral(CORVANE_PROGRAM), program);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QByteArray ini = "[Settings]\r\nLogRateSec=1\r\n[MQTT]\r\nTopic=bench\r\n";
    if (!publishAs.empty())
        ini += "Host=127.0.0.1\r\nPort=" + QByteArray::number(port) +
               "\r\nStation=" + QByteArray::fromStdString(publishAs) + "\r\n";
    QFile file(dir_.filePath("corvane.INI"));
    file.open(QIODevice::WriteOnly);
    file.write(ini);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(dir_.path());
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

TDeskRun::~TDeskRun() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

bool TDeskRun::Start() {
    process_.start(dir_.filePath("corvane"), {"--headless", QString("-M127.0.0.1:%1").arg(port_)});
    return process_.waitForStarted(10000);
}

QByteArray TDeskRun::Stop() {
    ::kill(pid_t(process_.processId()), SIGTERM);
    process_.waitForFinished(5000);
    Out();
    QByteArray said;
    for (const QByteArray& line : out_.split('\n'))
        if (line.contains("MQTT broker") || line.contains("held back"))
            said = line;
    return said;
}

const QByteArray& TDeskRun::Out() {
    out_ += process_.readAllStandardOutput();
    return out_;
}

bool TDeskRun::WaitOnline(int n, int milliseconds) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < milliseconds) {
        if (Out().count(" online") >= n)
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return false;
}

std::pair<double, long> TDeskRun::Usage() const {
    const qint64 pid = process_.processId();
    QFile stat(QString("/proc/%1/stat").arg(pid));
    stat.open(QIODevice::ReadOnly);
    const QList<QByteArray> f = stat.readAll().split(')').last().trimmed().split(' ');
    const double ticks = double(sysconf(_SC_CLK_TCK));
    const double cpu = f.size() > 13 ? (f[11].toDouble() + f[12].toDouble()) / ticks : 0;
    QFile status(QString("/proc/%1/status").arg(pid));
    status.open(QIODevice::ReadOnly);
    long rss = 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            rss = line.mid(6).trimmed().split(' ').first().toLong();
    return {cpu, rss};
}

// A block is every sensor's row written at one tick: the rows share a time, and a block starts
// again with the first sensor (two ticks may fall within one second's text).
void TDeskRun::ReadLog() {
    QFile log(dir_.filePath("corvane_01.LOG"));
    if (!log.open(QIODevice::ReadOnly) || log.size() <= logOffset_)
        return;
    log.seek(logOffset_);
    const QByteArray more = log.readAll();
    logOffset_ += more.size();
    partial_ += more;
    const double now = SteadySecondsNow();
    qsizetype start = 0;
    for (qsizetype end; (end = partial_.indexOf("\r\n", start)) >= 0; start = end + 2) {
        const QList<QByteArray> f = partial_.mid(start, end - start).split(',');
        if (f.size() != 10 || f[0].startsWith("\"Time"))
            continue;
        if (f[0] != blockTime_ || f[1] == blockFirst_) {
            if (!blockTime_.isEmpty()) {
                haveDone_ = true;
                doneSum_ = blockSum_;
                doneSeen_ = blockSeen_;
            }
            blockTime_ = f[0];
            blockFirst_ = f[1];
            blockSum_ = 0;
            blockSeen_ = now;
        }
        blockSum_ += f[5].toULongLong();
    }
    partial_.remove(0, start);
}

bool TDeskRun::NextBlock(uint64_t& registered, double& seenAt) {
    ReadLog();
    if (!haveDone_)
        return false;
    haveDone_ = false;
    registered = doneSum_;
    seenAt = doneSeen_;
    return true;
}

} // namespace corvane::bench
