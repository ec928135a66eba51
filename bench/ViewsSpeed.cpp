// How fast the main window keeps up with a busy network: the real window (offscreen unless a
// display is given), fed over loopback TCP by a receiver thread that sends simulated lines for
// 2000 sensors through 64 repeaters and 32 entry points, with the ring already full. Reports the
// lines per second handled, the longest pause of the event loop (a 2 ms heartbeat: the gaps between
// its beats overstate a pause by at most that), how often the window was repainted and the share of
// a core the program used (the window's thread and the toolkit's helpers, without the receiver);
// last, the same at 200 lines/s, a quiet network's load.
// VIEWS_SPEED_ONE_SENSOR=1 has one sensor send every line (a receiver flooding with one sensor), so
// that it owns the whole ring; VIEWS_SPEED_SENSORS=N offers N sensors instead of 2000 (past the
// sensor table's 2000 the rest are refused); VIEWS_SPEED_ROUTES=15 has one sensor heard over 15
// routes (3 repeaters, 5 entry points). VIEWS_SPEED_LOG=N writes N more lines a second into the
// log pane during each run. VIEWS_SPEED_FILL=N puts N reads into the ring before the runs
// instead of filling it (90000 reads), to see the window while the ring is still filling.
//
//   taskset -c 1 views_speed [seconds per run, default 10] [paced rate, default 1000]
//
// Pinned to one processor, the pause watcher shares the event loop's processor, so that a pause
// of the whole machine shows in both and is not charged to the window. It counts a 1 ms sleep
// that took over 20 ms as such a pause; VIEWS_SPEED_PAUSE_MS=N counts those over N ms.
// VIEWS_SPEED_DEBUG=1 also times the pieces, names every event that took longer than 40 ms
// (VIEWS_SPEED_LONG_MS) and counts and times the paints of each widget; VIEWS_SPEED_PACED_ONLY=1
// skips the flat-out runs, VIEWS_SPEED_QUIET_ONLY=1 all but the 200 lines/s ones,
// VIEWS_SPEED_NO_QUIET=1 the 200 lines/s ones (for many runs of the pace alone). VIEWS_SPEED_MQTT=1
// publishes to a broker started on loopback, with a subscriber taking the packet messages.
// VIEWS_SPEED_SORT=Age (or Sensor, Run Avg) runs one sort only. The window records into a history
// database in a folder of its own, as a run with the default settings does; VIEWS_SPEED_HISTORY=0
// turns that off
// ([History] Keep=0), to compare.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ProcessUsage.h"
#include "ViewsSpeedLines.h"
#include "ViewsSpeedRig.h"
#include "app/HistoryRecording.h"
#include "app/Monitor.h"
#include "app/qt/RouteTree.h"
#include "app/qt/SensorListModel.h"
#include "app/qt/fmCorv.h"
#include "conn/Conn.h"
#include "history/HistoryWriter.h"
#include "mqtt/Broker.h"

using namespace corvane;
using namespace corvane::bench;

namespace {

TPauseWatch* pauseWatch = nullptr;
// Names the events that keep the loop busy longest, when asked to, and keeps the latest
// top-level events so that a long gap of the heartbeat can be told apart.
class TTimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    struct TEvent {
        int64_t Start, End;
        int Type;
        const char* Class;
    };
    // The top-level events that ended after `from`, and the time spent in them.
    void PrintEventsSince(int64_t from) const {
        double busy = 0;
        for (const TEvent& e : recent_)
            if (e.End > from) {
                busy += (e.End - std::max(e.Start, from)) / 1e6;
                if (e.End - e.Start > 1'000'000)
                    std::printf("    %.1f ms: type %d to %s\n", (e.End - e.Start) / 1e6, e.Type,
                                e.Class);
            }
        std::printf("    %.1f ms in events\n", busy);
    }
    bool notify(QObject* receiver, QEvent* event) override {
        if (!qEnvironmentVariableIsSet("VIEWS_SPEED_DEBUG"))
            return QApplication::notify(receiver, event);
        ++depth_;
        QElapsedTimer t;
        t.start();
        const int64_t start = Now();
        const int64_t cpuStart = ThreadCpuNs();
        const int type = event->type();
        const char* className = receiver->metaObject()->className();
        const QByteArray who = className + QByteArray(" ") + receiver->objectName().toLatin1();
        std::string paintAt;
        if (type == QEvent::Paint) {
            QByteArray where = who.trimmed();
            // The toolkit's own parts (qt_…, or unnamed ones by their class, such as a list's
            // header) are named up to the first widget of ours.
            for (QObject* up = receiver->parent(); up; up = up->parent()) {
                const QString name = up->objectName();
                where += " in " + (name.isEmpty() ? QByteArray(up->metaObject()->className())
                                                  : name.toLatin1());
                if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")))
                    break;
            }
            paintAt = where.toStdString();
        }
        const bool r = QApplication::notify(receiver, event);
        if (!paintAt.empty()) {
            auto& [times, ms] = paints_[paintAt];
            ++times;
            ms += double(Now() - start) / 1e6;
        }
        --depth_;
        if (depth_ == 0) {
            if (recent_.size() >= 4096)
                recent_.erase(recent_.begin(), recent_.begin() + 2048);
            recent_.push_back({start, Now(), type, className});
        }
        if (depth_ == 0 && t.elapsed() > longMs_) {
            timespec ts{};
            clock_gettime(CLOCK_MONOTONIC, &ts);
            // The thread's own time tells work apart from being left off the processor.
            std::printf("  long event: %lld ms (%.1f ms on the processor), type %d, to %s, ended "
                        "at %ld.%06ld\n",
                        t.elapsed(), (ThreadCpuNs() - cpuStart) / 1e6, type, who.data(),
                        static_cast<long>(ts.tv_sec), ts.tv_nsec / 1000);
        }
        return r;
    }

