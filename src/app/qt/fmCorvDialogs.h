// The main window's way to the windows of the output side: history, export, select-entry dialog
// and about box, each made once (the select-entry dialog for each use).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QString;
class QWidget;

namespace corvane {

class TMonitor;
struct TRunSettings;

class TCorvDialogs {
public:
    // settings: as read at start-up, and places: where this run keeps its files, for the about
    // box.
    TCorvDialogs(QWidget* mainWindow, TMonitor& monitor, const TRunSettings& settings,
                 const std::string& places = {});
    ~TCorvDialogs();

    void ShowHistory(uint16_t row);
    void ShowExport();
    void ShowAbout();
    // The "By Entry" command: a confirmed choice becomes the filter, is shown and clears what
    // was collected under the old one; a cancelled dialog changes nothing.
    bool RunByEntry(const std::function<void(const QString&)>& showFilter,
                    const std::function<void()>& clearAll);

    QWidget* About() const;
    QWidget* History() const;
    QWidget* Export() const;

private:
    struct TForms;
    QWidget* main_;
    TMonitor& monitor_;
    std::unique_ptr<TForms> forms_;
};

} // namespace corvane
