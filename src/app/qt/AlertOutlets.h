// Where the alert changes go beyond the log pane and the views, for the window and the service
// alike: the program of [Alerts] Command, and in the window the desktop's notifications
// ([Alerts] Notify). Both hear the alerts through one feed.
#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <string_view>

#include "app/AlertChange.h"

namespace corvane {

class TAlertCommands;
class TDesktopNotify;
class TIniFile;
class TStore;

class TAlertOutlets {
public:
    using TLog = std::function<void(std::string_view)>;

    // desktop: whether the desktop's notifications are wanted (the window's, when Notify=1).
    TAlertOutlets(const TIniFile& file, TStore& store, TLog log, bool desktop);
    ~TAlertOutlets();
    TAlertOutlets(const TAlertOutlets&) = delete;
    TAlertOutlets& operator=(const TAlertOutlets&) = delete;

    // Null without a Command.
    TAlertCommands* Commands() const { return commands_.get(); }
    // Null without the desktop's notifications.
    TDesktopNotify* Desktop() const { return desktop_.get(); }

private:
    void StartCommands(const TIniFile& file, const TAlertOutSettings& settings, TStore& store);

    TLog log_;
    TAlertChangeFeed feed_;
    std::unique_ptr<TDesktopNotify> desktop_;
    std::unique_ptr<TAlertCommands> commands_;
    QTimer poll_; // runs while a command runs or waits
};

} // namespace corvane
