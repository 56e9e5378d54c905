#pragma once

#include "FileChangeCheck.h"
#include "WordTrie.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace quorvane {

// Turns a domain list entry into the text to split (cleanDomainName).
class NameCleaner final
{
public:
    // The line counter is 16-bit: a suffix list may have at most this many lines.
    static constexpr qsizetype maxSuffixLines = 32767;

    using ChangeCheck = FileChangeCheck::Mode;

    explicit NameCleaner(QString applicationFolder, ChangeCheck check = ChangeCheck::WatchWherePossible);
    NameCleaner(const NameCleaner&) = delete;
    NameCleaner& operator=(const NameCleaner&) = delete;

    // The cleaned text. Throws Failure when "suffix.lst" exists but cannot be read, and when it has more
    // than maxSuffixLines lines: before any entry is applied beyond 32,768 lines, after the last entry at
    // exactly 32,768 (a final CR LF counts as the start of one more, empty, line).
    QString cleanDomainName(const QString& entry);
    // The cleaned text with every blank removed, as the search wants it, into `text` (whose room is reused).
    // Throws Failure as cleanDomainName does.
    void cleanForSearch(QStringView entry, QString& text);

    // With URL cleaning on, a URL is first reduced to its host and path (reduceUrl) before the steps above.
    void setUrlCleaning(bool on) { m_urls = on; }
    bool urlCleaning() const { return m_urls; }

    QString applicationFolder() const { return m_folder; }
    ChangeCheck changeCheck() const { return m_suffixFile.mode(); }
    QString suffixListPath() const { return m_suffixPath; }
    // Whether changes are noticed by watching (false before the first call and where watching failed).
    bool watchesForChanges() const { return m_suffixFile.watching(); }

private:
    // The parsed suffix list, kept between calls.
    struct SuffixList
    {
        qsizetype lineCount = 0;
        std::vector<QString> foldedEntries;              // ".entry", case-folded, in file order, empty lines left out
        std::vector<std::vector<quint32>> entriesAtNode; // per trie node: the entries ending there, ascending
        WordTrie trie;                                   // the folded entries without their dot
    };

    // Steps up to the suffixes: "http://" and "www." removed, blanks trimmed; into m_text.
    void removeSchemeAndPrefix(QStringView entry);
    // The suffix step on m_text, with the failures of the list; a text without a "." can hold no suffix, and
    // only the failures remain.
    void applySuffixList(bool textHoldsDot = true);
    // The list as the file is now; none without a regular file.
    const SuffixList* currentSuffixList();
    void readSuffixList();
    void removeSuffixes(QString& text, const SuffixList& list) const;
    void removeSuffixesFolded(QString& text, const SuffixList& list) const;
    static quint32 firstEntryAfterDots(const char16_t* units, qsizetype firstDot, qsizetype size,
                                       const SuffixList& list, quint32 next);

    QString m_folder;
    QString m_suffixPath;
    FileChangeCheck m_suffixFile;
    SuffixList m_list; // as of the last reading that succeeded
    QString m_text;    // the text being cleaned
    QString m_url;     // the entry reduced to its host and path
    bool m_urls = false;
};

// Reduces a URL to its host and path: any scheme ("https://", "ftp://", ...), user info, port, query string and
// fragment removed, the path's percent-encoding decoded (as UTF-8), and each "xn--" label of the host in its
// Unicode form (QUrl::fromAce). Blanks at both ends are trimmed first. Returns false, leaving `reduced`
// untouched, for a text that holds nothing of these, which then stands as it is.
bool reduceUrl(QStringView entry, QString& reduced);

// Removes every blank (U+0020).
QString removeBlanks(QStringView text);
// Removes blanks (U+0020 only) at both ends.
QStringView trimBlanks(QStringView text);

} // namespace quorvane
