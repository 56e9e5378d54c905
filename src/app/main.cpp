#include "MainWindow.h"
#include "ShutdownSignals.h"
#include "output/SpreadsheetThread.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSessionManager>

using namespace quorvane;

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));

    MainWindowSetup setup;
    setup.applicationFolder = QCoreApplication::applicationDirPath();
    MainWindow window(setup);
    if (!window.Form_Load())
        return 0;

    // A termination signal or the end of the desktop session closes the window normally, which stores the
    // DomainList.
    ShutdownSignals shutdownSignals;
    QObject::connect(&shutdownSignals, &ShutdownSignals::shutdownRequested, &window,
                     [&window](int) { window.close(); });
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.Form_QueryUnload(); });

    const QRect screen = window.screen()->availableGeometry();
    window.move(screen.center() - window.rect().center());
    window.show();
    const int status = QApplication::exec();
    // An export abandoned at the close may still be closing a document that nobody can see: it gets a moment
    // for that, and its office ends if this program started it and it shows no windows.
    SpreadsheetThread::endAbandonedExports(window.spreadsheet());
    return status;
}
