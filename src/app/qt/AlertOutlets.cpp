#include "app/qt/AlertOutlets.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "app/AlertCommand.h"
#include "app/AppIni.h"
#include "app/ServiceSettings.h"
#include "app/qt/DesktopNotify.h"
#include "store/ActivityStore.h"

namespace corvane {

namespace {

// Often enough that a program's end frees its place at once; only while any runs or waits.
constexpr int kCommandPollMs = 50;

} // namespace

TAlertOutlets::TAlertOutlets(const TIniFile& file, TStore& store, TLog log, bool desktop)
    : log_(std::move(log)), feed_(store) {
    const TAlertOutSettings settings = ReadAlertOutSettings(file);
    if (!feed_.Subscribed()) {
        log_("Alert changes reach neither the desktop nor the command: too many listeners");
        return;
    }
    if (desktop && settings.Notify) {
        desktop_ = std::make_unique<TDesktopNotify>(store.Clock(), log_);
        feed_.AddOutlet(desktop_.get());
    }
    if (!settings.Command.empty())
        StartCommands(file, settings, store);
}

void TAlertOutlets::StartCommands(const TIniFile& file, const TAlertOutSettings& settings,
                                  TStore& store) {
    // Said at once rather than at the first alert, which may come days later; each change
    // still tries it, as it may be installed meanwhile.
    if (settings.Command.find('/') != std::string::npos &&
        ::access(settings.Command.c_str(), X_OK) != 0)
        log_("[Alerts] Command=" + settings.Command + " cannot be run: " + std::strerror(errno));
    commands_ = std::make_unique<TAlertCommands>(settings.Command, ReadMqttSettings(file).Station,
                                                 store.Clock(), log_);
    commands_->OnBusy = [this] {
        if (!poll_.isActive())
            poll_.start(kCommandPollMs);
    };
    QObject::connect(&poll_, &QTimer::timeout, &poll_, [this] {
        commands_->Poll();
        if (!commands_->Busy())
            poll_.stop();
    });
    feed_.AddOutlet(commands_.get());
}

TAlertOutlets::~TAlertOutlets() {
    poll_.stop();
    feed_.RemoveOutlet(commands_.get());
    feed_.RemoveOutlet(desktop_.get());
}

} // namespace corvane
