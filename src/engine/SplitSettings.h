#pragma once

#include "EntryProcessor.h"
#include "UserWords.h"
#include "WordLists.h"

#include <QString>

#include <limits>

namespace quorvane {

// What a front end asks of a splitting run, with each setting's check.
struct SplitSettings
{
    static constexpr WordListChoice defaultList = WordListChoice::Google;
    static constexpr int maxJobs = 8;

    WordListChoice list = defaultList;
    bool listGiven = false;
    QString wordsFile;                                     // instead of the numbered list when not empty
    qsizetype maxSplits = Segmenter::defaultMaxCandidates; // per name; 0: none
    SplitOrder order = SplitOrder::Search;
    qsizetype best = 0; // ranked: the best this many splits, which may go beyond the list; 0: all
    bool wordsOnly = false;
    bool caseHints = false;
    bool urlCleaning = true;
    UserWords userWords;
    int jobs = 0; // 0: one per processor, at most maxJobs

    // The checks: each throws std::invalid_argument with the message; `option` is the setting's name as the
    // front end spells it.
    static WordListChoice listNumber(const QString& text);
    static qsizetype count(const QString& option, const QString& text, qsizetype least,
                           qsizetype most = std::numeric_limits<qsizetype>::max());
    static qsizetype count(const QString& option, long long value, qsizetype least);
    // Throws when the list was chosen both by number and by file.
    void checkWordSource() const;

    // What each name's splitting is asked.
    SplitOptions splitOptions(bool showOriginal = false) const;
    // The number of jobs to run.
    int jobCount() const;
};

} // namespace quorvane
