// Names per second of the splitting engine and of quorvane-split end to end, on the names of the split
// quality corpus (words joined, ".com" added to every other name, repeated to a million names or more),
// beside the plain recursion and the I/O floor; and the time of a dead-end text for both searches.
// quorvane-split and the I/O floor run three times each (the machine may be shared): the best runs are
// compared, and how much slower the slowest was is shown.
//
// usage: bench_engine [CORPUS] [NAMES]
//   CORPUS  a file of names written as words separated by blanks (default: $QUORVANE_CORPUS, else
//           ../shared/quality/ccdn-train.txt beside the source tree)
//   NAMES   how many names to run (default 1,000,000)
#include "BenchSupport.h"
#include "PlainSplitter.h"
#include "engine/EntryProcessor.h"
#include "engine/WordDictionary.h"
#include "input/DomainFileReader.h"
#include "run/RowFormat.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quorvane;

namespace {

// The best of several runs and how far the slowest lay from it.
struct Runs
{
    std::vector<double> values;
    double best() const { return values[bestRound()]; }
    std::size_t bestRound() const
    {
        return static_cast<std::size_t>(std::min_element(values.begin(), values.end()) - values.begin());
    }
    double spreadPercent() const { return 100.0 * (*std::max_element(values.begin(), values.end()) - best()) / best(); }
};

// The I/O floor: read the input and write as many bytes as the output has, with plain buffered I/O.
double ioFloorSeconds(const QString& input, const QString& output, qint64 outputBytes)
{
    bench::Stopwatch timer;
    bench::readRaw(input);
    std::FILE* file = std::fopen(QFile::encodeName(output).constData(), "wb");
    if (!file)
        return -1;
    std::vector<char> block(1 << 16, 'x');
    for (qint64 left = outputBytes; left > 0; left -= static_cast<qint64>(block.size()))
        std::fwrite(block.data(), 1, static_cast<std::size_t>(std::min<qint64>(left, block.size())), file);
    std::fclose(file);
    return timer.seconds();
}

void deadEnds()
{
    WordDictionary dictionary;
    dictionary.add(QStringLiteral("a"));
    dictionary.add(QStringLiteral("aa"));
    Segmenter segmenter(dictionary);
    std::printf("\nDead-end text: \"a\" repeated, then \"b\"; words a and aa\n");
    for (const int length : {20, 25, 30, 60}) {
        const QString text = QString(length - 1, QLatin1Char('a')) + QLatin1Char('b');
        const int repeats = 10000;
        QStringList candidates;
        bench::Stopwatch engineTimer;
        for (int i = 0; i < repeats; ++i)
            segmenter.splitIntoWords(text, candidates);
        const double engineMicroseconds = engineTimer.seconds() * 1e6 / repeats;
        if (length > 30) {
            std::printf("  length %2d  engine %8.2f us   (plain recursion not run)\n", length, engineMicroseconds);
            continue;
        }
        bench::Stopwatch plainTimer;
        QStringList plain;
        plainSplitIntoWords(text, QString(), plain, dictionary);
        const double plainMicroseconds = plainTimer.seconds() * 1e6;
        std::printf("  length %2d  engine %8.2f us   plain recursion %12.0f us   (%zu candidates)\n", length,
                    engineMicroseconds, plainMicroseconds, static_cast<std::size_t>(candidates.size() + plain.size()));
    }
}

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

    // The engine alone: every step of an entry, rows written to memory and dropped.
    EntryProcessor processor(dictionary, appDir);
    qint64 rows = 0;
    bench::DiscardedRows discarded;
    processor.prepareIndex();
    bench::Stopwatch engineTimer;
    const double engineStart = bench::processSeconds();
    for (const QString& name : names)
        rows +=
            RowFormat{}.write(processor, name, SplitOptions{false, Segmenter::defaultMaxCandidates}, discarded).rows;
    const double engineSeconds = engineTimer.seconds();
    const double engineCpu = bench::processSeconds() - engineStart;
    const double engineRate = static_cast<double>(names.size()) / engineCpu;
    std::printf("engine alone          %10.0f names/s of processor time  (wall clock %.0f names/s; %lld rows)\n",
                engineRate, static_cast<double>(names.size()) / engineSeconds, static_cast<long long>(rows));

