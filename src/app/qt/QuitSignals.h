// Closes the main window, as its own close button does, when the program is asked to stop by a
// signal (Ctrl+C in a terminal, SIGTERM from a session manager or a script): open connections
// are closed properly instead of the process just vanishing.
#pragma once

#include <functional>

class QObject;
class QWidget;

namespace corvane {

void CloseOnQuitSignals(QWidget* mainWindow);
// The same for a program without a window: quit runs on the event loop, at most once per signal.
void OnQuitSignals(QObject* owner, std::function<void()> quit);

} // namespace corvane
