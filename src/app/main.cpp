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
    QStringList args = QApplication::arguments();
    args.removeFirst();
    corvane::TfrmCorv frmCorv(args);
    // The help window left open must not keep the program running once the main window is gone.
    QObject::connect(&frmCorv, &corvane::TfrmCorv::Closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    corvane::CloseOnQuitSignals(&frmCorv);
    frmCorv.show();
    return app.exec();
}
