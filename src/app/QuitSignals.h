// Closes the main window, as its own close button does, when the program is asked to stop by a
// signal (Ctrl+C in a terminal, SIGTERM from a session manager or a script): open connections
// are closed properly instead of the process just vanishing.
#pragma once

class QWidget;

namespace corvane {

void CloseOnQuitSignals(QWidget* mainWindow);

} // namespace corvane
