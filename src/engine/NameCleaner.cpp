#include "NameCleaner.h"

#include "core/Failure.h"
#include "text/Ascii.h"
#include "text/TextFiles.h"

#include <QSet>
#include <QUrl>

#include <algorithm>
#include <string_view>

namespace quorvane {

namespace {

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

namespace {

bool isAsciiLetter(char16_t unit)
{
    return (unit | 0x20) >= u'a' && (unit | 0x20) <= u'z';
}

bool isAsciiDigit(char16_t unit)
{
    return unit >= u'0' && unit <= u'9';
}

// Whether the text may be a URL with more than a host and a path: it holds ":", "@", "?", "#", "%" or "xn--".
bool mayHoldUrlParts(QStringView text)
{
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    bool found = false;
    for (qsizetype k = 0; k < size; ++k) {
        const char16_t unit = units[k];
        found |= unit == u':' || unit == u'@' || unit == u'?' || unit == u'#' || unit == u'%' ||
                 (unit == u'-' && k >= 3 && units[k - 1] == u'-' && (units[k - 2] | 0x20) == u'n' &&
                  (units[k - 3] | 0x20) == u'x');
    }
    return found;
}

// The length of a scheme and its "://" at the start of the text, or 0.
qsizetype schemeLength(QStringView text)
{
    if (text.isEmpty() || !isAsciiLetter(text[0].unicode()))
        return 0;
    qsizetype at = 1;
    while (at < text.size() && (isAsciiLetter(text[at].unicode()) || isAsciiDigit(text[at].unicode()) ||
                                text[at] == u'+' || text[at] == u'.' || text[at] == u'-'))
        ++at;
    return text.mid(at).startsWith(u"://") ? at + 3 : 0;
}

// The host with each "xn--" label in its Unicode form; other labels keep their letter case.
QString unicodeHost(QStringView host)
{
    QString result;
    result.reserve(host.size());
    bool first = true;
    for (const QStringView label : host.split(u'.')) {
        if (!first)
            result += u'.';
        first = false;
        if (label.startsWith(u"xn--", Qt::CaseInsensitive) && ascii::isAscii(label)) {
            const QString decoded = QUrl::fromAce(label.toLatin1(), QUrl::IgnoreIDNWhitelist);
            result += decoded.isEmpty() ? label.toString() : decoded;
        } else {
            result += label;
        }
    }
    return result;
}

} // namespace

bool reduceUrl(QStringView entry, QString& reduced)
{
    if (!mayHoldUrlParts(entry))
        return false;
    QStringView text = trimBlanks(entry);
    text = text.mid(schemeLength(text));
    // The query string and the fragment end the URL; the host ends at the path.
    const qsizetype queryOrFragment = [&] {
        for (qsizetype at = 0; at < text.size(); ++at) {
            if (text[at] == u'?' || text[at] == u'#')
                return at;
        }
        return text.size();
    }();
    text = text.first(queryOrFragment);
    qsizetype pathStart = text.indexOf(u'/');
    if (pathStart < 0)
        pathStart = text.size();
    QStringView host = text.first(pathStart);
    const QStringView path = text.mid(pathStart);
    // User info ends at the host's last "@"; a port is a ":" followed by digits only, at the end.
    if (const qsizetype at = host.lastIndexOf(u'@'); at >= 0)
        host = host.mid(at + 1);
    if (const qsizetype colon = host.lastIndexOf(u':'); colon >= 0) {
        const QStringView port = host.mid(colon + 1);
        if (std::all_of(port.begin(), port.end(), [](QChar c) { return isAsciiDigit(c.unicode()); }))
            host = host.first(colon);
    }
    reduced = unicodeHost(host);
    if (path.contains(u'%'))
        reduced += QUrl::fromPercentEncoding(path.toUtf8());
    else
        reduced += path;
    return true;
}

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

// Removes every occurrence of `pattern` (compared exactly), left to right without overlap, in place.
qsizetype removeEveryExact(char16_t* text, qsizetype size, std::u16string_view pattern)
{
    // Most texts hold none: then no unit is moved.
    const std::size_t found = std::u16string_view(text, static_cast<std::size_t>(size)).find(pattern);
    if (found == std::u16string_view::npos)
        return size;
    const char16_t first = pattern.front();
    const auto length = static_cast<qsizetype>(pattern.size());
    qsizetype kept = static_cast<qsizetype>(found);
    qsizetype at = kept;
    while (at < size) {
        if (text[at] == first && size - at >= length && std::u16string_view(text + at, pattern.size()) == pattern) {
            at += length;
            continue;
        }
        text[kept++] = text[at++];
    }
    return kept;
}

// Removes every occurrence of `foldedDotPattern` (a "." and more), compared in any letter case, from an ASCII
// text, in place; none starts before `firstDot`, the text's first ".". Returns the first "." left, or -1.
qsizetype removeEveryAsciiCaseless(QString& text, QStringView foldedDotPattern, qsizetype firstDot)
{
    char16_t* units = reinterpret_cast<char16_t*>(text.data());
    const qsizetype size = text.size();
    const char16_t* pattern = foldedDotPattern.utf16();
    const qsizetype length = foldedDotPattern.size();
    const auto matchesAt = [&](qsizetype at) {
        for (qsizetype k = 1; k < length; ++k) {
            const char16_t unit = units[at + k];
            if (ascii::toLower(unit) != pattern[k])
                return false;
        }
        return true;
    };
    qsizetype kept = firstDot;
    qsizetype at = firstDot;
    qsizetype dotLeft = -1;
    while (at < size) {
        const char16_t unit = units[at];
        if (unit == u'.') {
            if (size - at >= length && matchesAt(at)) {
                at += length;
                continue;
            }
            if (dotLeft < 0)
                dotLeft = kept;
        }
        units[kept++] = unit;
        ++at;
    }
    if (kept != size)
        text.truncate(kept);
    return dotLeft;
}

// Whether "www." occurs: it ends at some ".".
bool containsWwwDot(const char16_t* units, qsizetype size)
{
    for (qsizetype at = 3; at < size; ++at) {
        if (units[at] == u'.' && units[at - 1] == u'w' && units[at - 2] == u'w' && units[at - 3] == u'w')
            return true;
    }
    return false;
}

// Trims without copying when there is nothing to trim.
void trimBlanksInPlace(QString& text)
{
    const QStringView trimmed = trimBlanks(text);
    if (trimmed.size() != text.size())
        text = trimmed.toString();
}

bool isSeparatorOrBlank(char16_t unit)
{
    return unit == u'.' || unit == u'/' || unit == u'-' || unit == u' ';
}

// Whether the text holds a "." or a ":".
bool holdsDotOrColon(const char16_t* units, qsizetype size)
{
    bool found = false;
    for (qsizetype k = 0; k < size; ++k)
        found |= units[k] == u'.' || units[k] == u':';
    return found;
}

// Copies the units that are no separator and no blank to `to`, which has room for all; returns their count.
qsizetype copyWithoutSeparators(const char16_t* from, qsizetype size, char16_t* to)
{
    qsizetype kept = 0;
    for (qsizetype k = 0; k < size; ++k) {
        to[kept] = from[k];
        kept += isSeparatorOrBlank(from[k]) ? 0 : 1;
    }
    return kept;
}

} // namespace

NameCleaner::NameCleaner(QString applicationFolder, ChangeCheck check)
    : m_folder(std::move(applicationFolder)), m_suffixPath(m_folder + QStringLiteral("/suffix.lst")),
      m_suffixFile(m_folder, QStringLiteral("suffix.lst"), check)
{}

const NameCleaner::SuffixList* NameCleaner::currentSuffixList()
{
    switch (m_suffixFile.check()) {
    case FileChangeCheck::Answer::NoFile:
        return nullptr; // no suffix is removed
    case FileChangeCheck::Answer::Unchanged:
        break;
    case FileChangeCheck::Answer::ReadAgain:
        readSuffixList(); // a Failure leaves the file to be read again at the next call
        m_suffixFile.fileRead();
        break;
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
    // Removing keeps an ASCII text ASCII.
    if (!ascii::isAscii(text)) {
        removeSuffixesFolded(text, list);
        return;
    }
    // Every entry starts with ".": the text before its first "." never changes.
    qsizetype firstDot = QStringView(text).indexOf(u'.');
    for (quint32 next = 0; next < entryCount && firstDot >= 0;) {
        const char16_t* units = QStringView(text).utf16();
        const qsizetype size = text.size();
        const quint32 best = firstEntryAfterDots(units, firstDot, size, list, next);
        if (best == entryCount)
            return;
        // An ASCII text only matches an entry that is ASCII too, compared as lower case.
        firstDot = removeEveryAsciiCaseless(text, list.foldedEntries[best], firstDot);
        next = best + 1;
    }
}

// The same for a text that is not all ASCII: walked in its case-folded form, which keeps the length, unit for unit.
void NameCleaner::removeSuffixesFolded(QString& text, const SuffixList& list) const
{
    const auto entryCount = static_cast<quint32>(list.foldedEntries.size());
    for (quint32 next = 0; next < entryCount;) {
        const qsizetype firstDot = QStringView(text).indexOf(u'.');
        if (firstDot < 0)
            return;
        const QString folded = text.toCaseFolded();
        const quint32 best = firstEntryAfterDots(QStringView(folded).utf16(), firstDot, folded.size(), list, next);
        if (best == entryCount)
            return;
        text = removeEvery(text, list.foldedEntries[best], Qt::CaseInsensitive);
        next = best + 1;
    }
}

// The lowest-numbered entry from `next` on that occurs right after a "." of the text (from `firstDot` on),
// compared as lower case; the entry count when there is none.
quint32 NameCleaner::firstEntryAfterDots(const char16_t* units, qsizetype firstDot, qsizetype size,
                                         const SuffixList& list, quint32 next)
{
    auto best = static_cast<quint32>(list.foldedEntries.size());
    for (qsizetype dot = firstDot; dot < size; ++dot) {
        if (units[dot] != u'.')
            continue;
        quint32 node = WordTrie::root;
        for (qsizetype k = dot + 1; k < size; ++k) {
            const char16_t unit = units[k];
            node = list.trie.child(node, ascii::toLower(unit));
            if (node == WordTrie::noNode)
                break;
            const std::vector<quint32>& entries = list.entriesAtNode[node];
            const auto found = std::lower_bound(entries.begin(), entries.end(), next);
            if (found != entries.end() && *found < best)
                best = *found;
        }
    }
    return best;
}

void NameCleaner::removeSchemeAndPrefix(QStringView entry)
{
    m_text.resize(entry.size());
    char16_t* units = reinterpret_cast<char16_t*>(m_text.data());
    // Copied unit by unit: names are short, and the steps after read the units one by one, which a wide
    // copy would leave waiting for its stores.
    const char16_t* from = entry.utf16();
    bool colon = false;
    for (qsizetype k = 0; k < entry.size(); ++k) {
        units[k] = from[k];
        colon |= from[k] == u':';
    }
    // One pass each, the second over the result of the first. Most names hold neither, and a name without
    // a ":" cannot hold "http://".
    qsizetype size = entry.size();
    if (colon)
        size = removeEveryExact(units, size, u"http://");
    if (containsWwwDot(units, size))
        size = removeEveryExact(units, size, u"www.");
    qsizetype begin = 0;
    while (begin < size && units[begin] == u' ')
        ++begin;
    while (size > begin && units[size - 1] == u' ')
        --size;
    if (begin > 0)
        std::copy(units + begin, units + size, units);
    m_text.truncate(size - begin);
}

void NameCleaner::applySuffixList(bool textHoldsDot)
{
    const SuffixList* list = currentSuffixList();
    if (!list)
        return;
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
    if (textHoldsDot)
        removeSuffixes(m_text, *list);
    if (list->lineCount > maxSuffixLines)
        throw overflow();
}

QString NameCleaner::cleanDomainName(const QString& entry)
{
    if (m_urls && reduceUrl(entry, m_url)) {
        removeSchemeAndPrefix(m_url);
    } else {
        removeSchemeAndPrefix(entry);
    }
    applySuffixList();
    QString text = m_text;
    const auto separator = [](QChar c) { return c == u'.' || c == u'/' || c == u'-'; };
    if (std::any_of(text.cbegin(), text.cend(), separator))
        std::replace_if(text.begin(), text.end(), separator, QChar(u' '));
    trimBlanksInPlace(text);
    return text;
}

void NameCleaner::cleanForSearch(QStringView entry, QString& text)
{
    // "http://" holds a ":", and "www." and every suffix a ".": without either, only the separators and the
    // blanks go (the suffix list is still looked at, for its failures).
    if (m_urls && reduceUrl(entry, m_url))
        entry = m_url;
    QStringView cleaned = entry;
    if (holdsDotOrColon(entry.utf16(), entry.size())) {
        removeSchemeAndPrefix(entry);
        applySuffixList(true);
        cleaned = m_text;
    } else {
        applySuffixList(false);
    }
    // Separators become blanks, and every blank goes.
    const qsizetype size = cleaned.size();
    if (text.size() != size)
        text.resize(size);
    // `cleaned` may be `text` itself: the units kept never overtake those read.
    const qsizetype kept = copyWithoutSeparators(cleaned.utf16(), size, reinterpret_cast<char16_t*>(text.data()));
    if (kept != size)
        text.truncate(kept);
}

} // namespace quorvane
