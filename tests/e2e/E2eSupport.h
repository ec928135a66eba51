// Runs the real program in a folder of its own (its settings and logs live beside it), headless,
// and reads what it wrote.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

#include <string>
#include <vector>

namespace corvane::testing {

// A copy of the program in the folder, with settings as the text of corvane.INI beside it
// (empty: no file), so that its settings and logs live in that folder.
void CopyProgram(const QTemporaryDir& dir, const QByteArray& settings);

class TProgramRun {
public:
    // settings: the text of corvane.INI beside the program copy (empty: no file).
    explicit TProgramRun(const QByteArray& settings);
    ~TProgramRun();

    bool Start(const QStringList& args);
    // Asks the program to stop as a session manager would, and waits for it.
    int Stop();
    QString Folder() const { return dir_.path(); }
    QByteArray ReadFile(const QString& name) const;
    QProcess& Process() { return process_; }

private:
    QTemporaryDir dir_;
    QProcess process_;
};

// Lines of a CR LF file, without their line ends.
std::vector<std::string> SplitLines(const QByteArray& text);
// Keeps the Qt event loop running until done() holds or the time is up.
bool WaitFor(const std::function<bool()>& done, int milliseconds = 5000);

} // namespace corvane::testing
