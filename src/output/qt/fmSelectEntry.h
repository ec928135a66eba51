// The select-entry dialog: restricts the monitor to the packets of one entry point, or lifts the
// restriction, and the "By Entry" command built on it.
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QPushButton;

namespace corvane {

class TSelectEntryFm : public QDialog {
    Q_OBJECT
public:
    explicit TSelectEntryFm(QWidget* parent = nullptr);

    QComboBox* EntryCB = nullptr;
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // Cancel
};

// Offers "-- All --" and the names with the current filter preselected (letter case ignored).
// True when the user confirmed: filter is then the chosen name, or empty for all entry points.
// False when the dialog was cancelled or closed: filter is unchanged.
bool SelectEntry(QWidget* parent, const std::vector<std::string>& names, std::string& filter);

// The "By Entry" command over the monitor's entry names and filter. A confirmed choice becomes the
// filter, is shown through
// showFilter (empty for all entry points), and everything collected so far is cleared through
// clearAll, since it was gathered under the old filter. A cancelled dialog changes nothing: the
// record is kept. Returns whether the choice was applied.
bool RunByEntry(QWidget* parent, const std::vector<std::string>& names, std::string& filter,
                const std::function<void(const QString&)>& showFilter,
                const std::function<void()>& clearAll);

} // namespace corvane
