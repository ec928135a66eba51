// Start-up: from the exec of the program to its first connect to a listening socket of the
// benchmark's, as a receiving station would see it. The window (on the offscreen platform, or
// the display when there is one) and the service, each in a CORVANE_HOME of its own with
// nothing in it but what a first start makes; the median of the starts is the figure.
//
//   bench_startup [starts=7]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Milliseconds from exec to the first connection; negative when none came.
double TimeStart(const QString& home, const QStringList& args, bool window) {
    QTcpServer receiver;
    receiver.listen(QHostAddress::LocalHost, 0);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CORVANE_HOME", home);
    if (window && !env.contains("DISPLAY"))
        env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    program.start(QStringLiteral(CORVANE_PROGRAM),
                  args + QStringList{QString("-I%1").arg(receiver.serverPort())});
    const bool connected = receiver.waitForNewConnection(20000);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    program.terminate();
    if (!program.waitForFinished(10000))
        program.kill();
    program.waitForFinished(2000);
    return connected ? ms : -1;
}

void Report(const char* what, const QStringList& args, bool window, int starts) {
    QTemporaryDir home;
    std::vector<double> times;
    for (int i = 0; i < starts; ++i) {
        const double ms = TimeStart(home.path(), args, window);
        std::printf("  %s start %d: %.1f ms\n", what, i + 1, ms);
        if (ms >= 0)
            times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    if (!times.empty())
        std::printf("%s: fastest %.1f ms, median %.1f ms to the first connect, over %zu starts\n",
                    what, times.front(), times[times.size() / 2], times.size());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int starts = argc > 1 ? std::atoi(argv[1]) : 7;
    Report("window", {}, true, starts);
    Report("service", {"--headless"}, false, starts);
    return 0;
}
