#include "E2eSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QThread>

#include <csignal>

namespace corvane::testing {

void CopyProgram(const QTemporaryDir& dir, const QByteArray& settings) {
    const QString program = dir.filePath("corvane");
    QFile::copy(QStringLiteral(CORVANE_PROGRAM), program);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!settings.isEmpty()) {
        QFile ini(dir.filePath("corvane.INI"));
        ini.open(QIODevice::WriteOnly);
        ini.write(settings);
    }
}

TProgramRun::TProgramRun(const QByteArray& settings) {
    CopyProgram(dir_, settings);
}

TProgramRun::~TProgramRun() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

bool TProgramRun::Start(const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(dir_.path());
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    process_.start(dir_.filePath("corvane"), args);
    return process_.waitForStarted(10000);
}

int TProgramRun::Stop() {
    ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
    if (!process_.waitForFinished(15000))
        return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -2;
}

QByteArray TProgramRun::ReadFile(const QString& name) const {
    QFile f(dir_.filePath(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

std::vector<std::string> SplitLines(const QByteArray& text) {
    std::vector<std::string> lines;
    std::string all = text.toStdString();
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find("\r\n", start);
        if (end == std::string::npos)
            end = all.size();
        lines.push_back(all.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool WaitFor(const std::function<bool()>& done, int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

} // namespace corvane::testing
