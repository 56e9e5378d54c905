#pragma once

#include "WordTrie.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace quorvane {

// cleanDomainName: turns a DomainList entry into the text to split. In this order: every "http://" and
// every "www." is removed (exact letter case, anywhere); blanks are trimmed; each non-empty line of
// "suffix.lst" in the application folder, in file order, removes every occurrence of "." followed by that
// line (any letter case, anywhere, left to right without overlap); ".", "/" and "-" become blanks; blanks
// are trimmed. Only the blank U+0020 counts as a blank.
//
// "suffix.lst" is optional: without a regular file of that name the suffix step does nothing. Its lines
// are separated by CR LF; an empty file counts as the one line "empty file". It is looked up at every
// call, so a change is seen from the next name on; its parsed lines are kept while the file's identity,
// size and change times stay the same (a file changed within the last seconds is read again every time,
// since a rewrite within one tick of the file system's clock leaves those unchanged).
class NameCleaner final
{
public:
    // The line counter is 16-bit: a suffix list may have at most this many lines.
    static constexpr qsizetype maxSuffixLines = 32767;

    explicit NameCleaner(QString applicationFolder);

    // The cleaned text. Throws Failure when "suffix.lst" exists but cannot be read, and when it has more
    // than maxSuffixLines lines: before any entry is applied beyond 32,768 lines, after the last entry at
    // exactly 32,768 (a final CR LF counts as the start of one more, empty, line).
    QString cleanDomainName(const QString& entry);

    QString suffixListPath() const { return m_suffixPath; }

private:
    struct FileStamp
    {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 modifiedSeconds = 0;
        qint64 modifiedNanoseconds = 0;
        qint64 changedSeconds = 0;
        qint64 changedNanoseconds = 0;
        bool operator==(const FileStamp&) const = default;
    };

    // The parsed suffix list, kept between calls.
    struct SuffixList
    {
        qsizetype lineCount = 0;
        std::vector<QString> foldedEntries;              // ".entry", case-folded, in file order, empty lines left out
        std::vector<std::vector<quint32>> entriesAtNode; // per trie node: the entries ending there, ascending
        WordTrie trie;                                   // the folded entries without their dot
    };

    const SuffixList* currentSuffixList();
    void readSuffixList();
    void removeSuffixes(QString& text, const SuffixList& list) const;

    QString m_suffixPath;
    QByteArray m_encodedSuffixPath; // as the file system wants it, made once
    SuffixList m_list;
    FileStamp m_stamp;
    bool m_haveList = false;
    bool m_stampTrusted = false;
};

// Removes every blank (U+0020).
QString removeBlanks(QStringView text);
// Removes blanks (U+0020 only) at both ends.
QStringView trimBlanks(QStringView text);

} // namespace quorvane
