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
        Text,  // the window's rows, one a line
        Tsv,   // name, rank, score and split, separated by TABs, one split a line
        Jsonl, // one JSON object per name: {"name":…,"splits":[{"words":[…],"score":…}],"cut":…}
    };
    Layout layout = Layout::Text;
    bool scores = false; // Text: a TAB and the score after each row

    // Whether the rows need the splits' scores.
    bool needsScores() const { return layout != Layout::Text || scores; }

    // Scores are written in nats with this many decimals.
    static constexpr int scoreDecimals = 3;

    // Cleans and splits `name` and writes its rows into `output`; the outcome is that of the processor.
    EntryProcessor::Outcome write(EntryProcessor& processor, QStringView name, const SplitOptions& options,
                                  RowOutput& output) const;
};

} // namespace quorvane
