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

#include "app/StateFile.h"
#include "app/qt/SensorListModel.h"
#include "app/qt/WindowStateFile.h"
#include "app/qt/fmCorv.h"
#include "output/qt/fmExport.h"

namespace corvane {

namespace {

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

// A state saved before the list had its later columns knows only the first ones: those added
// since keep the widths they start with.
void RestoreColumns(QHeaderView& header, const TSavedWindowState& saved) {
    std::vector<int> start;
    for (int c = 0; c < header.count(); ++c)
        start.push_back(header.sectionSize(c));
    if (!header.restoreState(saved.Columns))
        return;
    for (int c = saved.KnownColumns; c < header.count(); ++c) {
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
    // QSettings reads what stands there before it writes: a FIFO would hold the close forever.
    if (!ClearWayForStateFile(stateFile))
        return;
    QSettings state(path, QSettings::IniFormat);
    state.beginGroup(WindowStateGroup);
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
    if (!TfrmExport::LastFolder().isEmpty())
        state.setValue("ExportFolder", TfrmExport::LastFolder());
    state.endGroup();
    state.sync();
}

void RestoreWindowState(TfrmCorv& window, const std::string& stateFile) {
    const std::optional<TSavedWindowState> saved = ReadWindowStateFile(stateFile);
    if (!saved)
        return;
    const QRect startFrame = window.geometry();
    if (!window.restoreGeometry(saved->Geometry))
        window.setGeometry(startFrame);
    // A state from a larger or another screen: back onto the primary one, whole. The frame is
    // not known before the window shows, so room is left for a title bar and borders.
    if (!OnSomeScreen(window.frameGeometry()) || !OnSomeScreen(window.geometry()))
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            window.setGeometry(FitOnScreen(window.geometry(),
                                           screen->availableGeometry().adjusted(8, 32, -8, -8)));
    window.Splitter1->restoreState(saved->Splitter1);
    window.Splitter2->restoreState(saved->Splitter2);
    RestoreColumns(*window.lvDev->header(), *saved);
    // The header shows the model's order, whatever indicator the saved header state had; the
    // sort state taken back below sets it.
    window.lvDev->header()->setSortIndicatorShown(true);
    TfrmExport::SetLastFolder(saved->ExportFolder);
    QAction* log = window.findChild<QAction*>("mniLog");
    log->setChecked(saved->LogPane.value_or(log->isChecked()));
    window.reLog->setVisible(log->isChecked());
    TSortState sort = window.ListModel()->SortState();
    sort.SortColumn = saved->SortColumn.value_or(sort.SortColumn);
    sort.TieColumn = saved->TieColumn.value_or(sort.TieColumn);
    sort.SortReverse = saved->SortReverse.value_or(sort.SortReverse);
    sort.TieReverse = saved->TieReverse.value_or(sort.TieReverse);
    window.ListModel()->SetSortState(sort);
}

} // namespace corvane
