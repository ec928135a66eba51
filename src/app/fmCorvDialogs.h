// The main window's way to the windows of the output side: history, export, select-entry dialog
// and about box, each made once (the select-entry dialog for each use).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace corvane {

class TMonitor;

class TCorvDialogs {
public:
    TCorvDialogs(QWidget* mainWindow, TMonitor& monitor);
    ~TCorvDialogs();

    void ShowHistory(uint16_t row);
    void ShowExport();
    void ShowAbout();
    // True when the user confirmed; filter then holds the chosen entry name, empty for all.
    bool SelectEntry(const std::vector<std::string>& names, std::string& filter);

private:
    struct TForms;
    QWidget* main_;
    TMonitor& monitor_;
    std::unique_ptr<TForms> forms_;
};

} // namespace corvane
