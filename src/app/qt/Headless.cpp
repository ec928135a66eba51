#include "app/qt/Headless.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>

#include "app/AppIni.h"
#include "app/CmdLine.h"
#include "app/FilePlaces.h"
#include "app/HistoryRecording.h"
#include "app/Monitor.h"
#include "app/ServiceSettings.h"
#include "app/qt/AlertOutlets.h"
#include "app/qt/Publishing.h"
#include "app/qt/QuitSignals.h"
#include "conn/CloseList.h"
#include "conn/qt/ConnSer.h"
#include "conn/qt/ConnTcp.h"
#include "history/HistoryTime.h"
#include "history/KnownRecords.h"
#include "history/Sqlite.h"
#include "mqtt/MqttNames.h"
#include "mqtt/MqttPublisher.h"
#include "mqtt/qt/StationReader.h"
#include "output/LogCorv.h"
#include "util/qt/ErrorReport.h"

namespace corvane {

namespace {

constexpr char Usage[] =
    "Usage: corvane --headless -I[port] | -Aaddress[:port] | -S<n> | -M[host[:port]] ... (at "
    "least one connection)";

// The service's parts, made and torn down in order. Made, it has read its settings and nothing
// else; Start sets the rest going.
class THeadless {
public:
    explicit THeadless(const TFilePlaces& places);
    ~THeadless();
    // Why the run could not keep its settings or logs where they go; empty when it can.
    std::string FolderProblem() const;
    void Start();
    void Open(const std::vector<TCmdTarget>& targets);
    void Quit();

private:
    bool KeepsLogs() const { return run_.LogIntervalMs != 0 || run_.LogPackets; }
    void ChooseLogFiles();
    void Attach(TConn& conn);
    void StartHistory();
    void ReadStations(const TCmdTarget& target);

