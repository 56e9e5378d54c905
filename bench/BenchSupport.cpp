#include "BenchSupport.h"

#include "core/Pointer.h"
#include "core/Prompter.h"
#include "engine/NameCleaner.h"
#include "engine/WordDatabase.h"
#include "engine/WordDictionary.h"
#include "engine/WordLists.h"
#include "input/DomainFileReader.h"
#include "text/TextBlock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/resource.h>
#include <vector>

namespace quorvane::bench {

namespace {

double statusField(const char* name)
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    double value = 0;
    const std::size_t nameLength = std::strlen(name);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, name, nameLength) == 0) {
            value = std::strtod(line + nameLength + 1, nullptr) / 1024.0;
            break;
        }
    }
    std::fclose(status);
    return value;
}

} // namespace

double peakMemoryMiB()
{
    return statusField("VmHWM");
}

double currentMemoryMiB()
{
    return statusField("VmRSS");
}

void resetPeakMemory()
{
    if (std::FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", refs);
        std::fclose(refs);
    }
}

qint64 readRaw(const QString& path)
{
    std::FILE* file = std::fopen(path.toLocal8Bit().constData(), "rb");
    if (!file)
        return -1;
    std::vector<char> buffer(1 << 20);
    qint64 total = 0;
    for (;;) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
        if (got == 0)
            break;
        total += static_cast<qint64>(got);
    }
    std::fclose(file);
    return total;
}

double freshMemorySeconds(qint64 bytes)
{
    TextBlock block;
    const Stopwatch clock;
    const qsizetype characters = bytes / 2;
    char16_t* buffer = block.writeBuffer(characters);
    std::fill_n(buffer, characters, u'x');
    const double seconds = clock.seconds();
    qsizetype end = characters;
    block.endTexts(&end, 1); // the text is kept until here, so the writes cannot be left out
    return seconds;
}

QString corpusPath(const char* argument)
{
    QString path = argument ? QString::fromLocal8Bit(argument) : qEnvironmentVariable("QUORVANE_CORPUS");
    if (path.isEmpty())
        path = QStringLiteral(QUORVANE_SHARED_DIR "/quality/ccdn-train.txt");
    return path;
}

QStringList corpusNames(const QString& path, qsizetype wanted)
{
    QStringList base;
    DomainFileReader::forEachName(path, [&](const QString& line) {
        QString joined = removeBlanks(line);
        if (joined.isEmpty())
            return;
        if (base.size() % 2 == 1)
            joined += QStringLiteral(".com");
        base.append(joined);
    });
    QStringList names;
    names.reserve(wanted);
    while (names.size() < wanted && !base.isEmpty())
        names.append(base[names.size() % base.size()]);
    return names;
}

double processSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

ChildTimes childrenTimes()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

namespace {

class StandardErrorPrompter final : public Prompter
{
public:
    void message(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void errorReport(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    QString inputBox(const QString&) override { return QString(); }
    QStringList openFileNames(const FileDialogOptions&) override { return QStringList(); }
    QString saveFileName(const FileDialogOptions&) override { return QString(); }
};

} // namespace

void loadDatabaseWords(const QString& applicationFolder, WordDictionary& dictionary)
{
    StandardErrorPrompter prompter;
    PlainPointer pointer;
    WordDatabase database(applicationFolder + QStringLiteral("/dbWords.mdb"));
    loadWords(WordListChoice::Database, &database, applicationFolder, dictionary, prompter, pointer);
}

} // namespace quorvane::bench
