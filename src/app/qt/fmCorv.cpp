#include "app/qt/fmCorv.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <stdexcept>

#include "app/AppIni.h"
#include "app/HistoryRecording.h"
#include "app/Monitor.h"
#include "app/ServiceSettings.h"
#include "app/qt/AlertOutlets.h"
#include "app/qt/AlertViews.h"
#include "app/qt/ListFilterBar.h"
#include "app/qt/ListFirstSplitter.h"
#include "app/qt/LogPane.h"
#include "app/qt/Publishing.h"
#include "app/qt/RouteTree.h"
#include "app/qt/SensorListModel.h"
#include "app/qt/WindowState.h"
#include "app/qt/fmCorvDialogs.h"
#include "app/qt/fmStations.h"
#include "conn/qt/ConnTcp.h"
#include "conn/qt/fmConnSer.h"
#include "conn/qt/fmConnTcp.h"
#include "conn/qt/fmConnections.h"
#include "mqtt/qt/StationReader.h"
#include "output/LogCorv.h"
#include "util/qt/ErrorReport.h"
#include "util/qt/Help.h"
#include "util/qt/Latin1.h"

namespace corvane {

TfrmCorv::TfrmCorv(const QStringList& args, const QString& programPath, QWidget* parent)
    : TfrmCorv(args,
               BesideProgram(
                   (programPath.isEmpty() ? QCoreApplication::applicationFilePath() : programPath)
                       .toStdString()),
               parent) {}

TfrmCorv::TfrmCorv(const QStringList& args, const TFilePlaces& places, QWidget* parent)
    : QMainWindow(parent), places_(places), settings_(places_.SettingsFile),
      run_(settings_.ReadRunSettings()), model_(std::make_unique<TSensorListModel>()),
      tree_(std::make_unique<TRouteTree>()),
      monitor_(std::make_unique<TMonitor>(clock_, TViews{*this, *model_, *tree_})) {
    SetErrorReportPath(places_.ErrorReport);
    setObjectName("frmCorv");
    setWindowTitle("Corvane");
    BuildLayout();
    BuildMenus();
    BuildPopups();

    frmHelp = std::make_unique<TfrmHelp>();
    frmHelp->SetHelpFile(QString::fromStdString(places_.HelpFile));
    // The user's settings folder exists from the start: the recent-targets list is saved there.
    MakeFolder(places_.ConfigFolder);
    ReadSettings();
    ChooseLogFiles();
    RebuildRecentMenu();
    // The sensor list's sort state is set up by its model.
    reLog->setVisible(findChild<QAction*>("mniLog")->isChecked());
    WriteSizeReport();
    for (const std::string& line : run_.Warnings)
        AddLogLine(line);
    tree_->Clear();
    monitor_->EntryNames.clear();
    monitor_->EntryFilter.clear();
    LocalPort = 1070;
    StartHistory();
    alertOutlets_ = std::make_unique<TAlertOutlets>(
        settings_.File(), monitor_->Store(), [this](std::string_view line) { AddLogLine(line); },
        true);

    frmConnTcp = new TfrmConnTcp(this);
    frmConnSer = new TfrmConnSer(run_.SerialPorts, this);
    frmStations = new TfrmStations(ReadMqttSettings(settings_.File()), this);
    dialogs_ = std::make_unique<TCorvDialogs>(this, *monitor_, run_, DescribePlaces(places_));
    reconnect_ = ReadReconnect(settings_.File(), false);
    StartPublishing();
    RestoreWindowState(*this, places_.StateFile);
    OpenCommandLine(args);
}

// Before any connection opens: the reads kept from the last run are in the views first.
void TfrmCorv::StartHistory() {
    history_ = std::make_unique<THistoryRecording>(
        *monitor_, [this](std::string_view line) { AddLogLine(line); });
    if (!run_.History.Keep)
        return;
    MakeFolder(places_.DataFolder);
    history_->Start(places_.HistoryFile, run_.History, ReadMqttSettings(settings_.File()).Station);
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this] { history_->Poll(); });
    poll->start(200);
}

