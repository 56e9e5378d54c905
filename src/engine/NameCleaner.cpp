#include "NameCleaner.h"

#include "core/Failure.h"
#include "text/Ascii.h"
#include "text/TextFiles.h"

#include <QFile>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <string_view>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
            if (((unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit) != pattern[k])
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
    qsizetype k = 0;
#ifdef __SSE2__
    const __m128i dot = _mm_set1_epi16(u'.');
    const __m128i colon = _mm_set1_epi16(u':');
    for (; k + 8 <= size; k += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + k));
        if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(block, dot), _mm_cmpeq_epi16(block, colon))) != 0)
            return true;
    }
#endif
    bool found = false;
    for (; k < size; ++k)
        found |= units[k] == u'.' || units[k] == u':';
    return found;
}

// Copies the units that are no separator and no blank to `to`, which has room for all; returns their count.
qsizetype copyWithoutSeparators(const char16_t* from, qsizetype size, char16_t* to)
{
    qsizetype kept = 0;
    qsizetype k = 0;
#ifdef __SSE2__
    // Eight units at a time while there is none to leave out, as in most names.
    const __m128i dot = _mm_set1_epi16(u'.');
    const __m128i slash = _mm_set1_epi16(u'/');
    const __m128i hyphen = _mm_set1_epi16(u'-');
    const __m128i blank = _mm_set1_epi16(u' ');
    for (; k + 8 <= size; k += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k));
        const __m128i left = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(block, dot), _mm_cmpeq_epi16(block, slash)),
                                          _mm_or_si128(_mm_cmpeq_epi16(block, hyphen), _mm_cmpeq_epi16(block, blank)));
        if (_mm_movemask_epi8(left) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + kept), block);
            kept += 8;
            continue;
        }
        for (qsizetype j = k; j < k + 8; ++j) {
            to[kept] = from[j];
            kept += isSeparatorOrBlank(from[j]) ? 0 : 1;
        }
    }
#endif
    for (; k < size; ++k) {
        to[kept] = from[k];
        kept += isSeparatorOrBlank(from[k]) ? 0 : 1;
    }
    return kept;
}

// Local file systems, on which the kernel notes every change to a watched folder or file.
bool notesEveryChange(const QByteArray& folder)
{
    struct statfs info
    {};
    if (::statfs(folder.constData(), &info) != 0)
        return false;
    switch (static_cast<unsigned long>(info.f_type)) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
        return true;
    default:
        return false; // network and user-space file systems change without telling this machine's kernel
    }
}

const char* const suffixFileName = "suffix.lst";
constexpr quint32 folderEvents = IN_ONLYDIR | IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE |
                                 IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
// The file's own watch also sees changes made through another name of it (a hard link elsewhere).
constexpr quint32 fileEvents = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;

// Notes signalled: the kernel raises SIGIO in this process whenever it queues a note on a watch of a
// cleaner that asked for it, so a cleaner need not ask the kernel at every call whether one is waiting.
std::atomic<quint64> notesSignalled{0};
static_assert(std::atomic<quint64>::is_always_lock_free, "the signal handler must not take a lock");

void countSignalledNote(int)
{
    notesSignalled.fetch_add(1, std::memory_order_relaxed);
}

// Installs the handler once; false when SIGIO is the program's own business already (handled or ignored).
bool notesCanBeSignalled()
{
    static const bool installed = [] {
        struct sigaction current
        {};
        if (::sigaction(SIGIO, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0 ||
            current.sa_handler != SIG_DFL)
            return false;
        struct sigaction action
        {};
        action.sa_handler = countSignalledNote;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART; // interrupted calls of other code go on
        return ::sigaction(SIGIO, &action, nullptr) == 0;
    }();
    return installed;
}

// Identifies the calling thread without a system call.
const void* callingThread()
{
    static thread_local const char marker = 0;
    return &marker;
}

} // namespace

NameCleaner::NameCleaner(QString applicationFolder, ChangeCheck check)
    : m_folder(std::move(applicationFolder)), m_suffixPath(m_folder + QStringLiteral("/suffix.lst")),
      m_encodedFolder(QFile::encodeName(m_folder.isEmpty() ? QStringLiteral("/") : m_folder)),
      m_encodedSuffixPath(QFile::encodeName(m_suffixPath)), m_check(check)
{}

NameCleaner::~NameCleaner()
{
    stopWatching();
}

bool NameCleaner::startWatching()
{
    m_watchTried = true;
    m_listKnown = false;
    if (m_check != ChangeCheck::WatchWherePossible || !notesEveryChange(m_encodedFolder))
        return false;
    m_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_watch < 0)
        return false;
    m_folderWatch = ::inotify_add_watch(m_watch, m_encodedFolder.constData(), folderEvents);
    if (m_folderWatch < 0) {
        stopWatching();
        return false;
    }
    m_notes.resize(64 * 1024);
    askForSignals();
    return true;
}

