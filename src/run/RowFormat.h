#pragma once

#include "engine/EntryProcessor.h"
#include "engine/RowOutput.h"

#include <QStringView>

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

    // Cleans and splits `name` and writes its rows into `output`; the outcome is that of the processor.
    EntryProcessor::Outcome write(EntryProcessor& processor, QStringView name, const SplitOptions& options,
                                  RowOutput& output) const;
};

} // namespace quorvane
