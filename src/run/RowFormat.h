#pragma once

#include "RowOutput.h"
#include "engine/EntryProcessor.h"
#include "engine/SplitReceiver.h"

#include <QByteArray>
#include <QStringView>

#include <vector>

namespace quorvane {

// How quorvane-split writes the splits of a name.
struct RowFormat
{
    enum class Layout
    {
        Text, // the window's rows, one a line
        // name, row number, score and split, separated by TABs, one split a line; the row number counts the
        // name's rows from 1, so it is the rank when ranked and the place in search order otherwise. With the
        // best splits asked for, a fifth field: each piece's kind (pieceKindName), blank-separated. A TAB, line
        // break or backslash in a field is escaped as \t, \n, \r, \\.
        Tsv,
        // one JSON object per name: {"name":…,"splits":[{"words":[…],"score":…}],"cut":…}, each split with
        // "kinds":[…] as well when the best splits are asked for, and "error":… for a name whose
        // cleaning or search failed (the splits found before the failure stay).
        Jsonl,
    };
    Layout layout = Layout::Text;
    bool scores = false; // Text: a TAB and the score after each row

    // Whether the rows need the splits' scores.
    bool needsScores() const { return layout != Layout::Text || scores; }

    // Scores are written in nats with this many decimals.
    static constexpr int scoreDecimals = 3;

    // How TSV and JSON Lines name a piece's kind: "known" (a word of the list or a number), "letter", "unknown".
    static const char* pieceKindName(PieceKind kind);

    // What a text row starts with: with `showOriginal`, the name trimmed of blanks and " - "; else nothing.
    static QString rowStart(QStringView name, bool showOriginal);

    // Cleans and splits `name` and writes its rows into `output`; the outcome is that of the processor.
    EntryProcessor::Outcome write(EntryProcessor& processor, QStringView name, const SplitOptions& options,
                                  RowOutput& output) const;
};

// Writes the splits the engine hands on as rows of a RowFormat, UTF-8 bytes into a RowOutput: the one row
// writer of quorvane-split.
class RowFormatter final : public SplitReceiver
{
public:
    RowFormatter(const RowFormat& format, const SplitOptions& options);
    ~RowFormatter() override;
    void setOutput(RowOutput& output) { m_output = &output; }

    void begin(QStringView name, QStringView text) override;
    bool split(const FoundSplit& found) override;
    void end(const SplitOutcome& outcome) override;

private:
    void put(const QByteArray& bytes);
    // A text row without a score of a text without surrogates, built on the row before (its first `same`
    // pieces stay); any other row.
    void writeTextRow(std::span<const qint32> ends, qsizetype same);
    void writeAsciiRow(std::span<const qint32> ends, qsizetype same);
    void writeOtherRow(const FoundSplit& found);
    void writeTextRowAlone(std::span<const qint32> ends, qint64 score);

    RowFormat m_format;
    bool m_showOriginal;
    bool m_withKinds;
    RowOutput* m_output = nullptr;
    QStringView m_text;
    qsizetype m_rank = 0;
    bool m_surrogates = false;
    bool m_plainText = false; // rows for writeTextRow()
    bool m_asciiText = false; // the same, of an ASCII text
    QByteArray m_start;       // of every row of the name
    QByteArray m_row;
    // Text rows of a text without surrogates: its UTF-8 bytes, where each of its units starts in them, the row
    // being built and its length up to the end of each piece.
    std::vector<char> m_bytes;
    std::vector<qint32> m_byteOffsets;
    qsizetype m_textBytes = 0;
    std::vector<char> m_rowBytes;
    std::vector<qsizetype> m_rowLengths;
};

} // namespace quorvane
