// The program copy in a folder of its own, run as the service runs: headless, without any
// display, its log read from standard output.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>
#include <functional>
#include <unistd.h>

#include "E2eSupport.h"

namespace corvane::testing {

// The program copy in a folder of its own, started without any display.
class THeadlessRun {
public:
    explicit THeadlessRun(const QByteArray& settings = {}) {
        corvane::testing::CopyProgram(dir_, settings);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(dir_.path());
    }
    ~THeadlessRun() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    void SetEnv(const QString& name, const QString& value) {
        QProcessEnvironment env = process_.processEnvironment();
        env.insert(name, value);
        process_.setProcessEnvironment(env);
    }
    // Runs in the started program's process before the program itself, to set up its files.
    void OnChildStart(const std::function<void()>& prepare) {
        process_.setChildProcessModifier(prepare);
    }
    bool Start(const QStringList& args) {
        process_.start(dir_.filePath("corvane"), QStringList{"--headless"} + args);
        return process_.waitForStarted(10000);
    }
    QByteArray Out() {
        out_ += process_.readAllStandardOutput();
        return out_;
    }
    int Count(const QByteArray& text) { return int(Out().count(text)); }
    bool WaitOut(const QByteArray& text, int n = 1, int ms = 10000) {
        return WaitFor([&] { return Count(text) >= n; }, ms);
    }
    void Signal(int sig) { ::kill(pid_t(process_.processId()), sig); }
    // Lines in the packet log, without its header.
    int LoggedPackets() const {
        QFile log(dir_.filePath("corvane_01.txt"));
        return log.open(QIODevice::ReadOnly) ? int(log.readAll().count("\r\n")) - 1 : 0;
    }
    QProcess& Process() { return process_; }
    QString Folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QProcess process_;
    QByteArray out_;
};

} // namespace corvane::testing
