// Loaded into the real program by Qt itself (QT_LOAD_TESTABILITY=1 and this library on the library path):
// once the main window shows, it clicks "Start Splitting" and writes "running" to standard output when the
// run has set the progress bar, so that a test can act on the program while it is in the middle of a run.
#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

namespace {

void say(const char* text, size_t length)
{
    // Unbuffered, so that the test sees it at once.
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, text, length);
}

QWidget* shownMainWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("Form1") && widget->isVisible())
            return widget;
    }
    return nullptr;
}

} // namespace

extern "C" Q_DECL_EXPORT void qt_testability_init();

void qt_testability_init()
{
    // Called while the application object is being built: the window comes later, so look for it.
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll] {
        QWidget* window = shownMainWindow();
        if (!window)
            return;
        poll->stop();
        poll->deleteLater();
        auto* progress = window->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
        auto* start = window->findChild<QPushButton*>(QStringLiteral("PushButton9"));
        if (!progress || !start) {
            say("no controls\n", 12);
            return;
        }
        QObject::connect(progress, &QProgressBar::valueChanged, progress, [progress](int value) {
            if (value > 0 && !progress->property("reported").toBool()) {
                progress->setProperty("reported", true);
                say("running\n", 8);
            }
        });
        // Queued, so that the run does not start inside this timer's own call.
        QMetaObject::invokeMethod(start, &QPushButton::click, Qt::QueuedConnection);
    });
    poll->start(20);
}
