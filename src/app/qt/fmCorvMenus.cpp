// The main window's menus and the list's and log pane's pop-up menus.
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
#include <QTextBlock>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <stdexcept>

#include "app/AppIni.h"
#include "app/HistoryRecording.h"
#include "app/Monitor.h"
#include "app/ServiceSettings.h"
#include "app/qt/AlertViews.h"
#include "app/qt/ListFilterBar.h"
#include "app/qt/ListFirstSplitter.h"
#include "app/qt/LogPane.h"
#include "app/qt/Publishing.h"
#include "app/qt/RouteTree.h"
#include "app/qt/SensorListModel.h"
#include "app/qt/WindowState.h"
#include "app/qt/fmCorvDialogs.h"
#include "app/qt/fmMissing.h"
#include "conn/qt/ConnTcp.h"
#include "conn/qt/fmConnSer.h"
#include "conn/qt/fmConnTcp.h"
#include "conn/qt/fmConnections.h"
#include "output/LogCorv.h"
#include "util/qt/ErrorReport.h"
#include "util/qt/Help.h"
#include "util/qt/Latin1.h"

namespace corvane {

QAction* TfrmCorv::AddCommand(QMenu* menu, const QString& caption, const char* name,
                              int helpContext) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    if (helpContext)
        SetHelpContext(action, helpContext);
    return action;
}

void TfrmCorv::BuildMenus() {
    auto addMenu = [this](QMenu* parentMenu, const QString& caption, const char* name, int help) {
        QMenu* menu = parentMenu ? parentMenu->addMenu(caption) : menuBar()->addMenu(caption);
        menu->setObjectName(name);
        menu->menuAction()->setObjectName(name);
        SetHelpContext(menu, help);
        SetHelpContext(menu->menuAction(), help);
        return menu;
    };
    QMenu* file = addMenu(nullptr, "&File", "miFile", 13);
    // The desktop's usual shortcuts; F1 is the context help of the help window.
    QAction* exportCsv = AddCommand(file, "&Export", "mniExportSerNo", 14);
    exportCsv->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(exportCsv, &QAction::triggered, this,
            [this] { Guard([&] { mniExportSerNoClick(); }); });
    QAction* exit = AddCommand(file, "E&xit", "miExit", 15);
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = addMenu(nullptr, "&Edit", "miEdit", 16);
    connect(AddCommand(edit, "Clear &All", "mniClearAll", 17), &QAction::triggered, this,
            [this] { Guard([&] { mniClearAllClick(); }); });

    QMenu* view = addMenu(nullptr, "&View", "miView", 18);
    QAction* log = AddCommand(view, "&Log", "mniLog", 19);
    log->setCheckable(true);
    connect(log, &QAction::triggered, this, [this] { mniLogClick(); });
    QAction* byEntry = AddCommand(view, "&By Entry...", "mniByEntry", 0);
    byEntry->setEnabled(false);
    connect(byEntry, &QAction::triggered, this, [this] { Guard([&] { mniByEntryClick(); }); });
    QAction* missing = AddCommand(view, "&Missing...", "mniMissing", 27);
    connect(missing, &QAction::triggered, this, [this] {
        Guard([&] {
            ShowMissing(*this, history_->ReadablePath(), run_.Store.MaxAge, monitor_->Clock());
        });
    });
    // Whether there is a history to read is known once the file is open, after the menus.
    connect(view, &QMenu::aboutToShow, this,
            [this, missing] { missing->setEnabled(!history_->ReadablePath().empty()); });

    QMenu* connectMenu = addMenu(nullptr, "&Connect", "miConnect", 20);
    QMenu* open = addMenu(connectMenu, "&Open", "miOpen", 21);
    connect(AddCommand(open, "&Serial", "mniSerial", 21), &QAction::triggered, this,
            [this] { Guard([&] { mniSerialClick(); }); });
    mniTcpIp = addMenu(open, "TCP/IP", "mniTcpIp", 21);
    QAction* select = AddCommand(mniTcpIp, "Select TCP/IP", "mnSelectTCPIP", 21);
    mniTcpIp->setDefaultAction(select);
    connect(select, &QAction::triggered, this, [this] { Guard([&] { mniTcpIpClick(); }); });
    QAction* local = AddCommand(mniTcpIp, "127.0.0.1|1070", "mnDefault", 21);
    local->setData(QStringLiteral("127.0.0.1|1070"));
    connect(local, &QAction::triggered, this,
            [this, local] { Guard([&] { mnIPMenuClick(local); }); });
    connect(AddCommand(connectMenu, "MQTT &Stations...", "mniMqttStations", 28),
            &QAction::triggered, this, [this] { Guard([&] { mniMqttStationsClick(); }); });
    mniClose = addMenu(connectMenu, "&Close", "mniClose", 22);
    mniClose->setEnabled(false);
    // The link figures of the connections that have a Close entry, in its order.
    linkViews_ = new TLinkViews(
        *this, *lblLink,
        [this] {
            std::vector<const TConn*> open;
            for (QAction* entry : mniClose->actions())
                if (auto* item = qobject_cast<TCloseAction*>(entry))
                    open.push_back(item->Conn());
            return open;
        },
        monitor_->Clock());
    connect(AddCommand(connectMenu, "Connections...", "mniConnections", 20), &QAction::triggered,
            linkViews_, &TLinkViews::ShowWindow);

    QMenu* help = addMenu(nullptr, "&Help", "miHelp", 23);
    connect(AddCommand(help, "Contents", "miContents", 24), &QAction::triggered, this,
            [this] { frmHelp->ShowContents(); });
    connect(AddCommand(help, "Topic Search", "miTopicSearch", 25), &QAction::triggered, this,
            [this] { frmHelp->ShowTopicSearch(); });
    connect(AddCommand(help, "About", "miAbout", 26), &QAction::triggered, this,
            [this] { Guard([&] { miAboutClick(); }); });
}

