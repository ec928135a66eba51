#include "app/fmCorvDialogs.h"

#include <QWidget>

#include "app/AppIni.h"
#include "app/Help.h"
#include "app/Monitor.h"
#include "output/fmAbout.h"
#include "output/fmExport.h"
#include "output/fmHist.h"
#include "output/fmSelectEntry.h"

namespace corvane {

namespace {
TAboutParams ParamsAtStartUp() {
    TAboutParams params;
    if (SettingsFile) {
        params.Points2Average = SettingsFile->ReadPoints2Average();
        params.MaxAge = SettingsFile->ReadMaxAge();
        params.LogRateSec = SettingsFile->ReadLogRateSec();
        params.LogPackets = SettingsFile->ReadLogPackets();
        params.DuplicateTimeSec = SettingsFile->ReadDuplicateTimeSec();
        params.DuplicateCRCCheck = SettingsFile->ReadDuplicateCRCCheck();
    }
    return params;
}
} // namespace

namespace {
TAboutParams AboutParams(const std::string& places) {
    TAboutParams params = ParamsAtStartUp();
    params.Places = places;
    return params;
}
} // namespace

// Made once for the run, right after the main window, and owned by it as its children.
TCorvDialogs::TCorvDialogs(QWidget* mainWindow, TMonitor& monitor, const std::string& places)
    : main_(mainWindow), monitor_(monitor), frmAbout_(new TfrmAbout(AboutParams(places), main_)),
      frmHist_(new TfrmHist(main_)), frmExport_(new TfrmExport(monitor_.Store(), main_)) {
    SetHelpContext(frmAbout_, 26);
    SetHelpContext(frmHist_, 11);
    frmExport_->ChooseFile = RunCsvSaveDialog;
    SetHelpContext(frmExport_, 14);
}

void TCorvDialogs::ShowHistory(uint16_t row) {
    frmHist_->LoadSensor(monitor_.Store(), row);
    frmHist_->exec();
}

void TCorvDialogs::ShowExport() {
    frmExport_->exec();
}

void TCorvDialogs::ShowAbout() {
    frmAbout_->exec();
}

bool TCorvDialogs::RunByEntry(const std::function<void(const QString&)>& showFilter,
                              const std::function<void()>& clearAll) {
    return corvane::RunByEntry(main_, monitor_, showFilter, clearAll);
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