    // How often and how long each widget was painted since the last call, named by itself or the
    // nearest named widget that holds it.
    void PrintPaints() {
        for (const auto& [where, n] : paints_)
            std::printf("    painted %d times, %.1f ms: %s\n", n.first, n.second, where.c_str());
        paints_.clear();
    }

private:
    // VIEWS_SPEED_LONG_MS lowers the bar for naming an event, to find what makes a gap of a few
    // milliseconds.
    const int longMs_ = qEnvironmentVariableIsSet("VIEWS_SPEED_LONG_MS")
                            ? qEnvironmentVariableIntValue("VIEWS_SPEED_LONG_MS")
                            : 40;
    int depth_ = 0;
    std::vector<TEvent> recent_;
    std::map<std::string, std::pair<int, double>> paints_; // times, ms
};

TTimedApplication* debugApp = nullptr;

struct TResult {
    double LinesPerSecond;
    double LongestGapMs;
    double LongestOwnGapMs; // the longest gap less the time the whole process was paused
    double FramesPerSecond; // repaints of the window
    double CorePercent;     // CPU time of the window's thread over the time taken
};

// Counts the window's repaints: each is one update request to the top-level window.
class TFrameCounter : public QObject {
public:
    explicit TFrameCounter(QWidget* window) : window_(window) { window->installEventFilter(this); }
    int Frames() const { return frames_; }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::UpdateRequest)
            ++frames_;
        return false;
    }

private:
    QWidget* window_;
    int frames_ = 0;
};

