// quorvane-split: splits domain names from files or standard input into words, as the window's
// "Start Splitting" does, and writes the rows to standard output.
#include "SplitRun.h"
#include "StreamWriter.h"
#include "TerminalProgress.h"
#include "core/Failure.h"
#include "core/Pointer.h"
#include "core/Prompter.h"
#include "engine/EntryProcessor.h"
#include "engine/SplitSettings.h"
#include "engine/UserWords.h"
#include "engine/WordDictionary.h"
#include "engine/WordLists.h"
#include "input/DomainFileReader.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <utility>

using namespace quorvane;

namespace {

const char* const programName = "quorvane-split";

const char* const usageText = "Usage: quorvane-split [options] [FILE...]\n"
                              "Splits domain names and URLs, one per line, into words; every way found is one\n"
                              "row. Names come from the FILEs, or from standard input when there is none or\n"
                              "for \"-\".\n"
                              "\n"
                              "  -l, --list N          word list 1, 2 or 3 (default 2, which splits names best)\n"
                              "      --words FILE      use this word-list file (read like google.col) instead\n"
                              "                        of a numbered list\n"
                              "      --data-dir DIR    folder holding dbWords.mdb, google.col, mit.col and\n"
                              "                        suffix.lst (default: the program's folder)\n"
                              "  -o, --show-original   prefix each row with the trimmed name and \" - \"\n"
                              "      --max-splits N    per-name bound (default: the window's bound; 0 = none);\n"
                              "                        ranked, the best N are kept\n"
                              "  -j, --jobs N          split on N threads (default or 0: one per processor, at\n"
                              "                        most 8); the rows are the same\n"
                              "      --add-words FILE  add the words of FILE (one a line) to the list, ranked\n"
                              "                        with its most common words; may be given more than\n"
                              "                        once, as may --drop-words\n"
                              "      --drop-words FILE remove the words of FILE from the list\n"
                              "      --rank            order the listing: the same rows, most likely first\n"
                              "                        (equal scores in search order)\n"
                              "      --best N          find the N likeliest splits of each name, which may go\n"
                              "                        beyond the word list: letters spelled one by one and\n"
                              "                        unknown stretches count as pieces; implies --rank\n"
                              "      --words-only      keep --best inside the word list: only rows the\n"
                              "                        listing holds\n"
                              "      --case-hints      ranked: in a name of mixed case, prefer cuts where\n"
                              "                        lower case meets upper case\n"
                              "      --window-cleaning clean names as the window does: only \"http://\" is\n"
                              "                        removed as a scheme, and ports, user info, queries and\n"
                              "                        fragments stay (by default a URL is reduced to its host\n"
                              "                        and path, percent-encoding and xn-- labels decoded)\n"
                              "      --encoding ENC    read the names as utf-8 (the default; a byte-order mark\n"
                              "                        may say UTF-16) or windows-1252; a line that is not\n"
                              "                        valid UTF-8 is reported and skipped\n"
                              "      --scores          append a TAB and the row's score (natural log of its\n"
                              "                        likelihood, 3 decimals)\n"
                              "      --format FORMAT   text (the rows, the default), tsv or jsonl:\n"
                              "                        tsv: name TAB row TAB score TAB split, where row is\n"
                              "                        the row's number within its name from 1 (its rank\n"
                              "                        when ranked, its place in search order otherwise);\n"
                              "                        with --best, a fifth field gives each piece's kind:\n"
                              "                        known, letter or unknown; a TAB, line break or\n"
                              "                        backslash in a field is written \\t, \\n, \\r or \\\\\n"
                              "                        jsonl: one object per name:\n"
                              "                        {\"name\":...,\"splits\":[{\"words\":[...],\"score\":...}],\n"
                              "                        \"cut\":...}; with --best each split has\n"
                              "                        \"kinds\":[...], and a name that failed has \"error\":...\n"
                              "      --progress        show a progress line and a summary on standard error\n"
                              "      --no-progress     show neither (by default they are shown when standard\n"
                              "                        error is a terminal that standard output is not)\n"
                              "  -h, --help            print this summary\n"
                              "      --version         print the version\n";

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
    // One line: the failure and where it happened, without the box's request for a screenshot.
    void stepFailed(const QString& description, const QString& location, int step) override
    {
        ++m_reports;
        m_messages.print(QStringLiteral("%1 (%2at line %3)").arg(description, location, QString::number(step)));
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
    SplitSettings split;
    QString dataDir;
    bool showOriginal = false;
    QStringList addWordsFiles; // every file given, in order
    QStringList dropWordsFiles;
    NameEncoding encoding = NameEncoding::Utf8UnlessMarked;
    TerminalProgress::Mode progress = TerminalProgress::Mode::Auto;
    RowFormat format;
    QStringList files;
    bool help = false;
    bool version = false;
};

[[noreturn]] void badUsage(const QString& problem)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", programName,
                 problem.toLocal8Bit().constData(), programName);
    std::exit(BadUsage);
}

