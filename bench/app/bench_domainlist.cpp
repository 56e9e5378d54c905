// Loading a 1,000,000-line domain file into the window's DomainList through "Load Domains From Text File",
// beside reading the same file's bytes and beside decoding its names alone, and the memory each entry takes.
// Each figure is the best of three runs; the slowest is printed beside it.
#include "BenchSupport.h"
#include "MainWindow.h"
#include "WindowBench.h"
#include "input/DomainFileReader.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

using namespace quorvane;
using quorvane::bench::Stopwatch;

namespace {

struct Timing
{
    double best = 1e9;
    double worst = 0;
};

Timing bestOfThree(const std::function<void()>& prepare, const std::function<void()>& run)
{
    Timing timing;
    for (int i = 0; i < 3; ++i) {
        prepare();
        Stopwatch clock;
        run();
        const double seconds = clock.seconds();
        timing.best = std::min(timing.best, seconds);
        timing.worst = std::max(timing.worst, seconds);
    }
    return timing;
}

} // namespace

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

    qint64 bytes = 0;
    const Timing raw = bestOfThree([] {}, [&] { bytes = bench::readRaw(path); });

    TextBlock names;
    const Timing decode = bestOfThree([&] { names.clear(); }, [&] { DomainFileReader::appendAllNames(path, names); });
    const qint64 resultBytes = names.memoryBytes();
    // The list and its view taking a decoded block of a million names.
    const Timing insert = bestOfThree(
        [&] {
            window.PushButton1_Click();
            QCoreApplication::processEvents();
            if (names.isEmpty())
                DomainFileReader::appendAllNames(path, names);
        },
        [&] {
            window.domainList().append(std::move(names));
            QCoreApplication::processEvents();
        });
    names.clear();
    const Timing fresh = bestOfThree([] {}, [&] { bench::freshMemorySeconds(resultBytes); });

    double memory = 0;
    const Timing load = bestOfThree(
        [&] {
            window.PushButton1_Click();
            QCoreApplication::processEvents();
        },
        [&] {
            window.PushButton3_Click();
            QCoreApplication::processEvents();
            memory = double(window.domainList().textBlock().memoryBytes()) / (1024.0 * 1024.0);
            if (window.domainList().count() != lineCount)
                qFatal("loaded %d entries", window.domainList().count());
        });

    std::printf("loading %d lines (%.1f MB) into the DomainList: %6.1f ms (slowest %6.1f)\n", lineCount, bytes / 1e6,
                load.best * 1000, load.worst * 1000);
    std::printf("  of which decoding the names alone:            %6.1f ms (slowest %6.1f)\n", decode.best * 1000,
                decode.worst * 1000);
    std::printf("  of which the list and its view taking them:  %6.1f ms (slowest %6.1f)\n", insert.best * 1000,
                insert.worst * 1000);
    std::printf("  taking and writing the names' %.1f MiB of new memory alone: %6.1f ms (slowest %6.1f)\n",
                double(resultBytes) / (1024.0 * 1024.0), fresh.best * 1000, fresh.worst * 1000);
    std::printf("reading the same file's bytes:                    %6.1f ms (slowest %6.1f)\n", raw.best * 1000,
                raw.worst * 1000);
    std::printf("  goal: within 5 x the raw read: %s (%.1f x)\n", load.best <= 5 * raw.best ? "met" : "NOT met",
                load.best / raw.best);
    std::printf("memory per entry: %.0f bytes (%.1f MiB for the list's texts and ends, room included)\n",
                memory * 1024 * 1024 / lineCount, memory);
    return 0;
}
