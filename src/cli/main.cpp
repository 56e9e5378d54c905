// quorvane-split: splits domain names from files or standard input into words, as the window's
// "Start Splitting" does, and writes the rows to standard output.
#include "SplitRun.h"
#include "StreamWriter.h"
#include "TerminalProgress.h"
#include "core/Failure.h"
#include "core/Pointer.h"
#include "core/Prompter.h"
#include "engine/EntryProcessor.h"
#include "engine/WordDatabase.h"
#include "engine/WordDictionary.h"
#include "engine/WordLists.h"
#include "input/DomainFileReader.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <unistd.h>

using namespace quorvane;

namespace {

const char* const programName = "quorvane-split";

const char* const usageText = "Usage: quorvane-split [options] [FILE...]\n"
                              "Splits domain names and URLs, one per line, into words; every way found is one row.\n"
                              "Names come from the FILEs, or from standard input when there is none or for \"-\".\n"
                              "\n"
                              "  -l, --list N          word list 1, 2 or 3 (default 1)\n"
                              "      --words FILE      use this word-list file (read like google.col) instead of a "
                              "numbered list\n"
                              "      --data-dir DIR    folder holding dbWords.mdb, google.col, mit.col and suffix.lst "
                              "(default: the program's folder)\n"
                              "  -o, --show-original   prefix each row with the trimmed name and \" - \"\n"
                              "      --max-splits N    per-name bound (default: the window's bound; 0 = none)\n"
                              "  -j, --jobs N          split on N threads (default: one per processor, at most 8); the "
                              "rows are the same\n"
                              "  -h, --help\n";

enum ExitStatus
{
    Success = 0,
    SomethingFailed = 1,
    BadUsage = 2,
};

// Terminal output wants LF line breaks; the texts themselves stay those of the window's boxes.
QString withNewlines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// Every message goes to standard error, after the progress line has been taken away.
class Messages final
{
public:
    explicit Messages(TerminalProgress& progress) : m_progress(progress) {}

    void print(const QString& text)
    {
        m_progress.clear();
        std::fprintf(stderr, "%s: %s\n", programName, withNewlines(text).toLocal8Bit().constData());
    }

private:
    TerminalProgress& m_progress;
};

// The window's message and error boxes, printed instead; anything that asks for input is cancelled.
class PrintingPrompter final : public Prompter
{
public:
    explicit PrintingPrompter(Messages& messages) : m_messages(messages) {}

    void message(const QString& text) override { m_messages.print(text); }
    void errorReport(const QString& text) override
    {
        ++m_reports;
        m_messages.print(text);
    }
    QString inputBox(const QString&) override { return QString(); }
    QStringList openFileNames(const FileDialogOptions&) override { return QStringList(); }
    QString saveFileName(const FileDialogOptions&) override { return QString(); }

    int reports() const { return m_reports; }

private:
    Messages& m_messages;
    int m_reports = 0;
};

struct Options
{
    WordListChoice list = WordListChoice::Database;
    bool listGiven = false;
    QString wordsFile;
    QString dataDir;
    bool showOriginal = false;
    qsizetype maxSplits = Segmenter::defaultMaxCandidates;
    int jobs = 0; // 0: one per processor
    QStringList files;
    bool help = false;
};

// More jobs than this gain nothing: writing the rows out in order becomes the limit.
constexpr int maxJobs = 8;

[[noreturn]] void badUsage(const QString& problem)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", programName,
                 problem.toLocal8Bit().constData(), programName);
    std::exit(BadUsage);
}