// The last value given for the option (a later one overrides an earlier one).
QString lastValue(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    const QStringList values = parser.values(option);
    return values.isEmpty() ? QString() : values.last();
}

Options parseOptions(const QStringList& arguments)
{
    const auto valued = [](const QStringList& names, const char* value) {
        return QCommandLineOption(names, QString(), QString::fromLatin1(value));
    };
    const QCommandLineOption list = valued({"l", "list"}, "N");
    const QCommandLineOption words = valued({"words"}, "FILE");
    const QCommandLineOption dataDir = valued({"data-dir"}, "DIR");
    const QCommandLineOption showOriginal(QStringList{"o", "show-original"});
    const QCommandLineOption maxSplits = valued({"max-splits"}, "N");
    const QCommandLineOption jobs = valued({"j", "jobs"}, "N");
    const QCommandLineOption rank(QStringLiteral("rank"));
    const QCommandLineOption best = valued({"best"}, "N");
    const QCommandLineOption wordsOnly(QStringLiteral("words-only"));
    const QCommandLineOption caseHints(QStringLiteral("case-hints"));
    const QCommandLineOption windowCleaning(QStringLiteral("window-cleaning"));
    const QCommandLineOption encoding = valued({"encoding"}, "ENCODING");
    const QCommandLineOption progress(QStringLiteral("progress"));
    const QCommandLineOption noProgress(QStringLiteral("no-progress"));
    const QCommandLineOption addWords = valued({"add-words"}, "FILE");
    const QCommandLineOption dropWords = valued({"drop-words"}, "FILE");
    const QCommandLineOption scores(QStringLiteral("scores"));
    const QCommandLineOption format = valued({"format"}, "FORMAT");
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version(QStringLiteral("version"));
    QCommandLineParser parser;
    parser.addOptions({list,     words,     dataDir,   showOriginal,   maxSplits, jobs,     rank,
                       best,     wordsOnly, caseHints, windowCleaning, encoding,  progress, noProgress,
                       addWords, dropWords, scores,    format,         help,      version});
    if (!parser.parse(arguments))
        badUsage(parser.errorText());

    Options options;
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    options.showOriginal = parser.isSet(showOriginal);
    SplitSettings& split = options.split;
    try {
        if (parser.isSet(list)) {
            split.list = SplitSettings::listNumber(lastValue(parser, list));
            split.listGiven = true;
        }
        if (parser.isSet(maxSplits))
            split.maxSplits = SplitSettings::count(QStringLiteral("--max-splits"), lastValue(parser, maxSplits), 0);
        if (parser.isSet(jobs))
            split.jobs = static_cast<int>(SplitSettings::count(QStringLiteral("--jobs"), lastValue(parser, jobs), 0,
                                                               std::numeric_limits<int>::max()));
        if (parser.isSet(rank))
            split.order = SplitOrder::Ranked;
        if (parser.isSet(best))
            split.best = SplitSettings::count(QStringLiteral("--best"), lastValue(parser, best), 1);
    } catch (const std::invalid_argument& refused) {
        badUsage(QString::fromUtf8(refused.what()));
    }
    if (parser.isSet(words)) {
        split.wordsFile = lastValue(parser, words);
        if (split.wordsFile.isEmpty())
            badUsage(QStringLiteral("--words needs a file name"));
    }
    if (parser.isSet(dataDir)) {
        options.dataDir = lastValue(parser, dataDir);
        if (options.dataDir.isEmpty())
            badUsage(QStringLiteral("--data-dir needs a folder name"));
    }
    split.wordsOnly = parser.isSet(wordsOnly);
    split.caseHints = parser.isSet(caseHints);
    split.urlCleaning = !parser.isSet(windowCleaning);
    if (parser.isSet(progress) || parser.isSet(noProgress)) {
        // The later of the two wins.
        const QStringList names = parser.optionNames();
        const auto last = std::find_if(names.rbegin(), names.rend(), [](const QString& name) {
            return name == QStringLiteral("progress") || name == QStringLiteral("no-progress");
        });
        options.progress =
            *last == QStringLiteral("progress") ? TerminalProgress::Mode::On : TerminalProgress::Mode::Off;
    }
    if (parser.isSet(encoding)) {
        const QString name = lastValue(parser, encoding).toLower();
        if (name == QStringLiteral("windows-1252") || name == QStringLiteral("cp1252"))
            options.encoding = NameEncoding::Windows1252;
        else if (name != QStringLiteral("utf-8") && name != QStringLiteral("utf8"))
            badUsage(QStringLiteral("the encoding must be utf-8 or windows-1252, not \"%1\"").arg(name));
    }
    for (const auto& [option, files] :
         {std::pair{&addWords, &options.addWordsFiles}, {&dropWords, &options.dropWordsFiles}}) {
        *files = parser.values(*option);
        if (files->contains(QString()))
            badUsage(QStringLiteral("--%1 needs a file name").arg(option->names().constFirst()));
    }
    options.format.scores = parser.isSet(scores);
    if (parser.isSet(format)) {
        const QString name = lastValue(parser, format);
        if (name == QStringLiteral("text"))
            options.format.layout = RowFormat::Layout::Text;
        else if (name == QStringLiteral("tsv"))
            options.format.layout = RowFormat::Layout::Tsv;
        else if (name == QStringLiteral("jsonl"))
            options.format.layout = RowFormat::Layout::Jsonl;
        else
            badUsage(QStringLiteral("the format must be text, tsv or jsonl, not \"%1\"").arg(name));
    }
    try {
        split.checkWordSource();
    } catch (const std::invalid_argument& refused) {
        badUsage(QString::fromUtf8(refused.what()));
    }
    options.files = parser.positionalArguments();
    if (options.files.isEmpty())
        options.files.append(QStringLiteral("-"));
    return options;
}

