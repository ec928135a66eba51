// A session bus of the test program's own (a real dbus-daemon), made before the application
// connects to one and ended with the program.
#pragma once

#include <QProcess>

#include <cstdio>

namespace corvane {

class TSessionBus {
public:
    // Starts the daemon and points DBUS_SESSION_BUS_ADDRESS at it; false (said on standard
    // error) when it does not start.
    bool Start() {
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        if (!daemon_.waitForStarted(5000) || !daemon_.waitForReadyRead(5000)) {
            std::fprintf(stderr, "dbus-daemon did not start\n");
            return false;
        }
        qputenv("DBUS_SESSION_BUS_ADDRESS", daemon_.readLine().trimmed());
        return true;
    }
    ~TSessionBus() {
        daemon_.kill();
        daemon_.waitForFinished(2000);
    }

private:
    QProcess daemon_;
};

} // namespace corvane
