// The main window: sensor list, route tree and log pane, the menus that open and close the
// connections, and the timers that drive expiry and the statistics log. It owns the monitor that
// every connection's lines go to, and wires the store to the views: the sensor list and the route
// tree hear it directly, the window itself only for the log pane, the expiry period and the
// "&By Entry..." command.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppIni.h"
#include "app/FilePlaces.h"
#include "conn/Conn.h"
#include "store/Listener.h"
#include "util/untTime.h"

class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTimer;
class QTreeView;

namespace corvane {

class TStationReader;
struct TMqttSettings;

class TMonitor;
class TSensorListModel;
class TRouteTree;
class TfrmConnTcp;
class TfrmConnSer;
class TfrmStations;
class TfrmHelp;
class TCorvDialogs;
class TPublishing;
class TAlertViews;
class TAlertOutlets;
class TListFilterBar;
class TLinkViews;
class THistoryRecording;
class TLogPane;

// A connection's entry in the Close submenu; clicking it closes that connection.
class TCloseAction : public QAction, public TCloseItem {
    Q_OBJECT
public:
    TCloseAction(const QString& caption, QMenu* menu, TConn* conn);
    int Position() const override;
    TConn* Conn() const { return conn_; }

private:
    QMenu* menu_;
    TConn* conn_;
};

class TfrmCorv : public QMainWindow, public TShellListener {
    Q_OBJECT
public:
    // Runs the start-up sequence; args are the command-line arguments after the program name.
    // The settings, the logs and the help are found beside programPath, the running program
    // when it is empty (tests give each window a folder of its own).
    explicit TfrmCorv(const QStringList& args = {}, const QString& programPath = {},
                      QWidget* parent = nullptr);
    // The same with the files where places says; its state file, when set, keeps the window's
    // size, splitters, columns, log pane and sort order between runs.
    TfrmCorv(const QStringList& args, const TFilePlaces& places, QWidget* parent = nullptr);
    ~TfrmCorv() override;

    // The newest lines kept in the log pane; older ones are dropped from its bottom.
    static constexpr int LogPaneCapacity = 5000;

    TMonitor& Monitor() { return *monitor_; }
    TSensorListModel* ListModel() const { return model_.get(); }
    TLogPane& LogPane() const { return *logPane_; }
    TRouteTree* Tree() const { return tree_.get(); }
    TfrmConnTcp* ConnTcpDialog() const { return frmConnTcp; }
    TfrmConnSer* ConnSerDialog() const { return frmConnSer; }
    TfrmStations* StationsDialog() const { return frmStations; }
    TfrmHelp* HelpWindow() const { return frmHelp.get(); }
    TLinkViews* LinkViews() const { return linkViews_; }
    // The history database of this run; it records nothing when [History] Keep=0.
    THistoryRecording& History() const { return *history_; }
    const TFilePlaces& Places() const { return places_; }
    // The alert changes' way to the desktop and to [Alerts] Command.
    TAlertOutlets& AlertOutlets() const { return *alertOutlets_; }

    // TShellListener.
    void AddLogLine(std::string_view message) override;
    void SetExpireInterval(int milliseconds) override;
    void EnableByEntry() override;

    // The connections' side.
    void AttachHandlers(TConn& conn);
    void ConnStateChanged(TConn& conn, TConnState state);
    void mniCloseClick(QObject* sender);
    // Opens a TCP/IP connection to a known target, as the submenu and the command line do.
    TConn* OpenTcp(const QString& address, int port);
    // Opens stations by name on a broker, through the reader this window has for it already or
    // a new one.
    void OpenStations(const TMqttSettings& broker, const std::vector<std::string>& names);
    void RebuildRecentMenu();

    // Menu commands.
    void mniSerialClick();
    void mniTcpIpClick();
    void mniMqttStationsClick();
    void mnIPMenuClick(QAction* item);
    void mniClearAllClick();
    void mniLogClick();
    void mniByEntryClick();
    void mniExportSerNoClick();
    void miAboutClick();
    void pmiPrint1Click();
    void pmiHistClick();
    // "Expected Gap..." and "Mute Alerts" of the list's and the tree's right-click menus, for the
    // record selected in the view they were asked from.
    void pmiGapClick(QTreeView* view);
    void pmiMuteClick(QTreeView* view);
    // The record's expectation written to the settings file and in force from the next tick.
    void SetExpectation(TAlertKind kind, uint16_t index, const TExpectation& e);

