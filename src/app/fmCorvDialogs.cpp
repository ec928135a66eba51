#include "app/fmCorvDialogs.h"

#include <QWidget>

#include "app/Monitor.h"

namespace corvane {

struct TCorvDialogs::TForms {};

TCorvDialogs::TCorvDialogs(QWidget* mainWindow, TMonitor& monitor)
    : main_(mainWindow), monitor_(monitor), forms_(std::make_unique<TForms>()) {}

TCorvDialogs::~TCorvDialogs() = default;

void TCorvDialogs::ShowHistory(uint16_t) {}

void TCorvDialogs::ShowExport() {}

void TCorvDialogs::ShowAbout() {}

bool TCorvDialogs::SelectEntry(const std::vector<std::string>&, std::string&) {
    return false;
}

} // namespace corvane
