#include "DomainListInput.h"

#include "DomainFileReader.h"
#include "core/Failure.h"
#include "core/Prompter.h"
#include "model/TextListModel.h"
#include "text/TextBlock.h"
#include "text/TextFiles.h"

#include <QFile>

#include <sys/stat.h>
#include <utility>

namespace quorvane {

namespace {

// Only plain files are read. Opening a named pipe waits for a writer that may never come, and what comes
// through it (or a socket) may never end; a device may never end or be a whole disk. Any of these would hold
// the window for good.
void refuseAllButPlainFiles(const QString& path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return; // opening the file tells why it cannot be read
    QString kind = QStringLiteral("a special file");
    if (S_ISDIR(info.st_mode))
        kind = QStringLiteral("a folder");
    else if (S_ISFIFO(info.st_mode))
        kind = QStringLiteral("a named pipe");
    else if (S_ISSOCK(info.st_mode))
        kind = QStringLiteral("a socket");
    else if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        kind = QStringLiteral("a device");
    throw Failure(QStringLiteral("Cannot open \"%1\": it is %2, not a file").arg(path, kind));
}

} // namespace

void addFileLinesToList(TextListModel& list, const QString& path, Prompter& prompter)
{
    if (!fileExists(path)) {
        prompter.message(QStringLiteral("File not found"));
        return;
    }
    refuseAllButPlainFiles(path);
    // The names are decoded end to end into one block, which the list takes over whole when it is empty.
    TextBlock names;
    try {
        DomainFileReader::appendAllNames(path, names);
    } catch (const Failure&) {
        // What was read before the failure stays in the list, as it would have line by line.
        list.append(std::move(names));
        throw;
    }
    list.append(std::move(names));
}

QString domainEntryFromWords(const QString& typed)
{
    const QStringList pieces = typed.split(QLatin1Char(' '));
    const qsizetype last = pieces.size() - 1;
    QString entry;
    // Pieces cut at blanks hold no blank, so a piece that is not empty is a word as it stands.
    for (qsizetype i = 0; i <= last; ++i) {
        const QString& word = pieces[i];
        if (word.isEmpty())
            continue;
        entry += word;
        entry += i == last - 1 ? QStringLiteral(", ") : QStringLiteral(" ");
    }
    return entry;
}

QStringList sampleDomains()
{
    return {
        QStringLiteral("BlueOceanTravelGuide.com"), // four capitalised words, bare name
        QStringLiteral("sunsetphotos.com"),         // two lower-case words, bare name
        QStringLiteral("http://www.bookstore.com"), // full address
        QStringLiteral("www.musicfestival.com"),    // "www." and a name
    };
}

} // namespace quorvane