void TfrmCorv::BuildPopups() {
    pmLog = new QMenu(this);
    pmLog->setObjectName("pmLog");
    connect(AddCommand(pmLog, "Print", "pmiPrint1", 0), &QAction::triggered, this,
            [this] { Guard([&] { pmiPrint1Click(); }); });
    connect(AddCommand(pmLog, "Clear", "pmiClear1", 0), &QAction::triggered, this,
            [this] { logPane_->Clear(); });
    connect(AddCommand(pmLog, "Select All", "pmiSelectAll1", 0), &QAction::triggered, this, [this] {
        logPane_->Flush();
        reLog->selectAll();
    });
    connect(AddCommand(pmLog, "Copy", "pmiCopy", 0), &QAction::triggered, reLog,
            &QPlainTextEdit::copy);
    connect(reLog, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmLog->popup(reLog->viewport()->mapToGlobal(at)); });

    pmLvDev = new QMenu(this);
    pmLvDev->setObjectName("pmLvDev");
    connect(AddCommand(pmLvDev, "History", "pmiHist", 7), &QAction::triggered, this,
            [this] { Guard([&] { pmiHistClick(); }); });
    pmLvDev->addSeparator();
    AddExpectationCommands(pmLvDev, lvDev, "");
    connect(lvDev, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmLvDev->popup(lvDev->viewport()->mapToGlobal(at)); });

    pmTvDev = new QMenu(this);
    pmTvDev->setObjectName("pmTvDev");
    AddExpectationCommands(pmTvDev, tvDev, "2");
    tvDev->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tvDev, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // The node under the pointer is the one the menu is for.
        if (const QModelIndex node = tvDev->indexAt(at); node.isValid())
            tvDev->setCurrentIndex(node);
        pmTvDev->popup(tvDev->viewport()->mapToGlobal(at));
    });
}

} // namespace corvane
