// What a process of the benchmark's has used, from /proc.
#pragma once

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace corvane::bench {

// A field of /proc/<pid>/status in kB ("VmRSS", "RssAnon", ...); 0 when absent.
inline long StatusKb(qint64 pid, const char* field) {
    QFile status(QString("/proc/%1/status").arg(pid));
    status.open(QIODevice::ReadOnly);
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLong();
    return 0;
}

// User plus system CPU seconds from a stat file of /proc (a process's or a thread's).
inline double StatCpuSeconds(const QString& path) {
    QFile stat(path);
    stat.open(QIODevice::ReadOnly);
    const QList<QByteArray> f = stat.readAll().split(')').last().trimmed().split(' ');
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return f.size() > 13 ? (f[11].toDouble() + f[12].toDouble()) / ticks : 0;
}

// User plus system CPU seconds the process has used, and its resident memory in kB.
inline std::pair<double, long> ProcessUsage(qint64 pid) {
    return {StatCpuSeconds(QString("/proc/%1/stat").arg(pid)), StatusKb(pid, "VmRSS")};
}

// This process's threads: the folder of each under /proc/self/task, and its name.
inline std::vector<std::pair<QString, QByteArray>> Threads() {
    std::vector<std::pair<QString, QByteArray>> threads;
    for (const QString& tid :
         QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + tid + "/comm");
        if (comm.open(QIODevice::ReadOnly))
            threads.emplace_back("/proc/self/task/" + tid, comm.readAll().trimmed());
    }
    return threads;
}

// CPU seconds of this process's threads named name; the main thread's when name is empty.
inline double ThreadsCpu(const QByteArray& name) {
    const QString main = "/proc/self/task/" + QString::number(getpid());
    double cpu = 0;
    for (const auto& [at, comm] : Threads())
        if (name.isEmpty() ? at == main : comm == name)
            cpu += StatCpuSeconds(at + "/stat");
    return cpu;
}

// Each thread of this process, as its id and name, with the nanoseconds it has run
// (schedstat): what ran while the main thread did not.
inline std::vector<std::pair<std::string, long long>> ThreadsRunNs() {
    std::vector<std::pair<std::string, long long>> ran;
    for (const auto& [at, comm] : Threads()) {
        QFile sched(at + "/schedstat");
        if (sched.open(QIODevice::ReadOnly))
            ran.emplace_back((at.section('/', -1) + ' ' + comm).toStdString(),
                             sched.readAll().split(' ').first().toLongLong());
    }
    return ran;
}

} // namespace corvane::bench
