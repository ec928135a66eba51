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

struct TCorvDialogs::TForms {
    TfrmAbout* frmAbout = nullptr;
    TfrmHist* frmHist = nullptr;
    TfrmExport* frmExport = nullptr;
};

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
} // namespace

TCorvDialogs::TCorvDialogs(QWidget* mainWindow, TMonitor& monitor, const TRunSettings& settings,
                           const std::string& places)
    : main_(mainWindow), monitor_(monitor), forms_(std::make_unique<TForms>()) {
    // Made once for the run, right after the main window, and owned by it.
    TAboutParams params = ParamsAtStartUp(settings);
    params.Places = places;
    forms_->frmAbout = new TfrmAbout(params, main_);
    SetHelpContext(forms_->frmAbout, 26);
    forms_->frmHist = new TfrmHist(main_);
    SetHelpContext(forms_->frmHist, 11);
    forms_->frmExport = new TfrmExport(monitor_.Store(), main_);
    forms_->frmExport->ChooseFile = RunCsvSaveDialog;
    SetHelpContext(forms_->frmExport, 14);
}

TCorvDialogs::~TCorvDialogs() = default;

void TCorvDialogs::ShowHistory(uint16_t row) {
    forms_->frmHist->LoadSensor(monitor_.Store(), row);
    forms_->frmHist->exec();
}

void TCorvDialogs::ShowExport() {
    forms_->frmExport->exec();
}

void TCorvDialogs::ShowAbout() {
    forms_->frmAbout->exec();
}

bool TCorvDialogs::RunByEntry(const std::function<void(const QString&)>& showFilter,
                              const std::function<void()>& clearAll) {
    return corvane::RunByEntry(main_, monitor_.EntryNames, monitor_.EntryFilter, showFilter,
                               clearAll);
}

QWidget* TCorvDialogs::About() const {
    return forms_->frmAbout;
}
QWidget* TCorvDialogs::History() const {
    return forms_->frmHist;
}
QWidget* TCorvDialogs::Export() const {
    return forms_->frmExport;
}

} // namespace corvane
