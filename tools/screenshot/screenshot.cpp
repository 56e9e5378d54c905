// Takes the README's picture of the real window: starts it on the application folder with settings in a
// temporary file, adds the sample names, runs "Start Splitting" and saves what the window shows.
// usage: quorvane-screenshot APPLICATION_FOLDER OUTPUT.png (run under an X server, e.g. xvfb-run)
#include "MainWindow.h"
#include "core/Prompter.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using namespace quorvane;

namespace {

// Answers every box at once, so that the run finishes without anyone to press OK; what would have been
// shown goes to standard error.
class QuietPrompter final : public Prompter
{
public:
    void message(const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    void errorReport(const QString& text) override { std::fprintf(stderr, "report: %s\n", qPrintable(text)); }
    QString inputBox(const QString&) override { return {}; }
    QStringList openFileNames(const FileDialogOptions&) override { return {}; }
    QString saveFileName(const FileDialogOptions&) override { return {}; }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvane-screenshot APPLICATION_FOLDER OUTPUT.png\n");
        return 2;
    }
    QTemporaryDir settingsFolder;
    Settings settings(settingsFolder.filePath(QStringLiteral("settings.ini")));
    QuietPrompter prompter;
    MainWindowSetup setup;
    setup.applicationFolder = QString::fromLocal8Bit(argv[1]);
    setup.prompter = &prompter;
    setup.settings = &settings;
    MainWindow window(setup);
    if (!window.Form_Load())
        return 1;
    window.show();
    window.PushButton7_Click();
    window.PushButton9_Click();
    int status = 1;
    // Give the window a moment to be mapped and painted before it is grabbed.
    QTimer::singleShot(500, [&] {
        status = window.grab().save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}
