// corvane --headless refuses options that cannot open their connection: a service started by a
// session manager would otherwise idle for good and end with 0, so nothing would restart it.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <string>
#include <utility>

#include "E2eSupport.h"

namespace {

struct TRefusal {
    QStringList Args;
    std::string Err;
};

// The program copy's standard error and exit code; -1 when it was still running after ten
// seconds.
std::pair<std::string, int> RunHeadless(const QStringList& args) {
    QTemporaryDir dir;
    corvane::testing::CopyProgram(dir, {});
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    env.insert("CORVANE_HOME", dir.path());
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.start(dir.filePath("corvane"), QStringList{"--headless"} + args);
    if (!process.waitForStarted(10000))
        return {"did not start", -1};
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(5000);
        return {process.readAllStandardError().toStdString(), -1};
    }
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty()) << args.join(' ').toStdString();
    return {process.readAllStandardError().toStdString(), process.exitCode()};
}

TEST(HeadlessOptions, AnOptionThatCannotOpenItsConnectionEndsTheRunWith2) {
    // Each beside a good option, which must not hide it.
    const TRefusal refusals[] = {
        {{"-A", "127.0.0.1:1070"}, "corvane: -A: no address (write it joined: -A127.0.0.1:1070)\n"},
        {{"-I1", "-A"}, "corvane: -A: no address (write it joined: -A10.0.0.7:1070)\n"},
        {{"-I1", "-I70000"}, "corvane: -I70000: the port is no number from 1 to 65535\n"},
        {{"-I1", "-Iabc"}, "corvane: -Iabc: the port is no number from 1 to 65535\n"},
        {{"-A127.0.0.1:0", "-I1"},
         "corvane: -A127.0.0.1:0: the port is no number from 1 to 65535\n"},
        {{"-I1", "-S99"}, "corvane: -S99: no serial port 99 (1 to 32)\n"},
        {{"-S0"}, "corvane: -S0: no serial port 0 (1 to 32)\n"},
    };
    for (const TRefusal& refusal : refusals) {
        const auto [err, code] = RunHeadless(refusal.Args);
        EXPECT_EQ(code, 2) << refusal.Args.join(' ').toStdString();
        EXPECT_EQ(err, refusal.Err) << refusal.Args.join(' ').toStdString();
    }
}

TEST(HeadlessOptions, EveryBadOptionIsNamedOnALineOfItsOwn) {
    const auto [err, code] = RunHeadless({"-S40", "-I1", "-A:1070"});
    EXPECT_EQ(code, 2);
    EXPECT_EQ(err, "corvane: -S40: no serial port 40 (1 to 32)\n"
                   "corvane: -A:1070: no address (write it joined: -A10.0.0.7:1070)\n");
}

} // namespace
