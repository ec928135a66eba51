// Errors that no part of the program handles: shown to the user in a message box, appended with
// the time to an error report file (beside the program or in the user's data folder), and then the
// program goes on with its next event.
#pragma once

#include <QApplication>
#include <functional>
#include <string>

namespace corvane {

// Shows the message and appends it to the error report file.
void ReportError(const std::string& message);
// The same, from the event loop: for errors noticed inside a notification of a Qt object, where a
// modal message box must not run in the middle of that object's own work.
void PostError(const std::string& message);

// A warning about the run's circumstances (no error of the program): a message box over parent,
// from the event loop, so that it shows once the window is up. Not written to the report.
void PostWarning(QWidget* parent, const std::string& message);

// The error report file: the one set for this run, else the program's path with the extension
// ".err".
std::string ErrorReportPath();
void SetErrorReportPath(const std::string& path);

// Replaces the message box (not the file) while set; tests collect the messages with it.
using TErrorSink = std::function<void(const std::string&)>;
void SetErrorSink(TErrorSink sink);

// The application object: every event runs inside notify(), so an exception that escapes an event
// handler is caught here, reported, and the event loop goes on.
class TCorvApplication : public QApplication {
public:
    TCorvApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace corvane
