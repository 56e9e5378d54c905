// Takes the README's picture of the real window: starts it on the application folder with settings in a
// temporary file (each KEY=VALUE given stored there first), adds the sample names unless the settings hold a domain
// list ("Zip Codes"), runs "Start Splitting" and saves what the window shows.
// usage: quorvane-screenshot APPLICATION_FOLDER OUTPUT.png [KEY=VALUE...] (run under an X server, e.g. xvfb-run)
#include "MainWindow.h"
#include "core/Prompter.h"

#include <QApplication>
#include <QPixmap>
#include <QSettings>
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
    if (argc < 3) {
        std::fprintf(stderr, "usage: quorvane-screenshot APPLICATION_FOLDER OUTPUT.png [KEY=VALUE...]\n");
        return 2;
    }
    QTemporaryDir settingsFolder;
    {
        QSettings preset(settingsFolder.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        for (int k = 3; k < argc; ++k) {
            const QString given = QString::fromLocal8Bit(argv[k]);
            preset.setValue(QStringLiteral("Quorvane/") + given.section(QLatin1Char('='), 0, 0),
                            given.section(QLatin1Char('='), 1));
        }
    }
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
    if (window.domainList().isEmpty())
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
