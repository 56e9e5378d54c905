#pragma once

#include "ExtraPieces.h"

#include <QStringList>
#include <QStringView>

#include <span>

namespace quorvane {

// What became of one name: cut, cleaned, its failures and how many splits it gave.
struct SplitOutcome
{
    bool cut = false;     // the entry had more candidates than the bound let through
    bool cleaned = true;  // false: cleaning failed (the first failure says why), and no split was searched
    QStringList failures; // descriptions of the failed steps, in order
    qsizetype rows = 0;   // the splits handed out
};

// One split as the engine hands it on: the end of each piece (piece k is text[ends[k - 1], ends[k])), of which
// the first `same` are those of the split before; its score (when the receiver wants scores, else it may be 0);
// each piece's kind (when the receiver wants kinds and a piece may be beyond the list, else empty: all known).
struct FoundSplit
{
    std::span<const qint32> ends;
    qsizetype same = 0;
    qint64 score = 0;
    std::span<const PieceKind> kinds;
};

// Where the engine hands each name's splits, as data: begin, each split, end.
class SplitReceiver
{
public:
    virtual ~SplitReceiver() = default;

    // The name as given and its cleaned text (empty when cleaning failed).
    virtual void begin(QStringView name, QStringView text) = 0;
    // One split of the text; false stops the name's splits as cut.
    virtual bool split(const FoundSplit& found) = 0;
    virtual void end(const SplitOutcome& outcome) = 0;

    bool wantsScores = false;
    bool wantsKinds = false;
};

// Piece k of a split of `text`.
inline QStringView pieceOf(QStringView text, std::span<const qint32> ends, std::size_t k)
{
    const qint32 from = k == 0 ? 0 : ends[k - 1];
    return text.mid(from, ends[k] - from);
}

} // namespace quorvane
