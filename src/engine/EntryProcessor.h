#pragma once

#include "NameCleaner.h"
#include "RowOutput.h"
#include "Segmenter.h"
#include "ShortAsciiRows.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>

namespace quorvane {

class WordDictionary;

// The processing of one DomainList entry, shared by the window's splitting run and the batch splitter.
// The steps can be called one by one, so that the window runs each under its own step of the error trap:
//
//   1. clean(entry)                     cleanDomainName; throws Failure (unreadable or overlong suffix list)
//   2. removeBlanks(cleaned)            (NameCleaner.h) every blank removed
//   3. search(text, candidates)         splitIntoWords; throws Failure for a text too long to split, leaving
//                                       the candidates found before in the list; returns whether it was cut
//   4. rowTexts(entry, candidates, showOriginal)   one row text per candidate
//
// process() and writeRows() run all four for the batch splitter. When cleaning fails, the entry gives no rows: it is
// not searched in a half-cleaned or uncleaned form, since rows from such a text would mislead.
class EntryProcessor final
{
public:
    // The dictionary must outlive the processor; "suffix.lst" is looked up in `applicationFolder`.
    EntryProcessor(const WordDictionary& dictionary, const QString& applicationFolder);
    // A processor for another thread, with the same dictionary and folder: it shares `other`'s search index
    // rather than building its own, and reads "suffix.lst" itself.
    EntryProcessor(const EntryProcessor& other);
    EntryProcessor& operator=(const EntryProcessor&) = delete;

    // Builds the search index now (it is built with the first search otherwise), so that copies share it.
    void prepareIndex();

    QString clean(const QString& entry) { return m_cleaner.cleanDomainName(entry); }

    bool search(QStringView text, QStringList& candidates, qsizetype maxCandidates = Segmenter::defaultMaxCandidates)
    {
        return m_segmenter.splitIntoWords(text, candidates, maxCandidates);
    }

    // With `showOriginal`: the entry trimmed of blanks, " - ", and the candidate trimmed of blanks;
    // otherwise the trimmed candidate alone.
    static QString rowText(QStringView entry, QStringView candidate, bool showOriginal);
    static QStringList rowTexts(QStringView entry, const QStringList& candidates, bool showOriginal);

    struct Outcome
    {
        bool cut = false;     // the entry had more candidates than the bound let through
        QStringList failures; // descriptions of the failed steps, in order
        qsizetype rows = 0;
    };

    // Runs the four steps and hands each row to `row` as soon as it is found (the view is valid only
    // during the call). `maxCandidates` 0 means no bound.
    Outcome process(const QString& entry, bool showOriginal, qsizetype maxCandidates,
                    const std::function<void(QStringView row)>& row);

    // The same rows, each as UTF-8 ended by LF, written straight into `output` as they are found (those of short
    // ASCII texts by ShortAsciiRows).
    Outcome writeRows(QStringView entry, bool showOriginal, qsizetype maxCandidates, RowOutput& output);

private:
    // Cleans the entry into m_text and starts m_row with the row's start; false (with the failure noted)
    // when cleaning failed.
    bool prepareEntry(QStringView entry, bool showOriginal, Outcome& outcome);
    void writeRowsOfSurrogates(qsizetype maxCandidates, RowOutput& output, Outcome& outcome);

    NameCleaner m_cleaner;
    Segmenter m_segmenter;
    // writeRows' fast path for short ASCII texts, unless the portable code alone runs: the same rows.
    std::optional<ShortAsciiRows> m_shortAscii;
    QString m_text;
    QString m_row;
    // writeRows: the text's UTF-8 bytes, where each of its units starts in them, the row being built
    // and its length up to the end of each piece.
    std::vector<char> m_bytes;
    std::vector<qint32> m_byteOffsets;
    std::vector<char> m_rowBytes;
    std::vector<qsizetype> m_rowLengths;
};

} // namespace quorvane
