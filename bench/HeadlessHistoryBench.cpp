// corvane --headless starting with a full history database: a million reads of two days ago
// and a ring's worth (80000) of the last quarter of an hour, in a CORVANE_HOME of its own. Times
// each start from the exec to the service's first connect to a listening socket of the
// benchmark's, as a receiving station would see it; first with recording off ([History] Keep=0),
// then with the full file, which the service checks, restores from and records into.
//
//   bench_headless_history [starts=5] [older reads=1000000]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "HistoryRig.h"

namespace {

int64_t WallNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// One start: the milliseconds from exec to the first connection (negative when none came), and
// the service's line about what it restored.
double TimeStart(const QString& home, QByteArray& restored) {
    QTcpServer receiver;
    receiver.listen(QHostAddress::LocalHost, 0);
    QProcess service;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CORVANE_HOME", home);
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    service.setProcessEnvironment(env);
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    service.start(QStringLiteral(CORVANE_PROGRAM),
                  {"--headless", QString("-I%1").arg(receiver.serverPort())});
    const bool connected = receiver.waitForNewConnection(20000);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    service.terminate();
    service.waitForFinished(10000);
    restored.clear();
    for (const QByteArray& line : service.readAllStandardOutput().split('\n'))
        if (line.contains("Restored") || line.contains("History database"))
            restored += line.mid(20) + "; ";
    return connected ? ms : -1;
}

// Times the starts and prints each, then the fastest and the median.
void Report(const char* what, const QString& home, int starts) {
    std::vector<double> times;
    QByteArray said;
    for (int i = 0; i < starts; ++i) {
        const double ms = TimeStart(home, said);
        std::printf("  %s start %d: %.0f ms to the first connect%s%s\n", what, i + 1, ms,
                    said.isEmpty() ? "" : "; ", said.constData());
        if (ms >= 0)
            times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    if (!times.empty())
        std::printf("%s: fastest %.0f ms, median %.0f ms to the first connect, over %zu starts\n",
                    what, times.front(), times[times.size() / 2], times.size());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int starts = argc > 1 ? std::atoi(argv[1]) : 5;
    const int64_t older = argc > 2 ? std::atoll(argv[2]) : 1000000;
    QTemporaryDir home;
    const QString path = home.filePath("corvane_history.db");

    QFile ini(home.filePath("corvane.INI"));
    ini.open(QIODevice::WriteOnly);
    ini.write("[History]\r\nKeep=0\r\n");
    ini.close();
    Report("recording off", home.path(), starts);
    QFile::remove(home.filePath("corvane.INI"));

    QElapsedTimer making;
    making.start();
    if (!corvane::bench::MakeFullHistory(path.toStdString(), WallNowMs(), older)) {
        std::fprintf(stderr, "cannot make the history database\n");
        return 1;
    }
    std::printf("made %lld + %d reads (%.0f MB) in %.1f s\n", static_cast<long long>(older),
                corvane::MaxReads, double(QFile(path).size()) / 1e6, making.elapsed() / 1000.0);
    Report("full history", home.path(), starts);
    return 0;
}