    TFilePlaces places_;
    TAppIni settings_;
    TSystemClock clock_;
    THeadlessListener listener_{clock_, STDOUT_FILENO};
    TNullListListener list_;
    TNullTreeListener tree_;
    TMonitor monitor_{clock_, {listener_, list_, tree_}};
    THistoryRecording history_{monitor_,
                               [this](std::string_view line) { listener_.AddLogLine(line); }};
    std::unique_ptr<TAlertOutlets> alertOutlets_;
    QTimer historyPoll_;
    QTimer expire_;
    QTimer log_;
    bool reconnect_ = true;
    TRunSettings run_;
    TCloseList closeList_;      // outlives the connections, which point into it
    std::vector<TConn*> conns_; // in the order opened
    std::unique_ptr<TPublishing> publishing_;
    std::vector<std::unique_ptr<TStationReader>> readers_; // one per -M
};

THeadless::THeadless(const TFilePlaces& places)
    : places_(places), settings_(places_.SettingsFile), run_(settings_.ReadRunSettings()) {}

std::string THeadless::FolderProblem() const {
    std::string problem = CannotWriteTo(places_.ConfigFolder);
    if (problem.empty() && KeepsLogs())
        problem = CannotWriteTo(places_.DataFolder);
    return problem;
}

void THeadless::Start() {
    SetErrorSink([this](const std::string& message) { listener_.AddLogLine(message); });
    listener_.OnExpireInterval = [this](int ms) { expire_.setInterval(ms); };
    QObject::connect(&expire_, &QTimer::timeout, [this] { monitor_.ExpireTick(); });
    expire_.start(1000);
    QObject::connect(&log_, &QTimer::timeout, [this] { monitor_.LogTick(); });
    monitor_.ApplySettings(run_);
    ChooseLogFiles();
    reconnect_ = ReadReconnect(settings_.File(), true);
    for (const char* line : {"Entries Size: 1664", "Repeats Size: 1280", "Sensors Size: 1528000",
                             "NdSerNo Size: 32000", "Reads Size: 3040000"})
        listener_.AddLogLine(line);
    for (const std::string& line : run_.Warnings)
        listener_.AddLogLine(line);
    StartHistory();
    // No desktop to notify: the command only.
    alertOutlets_ = std::make_unique<TAlertOutlets>(
        settings_.File(), monitor_.Store(),
        [this](std::string_view line) { listener_.AddLogLine(line); }, false);
    publishing_ = TPublishing::Create(
        settings_.File(), monitor_, [this](std::string_view line) { listener_.AddLogLine(line); });
}

// Before the first connection: the reads kept from the last run are in the store first.
void THeadless::StartHistory() {
    if (!run_.History.Keep)
        return;
    MakeFolder(places_.DataFolder);
    history_.Start(places_.HistoryFile, run_.History, ReadMqttSettings(settings_.File()).Station);
    // What nothing will report again: the sensors that went quiet before the reads kept.
    TSqlite db;
    std::string error;
    if (!history_.ReadablePath().empty() && OpenHistoryToRead(db, history_.ReadablePath(), error))
        listener_.AddLogLine(
            MissingSensorsLine(db, WallToUnixMs(clock_.WallNow()), run_.Store.MaxAge));
    QObject::connect(&historyPoll_, &QTimer::timeout, [this] { history_.Poll(); });
    historyPoll_.start(200);
}

THeadless::~THeadless() {
    publishing_.reset();
    for (TConn* conn : conns_) {
        conn->OnLine = nullptr;
        conn->OnMessage = nullptr;
        conn->OnStateChange = nullptr;
        delete dynamic_cast<QObject*>(conn);
    }
    SetErrorSink(nullptr);
}

// The same places as the window: beside a writable program, else the user's own folders. The
// folders were found writable before the run began.
void THeadless::ChooseLogFiles() {
    if (run_.LogIntervalMs != 0) {
        monitor_.StatsLogPath = NextLogFileName(places_.LogBase + ".LOG");
        log_.start(run_.LogIntervalMs);
    }
    monitor_.PacketLogPath = NextLogFileName(places_.LogBase + ".txt");
}

void THeadless::Attach(TConn& conn) {
    conn.OnLine = [this](TConn& c, std::string_view line) {
        return monitor_.ParsePacketLine(&c, line);
    };
    conn.OnMessage = [this](std::string_view message) { listener_.AddLogLine(message); };
    // Without a window to show the link, the log says when it comes and goes.
    conn.ReportsLink = true;
    conn.OnStateChange = [this](TConn& c, TConnState state) { closeList_.StateChanged(c, state); };
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
            if (target.Mqtt) {
                ReadStations(target);
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
    readers_.clear();
    publishing_.reset();
    history_.Stop();
    QCoreApplication::quit();
}

// Every station under the topic root, those that appear later too.
void THeadless::ReadStations(const TCmdTarget& target) {
    TMqttSettings broker = ReadMqttSettings(settings_.File());
    if (!target.Address.empty())
        broker.Host = target.Address;
    if (target.Port != 0)
        broker.Port = target.Port;
    auto log = [this](std::string_view line) { listener_.AddLogLine(line); };
    auto reader =
        std::make_unique<TStationReader>(broker, log, [this](TConnStation& conn) { Attach(conn); });
    if (!reader->Start())
        return;
    reader->OpenAll();
    readers_.push_back(std::move(reader));
}

} // namespace

// The broker an -M option reads from, when it names none and the settings name none either.
std::string MissingBrokerProblem(const std::vector<TCmdTarget>& targets,
                                 const TMqttSettings& mqtt) {
    for (const TCmdTarget& target : targets)
        if (target.Mqtt && target.Address.empty() && mqtt.Host.empty())
            return "-M: no broker (write -Mhost[:port] or set [MQTT] Host)";
    return {};
}

THeadlessListener::THeadlessListener(const TClock& clock, int fd)
    : clock_(clock), out_(fd, QueuedLines, [this](std::string_view m) { return Stamped(m); }) {}

std::string THeadlessListener::Stamped(std::string_view message) const {
    std::string line = FormatIsoTime(clock_.WallNow()).substr(0, 19);
    line[10] = ' ';
    line += ' ';
    line += message;
    return line;
}

void THeadlessListener::AddLogLine(std::string_view message) {
    if (!message.empty())
        out_.Push(message);
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
    // A connection that can never open would leave the service idle for good.
    if (const std::vector<std::string> problems = CommandLineProblems(args); !problems.empty()) {
        for (const std::string& problem : problems)
            std::fprintf(stderr, "corvane: %s\n", problem.c_str());
        return 2;
    }
    const std::vector<TCmdTarget> targets = ParseCommandLine(args);
    if (targets.empty()) {
        std::fprintf(stderr, "%s\n", Usage);
        return 2;
    }
    const TFilePlaces places =
        FilePlacesForThisRun(QCoreApplication::applicationFilePath().toStdString());
    SetErrorReportPath(places.ErrorReport);
    // Publishing that cannot start would leave the service running without it, unnoticed.
    const TMqttSettings mqtt = ReadMqttSettings(TAppIni(places.SettingsFile).File());
    if (const std::string problem = MqttSettingsProblem(mqtt);
        !mqtt.Host.empty() && !problem.empty()) {
        std::fprintf(stderr, "corvane: %s\n", problem.c_str());
        return 2;
    }
    if (const std::string problem = MissingBrokerProblem(targets, mqtt); !problem.empty()) {
        std::fprintf(stderr, "corvane: %s\n", problem.c_str());
        return 2;
    }
    THeadless service(places);
    if (const std::string problem = service.FolderProblem(); !problem.empty()) {
        std::fprintf(stderr, "corvane: %s\n", problem.c_str());
        return 2;
    }
    service.Start();
    OnQuitSignals(&app, [&service] { service.Quit(); });
    service.Open(targets);
    return app.exec();
}

} // namespace corvane
