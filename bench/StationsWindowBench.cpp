// The main window reading stations: the real window (offscreen unless a display is given),
// started with -M127.0.0.1:<port> on a broker of its own, the ring filled first, then 10
// stations (StationFlood.h) publishing at a rate for a while. Reports the lines per second
// registered and the longest pause of the event loop, measured as views_speed does (a 2 ms
// heartbeat: a gap overstates a pause by at most that).
//
//   bench_stations_window [seconds, default 10] [rate in all, default 5000]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "StationFlood.h"
#include "app/Monitor.h"
#include "app/qt/fmCorv.h"
#include "mqtt/Broker.h"

using namespace corvane;

namespace {

class TCounter : public TReadObserver {
public:
    void OnRead(const TStore&, const TRegisteredRead&) override { ++Reads; }
    uint64_t Reads = 0;
};

void TurnFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    const double rate = argc > 2 ? std::atof(argv[2]) : 5000;
    testing::TBroker broker;
    if (!broker.Start())
        return 1;
    QTemporaryDir folder;
    {
        QFile ini(folder.filePath("corvane.INI"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[MQTT]\r\nTopic=bench\r\n");
    }
    bench::TStationFlood flood(broker.Port(), "bench", 10);
    flood.WaitConnected();
    TfrmCorv window({QString("-M127.0.0.1:%1").arg(broker.Port())}, folder.filePath("corvane"));
    window.show();
    TCounter counter;
    window.Monitor().AddReadObserver(&counter);
    // The ring full first, as after a long run, with the stations' own sensors.
    const size_t fill = 90000;
    for (size_t i = 0; i < fill; ++i) {
        window.Monitor().ParsePacketLine(nullptr, flood.Line(i));
        if (i % 1000 == 0)
            QApplication::processEvents();
    }
    TurnFor(1500); // the reader connects and hears the stations' status
    const uint64_t before = counter.Reads;
    const size_t n = size_t(rate * seconds);
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    heartbeat.start(2);
    flood.Start(fill, n, rate);
    while ((flood.Running() || counter.Reads - before < n) &&
           clock.elapsed() < (seconds + 30) * 1000)
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    heartbeat.stop();
    flood.Wait();
    std::printf("window reading 10 stations at %.0f lines/s: %llu of %zu lines registered, %.0f "
                "lines/s, longest event-loop pause %.1f ms\n",
                rate, static_cast<unsigned long long>(counter.Reads - before), n,
                double(counter.Reads - before) / elapsed, double(longest) / 1e6);
    window.Monitor().RemoveReadObserver(&counter);
    return 0;
}
