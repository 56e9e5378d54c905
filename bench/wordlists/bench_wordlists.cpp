// Loads each shipped word list as the program does and prints the time beside two floors measured in the
// same run: reading the file's bytes, and inserting the same words into a plain
// std::unordered_set<std::u16string>. Goal: each load within 2x of the sum of its floors.
// usage: bench_wordlists [application folder] [repetitions]
#include "BenchSupport.h"
#include "core/Pointer.h"
#include "core/Prompter.h"
#include "engine/WordDatabase.h"
#include "engine/WordDictionary.h"
#include "engine/WordLists.h"

#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

using namespace quorvane;

namespace {

// Counts the reports instead of showing them: the shipped lists must load without any.
class CountingPrompter final : public Prompter
{
public:
    void message(const QString&) override { ++reports; }
    void errorReport(const QString& text) override
    {
        if (reports++ == 0)
            std::fprintf(stderr, "report: %s\n", qPrintable(text));
    }
    QString inputBox(const QString&) override { return {}; }
    QStringList openFileNames(const FileDialogOptions&) override { return {}; }
    QString saveFileName(const FileDialogOptions&) override { return {}; }

    int reports = 0;
};

// The fastest of the runs, in milliseconds: the least disturbed by the rest of the machine.
double fastestMs(int runs, const std::function<void()>& body)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        bench::Stopwatch watch;
        body();
        best = std::min(best, watch.seconds() * 1000.0);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(QUORVANE_APP_DIR);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

    bench::Stopwatch openWatch;
    WordDatabase database(folder + QStringLiteral("/dbWords.mdb"));
    const double openMs = openWatch.seconds() * 1000.0;
    std::printf("Word lists in %s, fastest of %d runs each\n", qPrintable(folder), runs);
    std::printf("opening dbWords.mdb (once, at start-up): %.1f ms\n\n", openMs);
    std::printf("%-12s %8s %10s %10s %12s %10s %7s %s\n", "list", "words", "load ms", "bytes ms", "u16set ms",
                "floors ms", "ratio", "goal <= 2");

    struct List
    {
        const char* name;
        WordListChoice choice;
        QString file;
    };
    const List lists[] = {
        {"#1 database", WordListChoice::Database, QStringLiteral("dbWords.mdb")},
        {"#2 google", WordListChoice::Google, QStringLiteral("google.col")},
        {"#3 mit", WordListChoice::Mit, QStringLiteral("mit.col")},
    };
    bool allWithinGoal = true;
    for (const List& list : lists) {
        const QString path = folder + u'/' + list.file;
        PlainPointer pointer;
        CountingPrompter prompter;
        WordDictionary dictionary;
        const double loadMs =
            fastestMs(runs, [&] { loadWords(list.choice, &database, folder, dictionary, prompter, pointer); });

        std::vector<std::u16string> words;
        words.reserve(std::size_t(dictionary.size()));
        for (const QString& word : dictionary.words())
            words.emplace_back(reinterpret_cast<const char16_t*>(word.utf16()), std::size_t(word.size()));
        const double bytesMs = fastestMs(runs, [&] { bench::readRaw(path); });
        const double setMs = fastestMs(runs, [&] {
            std::unordered_set<std::u16string> set;
            for (const std::u16string& word : words)
                set.insert(word);
        });
        const double floorsMs = bytesMs + setMs;
        const double ratio = loadMs / floorsMs;
        allWithinGoal = allWithinGoal && ratio <= 2.0 && prompter.reports == 0;
        std::printf("%-12s %8lld %10.2f %10.2f %12.2f %10.2f %7.2f %s%s\n", list.name,
                    static_cast<long long>(dictionary.size()), loadMs, bytesMs, setMs, floorsMs, ratio,
                    ratio <= 2.0 ? "met" : "MISSED", prompter.reports ? " (with reports!)" : "");
    }
    return allWithinGoal ? 0 : 1;
}
