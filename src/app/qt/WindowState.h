// The main window's state between runs: its size and position, the splitters, the sensor list's
// column widths and sort order, and whether the log pane shows. It lives in a file of its own,
// apart from the settings file, which the program never writes at shutdown.
#pragma once

#include <QRect>
#include <QString>
#include <string>

namespace corvane {

class TfrmCorv;

// Writes the state; nothing when stateFile is empty. Its folder is made when needed.
void SaveWindowState(TfrmCorv& window, const std::string& stateFile);

// Takes back what a state file holds. A missing or unreadable file leaves the window as it
// starts; a state that would put the window (partly) off every screen is moved and shrunk onto
// the primary one.
void RestoreWindowState(TfrmCorv& window, const std::string& stateFile);

// frame moved, and shrunk if need be, to lie inside available.
QRect FitOnScreen(const QRect& frame, const QRect& available);

} // namespace corvane