// The signal goes to the thread that calls, so that a change made by that very thread is signalled before
// the call that changed the file returns: the next name sees it. Notes queued before the asking are found
// by the reading that the next call does in any case.
void NameCleaner::askForSignals()
{
    m_signalled = false;
    m_signalledThread = callingThread();
    m_seenSignals = notesSignalled.load(std::memory_order_acquire) - 1; // read at the next call
    if (!notesCanBeSignalled())
        return;
    const f_owner_ex owner{F_OWNER_TID, ::gettid()};
    const int flags = ::fcntl(m_watch, F_GETFL);
    m_signalled =
        ::fcntl(m_watch, F_SETOWN_EX, &owner) == 0 && flags >= 0 && ::fcntl(m_watch, F_SETFL, flags | O_ASYNC) == 0;
}

// Whether notes may be waiting: always, unless they are signalled and none was since the last reading.
bool NameCleaner::notesMayBeWaiting()
{
    if (!m_signalled)
        return true;
    if (m_signalledThread != callingThread())
        askForSignals(); // another thread calls now: it is the one to be told
    const quint64 signalled = notesSignalled.load(std::memory_order_acquire);
    if (signalled == m_seenSignals)
        return false;
    m_seenSignals = signalled; // before reading: a note queued during the reading is signalled anew
    return true;
}

void NameCleaner::stopWatching()
{
    if (m_watch >= 0)
        ::close(m_watch);
    m_watch = -1;
    m_folderWatch = -1;
    m_fileWatch = -1;
    m_listKnown = false;
}

// Takes every waiting note; true when one concerns the suffix list.
bool NameCleaner::watchedListChanged()
{
    bool changed = false;
    bool restart = false;
    const auto largestNote = static_cast<ssize_t>(sizeof(inotify_event) + NAME_MAX + 1);
    for (;;) {
        const ssize_t got = ::read(m_watch, m_notes.data(), m_notes.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            restart = errno != EAGAIN; // nothing waiting, or the queue failed
            break;
        }
        for (ssize_t at = 0; at < got;) {
            inotify_event note{};
            std::memcpy(&note, m_notes.data() + at, sizeof note);
            const char* name = m_notes.data() + at + sizeof note;
            at += static_cast<ssize_t>(sizeof note + note.len);
            if (note.mask & IN_Q_OVERFLOW) {
                restart = true; // notes were lost
            } else if (note.wd == m_folderWatch) {
                if (note.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT))
                    restart = true; // the path may name another folder now
                else if (note.len > 0 && std::strcmp(name, suffixFileName) == 0)
                    changed = true;
            } else if (note.wd == m_fileWatch) {
                changed = true;
                if (note.mask & IN_IGNORED)
                    m_fileWatch = -1;
            }
        }
        // Every note queued before the reading began fits unless the buffer came back (nearly) full.
        if (got <= static_cast<ssize_t>(m_notes.size()) - largestNote)
            break;
    }
    if (restart) {
        stopWatching();
        startWatching();
        return true;
    }
    return changed;
}

const NameCleaner::SuffixList* NameCleaner::currentSuffixList()
{
    if (!m_watchTried)
        startWatching();
    if (m_watch < 0)
        return lookAtSuffixList();
    if (notesMayBeWaiting() && watchedListChanged())
        m_listKnown = false;
    if (m_watch < 0)
        return lookAtSuffixList();
    if (m_listKnown)
        return m_haveList ? &m_list : nullptr;

    struct stat link
    {};
    const bool exists = ::lstat(m_encodedSuffixPath.constData(), &link) == 0;
    if (exists && S_ISLNK(link.st_mode)) {
        // A link's target may change in folders not watched: look at it every time.
        if (m_fileWatch >= 0)
            ::inotify_rm_watch(m_watch, m_fileWatch);
        m_fileWatch = -1;
        return lookAtSuffixList();
    }
    // The file's watch is set before reading it: a change during the reading is noted for the next call.
    const int fileWatch = exists && S_ISREG(link.st_mode)
                              ? ::inotify_add_watch(m_watch, m_encodedSuffixPath.constData(), fileEvents)
                              : -1;
    if (m_fileWatch >= 0 && m_fileWatch != fileWatch)
        ::inotify_rm_watch(m_watch, m_fileWatch);
    m_fileWatch = fileWatch;
    if (exists && S_ISREG(link.st_mode) && fileWatch < 0) {
        stopWatching(); // no more watches to be had: look at the file every time from now on
        return lookAtSuffixList();
    }
    m_haveList = false; // read afresh
    const SuffixList* list = lookAtSuffixList();
    m_listKnown = true; // only reached when reading succeeded: a failed reading is tried again next time
    return list;
}

const NameCleaner::SuffixList* NameCleaner::lookAtSuffixList()
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
            node = list.trie.child(node, (unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit);
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
    removeSchemeAndPrefix(entry);
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