void TfrmCorv::StartPublishing() {
    publishing_ = TPublishing::Create(settings_.File(), *monitor_,
                                      [this](std::string_view line) { AddLogLine(line); });
    if (!publishing_)
        return;
    // The publishing state and the dropped count, at the foot of the Connect menu.
    QMenu* connectMenu = findChild<QMenu*>("miConnect");
    connectMenu->addSeparator();
    mniMqtt = AddCommand(connectMenu, "", "mniMqtt", 20);
    mniMqtt->setEnabled(false);
    auto show = [this] {
        QString text = Latin1(publishing_->Publisher().Summary());
        mniMqtt->setText(text.replace('&', QLatin1String("&&")));
    };
    show();
    publishing_->OnPoll = show;
}

TfrmCorv::~TfrmCorv() {
    // The connections are children of the window; none may call back into it while going.
    for (QObject* child : children())
        if (auto* conn = dynamic_cast<TConn*>(child)) {
            conn->OnLine = nullptr;
            conn->OnStateChange = nullptr;
            conn->OnMessage = nullptr;
        }
}

void TfrmCorv::BuildLayout() {
    resize(690, 500);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    lvDev = new QTreeView;
    lvDev->setObjectName("lvDev");
    AttachSensorList(lvDev, model_.get());
    lvDev->setContextMenuPolicy(Qt::CustomContextMenu);
    SetHelpContext(lvDev, 7);
    pnlFilter = new TListFilterBar(monitor_->Store(), lvDev, model_.get());

    tvDev = new QTreeView;
    tvDev->setObjectName("tvDev");
    tree_->Attach(tvDev);
    SetHelpContext(tvDev, 8);

    Splitter2 = new TListFirstSplitter([this] { return WidthShowingColumns(lvDev); },
                                       [this] { return WidthShowingColumns(tvDev); });
    Splitter2->setObjectName("Splitter2");
    Splitter2->setHandleWidth(6);
    Splitter2->addWidget(StackFilterOverList(pnlFilter, lvDev));
    Splitter2->addWidget(tvDev);
    Splitter2->setStretchFactor(1, 1);
    // The list gets the width its columns need, so that none hides behind a scroll bar; the
    // tree takes the rest.
    const int listWidth = std::max(530, FitSensorColumns(lvDev, model_.get()));
    Splitter2->setSizes({listWidth, width() - listWidth - Splitter2->handleWidth()});

    reLog = new QPlainTextEdit;
    reLog->setObjectName("reLog");
    reLog->setReadOnly(true);
    reLog->setUndoRedoEnabled(false);
    reLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    logPane_ = std::make_unique<TLogPane>(*reLog, LogPaneCapacity);
    reLog->setContextMenuPolicy(Qt::CustomContextMenu);
    SetHelpContext(reLog, 19);

    Splitter1 = new QSplitter(Qt::Vertical);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(5);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(Splitter2);
    Splitter1->addWidget(reLog);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setSizes({400, 80});
    setCentralWidget(Splitter1);

    StatusBar1 = new QLabel;
    StatusBar1->setObjectName("StatusBar1");
    // Shows an entry name from the radio: never laid out as markup.
    StatusBar1->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(StatusBar1, 1);
    lblLink = new QLabel;
    lblLink->setObjectName("lblLink");
    statusBar()->addPermanentWidget(lblLink);
    lblAlerts = new QLabel;
    lblAlerts->setObjectName("lblAlerts");
    statusBar()->addPermanentWidget(lblAlerts);
    alertViews_ =
        std::make_unique<TAlertViews>(monitor_->Store().Alerts, *model_, *tree_, *lblAlerts);

    tmrExpire = new QTimer(this);
    tmrExpire->setObjectName("tmrExpire");
    tmrExpire->setInterval(1000);
    connect(tmrExpire, &QTimer::timeout, this, [this] { Guard([&] { monitor_->ExpireTick(); }); });
    tmrExpire->start();
    tmrLog = new QTimer(this);
    tmrLog->setObjectName("tmrLog");
    connect(tmrLog, &QTimer::timeout, this, [this] { Guard([&] { monitor_->LogTick(); }); });

    connect(model_.get(), &TSensorListModel::SensorSelected, this,
            [this](quint16 row) { tree_->SelectSensor(tvDev, row); });
    connect(model_.get(), &TSensorListModel::HistoryRequested, this,
            [this](quint16 row) { ShowHistory(row); });
}

void TfrmCorv::ReadSettings() {
    monitor_->ApplySettings(run_);
    tmrLog->setInterval(run_.LogIntervalMs);
}

