// What quorvane-split does before its first name and after its last, phase by phase (fastest of several runs
// each), and the processor time of the whole program on a file of one name.
// usage: bench_startup [application folder] [runs]
#include "BenchSupport.h"
#include "core/Pointer.h"
#include "core/Prompter.h"
#include "engine/WordDatabase.h"
#include "engine/WordDictionary.h"
#include "engine/WordLists.h"
#include "engine/WordTrie.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace quorvane;

namespace {

class SilentPrompter final : public Prompter
{
public:
    void message(const QString&) override {}
    void errorReport(const QString&) override {}
    QString inputBox(const QString&) override { return {}; }
    QStringList openFileNames(const FileDialogOptions&) override { return {}; }
    QString saveFileName(const FileDialogOptions&) override { return {}; }
};

// The fastest of the runs, in milliseconds; `prepare` runs untimed before each.
double fastestMs(int runs, const std::function<void()>& prepare, const std::function<void()>& body)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        prepare();
        bench::Stopwatch watch;
        body();
        best = std::min(best, watch.seconds() * 1000.0);
    }
    return best;
}

double childrenSeconds(bool user)
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const timeval& time = user ? usage.ru_utime : usage.ru_stime;
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(QUORVANE_APP_DIR);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const auto nothing = [] {};
    std::printf("Start-up of quorvane-split with word list #1 in %s, fastest of %d runs each\n", qPrintable(folder),
                runs);

    std::unique_ptr<WordDatabase> database;
    const double openMs = fastestMs(
        runs, [&] { database.reset(); },
        [&] { database = std::make_unique<WordDatabase>(folder + QStringLiteral("/dbWords.mdb")); });
    std::vector<std::optional<QString>> rows;
    const double readMs = fastestMs(
        runs, [&] { rows.clear(); }, [&] { rows = database->readWords(); });

    SilentPrompter prompter;
    PlainPointer pointer;
    auto dictionary = std::make_unique<WordDictionary>();
    const double loadMs = fastestMs(runs, nothing, [&] {
        loadWords(WordListChoice::Database, database.get(), folder, *dictionary, prompter, pointer);
    });

    std::unique_ptr<WordTrie> trie;
    const double trieMs = fastestMs(
        runs, [&] { trie = std::make_unique<WordTrie>(); }, [&] { trie->build(dictionary->words()); });

    const double freeMs = fastestMs(
        runs,
        [&] {
            dictionary = std::make_unique<WordDictionary>();
            loadWords(WordListChoice::Database, database.get(), folder, *dictionary, prompter, pointer);
        },
        [&] { dictionary.reset(); });

    std::printf("opening dbWords.mdb          %8.2f ms\n", openMs);
    std::printf("reading table \"words\"        %8.2f ms (%zu rows)\n", readMs, rows.size());
    std::printf("loadWords (reads the table)  %8.2f ms\n", loadMs);
    std::printf("WordTrie::build              %8.2f ms\n", trieMs);
    std::printf("destroying the dictionary    %8.2f ms\n", freeMs);

    // The whole program on one name: processor time of the child, best of the runs.
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("one.txt"));
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write("www.example.com\n");
    }
    double bestCpu = 1e300;
    double bestUser = 0;
    double bestSystem = 0;
    double worstCpu = 0;
    for (int i = 0; i < runs; ++i) {
        const double userBefore = childrenSeconds(true);
        const double systemBefore = childrenSeconds(false);
        QProcess split;
        split.setStandardOutputFile(QProcess::nullDevice());
        split.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        split.start(folder + QStringLiteral("/quorvane-split"), {QStringLiteral("--list"), QStringLiteral("1"), input});
        split.waitForFinished(-1);
        const double user = childrenSeconds(true) - userBefore;
        const double system = childrenSeconds(false) - systemBefore;
        worstCpu = std::max(worstCpu, user + system);
        if (user + system < bestCpu) {
            bestCpu = user + system;
            bestUser = user;
            bestSystem = system;
        }
    }
    std::printf("quorvane-split on one name   %8.1f ms of processor time (user %.1f, system %.1f; slowest %.1f)\n",
                bestCpu * 1000.0, bestUser * 1000.0, bestSystem * 1000.0, worstCpu * 1000.0);
    return 0;
}
