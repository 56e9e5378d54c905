#include "DomainListInput.h"

#include "DomainFileReader.h"
#include "core/Failure.h"
#include "core/Prompter.h"
#include "model/TextListModel.h"
#include "text/TextBlock.h"
#include "text/TextFiles.h"

#include <utility>

namespace quorvane {

void addFileLinesToList(TextListModel& list, const QString& path, Prompter& prompter)
{
    if (!fileExists(path)) {
        prompter.message(QStringLiteral("File not found"));
        return;
    }
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