Options parseOptions(const QStringList& arguments)
{
    Options options;
    bool onlyFiles = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const auto valueOf = [&](const QString& option) -> QString {
            if (i + 1 >= arguments.size())
                badUsage(QStringLiteral("option %1 needs a value").arg(option));
            return arguments[++i];
        };
        // "--option=value" is accepted beside "--option value".
        QString name = argument;
        std::optional<QString> inlineValue;
        if (!onlyFiles && argument.startsWith(QStringLiteral("--")) && argument.contains(QLatin1Char('='))) {
            name = argument.section(QLatin1Char('='), 0, 0);
            inlineValue = argument.section(QLatin1Char('='), 1);
        }
        const auto value = [&](const QString& option) { return inlineValue ? *inlineValue : valueOf(option); };
        if (onlyFiles || argument == QStringLiteral("-") || !argument.startsWith(QLatin1Char('-'))) {
            options.files.append(argument);
        } else if (argument == QStringLiteral("--")) {
            onlyFiles = true;
        } else if (name == QStringLiteral("-h") || name == QStringLiteral("--help")) {
            options.help = true;
        } else if (name == QStringLiteral("-o") || name == QStringLiteral("--show-original")) {
            options.showOriginal = true;
        } else if (name == QStringLiteral("-l") || name == QStringLiteral("--list")) {
            const QString number = value(name);
            if (number != QStringLiteral("1") && number != QStringLiteral("2") && number != QStringLiteral("3"))
                badUsage(QStringLiteral("the word list must be 1, 2 or 3, not \"%1\"").arg(number));
            options.list = static_cast<WordListChoice>(number.toInt());
            options.listGiven = true;
        } else if (name == QStringLiteral("--words")) {
            options.wordsFile = value(name);
            if (options.wordsFile.isEmpty())
                badUsage(QStringLiteral("--words needs a file name"));
        } else if (name == QStringLiteral("--data-dir")) {
            options.dataDir = value(name);
            if (options.dataDir.isEmpty())
                badUsage(QStringLiteral("--data-dir needs a folder name"));
        } else if (name == QStringLiteral("--max-splits")) {
            const QString number = value(name);
            bool ok = false;
            options.maxSplits = number.toLongLong(&ok);
            if (!ok || options.maxSplits < 0)
                badUsage(QStringLiteral("--max-splits needs a count of 0 or more, not \"%1\"").arg(number));
        } else if (name == QStringLiteral("-j") || name == QStringLiteral("--jobs")) {
            const QString number = value(name);
            bool ok = false;
            options.jobs = number.toInt(&ok);
            if (!ok || options.jobs < 1)
                badUsage(QStringLiteral("--jobs needs a count of 1 or more, not \"%1\"").arg(number));
            options.jobs = std::min(options.jobs, maxJobs);
        } else {
            badUsage(QStringLiteral("unknown option \"%1\"").arg(argument));
        }
    }
    if (options.listGiven && !options.wordsFile.isEmpty())
        badUsage(QStringLiteral("--list and --words choose the word list both; give only one"));
    if (options.files.isEmpty())
        options.files.append(QStringLiteral("-"));
    return options;
}

// Fills the dictionary; false when the words could not be loaded as asked.
bool loadDictionary(const Options& options, WordDictionary& dictionary, PrintingPrompter& prompter, Messages& messages)
{
    PlainPointer pointer;
    if (!options.wordsFile.isEmpty()) {
        loadWordsFromFile(options.wordsFile, dictionary, prompter, pointer);
        return prompter.reports() == 0;
    }
    std::unique_ptr<WordDatabase> database;
    if (options.list == WordListChoice::Database) {
        try {
            database = std::make_unique<WordDatabase>(options.dataDir + QStringLiteral("/dbWords.mdb"));
        } catch (const Failure& failure) {
            messages.print(failure.description());
            return false;
        }
    }
    loadWords(options.list, database.get(), options.dataDir, dictionary, prompter, pointer);
    return prompter.reports() == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    Options options = parseOptions(QCoreApplication::arguments());
    if (options.help) {
        std::fputs(usageText, stdout);
        return Success;
    }
    if (options.dataDir.isEmpty())
        options.dataDir = QCoreApplication::applicationDirPath();

    TerminalProgress progress;
    Messages messages(progress);
    PrintingPrompter prompter(messages);
    bool failed = false;

    // The words and their index are left to the system at exit, still reachable from here: freeing a hundred
    // thousand words one by one costs more than splitting thousands of names.
    static WordDictionary* const kept = new WordDictionary;
    WordDictionary& dictionary = *kept;
    if (!loadDictionary(options, dictionary, prompter, messages)) {
        failed = true;
        if (options.list == WordListChoice::Database && options.wordsFile.isEmpty() && dictionary.isEmpty())
            return SomethingFailed; // without the word database there is nothing to split against
    }

    static EntryProcessor* const keptProcessor = new EntryProcessor(dictionary, options.dataDir);
    EntryProcessor& processor = *keptProcessor;
    StreamWriter output(STDOUT_FILENO);
    SplitRun::Settings settings;
    settings.showOriginal = options.showOriginal;
    settings.maxSplits = options.maxSplits;
    settings.jobs = options.jobs > 0 ? options.jobs : std::clamp(QThread::idealThreadCount(), 1, maxJobs);
    SplitRun run(processor, settings, output, progress, [&](const QString& text) { messages.print(text); });
    if (!run.run(options.files))
        failed = true;
    if (!output.flush()) {
        // Nothing more can be delivered.
        messages.print(output.error());
        return SomethingFailed;
    }
    progress.clear();
    return failed ? SomethingFailed : Success;
}
