#include <QStringList>

#include <cstdio>

#include "app/Display.h"
#include "app/FilePlaces.h"
#include "app/StandardFiles.h"
#include "app/Usage.h"
#include "app/qt/ColourScheme.h"
#include "app/qt/Headless.h"
#include "app/qt/fmCorv.h"
#include "output/qt/fmAbout.h"
#include "util/qt/ErrorReport.h"

int main(int argc, char* argv[]) {
    // Before anything opens a descriptor of its own.
    corvane::OpenMissingStandardFiles();
    // Answered before the window system starts, so they work without a display.
    if (const auto answer = corvane::EarlyAnswer(std::vector<std::string>(argv + 1, argv + argc))) {
        std::fputs(answer->c_str(), stdout);
        return 0;
    }
    // The service needs no display either: it is decided before any window system is touched.
    if (corvane::WantsHeadless(argc, argv))
        return corvane::RunHeadless(argc, argv);
    if (!corvane::DisplayAvailable(corvane::DisplayEnvOfThisProcess())) {
        std::fprintf(stderr, "%s\n", corvane::NoDisplayMessage);
        return 2;
    }
    corvane::TCorvApplication app(argc, argv);
    QApplication::setApplicationName("Corvane");
    QApplication::setDesktopFileName(corvane::ApplicationId);
    QApplication::setWindowIcon(corvane::ProgramIcon());
    corvane::FollowDesktopColourScheme(app);
    QStringList args = QApplication::arguments();
    args.removeFirst();
    const corvane::TFilePlaces places =
        corvane::FilePlacesForThisRun(QCoreApplication::applicationFilePath().toStdString());
    corvane::SetErrorReportPath(places.ErrorReport);
    corvane::TfrmCorv frmCorv(args, places);
    // The help window left open must not keep the program running once the main window is gone.
    corvane::EndProgramWithWindow(frmCorv);
    frmCorv.show();
    return app.exec();
}