// Whether the word file named by an option is there to be read (a pipe or a device is); if not, says so. What
// cannot be read after all is reported by the reading.
bool wordFileReadable(const char* option, const QString& path, Messages& messages)
{
    const QFileInfo file(path);
    if (file.exists() && !file.isDir())
        return true;
    messages.print(QStringLiteral("%1: cannot read the word file \"%2\": %3")
                       .arg(QLatin1String(option), path,
                            file.exists() ? QStringLiteral("it is a folder") : QStringLiteral("no such file")));
    return false;
}

// The words the user added and dropped; nothing when a file could not be read (said so).
std::optional<UserWords> readUserWords(const Options& options, Messages& messages)
{
    UserWords words;
    for (const auto& [option, paths, into] : {std::tuple{"--add-words", &options.addWordsFiles, &words.added},
                                              {"--drop-words", &options.dropWordsFiles, &words.dropped}}) {
        for (const QString& path : *paths) {
            if (!wordFileReadable(option, path, messages))
                return std::nullopt;
            try {
                *into += UserWords::readFile(path);
            } catch (const Failure& failure) {
                messages.print(QStringLiteral("%1: %2").arg(QLatin1String(option), failure.description()));
                return std::nullopt;
            }
        }
    }
    return words;
}

// Whether a file argument that is not there looks like a name or URL given to split, rather than a file.
bool looksLikeName(const QString& argument)
{
    static const QRegularExpression name(
        QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*://)?[^/\\s]+\\.[^/\\s.]{2,}(/\\S*)?$"));
    static const QRegularExpression fileName(QStringLiteral("\\.(txt|csv|tsv|lst|col|log|gz|jsonl)$"),
                                             QRegularExpression::CaseInsensitiveOption);
    return argument != QStringLiteral("-") && !QFileInfo::exists(argument) && name.match(argument).hasMatch() &&
           !fileName.match(argument).hasMatch();
}

// The size of the input when every file is a regular file (standard input too); 0 when it is not known.
qint64 inputBytes(const QStringList& files)
{
    qint64 total = 0;
    for (const QString& file : files) {
        struct stat status = {};
        const int result = file == QStringLiteral("-") ? ::fstat(STDIN_FILENO, &status)
                                                       : ::stat(QFile::encodeName(file).constData(), &status);
        if (result != 0 || !S_ISREG(status.st_mode))
            return 0;
        total += status.st_size;
    }
    return total;
}

// Fills the dictionary; false when the words could not be loaded as asked.
bool loadDictionary(const Options& options, WordDictionary& dictionary, PrintingPrompter& prompter)
{
    PlainPointer pointer;
    loadChosenWords(options.split.list, options.split.wordsFile, options.dataDir, dictionary, prompter, pointer);
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
    if (options.version) {
        std::printf("%s %s\n", programName, QUORVANE_VERSION);
        return Success;
    }
    if (options.dataDir.isEmpty())
        options.dataDir = QCoreApplication::applicationDirPath();

    TerminalProgress progress(options.progress);
    progress.setInputBytes(inputBytes(options.files));
    Messages messages(progress);
    PrintingPrompter prompter(messages);
    bool failed = false;

    // The words and their index are left to the system at exit, still reachable from here: freeing a hundred
    // thousand words one by one costs more than splitting thousands of names.
    static WordDictionary* const kept = new WordDictionary;
    WordDictionary& dictionary = *kept;
    // A word file that cannot be read ends the run before any row: splitting against other words than asked
    // for would give rows that look right.
    SplitSettings& split = options.split;
    if (!split.wordsFile.isEmpty() && !wordFileReadable("--words", split.wordsFile, messages))
        return SomethingFailed;
    std::optional<UserWords> userWords = readUserWords(options, messages);
    if (!userWords)
        return SomethingFailed;
    split.userWords = std::move(*userWords);
    if (!loadDictionary(options, dictionary, prompter)) {
        failed = true;
        if (split.list == WordListChoice::Database && split.wordsFile.isEmpty() && dictionary.isEmpty())
            return SomethingFailed; // without the word database there is nothing to split against
        if (!split.wordsFile.isEmpty() && dictionary.isEmpty())
            return SomethingFailed; // the file could not be read whole
    }
    applyUserWords(dictionary, split.userWords);

    static EntryProcessor* const keptProcessor = new EntryProcessor(dictionary, options.dataDir);
    EntryProcessor& processor = *keptProcessor;
    StreamWriter output(STDOUT_FILENO);
    SplittingRun::Settings settings;
    settings.split = split.splitOptions(options.showOriginal);
    settings.format = options.format;
    settings.jobs = split.jobCount();
    SplitRun run(
        processor, settings, output, progress, [&](const QString& text) { messages.print(text); }, options.encoding);
    if (!run.run(options.files)) {
        failed = true;
        for (const QString& file : options.files) {
            if (looksLikeName(file))
                messages.print(QStringLiteral("\"%1\" is no file: names to split are read from files or standard "
                                              "input, as in: echo '%1' | quorvane-split")
                                   .arg(file));
        }
    }
    if (!output.flush()) {
        // Nothing more can be delivered.
        messages.print(output.error());
        return SomethingFailed;
    }
    progress.summary(run.names(), run.rows(), run.namesCut(), run.failures());
    return failed ? SomethingFailed : Success;
}
