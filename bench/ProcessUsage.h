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

// User plus system CPU seconds the process has used, and its resident memory in kB.
inline std::pair<double, long> ProcessUsage(qint64 pid) {
    QFile stat(QString("/proc/%1/stat").arg(pid));
    stat.open(QIODevice::ReadOnly);
    const QList<QByteArray> f = stat.readAll().split(')').last().trimmed().split(' ');
    const double ticks = double(sysconf(_SC_CLK_TCK));
    const double cpu = f.size() > 13 ? (f[11].toDouble() + f[12].toDouble()) / ticks : 0;
    return {cpu, StatusKb(pid, "VmRSS")};
}

// CPU seconds of this process's threads named name (/proc/self/task/*/comm); the main thread's
// when name is empty.
inline double ThreadsCpu(const QByteArray& name) {
    double cpu = 0;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    const QString self = QString::number(getpid());
    for (const QString& tid :
         QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + tid + "/comm");
        comm.open(QIODevice::ReadOnly);
        if (name.isEmpty() ? tid != self : comm.readAll().trimmed() != name)
            continue;
        QFile stat("/proc/self/task/" + tid + "/stat");
        stat.open(QIODevice::ReadOnly);
        const QList<QByteArray> f = stat.readAll().split(')').last().trimmed().split(' ');
        if (f.size() > 13)
            cpu += (f[11].toDouble() + f[12].toDouble()) / ticks;
    }
    return cpu;
}

// Each thread of this process, by name, with the nanoseconds it has run
// (/proc/self/task/*/schedstat): what ran while the main thread did not.
inline std::vector<std::pair<std::string, long long>> ThreadsRunNs() {
    std::vector<std::pair<std::string, long long>> threads;
    for (const QString& tid :
         QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString at = "/proc/self/task/" + tid;
        QFile comm(at + "/comm"), sched(at + "/schedstat");
        if (!comm.open(QIODevice::ReadOnly) || !sched.open(QIODevice::ReadOnly))
            continue;
        threads.emplace_back((tid + ' ' + comm.readAll().trimmed()).toStdString(),
                             sched.readAll().split(' ').first().toLongLong());
    }
    return threads;
}

} // namespace corvane::bench
