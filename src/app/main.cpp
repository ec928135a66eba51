#include <QStringList>

#include "app/ErrorReport.h"
#include "app/Headless.h"
#include "app/QuitSignals.h"
#include "app/fmCorv.h"

int main(int argc, char* argv[]) {
    // The service needs no display: it is decided before any window system is touched.
    if (corvane::WantsHeadless(argc, argv))
        return corvane::RunHeadless(argc, argv);
    corvane::TCorvApplication app(argc, argv);
    QApplication::setApplicationName("Corvane");
    QApplication::setApplicationDisplayName("Corvane");
    QStringList args = QApplication::arguments();
    args.removeFirst();
    corvane::TfrmCorv frmCorv(args);
    corvane::CloseOnQuitSignals(&frmCorv);
    frmCorv.show();
    return app.exec();
}
