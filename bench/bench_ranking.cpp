// Names per second with ranking off and on, on the engine benchmark's names (the split quality corpus, words
// joined, ".com" added to every other name, repeated to a million names): the engine writing rows into
// memory, and quorvane-split with one job end to end, each unranked, --rank, --best 1 inside the list
// (--words-only) and --best 1 as it is, beyond the list. The four take turns, five rounds of them, so that a
// machine whose speed drifts (it may be shared) slows all alike: each one's best round is shown, and the ratios
// are the medians of the rounds' own ratios.
//
// Goals: --best 1, inside the list or beyond it, at least as fast as listing every split; --rank within 1.5 times
// the unranked time.
//
// usage: bench_ranking [CORPUS] [NAMES]
//   CORPUS  a file of names written as words separated by blanks (default: $QUORVANE_CORPUS, else
//           ../shared/quality/ccdn-train.txt beside the source tree)
//   NAMES   how many names to run (default 1,000,000)
#include "BenchSupport.h"
#include "engine/EntryProcessor.h"
#include "engine/WordDictionary.h"
#include "run/RowFormat.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quorvane;

namespace {

double childrenSecondsNow()
{
    const bench::ChildTimes times = bench::childrenTimes();
    return times.user + times.system;
}

// Names per second in the fastest of `seconds`.
double rateOf(qsizetype names, const std::vector<double>& seconds)
{
    return static_cast<double>(names) / *std::min_element(seconds.begin(), seconds.end());
}

// The median over the rounds of top[round] / bottom[round].
double medianRatio(const std::vector<double>& top, const std::vector<double>& bottom)
{
    std::vector<double> ratios;
    for (std::size_t round = 0; round < top.size(); ++round)
        ratios.push_back(top[round] / bottom[round]);
    std::sort(ratios.begin(), ratios.end());
    const std::size_t middle = ratios.size() / 2;
    return ratios.size() % 2 == 1 ? ratios[middle] : (ratios[middle - 1] + ratios[middle]) / 2;
}

struct Mode
{
    const char* label;
    SplitOrder order;
    qsizetype best;
    bool beyondList;
    QStringList arguments;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QString corpus = bench::corpusPath(argc > 1 ? argv[1] : nullptr);
    const qsizetype wanted = argc > 2 ? QByteArray(argv[2]).toLongLong() : 1000000;
    const QString appDir = QStringLiteral(QUORVANE_APP_DIR);
    const QStringList names = bench::corpusNames(corpus, wanted);
    if (names.isEmpty()) {
        std::fprintf(stderr, "no names in %s\n", qPrintable(corpus));
        return 1;
    }
    WordDictionary dictionary;
    bench::loadDatabaseWords(appDir, dictionary);
    std::printf("%lld names from %s, word list #1 (%lld words)\n", static_cast<long long>(names.size()),
                qPrintable(corpus), static_cast<long long>(dictionary.size()));

    const std::vector<Mode> modes{
        {"every split, search order", SplitOrder::Search, 0, false, {}},
        {"--rank", SplitOrder::Ranked, 0, false, {QStringLiteral("--rank")}},
        {"--best 1 --words-only",
         SplitOrder::Ranked,
         1,
         false,
         {QStringLiteral("--best"), QStringLiteral("1"), QStringLiteral("--words-only")}},
        {"--best 1 (beyond the list)", SplitOrder::Ranked, 1, true, {QStringLiteral("--best"), QStringLiteral("1")}}};
    constexpr int rounds = 5;

    std::printf("\nEngine alone (clean, split, rows into memory), processor time, best of %d:\n", rounds);
    EntryProcessor processor(dictionary, appDir);
    processor.prepareIndex();
    processor.prepareScores();
    std::vector<std::vector<double>> engineSeconds(modes.size());
    std::vector<qint64> engineRows(modes.size());
    std::vector<qint64> engineBytes(modes.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t m = 0; m < modes.size(); ++m) {
            SplitOptions options;
            options.order = modes[m].order;
            options.best = modes[m].best;
            options.guesses.beyondList = modes[m].beyondList;
            bench::DiscardedRows output;
            qint64 rows = 0;
            const double start = bench::processSeconds();
            for (const QString& name : names)
                rows += RowFormat{}.write(processor, name, options, output).rows;
            engineSeconds[m].push_back(bench::processSeconds() - start);
            engineRows[m] = rows;
            engineBytes[m] = output.bytes();
        }
    }
    for (std::size_t m = 0; m < modes.size(); ++m) {
        std::printf("  %-26s %10.0f names/s  (%lld rows, %.1f MB)\n", modes[m].label,
                    rateOf(names.size(), engineSeconds[m]), static_cast<long long>(engineRows[m]),
                    static_cast<double>(engineBytes[m]) / 1e6);
    }

    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("names.txt"));
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray bytes;
        for (const QString& name : names) {
            bytes += name.toLatin1();
            bytes += '\n';
        }
        file.write(bytes);
    }
    std::printf("\nquorvane-split --jobs 1, end to end, processor time, best of %d:\n", rounds);
    std::vector<std::vector<double>> splitSeconds(modes.size());
    std::vector<qint64> outputBytes(modes.size());
    int exitCode = 0;
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t m = 0; m < modes.size(); ++m) {
            const QString output = dir.filePath(QStringLiteral("rows.txt"));
            QFile::remove(output);
            QProcess split;
            split.setStandardOutputFile(output);
            split.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            const double before = childrenSecondsNow();
            split.start(appDir + QStringLiteral("/quorvane-split"),
                        QStringList{QStringLiteral("--jobs"), QStringLiteral("1")} + modes[m].arguments +
                            QStringList{input});
            split.waitForFinished(-1);
            splitSeconds[m].push_back(childrenSecondsNow() - before);
            exitCode = std::max(exitCode, split.exitCode());
            outputBytes[m] = QFile(output).size();
        }
    }
    for (std::size_t m = 0; m < modes.size(); ++m) {
        std::printf("  %-26s %10.0f names/s  (%.1f MB out, exit %d)\n", modes[m].label,
                    rateOf(names.size(), splitSeconds[m]), static_cast<double>(outputBytes[m]) / 1e6, exitCode);
    }

    const auto report = [](const char* what, const std::vector<std::vector<double>>& seconds) {
        std::printf("%s: --rank takes %.2fx the unranked time (goal: at most 1.5x); as fast as listing every split "
                    "(goal: at least 1x): --best 1 --words-only %.2fx, --best 1 beyond the list %.2fx\n",
                    what, medianRatio(seconds[1], seconds[0]), medianRatio(seconds[0], seconds[2]),
                    medianRatio(seconds[0], seconds[3]));
    };
    std::printf("\nMedians of the rounds' ratios:\n");
    report("engine", engineSeconds);
    report("quorvane-split", splitSeconds);
    return 0;
}
