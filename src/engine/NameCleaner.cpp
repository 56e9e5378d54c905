#include "NameCleaner.h"

#include "core/Failure.h"
#include "text/TextFiles.h"

#include <QFile>
#include <QSet>

#include <algorithm>
#include <sys/stat.h>
#include <time.h>

namespace quorvane {

namespace {

// A file whose change times are closer to now than this may still change without changing them.
constexpr qint64 stampSettleSeconds = 3;

QString removeEvery(const QString& text, QStringView pattern, Qt::CaseSensitivity sensitivity)
{
    if (text.indexOf(pattern, 0, sensitivity) < 0)
        return text;
    QString result;
    result.reserve(text.size());
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(pattern, 0, sensitivity); at >= 0; at = text.indexOf(pattern, from, sensitivity)) {
        result += QStringView(text).mid(from, at - from);
        from = at + pattern.size();
    }
    result += QStringView(text).mid(from);
    return result;
}

} // namespace

QString removeBlanks(QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (c != u' ')
            result += c;
    }
    return result;
}

QStringView trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

namespace {

// Trims without copying when there is nothing to trim.
void trimBlanksInPlace(QString& text)
{
    const QStringView trimmed = trimBlanks(text);
    if (trimmed.size() != text.size())
        text = trimmed.toString();
}

} // namespace

NameCleaner::NameCleaner(QString applicationFolder)
    : m_suffixPath(applicationFolder + QStringLiteral("/suffix.lst")),
      m_encodedSuffixPath(QFile::encodeName(m_suffixPath))
{}

const NameCleaner::SuffixList* NameCleaner::currentSuffixList()
{
    struct stat info
    {};
    if (::stat(m_encodedSuffixPath.constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        m_haveList = false; // absent (or not a regular file): no suffix is removed
        return nullptr;
    }
    FileStamp stamp;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modifiedSeconds = info.st_mtim.tv_sec;
    stamp.modifiedNanoseconds = info.st_mtim.tv_nsec;
    stamp.changedSeconds = info.st_ctim.tv_sec;
    stamp.changedNanoseconds = info.st_ctim.tv_nsec;
    if (!m_haveList || !m_stampTrusted || !(stamp == m_stamp)) {
        m_haveList = false;
        readSuffixList();
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        const qint64 newest = std::max(stamp.modifiedSeconds, stamp.changedSeconds);
        m_stampTrusted = newest + stampSettleSeconds < now.tv_sec;
        m_stamp = stamp;
        m_haveList = true;
    }
    return &m_list;
}

void NameCleaner::readSuffixList()
{
    const QStringList lines = splitAtCrLf(readWholeFile(m_suffixPath));
    SuffixList list;
    list.lineCount = lines.size();
    QSet<QString> words;
    for (const QString& line : lines) {
        if (line.isEmpty())
            continue;
        const QString folded = line.toCaseFolded();
        list.foldedEntries.push_back(QLatin1Char('.') + folded);
        words.insert(folded);
    }
    list.trie.build(words);
    list.entriesAtNode.resize(list.trie.nodeLimit());
    for (std::size_t index = 0; index < list.foldedEntries.size(); ++index) {
        quint32 node = WordTrie::root;
        for (const QChar unit : QStringView(list.foldedEntries[index]).mid(1))
            node = list.trie.child(node, unit.unicode());
        list.entriesAtNode[node].push_back(static_cast<quint32>(index));
    }
    m_list = std::move(list);
}

// Applies the entries in file order. Only entries that occur in the text can change it, so each round
// finds, through the trie, the first entry from `next` on that occurs after some ".", and applies it.
void NameCleaner::removeSuffixes(QString& text, const SuffixList& list) const
{
    const auto entryCount = static_cast<quint32>(list.foldedEntries.size());
    quint32 next = 0;
    while (next < entryCount && text.contains(u'.')) {
        // Case folding keeps the length, unit for unit; for plain ASCII it is lower-casing.
        const char16_t* units = QStringView(text).utf16();
        const qsizetype size = text.size();
        const bool ascii = std::all_of(units, units + size, [](char16_t unit) { return unit < 0x80; });
        QString folded;
        if (!ascii) {
            folded = text.toCaseFolded();
            units = QStringView(folded).utf16();
        }
        quint32 best = entryCount;
        for (qsizetype dot = 0; dot < size; ++dot) {
            if (units[dot] != u'.')
                continue;
            quint32 node = WordTrie::root;
            for (qsizetype k = dot + 1; k < size; ++k) {
                const char16_t unit = units[k];
                node = list.trie.child(node, (unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit);
                if (node == WordTrie::noNode)
                    break;
                const std::vector<quint32>& entries = list.entriesAtNode[node];
                const auto found = std::lower_bound(entries.begin(), entries.end(), next);
                if (found != entries.end() && *found < best)
                    best = *found;
            }
        }
        if (best == entryCount)
            return;
        text = removeEvery(text, list.foldedEntries[best], Qt::CaseInsensitive);
        next = best + 1;
    }
}

QString NameCleaner::cleanDomainName(const QString& entry)
{
    QString text = removeEvery(entry, u"http://", Qt::CaseSensitive);
    text = removeEvery(text, u"www.", Qt::CaseSensitive);
    trimBlanksInPlace(text);

    if (const SuffixList* list = currentSuffixList()) {
        const auto overflow = [&] {
            return Failure(QStringLiteral("Overflow: the suffix list \"%1\" has %2 lines; it may have at most %3 "
                                          "(a final CR LF starts one more, empty, line).")
                               .arg(m_suffixPath)
                               .arg(list->lineCount)
                               .arg(maxSuffixLines));
        };
        // The 16-bit line counter overflows on counting past the last line.
        if (list->lineCount > maxSuffixLines + 1)
            throw overflow();
        removeSuffixes(text, *list);
        if (list->lineCount > maxSuffixLines)
            throw overflow();
    }

    const auto separator = [](QChar c) { return c == u'.' || c == u'/' || c == u'-'; };
    if (std::any_of(text.cbegin(), text.cend(), separator))
        std::replace_if(text.begin(), text.end(), separator, QChar(u' '));
    trimBlanksInPlace(text);
    return text;
}

} // namespace quorvane
