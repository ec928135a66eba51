#include "app/qt/fmCorvDialogs.h"

#include <QWidget>

#include "app/AppIni.h"
#include "app/Monitor.h"
#include "output/qt/fmAbout.h"
#include "output/qt/fmExport.h"
#include "output/qt/fmHist.h"
#include "output/qt/fmSelectEntry.h"
#include "util/qt/Help.h"

namespace corvane {

namespace {
TAboutParams ParamsAtStartUp(const TRunSettings& settings) {
    TAboutParams params;
    params.Points2Average = settings.Store.Points2Average;
    params.MaxAge = settings.Store.MaxAge;
    params.LogRateSec = settings.LogRateSec;
    params.LogPackets = settings.LogPackets;
    params.DuplicateTimeSec = settings.Store.DuplicateTimeSec;
    params.DuplicateCRCCheck = settings.Store.DuplicateCRCCheck;
    return params;
}

TAboutParams AboutParams(const TRunSettings& settings, const std::string& places) {
    TAboutParams params = ParamsAtStartUp(settings);
    params.Places = places;
    return params;
}
} // namespace

// Made once for the run, right after the main window, and owned by it as its children.
TCorvDialogs::TCorvDialogs(QWidget* mainWindow, TMonitor& monitor, const TRunSettings& settings,
                           const std::string& places)
    : main_(mainWindow), monitor_(monitor),
      frmAbout_(new TfrmAbout(AboutParams(settings, places), main_)), frmHist_(new TfrmHist(main_)),
      frmExport_(new TfrmExport(monitor_.Store(), main_)) {
    SetHelpContext(frmAbout_, 26);
    SetHelpContext(frmHist_, 11);
    frmExport_->ChooseFile = RunCsvSaveDialog;
    SetHelpContext(frmExport_, 14);
}

void TCorvDialogs::SetHistoryFile(const std::string& path, std::function<TRunMapping()> mapping) {
    frmHist_->SetHistoryFile(path, std::move(mapping));
}

void TCorvDialogs::ShowHistory(uint16_t row) {
    frmHist_->LoadSensor(monitor_.Store(), row);
    // The monitor's room for observers is fixed: when it is full the window shows what it
    // loaded without following.
    const bool following = monitor_.AddReadObserver(frmHist_);
    frmHist_->exec();
    if (following)
        monitor_.RemoveReadObserver(frmHist_);
}

void TCorvDialogs::ShowExport() {
    frmExport_->exec();
}

void TCorvDialogs::ShowAbout() {
    frmAbout_->exec();
}

bool TCorvDialogs::RunByEntry(const std::function<void(const QString&)>& showFilter,
                              const std::function<void()>& clearAll) {
    return corvane::RunByEntry(main_, monitor_.EntryNames, monitor_.EntryFilter, showFilter,
                               clearAll);
}

QWidget* TCorvDialogs::About() const {
    return frmAbout_;
}
QWidget* TCorvDialogs::History() const {
    return frmHist_;
}
QWidget* TCorvDialogs::Export() const {
    return frmExport_;
}

} // namespace corvane
