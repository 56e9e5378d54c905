// The window's figures: start-up to the window shown with word list #1 beside loading list #1 alone, a
// "Start Splitting" run over 100,000 names in the window (offscreen) beside the engine alone, and the
// longest stretch between two yields of the run.
// usage: bench_app [CORPUS]   (default: the shared quality corpus, ccdn-train.txt)
#include "BenchSupport.h"
#include "MainWindow.h"
#include "WindowBench.h"
#include "core/EventPump.h"
#include "core/Pointer.h"
#include "core/Prompter.h"
#include "engine/EntryProcessor.h"
#include "engine/WordDatabase.h"
#include "engine/WordLists.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace quorvane;
using quorvane::bench::Stopwatch;

namespace {

using quorvane::bench::MeasuringPump;

// Corpus names: the words of a line joined, ".com" added to every other one.
QStringList corpusNames(const QString& path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read the corpus %s", qPrintable(path));
    QStringList lines;
    QTextStream stream(&file);
    while (!stream.atEnd()) {
        QString line = stream.readLine();
        line.remove(QLatin1Char(' '));
        if (!line.isEmpty())
            lines.append(line);
    }
    QStringList names;
    for (int i = 0; names.size() < count; ++i) {
        const QString& line = lines[i % lines.size()];
        names.append(i % 2 ? line + QStringLiteral(".com") : line);
    }
    return names;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QString folder = QStringLiteral(QUORVANE_APP_DIR);
    const QString corpus =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(QUORVANE_SHARED_DIR "/quality/ccdn-train.txt");
    QTemporaryDir temporary;
    bench::BenchPrompter prompter;
    constexpr int rounds = 5;

    // Start-up: list #1 alone, then the whole window until it is shown and painted.
    std::vector<double> loadTimes;
    std::vector<double> startTimes;
    for (int round = 0; round < rounds; ++round) {
        Stopwatch load;
        WordDatabase database(folder + QStringLiteral("/dbWords.mdb"));
        WordDictionary dictionary;
        PlainPointer pointer;
        loadWords(WordListChoice::Database, &database, folder, dictionary, prompter, pointer);
        loadTimes.push_back(load.seconds());

        Settings settings(temporary.filePath(QStringLiteral("start%1.ini").arg(round)));
        Stopwatch start;
        const auto window = bench::startWindow(folder, prompter, settings);
        startTimes.push_back(start.seconds());
    }
    const double loadSeconds = median(loadTimes);
    const double startSeconds = median(startTimes);
    std::printf("start-up to window shown (list #1): %.1f ms (median of %d)\n", startSeconds * 1000, rounds);
    std::printf("loading list #1 alone:              %.1f ms\n", loadSeconds * 1000);
    std::printf("  goal: start-up < 2 x load + 150 ms = %.1f ms: %s\n", (2 * loadSeconds + 0.150) * 1000,
                startSeconds < 2 * loadSeconds + 0.150 ? "met" : "NOT met");

    // The run over 100,000 corpus names, in the window and by the engine alone.
    const int nameCount = qEnvironmentVariableIntValue("QUORVANE_BENCH_NAMES") > 0
                              ? qEnvironmentVariableIntValue("QUORVANE_BENCH_NAMES")
                              : 100000;
    const QStringList names = corpusNames(corpus, nameCount);
    Settings settings(temporary.filePath(QStringLiteral("run.ini")));
    MeasuringPump pump;
    const auto started = bench::startWindow(folder, prompter, settings, &pump);
    MainWindow& window = *started;
    window.domainList().append(names);

    Stopwatch engineClock;
    EntryProcessor processor(window.dictionary(), folder);
    qsizetype engineRows = 0;
    double slowestName = 0;
    QString slowest;
    for (const QString& name : names) {
        Stopwatch nameClock;
        const QStringList candidates = [&] {
            QStringList found;
            processor.search(removeBlanks(processor.clean(name)), found);
            return found;
        }();
        engineRows += EntryProcessor::rowTexts(name, candidates, true).size();
        if (nameClock.seconds() > slowestName) {
            slowestName = nameClock.seconds();
            slowest = name;
        }
    }
    const double engineSeconds = engineClock.seconds();

    pump.reset();
    Stopwatch runClock;
    window.PushButton9_Click();
    const double runSeconds = runClock.seconds();
    const double engineRate = nameCount / engineSeconds;
    const double runRate = nameCount / runSeconds;
    std::printf("\nrun over %d corpus names in the window: %.0f names/s (%.2f s, %d rows, %ld yields)\n", nameCount,
                runRate, runSeconds, window.resultList().count(), pump.yields());
    std::printf("the engine alone on the same names:      %.0f names/s (%.2f s, %lld rows)\n", engineRate,
                engineSeconds, static_cast<long long>(engineRows));
    std::printf("  goal: window >= half the engine's speed: %s (%.0f%%)\n",
                runRate >= engineRate / 2 ? "met" : "NOT met", 100.0 * runRate / engineRate);
    std::printf("longest stretch between two yields: %.2f ms (goal <= 50 ms: %s), of which the window's events in "
                "one yield at most %.2f ms\n",
                pump.longestSeconds() * 1000, pump.longestSeconds() <= 0.050 ? "met" : "NOT met",
                pump.longestInsideSeconds() * 1000);
    std::printf("  the engine's slowest single name: %.2f ms (\"%s\")\n", slowestName * 1000, qPrintable(slowest));
    return 0;
}
