#include "app/qt/WindowState.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTreeView>

#include <vector>

#include "app/qt/SensorListModel.h"
#include "app/qt/fmCorv.h"

namespace corvane {

namespace {
const char* const kGroup = "Window";

bool OnSomeScreen(const QRect& frame) {
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().contains(frame))
            return true;
    return false;
}
} // namespace

QRect FitOnScreen(const QRect& frame, const QRect& available) {
    QRect r = frame;
    r.setWidth(std::min(r.width(), available.width()));
    r.setHeight(std::min(r.height(), available.height()));
    if (r.right() > available.right())
        r.moveRight(available.right());
    if (r.bottom() > available.bottom())
        r.moveBottom(available.bottom());
    if (r.left() < available.left())
        r.moveLeft(available.left());
    if (r.top() < available.top())
        r.moveTop(available.top());
    return r;
}

namespace {

// A state saved before the list had its later columns knows only the first ones (states without
// a count come from the six-column list): those added since keep the widths they start with.
void RestoreColumns(QHeaderView& header, const QSettings& state) {
    std::vector<int> start;
    for (int c = 0; c < header.count(); ++c)
        start.push_back(header.sectionSize(c));
    if (!header.restoreState(state.value("Columns").toByteArray()))
        return;
    bool ok = false;
    const int known = state.value("ColumnCount", 6).toInt(&ok);
    for (int c = ok && known >= 0 ? known : 0; c < header.count(); ++c) {
        header.showSection(c);
        header.resizeSection(c, start[c]);
    }
}

} // namespace

void SaveWindowState(TfrmCorv& window, const std::string& stateFile) {
    if (stateFile.empty())
        return;
    const QString path = QString::fromStdString(stateFile);
    QDir().mkpath(QFileInfo(path).path());
    QSettings state(path, QSettings::IniFormat);
    state.beginGroup(kGroup);
    state.setValue("Geometry", window.saveGeometry());
    state.setValue("Splitter1", window.Splitter1->saveState());
    state.setValue("Splitter2", window.Splitter2->saveState());
    state.setValue("Columns", window.lvDev->header()->saveState());
    state.setValue("ColumnCount", window.lvDev->header()->count());
    state.setValue("LogPane", window.findChild<QAction*>("mniLog")->isChecked());
    const TSortState& sort = window.ListModel()->SortState();
    state.setValue("SortColumn", sort.SortColumn);
    state.setValue("SortReverse", sort.SortReverse);
    state.setValue("TieColumn", sort.TieColumn);
    state.setValue("TieReverse", sort.TieReverse);
    state.endGroup();
    state.sync();
}

void RestoreWindowState(TfrmCorv& window, const std::string& stateFile) {
    if (stateFile.empty() || !QFileInfo::exists(QString::fromStdString(stateFile)))
        return;
    QSettings state(QString::fromStdString(stateFile), QSettings::IniFormat);
    if (state.status() != QSettings::NoError)
        return;
    state.beginGroup(kGroup);
    const QRect startFrame = window.geometry();
    if (!window.restoreGeometry(state.value("Geometry").toByteArray()))
        window.setGeometry(startFrame);
    // A state from a larger or another screen: back onto the primary one, whole. The frame is
    // not known before the window shows, so room is left for a title bar and borders.
    if (!OnSomeScreen(window.frameGeometry()) || !OnSomeScreen(window.geometry()))
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            window.setGeometry(FitOnScreen(window.geometry(),
                                           screen->availableGeometry().adjusted(8, 32, -8, -8)));
    window.Splitter1->restoreState(state.value("Splitter1").toByteArray());
    window.Splitter2->restoreState(state.value("Splitter2").toByteArray());
    RestoreColumns(*window.lvDev->header(), state);
    // The header's own sort indicator stays hidden: the model keeps the order.
    window.lvDev->header()->setSortIndicatorShown(false);
    QAction* log = window.findChild<QAction*>("mniLog");
    log->setChecked(state.value("LogPane", log->isChecked()).toBool());
    window.reLog->setVisible(log->isChecked());
    TSortState sort = window.ListModel()->SortState();
    auto column = [&](const char* key, int current) {
        bool ok = false;
        const int c = state.value(key, current).toInt(&ok);
        return ok && c >= 0 && c < ListColumnCount ? c : current;
    };
    sort.SortColumn = column("SortColumn", sort.SortColumn);
    sort.TieColumn = column("TieColumn", sort.TieColumn);
    sort.SortReverse = state.value("SortReverse", sort.SortReverse).toBool();
    sort.TieReverse = state.value("TieReverse", sort.TieReverse).toBool();
    window.ListModel()->SetSortState(sort);
    state.endGroup();
}

} // namespace corvane
