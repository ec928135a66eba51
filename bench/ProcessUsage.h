// What a process of the benchmark's has used, from /proc.
#pragma once

#include <QFile>
#include <QList>
#include <QString>

#include <unistd.h>
#include <utility>

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

} // namespace corvane::bench
