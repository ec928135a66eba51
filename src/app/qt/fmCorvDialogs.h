// The main window's way to the windows of the output side: history, export, select-entry dialog
// and about box, each made once (the select-entry dialog for each use). The dialogs are children
// of the main window, which owns them as it owns its other widgets; this only points at them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "history/HistoryTime.h"

class QString;
class QWidget;

namespace corvane {

class TMonitor;
struct TRunSettings;
class TfrmAbout;
class TfrmHist;
class TfrmExport;

class TCorvDialogs {
public:
    // settings: as read at start-up, and places: where this run keeps its files, for the about
    // box.
    TCorvDialogs(QWidget* mainWindow, TMonitor& monitor, const TRunSettings& settings,
                 const std::string& places = {});

    // The history database the history window reads its spans from (empty: none kept) and this
    // run's time line for its reads, now.
    void SetHistoryFile(const std::string& path, std::function<TRunMapping()> mapping);
    // The window follows the sensor's new reads while it is shown, and hears of none otherwise.
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
    QWidget* main_;
    TMonitor& monitor_;
    TfrmAbout* frmAbout_;
    TfrmHist* frmHist_;
    TfrmExport* frmExport_;
};

} // namespace corvane