void TfrmCorv::ChooseLogFiles() {
    // The logs' folder is made only when a log will be written this run. A folder that cannot
    // be written is said at once, over the window; the run goes on without logs.
    const bool keepsLogs = tmrLog->interval() != 0 || monitor_->LogPackets;
    const std::string logProblem = keepsLogs ? CannotWriteTo(places_.DataFolder) : "";
    const std::string problem = CannotWriteTo(places_.ConfigFolder);
    if (!problem.empty() || !logProblem.empty())
        PostWarning(this, problem.empty() ? logProblem : problem);
    if (!logProblem.empty()) {
        monitor_->LogPackets = false;
        tmrLog->stop();
        return;
    }
    if (tmrLog->interval() != 0) {
        monitor_->StatsLogPath = NextLogFileName(places_.LogBase + ".LOG");
        tmrLog->start();
    } else {
        tmrLog->stop();
    }
    monitor_->PacketLogPath = NextLogFileName(places_.LogBase + ".txt");
}

void TfrmCorv::WriteSizeReport() {
    logPane_->Clear();
    AddLogLine("");
    AddLogLine("Entries Size: 1664");
    AddLogLine("Repeats Size: 1280");
    AddLogLine("Sensors Size: 1528000");
    AddLogLine("NdSerNo Size: 32000");
    AddLogLine("Reads Size: 3040000");
}

void TfrmCorv::Guard(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& e) {
        ReportError(e.what());
    }
}

// --- The engine's view of the window.

void TfrmCorv::AddLogLine(std::string_view message) {
    QString line;
    if (!message.empty())
        line = QString::fromStdString(FormatTimeOfDay(clock_.LocalNow())) + ' ' + Latin1(message);
    // The newest lines are on top; when the pane is full the oldest go from its bottom, so a
    // long run never stops showing new messages.
    logPane_->Prepend(line);
}

void TfrmCorv::SetExpireInterval(int milliseconds) {
    tmrExpire->setInterval(milliseconds);
}
void TfrmCorv::EnableByEntry() {
    findChild<QAction*>("mniByEntry")->setEnabled(true);
}

// --- Menu commands other than the connections.

void TfrmCorv::mniClearAllClick() {
    monitor_->ClearAll();
    model_->Clear();
    tree_->Clear();
    tmrExpire->setInterval(1000);
}

void TfrmCorv::mniLogClick() {
    QAction* log = findChild<QAction*>("mniLog");
    reLog->setVisible(log->isChecked());
    if (log->isChecked())
        Splitter1->setSizes({Splitter1->height() - 80 - Splitter1->handleWidth(), 80});
}

void TfrmCorv::mniByEntryClick() {
    // Only a confirmed choice clears what was collected: cancelling the dialog must not throw
    // away hours of reads.
    dialogs_->RunByEntry([this](const QString& filter) { StatusBar1->setText(filter); },
                         [this] { mniClearAllClick(); });
}

void TfrmCorv::mniExportSerNoClick() {
    dialogs_->ShowExport();
}

void TfrmCorv::miAboutClick() {
    dialogs_->ShowAbout();
}

void TfrmCorv::pmiHistClick() {
    const uint16_t row = SelectedSensor(lvDev, model_.get());
    if (row != NoRow)
        ShowHistory(row);
}

void TfrmCorv::ShowHistory(uint16_t row) {
    // The file as this run reads it: none when it keeps no history or could not open it.
    dialogs_->SetHistoryFile(history_->ReadablePath(), [this] { return history_->Mapping(); });
    dialogs_->ShowHistory(row);
}

void TfrmCorv::pmiPrint1Click() {
    const QPrinterInfo printerInfo = QPrinterInfo::defaultPrinter();
    if (printerInfo.isNull())
        throw std::runtime_error("There is no default printer to print the log on");
    QPrinter printer(printerInfo);
    printer.setDocName("Corvane Log " + QString::fromStdString(FormatTimeOfDay(clock_.LocalNow())));
    if (!printer.isValid())
        throw std::runtime_error("The printer " + printerInfo.printerName().toStdString() +
                                 " cannot be used");
    logPane_->Flush();
    reLog->document()->print(&printer);
    if (printer.printerState() == QPrinter::Error)
        throw std::runtime_error("Printing the log failed");
}

} // namespace corvane