    // Components, named as the help and the tests know them.
    QTreeView* lvDev;
    TListFilterBar* pnlFilter; // search field and state choice above lvDev
    QTreeView* tvDev;
    QSplitter* Splitter1;
    QSplitter* Splitter2;
    QPlainTextEdit* reLog;
    QLabel* StatusBar1;
    QLabel* lblAlerts; // "<n> late, <m> silent", right-aligned; hidden while both are 0
    QLabel* lblLink;   // the rejected share of the last minute; hidden while it is 0
    QTimer* tmrExpire;
    QTimer* tmrLog;
    QMenu* mniClose;
    QMenu* mniTcpIp;
    QMenu* pmLog;
    QMenu* pmLvDev;
    QMenu* pmTvDev;

signals:
    // The window has closed: the program ends, whatever other windows are open.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLayout();
    void BuildMenus();
    void BuildPopups();
    void ReadSettings();
    void ChooseLogFiles();
    void WriteSizeReport();
    void OpenCommandLine(const QStringList& args);
    void ShowHistory(uint16_t row);
    // The record selected in the list or the tree; false when none is.
    bool SelectedRecord(QTreeView* view, TAlertKind& kind, uint16_t& index) const;
    void AddExpectationCommands(QMenu* menu, QTreeView* view, const char* suffix);
    // Runs a menu command; an error it raises goes to the error reporting.
    void Guard(const std::function<void()>& command);
    QAction* AddCommand(QMenu* menu, const QString& caption, const char* name, int helpContext);

    // Made in this order and gone in the reverse one: the views before the monitor that reports
    // to them, the alert views, dialogs and publishing after the monitor they use.
    TFilePlaces places_;
    // This window's settings file (for the remembered targets) and what it held at start-up.
    TAppIni settings_;
    TRunSettings run_;
    TSystemClock clock_;
    // Gone after everything that may still say something while it stops (the history's last
    // word that it fell behind, publishing, the readers): it is where they say it.
    std::unique_ptr<TLogPane> logPane_;
    std::unique_ptr<TSensorListModel> model_;
    std::unique_ptr<TRouteTree> tree_;
    std::unique_ptr<TMonitor> monitor_;
    // Stops recording before the monitor it hears goes.
    std::unique_ptr<THistoryRecording> history_;
    std::unique_ptr<TAlertViews> alertViews_;
    std::unique_ptr<TAlertOutlets> alertOutlets_;
    TLinkViews* linkViews_ = nullptr;
    std::unique_ptr<TfrmHelp> frmHelp;
    TfrmConnTcp* frmConnTcp = nullptr;
    TfrmConnSer* frmConnSer = nullptr;
    TfrmStations* frmStations = nullptr;
    std::unique_ptr<TCorvDialogs> dialogs_;
    // Connections opened from here try again when they fail ([Connections] Reconnect).
    bool reconnect_ = false;
    // Declared last: it stops publishing before the monitor it observes goes.
    std::unique_ptr<TPublishing> publishing_;
    QAction* mniMqtt = nullptr;
    // One per broker read (-M, MQTT Stations...), after the monitor their stations' lines go
    // to, so that they stop first.
    std::vector<std::unique_ptr<TStationReader>> readers_;
    void ReadStations(const std::string& host, int port);
    // The reader of the broker at the settings' host and port; a new one (started) when there is
    // none yet, nullptr when it cannot start.
    TStationReader* ReaderFor(const TMqttSettings& broker);
    void StartPublishing();
    void StartHistory();
};

// The program ends with its main window: the event loop quits once the window has closed,
// whatever other windows (the help window) are still open, and SIGINT or SIGTERM close the
// window as its close button does.
void EndProgramWithWindow(TfrmCorv& window);

} // namespace corvane
