#pragma once

#include <QStringView>
#include <QtGlobal>

#include <algorithm>

namespace quorvane {

class WordDictionary;

// Stand-in until the word scores land: a deterministic score that prefers longer pieces and penalises
// numbers, in fixed point (unitsPerNat per nat).
class WordScores final
{
public:
    static constexpr qint32 unitsPerNat = 64;

    explicit WordScores(const WordDictionary& dictionary) : m_dictionary(dictionary) {}

    qint32 pieceScore(QStringView piece) const
    {
        if (!piece.isEmpty() && (piece.front().isDigit() || piece.front() == QLatin1Char('+') ||
                                 piece.front() == QLatin1Char('-') || piece.front() == QLatin1Char('.')))
            return -14 * unitsPerNat;
        const qsizetype length = std::min<qsizetype>(piece.size(), 10);
        return static_cast<qint32>(-(12 - length) * unitsPerNat);
    }

private:
    [[maybe_unused]] const WordDictionary& m_dictionary;
};

} // namespace quorvane
