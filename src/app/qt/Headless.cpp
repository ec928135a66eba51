#include "app/qt/Headless.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstring>
#include <memory>
#include <vector>

#include "app/AppIni.h"
#include "app/CmdLine.h"
#include "app/FilePlaces.h"
#include "app/Monitor.h"
#include "app/qt/Publishing.h"
#include "app/qt/QuitSignals.h"
#include "conn/qt/ConnSer.h"
#include "conn/qt/ConnTcp.h"
#include "mqtt/MqttPublisher.h"
#include "mqtt/ServiceSettings.h"
#include "output/LogCorv.h"
#include "util/qt/ErrorReport.h"

namespace corvane {

namespace {

constexpr char Usage[] =
    "Usage: corvane --headless -I[port] | -A address[:port] | -S<n> ... (at least one connection)";

// The service's parts, made and torn down in order.
class THeadless {
public:
    explicit THeadless(const TFilePlaces& places);
    ~THeadless();
    void Open(const std::vector<TCmdTarget>& targets);
    void Quit();

private:
    void ReadSettings();
    void Attach(TConn& conn);

    TFilePlaces places_;
    TAppIni settings_;
    TSystemClock clock_;
    THeadlessListener listener_{clock_, stdout};
    TNullListListener list_;
    TNullTreeListener tree_;
    TMonitor monitor_{clock_, {listener_, list_, tree_}};
    QTimer expire_;
    QTimer log_;
    bool reconnect_ = true;
    TRunSettings run_;
    std::vector<TConn*> conns_; // in the order opened
    std::unique_ptr<TPublishing> publishing_;
};

THeadless::THeadless(const TFilePlaces& places) : places_(places), settings_(places_.SettingsFile) {
    MakeFolder(places_.ConfigFolder);
    SetErrorSink([this](const std::string& message) { listener_.AddLogLine(message); });
    listener_.OnExpireInterval = [this](int ms) { expire_.setInterval(ms); };
    QObject::connect(&expire_, &QTimer::timeout, [this] { monitor_.ExpireTick(); });
    expire_.start(1000);
    QObject::connect(&log_, &QTimer::timeout, [this] { monitor_.LogTick(); });
    ReadSettings();
    for (const char* line : {"Entries Size: 1664", "Repeats Size: 1280", "Sensors Size: 1528000",
                             "NdSerNo Size: 32000", "Reads Size: 3040000"})
        listener_.AddLogLine(line);
    for (const std::string& line : run_.Warnings)
        listener_.AddLogLine(line);
    publishing_ = TPublishing::Create(
        settings_.File(), monitor_, [this](std::string_view line) { listener_.AddLogLine(line); });
}

THeadless::~THeadless() {
    publishing_.reset();
    for (TConn* conn : conns_) {
        conn->OnLine = nullptr;
        conn->OnMessage = nullptr;
        delete dynamic_cast<QObject*>(conn);
    }
    SetErrorSink(nullptr);
}

void THeadless::ReadSettings() {
    run_ = settings_.ReadRunSettings();
    const TRunSettings& run = run_;
    monitor_.ApplySettings(run);
    const bool statsLog = run.LogIntervalMs != 0;
    // The same places as the window: beside a writable program, else the user's own folders.
    if (statsLog || monitor_.LogPackets)
        MakeFolder(places_.DataFolder);
    if (statsLog) {
        monitor_.StatsLogPath = NextLogFileName(places_.LogBase + ".LOG");
        log_.start(run.LogIntervalMs);
    }
    monitor_.PacketLogPath = NextLogFileName(places_.LogBase + ".txt");
    reconnect_ = ReadReconnect(settings_.File(), true);
}

void THeadless::Attach(TConn& conn) {
    conn.OnLine = [this](TConn& c, std::string_view line) {
        return monitor_.ParsePacketLine(&c, line);
    };
    conn.OnMessage = [this](std::string_view message) { listener_.AddLogLine(message); };
    conn.Reconnect = reconnect_;
    conn.Clock = &clock_;
    conns_.push_back(&conn);
}

void THeadless::Open(const std::vector<TCmdTarget>& targets) {
    for (const TCmdTarget& target : targets) {
        try {
            if (target.SerialPort != 0) {
                auto* conn = new TConnSer(nullptr, run_.SerialPorts);
                conn->SetPort(target.SerialPort);
                Attach(*conn);
                conn->OpenOrRetry();
                continue;
            }
            LocalPort = target.Port;
            auto* conn = new TConnTcp(nullptr);
            conn->SetTarget(QString::fromLatin1(target.Address.c_str()), target.Port);
            Attach(*conn);
            conn->Open();
        } catch (const std::exception& e) {
            listener_.AddLogLine(e.what());
        }
    }
}

void THeadless::Quit() {
    // The connection opened last is closed first.
    for (auto it = conns_.rbegin(); it != conns_.rend(); ++it) {
        try {
            (*it)->Close();
        } catch (const std::exception& e) {
            listener_.AddLogLine(e.what());
        }
    }
    publishing_.reset();
    QCoreApplication::quit();
}

} // namespace

void THeadlessListener::AddLogLine(std::string_view message) {
    if (message.empty())
        return;
    std::string stamp = FormatIsoTime(clock_.WallNow()).substr(0, 19);
    stamp[10] = ' ';
    std::fprintf(out_, "%s %.*s\n", stamp.c_str(), int(message.size()), message.data());
    std::fflush(out_);
}

void THeadlessListener::SetExpireInterval(int milliseconds) {
    if (OnExpireInterval)
        OnExpireInterval(milliseconds);
}

bool WantsHeadless(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--headless") == 0)
            return true;
    return false;
}

int RunHeadless(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Corvane");
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    const std::vector<TCmdTarget> targets = ParseCommandLine(args);
    if (targets.empty()) {
        std::fprintf(stderr, "%s\n", Usage);
        return 2;
    }
    const TFilePlaces places =
        FilePlacesForThisRun(QCoreApplication::applicationFilePath().toStdString());
    SetErrorReportPath(places.ErrorReport);
    THeadless service(places);
    OnQuitSignals(&app, [&service] { service.Quit(); });
    service.Open(targets);
    return app.exec();
}

} // namespace corvane