TResult Run(TfrmCorv& window, const std::vector<std::string>& lines, double rate, double seconds) {
    TReceiver receiver(lines, rate, seconds);
    TConn* conn = window.OpenTcp("127.0.0.1", receiver.Port());
    size_t handled = 0;
    auto forward = conn->OnLine;
    conn->OnLine = [&handled, forward](TConn& c, std::string_view line) {
        ++handled;
        if (!debugApp)
            return forward(c, line);
        // In debug mode a line that takes over 1 ms is named: what it made the window do.
        const int64_t start = ThreadCpuNs();
        const auto r = forward(c, line);
        if (const int64_t took = ThreadCpuNs() - start; took > 1'000'000)
            std::printf("  line %zu took %.1f ms: %.*s\n", handled, took / 1e6,
                        static_cast<int>(line.size()), line.data());
        return r;
    };

    TFrameCounter frames(&window);
    // What the whole program costs: the window's thread and the toolkit's helpers (its painter
    // fills large areas on a pool of threads), without the receiver and the pause watcher.
    const double cpuStart = CpuSecondsOf(CLOCK_PROCESS_CPUTIME_ID) - pauseWatch->CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    double longestOwn = 0;
    int64_t lastSteady = Now();
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    std::vector<std::pair<std::string, long long>> threadsRan; // at the last beat, in debug mode
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        if (debugApp && now - last > 16'000'000) {
            std::printf("  gap %.1f ms\n", (now - last) / 1e6);
            debugApp->PrintEventsSince(Now() - (now - last));
            const auto ran = ThreadsRunNs();
            for (const auto& [who, ns] : ran)
                for (const auto& [before, nsBefore] : threadsRan)
                    if (before == who && ns - nsBefore > 1'000'000)
                        std::printf("    thread %s ran %.1f ms\n", who.c_str(),
                                    (ns - nsBefore) / 1e6);
        }
        if (debugApp)
            threadsRan = ThreadsRunNs();
        const int64_t steady = Now();
        longestOwn = std::max(longestOwn, (steady - lastSteady) / 1e6 -
                                              pauseWatch->PausedMs(lastSteady, steady));
        lastSteady = steady;
        last = now;
    });
    heartbeat.start(2);
    // VIEWS_SPEED_LOG=N: N lines a second into the log pane besides what the lines make it say,
    // in tens every 10 ms.
    const int logRate = qEnvironmentVariableIntValue("VIEWS_SPEED_LOG");
    QTimer logLines;
    int64_t logged = 0;
    QElapsedTimer logClock;
    logClock.start();
    QObject::connect(&logLines, &QTimer::timeout, [&] {
        for (const int64_t due = logRate * logClock.elapsed() / 1000; logged < due; ++logged)
            window.AddLogLine("Sensor 00000000001234" + std::to_string(logged % 100) +
                              " refused: the sensor table is full");
    });
    if (logRate > 0)
        logLines.start(10);
    // Until the receiver is done and every line it sent has been handled.
    // Waiting for events, as the window's own loop does, so that its share of a core is what
    // the window costs (the heartbeat wakes it at least every 2 ms to look).
    while (!receiver.Done() || handled < receiver.Sent()) {
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (clock.elapsed() > (seconds + 60) * 1000)
            break;
    }
    const double elapsed = clock.nsecsElapsed() / 1e9;
    if (qEnvironmentVariableIsSet("VIEWS_SPEED_DEBUG"))
        std::printf("  sent %zu handled %zu in %.2f s\n", receiver.Sent(), handled, elapsed);
    if (debugApp)
        debugApp->PrintPaints();
    logLines.stop();
    heartbeat.stop(); // the window has deleted the connection after the receiver closed it
    return {handled / elapsed, longest / 1e6, longestOwn, frames.Frames() / elapsed,
            100 *
                (CpuSecondsOf(CLOCK_PROCESS_CPUTIME_ID) - pauseWatch->CpuSeconds() -
                 receiver.CpuSeconds() - cpuStart) /
                elapsed};
}

