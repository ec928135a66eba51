#include "DeskRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>

#include <chrono>
#include <csignal>
#include <unistd.h>

#include "ProcessUsage.h"

namespace corvane::bench {

double SteadySecondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TDeskRun::TDeskRun(int port, const std::string& publishAs, bool logPackets) : port_(port) {
    const QString program = dir_.filePath("corvane");
    QFile::copy(QStringLiteral(CORVANE_PROGRAM), program);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QByteArray ini = QByteArray("[Settings]\r\nLogPackets=") + (logPackets ? "1" : "0") +
                     "\r\n[MQTT]\r\nTopic=bench\r\n";
    if (!publishAs.empty())
        ini += "Host=127.0.0.1\r\nPort=" + QByteArray::number(port) +
               "\r\nStation=" + QByteArray::fromStdString(publishAs) + "\r\n";
    // BENCH_STATIONS_HISTORY=0: the desk keeps no history database, to compare.
    if (qgetenv("BENCH_STATIONS_HISTORY") == "0")
        ini += "[History]\r\nKeep=0\r\n";
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
        process_.waitForReadyRead(10);
    }
    return false;
}

std::pair<double, long> TDeskRun::Usage() const {
    return ProcessUsage(process_.processId());
}

std::pair<long, long> TDeskRun::ResidentParts() const {
    return {StatusKb(process_.processId(), "RssAnon"), StatusKb(process_.processId(), "RssFile")};
}

uint64_t TDeskRun::Logged() {
    QFile log(dir_.filePath("corvane_01.txt"));
    if (!log.open(QIODevice::ReadOnly) || log.size() <= logOffset_)
        return logged_;
    log.seek(logOffset_);
    const QByteArray more = log.readAll();
    // Whole lines only; the first is the header.
    const qsizetype end = more.lastIndexOf("\r\n");
    if (end < 0)
        return logged_;
    const uint64_t lines = uint64_t(more.left(end + 2).count("\r\n"));
    logged_ += logOffset_ == 0 ? lines - 1 : lines;
    logOffset_ += end + 2;
    return logged_;
}

} // namespace corvane::bench
