// The window's state file as values, read with Qt Core alone: the window takes them back, and
// the fuzz build, which has no widgets, reads any file through the same code.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>

namespace corvane {

struct TSavedWindowState {
    // The widgets' own saved states, handed back to them as they are.
    QByteArray Geometry;
    QByteArray Splitter1;
    QByteArray Splitter2;
    QByteArray Columns;
    // Columns the saved header knew: 6 for a state saved before the count was kept, 0 for a
    // count that is no count.
    int KnownColumns = 6;
    // Each unset when missing; the sort columns also when they name no column of the list.
    std::optional<bool> LogPane;
    std::optional<int> SortColumn;
    std::optional<int> TieColumn;
    std::optional<bool> SortReverse;
    std::optional<bool> TieReverse;
    // The folder an export was last written to; empty when none was.
    QString ExportFolder;
};

// The group the state's keys are saved under.
extern const char* const WindowStateGroup;

// What the file holds; nullopt when it may not be read (see IsReadableStateFile) or QSettings
// cannot read it.
std::optional<TSavedWindowState> ReadWindowStateFile(const std::string& stateFile);

} // namespace corvane