void Print(const char* sort, const char* what, const TResult& r) {
    if (r.LinesPerSecond == 0) // a run that was skipped
        return;
    std::printf(
        "sorted by %-7s %-8s: %7.0f lines/s, longest gap %6.1f ms (%6.1f ms without machine "
        "pauses), %5.1f repaints/s, %5.1f %% of a core\n",
        sort, what, r.LinesPerSecond, r.LongestGapMs, r.LongestOwnGapMs, r.FramesPerSecond,
        r.CorePercent);
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TTimedApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VIEWS_SPEED_DEBUG"))
        debugApp = &app;
    TPauseWatch watch;
    pauseWatch = &watch;
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    const double rate = argc > 2 ? std::atof(argv[2]) : 1000;

    // The window's settings, logs and history database live in the folder, beside the program
    // it is told it is.
    QTemporaryDir folder;
    const QString program = folder.filePath("corvane");
    QByteArray settings;
    if (qgetenv("VIEWS_SPEED_HISTORY") == "0")
        settings += "[History]\r\nKeep=0\r\n";
    std::unique_ptr<corvane::testing::TBroker> broker;
    std::unique_ptr<corvane::testing::TSubscriber> subscriber;
    if (qEnvironmentVariableIsSet("VIEWS_SPEED_MQTT")) {
        broker = std::make_unique<corvane::testing::TBroker>();
        if (!broker->Start())
            return 1;
        subscriber =
            std::make_unique<corvane::testing::TSubscriber>(broker->Port(), "corvane/speed/packet");
        subscriber->WaitConnected();
        settings += QString("[MQTT]\r\nHost=127.0.0.1\r\nPort=%1\r\nStation=speed\r\n")
                        .arg(broker->Port())
                        .toLatin1();
    }
    {
        QFile ini(folder.filePath("corvane.INI"));
        ini.open(QIODevice::WriteOnly);
        ini.write(settings);
    }
    TfrmCorv window({}, program);
    const THistoryWriter* history = window.History().Writer();
    std::printf("history database: %s\n", history ? "recording" : "off");
    window.show();
    const std::vector<std::string> lines = MakeLines(200000);
    // Fill the ring first, as after a long run; VIEWS_SPEED_FILL=N puts N reads in instead, so
    // that a smaller N leaves the ring filling, as in the first hours of a quiet network.
    const size_t fill =
        qEnvironmentVariableIsSet("VIEWS_SPEED_FILL")
            ? std::min<size_t>(qEnvironmentVariableIntValue("VIEWS_SPEED_FILL"), 90000)
            : 90000;
    for (size_t i = 0; i < fill; ++i) {
        window.Monitor().ParsePacketLine(nullptr, lines[i]);
        if (i % 1000 == 0)
            QApplication::processEvents();
    }
    QApplication::processEvents();
    const TStore& store = window.Monitor().Store();
    std::printf("sensors %d, repeaters %d, entry points %d, reads %d\n", store.SensorCount,
                store.RepeatCount, store.EntryCount, store.ReadCount);

    // A user looking at one sensor, with the roots open.
    window.lvDev->setCurrentIndex(window.ListModel()->index(10, 0));
    for (int r = 0; r < 3; ++r)
        window.tvDev->expand(window.Tree()->RootIndex(static_cast<TRouteTree::TRoot>(r)));
    if (qEnvironmentVariableIsSet("VIEWS_SPEED_DEBUG")) {
        for (int column : {0, 5, 4}) {
            window.ListModel()->ColumnClick(column);
            QElapsedTimer t;
            t.start();
            window.Monitor().ExpireTick();
            const qint64 tick = t.nsecsElapsed();
            window.ListModel()->Flush();
            const qint64 flush = t.nsecsElapsed();
            window.lvDev->viewport()->repaint();
            const qint64 list = t.nsecsElapsed();
            window.tvDev->viewport()->repaint();
            const qint64 tree = t.nsecsElapsed();
            window.repaint();
            std::printf("  column %d: expiry tick %.1f ms, list flush %.1f ms, list paint %.1f ms, "
                        "tree paint %.1f ms, window %.1f ms\n",
                        column, tick / 1e6, (flush - tick) / 1e6, (list - flush) / 1e6,
                        (tree - list) / 1e6, (t.nsecsElapsed() - tree) / 1e6);
        }
    }
    const std::vector<std::string> rest(lines.begin() + fill, lines.end());

    struct TCase {
        const char* Name;
        int Clicks[2];
    };
    for (const TCase& c :
         {TCase{"Sensor", {0, 0}}, TCase{"Age", {5, -1}}, TCase{"Run Avg", {4, -1}}}) {
        if (const QByteArray only = qgetenv("VIEWS_SPEED_SORT"); !only.isEmpty() && only != c.Name)
            continue;
        for (int column : c.Clicks)
            if (column >= 0)
                window.ListModel()->ColumnClick(column);
        const bool quietOnly = qEnvironmentVariableIsSet("VIEWS_SPEED_QUIET_ONLY");
        const TResult paced = quietOnly ? TResult{} : Run(window, rest, rate, seconds);
        const TResult flat = quietOnly || qEnvironmentVariableIsSet("VIEWS_SPEED_PACED_ONLY")
                                 ? TResult{}
                                 : Run(window, rest, 0, seconds);
        // A quiet network: what the window costs while someone merely watches.
        const TResult quiet = qEnvironmentVariableIsSet("VIEWS_SPEED_NO_QUIET")
                                  ? TResult{}
                                  : Run(window, rest, 200, seconds);
        for (const auto& [what, r] :
             {std::pair{"paced", paced}, std::pair{"flat out", flat}, std::pair{"200/s", quiet}})
            Print(c.Name, what, r);
    }
    if (history) {
        window.History().Poll();
        std::printf("history database: %llu reads recorded, %llu not recorded\n",
                    static_cast<unsigned long long>(history->Recorded()),
                    static_cast<unsigned long long>(history->NotRecorded()));
    }
    if (subscriber) {
        // The Connect menu's publishing entry says how it went; it is brought up to date within
        // a fraction of a second.
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 1000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        const QAction* state = window.findChild<QAction*>("mniMqtt");
        std::printf("%s; the subscriber received %zu packet messages\n",
                    state ? state->text().toLatin1().constData() : "no publishing",
                    subscriber->Count());
    }
    return 0;
}
