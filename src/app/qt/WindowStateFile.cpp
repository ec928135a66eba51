#include "app/qt/WindowStateFile.h"

#include <QSettings>
#include <QString>

#include "app/StateFile.h"
#include "store/ListSort.h"

namespace corvane {

const char* const WindowStateGroup = "Window";

namespace {

std::optional<bool> Flag(const QSettings& state, const char* key) {
    if (!state.contains(key))
        return std::nullopt;
    return state.value(key).toBool();
}

std::optional<int> Column(const QSettings& state, const char* key) {
    bool ok = false;
    const int c = state.value(key).toInt(&ok);
    if (!ok || c < 0 || c >= ListColumnCount)
        return std::nullopt;
    return c;
}

} // namespace

std::optional<TSavedWindowState> ReadWindowStateFile(const std::string& stateFile) {
    if (stateFile.empty() || !IsReadableStateFile(stateFile))
        return std::nullopt;
    QSettings state(QString::fromStdString(stateFile), QSettings::IniFormat);
    if (state.status() != QSettings::NoError)
        return std::nullopt;
    state.beginGroup(WindowStateGroup);
    TSavedWindowState saved;
    saved.Geometry = state.value("Geometry").toByteArray();
    saved.Splitter1 = state.value("Splitter1").toByteArray();
    saved.Splitter2 = state.value("Splitter2").toByteArray();
    saved.Columns = state.value("Columns").toByteArray();
    bool ok = false;
    const int known = state.value("ColumnCount", 6).toInt(&ok);
    saved.KnownColumns = ok && known >= 0 ? known : 0;
    saved.LogPane = Flag(state, "LogPane");
    saved.SortColumn = Column(state, "SortColumn");
    saved.TieColumn = Column(state, "TieColumn");
    saved.SortReverse = Flag(state, "SortReverse");
    saved.TieReverse = Flag(state, "TieReverse");
    saved.ExportFolder = state.value("ExportFolder").toString();
    return saved;
}

} // namespace corvane
