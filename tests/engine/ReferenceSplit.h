#pragma once

#include "engine/NumericPieces.h"
#include "engine/WordDictionary.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace quorvane {

// The plain recursion of the search as defined (first piece in ascending length, then the rest the same way),
// entering only pieces after which the rest of the text can still be split: the same candidates in the same
// order as the unpruned recursion, without its exponential dead ends, so that long texts can be compared.
// Returns whether more than `limit` (> 0) candidates exist; lists at most `limit`.
inline bool referenceSplit(const QString& text, const WordDictionary& dictionary, qsizetype limit,
                           QStringList& candidates)
{
    const qsizetype size = text.size();
    const auto accepted = [&](qsizetype from, qsizetype to) {
        const QString key = WordDictionary::lowerCase(QStringView(text).mid(from, to - from));
        return dictionary.contains(key) || isNumeric(key);
    };
    std::vector<bool> splittable(static_cast<std::size_t>(size + 1), false);
    splittable[static_cast<std::size_t>(size)] = true;
    for (qsizetype from = size - 1; from >= 0; --from) {
        for (qsizetype to = from + 1; to <= size && !splittable[static_cast<std::size_t>(from)]; ++to)
            splittable[static_cast<std::size_t>(from)] = splittable[static_cast<std::size_t>(to)] && accepted(from, to);
    }
    bool cut = false;
    const auto recurse = [&](const auto& self, qsizetype from, const QString& accumulated) -> void {
        if (cut)
            return;
        if (from == size) {
            if (candidates.size() == limit)
                cut = true;
            else
                candidates.append(accumulated);
            return;
        }
        for (qsizetype to = from + 1; to <= size; ++to) {
            if (splittable[static_cast<std::size_t>(to)] && accepted(from, to))
                self(self, to, accumulated + QLatin1Char(' ') + text.mid(from, to - from));
        }
    };
    recurse(recurse, 0, QString());
    return cut;
}

} // namespace quorvane
