#pragma once

#include <QString>
#include <QStringList>

namespace quorvane {

class WordDictionary;

// The plain exhaustive recursion, exactly as the search is defined: the reference that the segmenter's
// output is compared with in tests and measured against in benchmarks. Not part of the program.
// Stops appending once `limit` candidates (when > 0) are listed.
void plainSplitIntoWords(const QString& remainder, const QString& accumulated, QStringList& candidates,
                         const WordDictionary& dictionary, qsizetype limit = 0);

} // namespace quorvane
