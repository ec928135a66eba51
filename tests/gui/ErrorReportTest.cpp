// Errors that escape an event handler are reported and the program goes on.
#include <gtest/gtest.h>

#include <QFile>
#include <QTimer>
#include <stdexcept>

#include "gui/QtTestSupport.h"
#include "util/qt/ErrorReport.h"

using namespace corvane;
using corvane::test::WaitFor;

TEST(ErrorReport, EscapedExceptionIsShownLoggedAndTheLoopGoesOn) {
    const QString reportPath = QString::fromStdString(ErrorReportPath());
    QFile::remove(reportPath);
    std::vector<std::string> shown;
    SetErrorSink([&](const std::string& m) { shown.push_back(m); });

    bool later = false;
    QTimer::singleShot(0, [] { throw std::runtime_error("Unable to write to /ro/corvane.INI"); });
    QTimer::singleShot(5, [&] { later = true; });
    ASSERT_TRUE(WaitFor([&] { return later; }));
    ASSERT_EQ(shown, std::vector<std::string>{"Unable to write to /ro/corvane.INI"});

    PostError("Asynchronous socket error 7");
    ASSERT_TRUE(WaitFor([&] { return shown.size() == 2; }));
    SetErrorSink(nullptr);

    QFile report(reportPath);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = report.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    // "yyyy-mm-dd hh:nn:ss message"
    EXPECT_TRUE(lines[0].endsWith(" Unable to write to /ro/corvane.INI\r")) << lines[0].data();
    EXPECT_EQ(lines[0].indexOf(' '), 10);
    EXPECT_TRUE(lines[1].endsWith(" Asynchronous socket error 7\r"));
    report.close();
    QFile::remove(reportPath);
}
