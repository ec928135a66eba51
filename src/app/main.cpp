#include <QStringList>
#include <cstdio>

#include "app/ColourScheme.h"
#include "app/ErrorReport.h"
#include "app/FilePlaces.h"
#include "app/QuitSignals.h"
#include "app/Usage.h"
#include "app/fmCorv.h"
#include "output/fmAbout.h"

int main(int argc, char* argv[]) {
    // Answered before the window system starts, so they work without a display.
    if (const auto answer = corvane::EarlyAnswer(std::vector<std::string>(argv + 1, argv + argc))) {
        std::fputs(answer->c_str(), stdout);
        return 0;
    }
    corvane::TCorvApplication app(argc, argv);
    QApplication::setApplicationName("Corvane");
    QApplication::setApplicationDisplayName("Corvane");
    QApplication::setDesktopFileName("corvane");
    QApplication::setWindowIcon(corvane::ProgramIcon());
    corvane::FollowDesktopColourScheme(app);
    QStringList args = QApplication::arguments();
    args.removeFirst();
    const corvane::TFilePlaces places =
        corvane::FilePlacesForThisRun(QCoreApplication::applicationFilePath().toStdString());
    corvane::SetErrorReportPath(places.ErrorReport);
    corvane::TfrmCorv frmCorv(args, places);
    corvane::CloseOnQuitSignals(&frmCorv);
    frmCorv.show();
    return app.exec();
}
