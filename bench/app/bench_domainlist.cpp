// Loading a 1,000,000-line domain file into the window's DomainList through "Load Domains From Text File",
// beside reading the same file's bytes, and the memory each entry takes.
#include "BenchSupport.h"
#include "MainWindow.h"
#include "WindowBench.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorvane;
using quorvane::bench::Stopwatch;

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir temporary;
    bench::BenchPrompter prompter;
    const QString path = temporary.filePath(QStringLiteral("domains.txt"));
    prompter.openAnswer = QStringList{path};
    constexpr int lineCount = 1000000;
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        QByteArray bytes;
        for (int i = 0; i < lineCount; ++i)
            bytes += "www.example-name-" + QByteArray::number(i) + (i % 3 ? ".com\r\n" : ".co.uk\r\n");
        file.write(bytes);
    }

    Settings settings(temporary.filePath(QStringLiteral("settings.ini")));
    const auto started = bench::startWindow(QStringLiteral(QUORVANE_APP_DIR), prompter, settings);
    MainWindow& window = *started;

    Stopwatch rawClock;
    const qint64 bytes = bench::readRaw(path);
    const double rawSeconds = rawClock.seconds();

    const double before = bench::currentMemoryMiB();
    Stopwatch loadClock;
    window.PushButton3_Click();
    QCoreApplication::processEvents();
    const double loadSeconds = loadClock.seconds();
    const double after = bench::currentMemoryMiB();
    if (window.domainList().count() != lineCount)
        qFatal("loaded %d entries", window.domainList().count());

    std::printf("loading %d lines (%.1f MB) into the DomainList: %.0f ms\n", lineCount, bytes / 1e6,
                loadSeconds * 1000);
    std::printf("reading the same file's bytes:                    %.0f ms\n", rawSeconds * 1000);
    std::printf("  goal: within 5 x the raw read: %s (%.1f x)\n", loadSeconds <= 5 * rawSeconds ? "met" : "NOT met",
                loadSeconds / rawSeconds);
    std::printf("memory per entry: %.0f bytes (%.1f MiB for the list)\n", (after - before) * 1024 * 1024 / lineCount,
                after - before);
    return 0;
}