    // The plain recursion on the same names (cleaned the same way), on a share of them.
    const qsizetype plainCount = std::min<qsizetype>(names.size(), 100000);
    NameCleaner cleaner(appDir);
    const double plainStart = bench::processSeconds();
    qint64 plainRows = 0;
    for (qsizetype i = 0; i < plainCount; ++i) {
        QStringList candidates;
        plainSplitIntoWords(removeBlanks(cleaner.cleanDomainName(names[i])), QString(), candidates, dictionary);
        plainRows += candidates.size();
    }
    const double plainRate = static_cast<double>(plainCount) / (bench::processSeconds() - plainStart);
    std::printf("plain recursion       %10.0f names/s of processor time  (first %lld names, %lld rows)   "
                "engine / plain: %.1fx\n",
                plainRate, static_cast<long long>(plainCount), static_cast<long long>(plainRows),
                engineRate / plainRate);

    // quorvane-split end to end.
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("names.txt"));
    const QString output = dir.filePath(QStringLiteral("rows.txt"));
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
    // quorvane-split with one job, then with its default of one per processor; and the floor. The machine is
    // shared: each is run three times, and the best is compared.
    constexpr int rounds = 3;
    struct SplitRuns
    {
        Runs cpu;
        Runs wall;
        Runs user; // of each round, to show those of the best
        Runs system;
    };
    SplitRuns oneJob;
    SplitRuns defaultJobs;
    Runs floorCpu;
    Runs floorWall;
    qint64 outputBytes = 0;
    int exitCode = -1;
    const auto runSplit = [&](SplitRuns& runs, const QStringList& jobs) {
        QFile::remove(output);
        QProcess split;
        split.setStandardOutputFile(output);
        split.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        bench::Stopwatch splitTimer;
        const bench::ChildTimes before = bench::childrenTimes();
        split.start(appDir + QStringLiteral("/quorvane-split"),
                    QStringList{QStringLiteral("--list"), QStringLiteral("1")} + jobs + QStringList{input});
        split.waitForFinished(-1);
        runs.wall.values.push_back(splitTimer.seconds());
        const bench::ChildTimes after = bench::childrenTimes();
        runs.user.values.push_back(after.user - before.user);
        runs.system.values.push_back(after.system - before.system);
        runs.cpu.values.push_back(runs.user.values.back() + runs.system.values.back());
        exitCode = std::max(exitCode, split.exitCode());
        outputBytes = QFile(output).size();
    };
    for (int round = 0; round < rounds; ++round) {
        runSplit(oneJob, {QStringLiteral("--jobs"), QStringLiteral("1")});
        runSplit(defaultJobs, {});

        const QString floorFile = dir.filePath(QStringLiteral("floor.txt"));
        QFile::remove(floorFile);
        const double floorStart = bench::processSeconds();
        floorWall.values.push_back(ioFloorSeconds(input, floorFile, outputBytes));
        floorCpu.values.push_back(bench::processSeconds() - floorStart);
    }
    const auto rate = [&](double seconds) { return static_cast<double>(names.size()) / seconds; };
    std::printf("quorvane-split, 1 job %10.0f names/s of processor time  (best of %d, slowest %.0f%% slower; user "
                "%.2f s, system %.2f s; wall clock %.0f names/s; exit %d, %.1f MB in, %.1f MB out)\n",
                rate(oneJob.cpu.best()), rounds, oneJob.cpu.spreadPercent(), oneJob.user.values[oneJob.cpu.bestRound()],
                oneJob.system.values[oneJob.cpu.bestRound()], rate(oneJob.wall.best()), exitCode,
                static_cast<double>(QFile(input).size()) / 1e6, static_cast<double>(outputBytes) / 1e6);
    // The default number of jobs is quorvane-split's own choice; the processors it chose from are shown.
    std::printf("quorvane-split, default%8.0f names/s of wall clock      (best of %d, slowest %.0f%% slower; user "
                "%.2f s, system %.2f s of processor time; %d processors)\n",
                rate(defaultJobs.wall.best()), rounds, defaultJobs.wall.spreadPercent(),
                defaultJobs.user.values[defaultJobs.wall.bestRound()],
                defaultJobs.system.values[defaultJobs.wall.bestRound()], QThread::idealThreadCount());
    std::printf("I/O floor             %10.0f names/s of processor time  (best of %d, slowest %.0f%% slower; wall "
                "clock %.0f names/s)\n",
                rate(floorCpu.best()), rounds, floorCpu.spreadPercent(), rate(floorWall.best()));
    std::printf("quorvane-split / floor: 1 job %.1fx the processor time and %.1fx the wall clock; default jobs "
                "%.1fx the wall clock\n",
                oneJob.cpu.best() / floorCpu.best(), oneJob.wall.best() / floorWall.best(),
                defaultJobs.wall.best() / floorWall.best());

    deadEnds();
    return 0;
}
