#include "PlainSplitter.h"

#include "engine/NumericPieces.h"
#include "engine/WordDictionary.h"

namespace quorvane {

void plainSplitIntoWords(const QString& remainder, const QString& accumulated, QStringList& candidates,
                         const WordDictionary& dictionary, qsizetype limit)
{
    if (limit > 0 && candidates.size() >= limit)
        return;
    if (remainder.isEmpty()) {
        candidates.append(accumulated);
        return;
    }
    const qsizetype n = remainder.size();
    for (qsizetype k = 1; k <= n; ++k) {
        const QString piece = remainder.left(k);
        const QString key = WordDictionary::lowerCase(piece);
        if (dictionary.contains(key) || isNumeric(key))
            plainSplitIntoWords(remainder.mid(k), accumulated + QLatin1Char(' ') + piece, candidates, dictionary,
                                limit);
    }
}

} // namespace quorvane
