#include "ExtraPieces.h"

#include "WordScores.h"

#include <algorithm>

namespace quorvane {

bool ExtraPieces::insidePair(QStringView text, qsizetype at)
{
    return at > 0 && at < text.size() && text[at - 1].isHighSurrogate() && text[at].isLowSurrogate();
}

bool ExtraPieces::hasCaseCuts(QStringView text)
{
    for (qsizetype at = 1; at < text.size(); ++at) {
        if (text[at - 1].isLower() && text[at].isUpper())
            return true;
    }
    return false;
}

void ExtraPieces::build(QStringView text, const PieceLattice& listed, const WordScores& scores,
                        const GuessOptions& options)
{
    const qsizetype size = text.size();
    const bool caseCuts = options.caseHints && hasCaseCuts(text);
    m_cutScoresThrough.assign(caseCuts ? static_cast<std::size_t>(size) : 0, 0);
    for (qsizetype at = 1; caseCuts && at < size; ++at) {
        const QChar before = text[at - 1];
        qint64 cut = 0;
        if (text[at].isUpper())
            cut = before.isLower()   ? WordScores::units(caseCutScore)
                  : before.isUpper() ? WordScores::units(upperCutScore)
                                     : 0;
        m_cutScoresThrough[static_cast<std::size_t>(at)] = m_cutScoresThrough[static_cast<std::size_t>(at - 1)] + cut;
    }
    m_lattice.reset(size);
    m_scores.clear();
    m_kinds.clear();
    m_firstPiece.assign(static_cast<std::size_t>(size), 0);
    const qint32 letter = WordScores::units(letterScore);
    // Pieces beyond the list are counted in characters, and none ends between the halves of a surrogate pair.
    m_charsBefore.resize(static_cast<std::size_t>(size + 1));
    m_charsBefore[0] = 0;
    for (qsizetype at = 0; at < size; ++at)
        m_charsBefore[static_cast<std::size_t>(at + 1)] =
            m_charsBefore[static_cast<std::size_t>(at)] + (insidePair(text, at + 1) ? 0 : 1);
    const auto charsBetween = [&](qsizetype from, qsizetype to) {
        return m_charsBefore[static_cast<std::size_t>(to)] - m_charsBefore[static_cast<std::size_t>(from)];
    };
    for (qsizetype at = 0; at < size; ++at) {
        m_firstPiece[static_cast<std::size_t>(at)] = static_cast<qint32>(m_scores.size());
        const std::span<const qint32> known = listed.endsFrom(at);
        const qsizetype charEnd = insidePair(text, at + 1) ? at + 2 : at + 1;
        const char32_t character =
            charEnd == at + 2 ? QChar::surrogateToUcs4(text[at], text[at + 1]) : char32_t(text[at].unicode());
        const bool isLetter = QChar::isLetter(character);
        m_ends.assign(known.begin(), known.end());
        if (options.beyondList && !insidePair(text, at)) {
            // A letter on its own, or a character that nothing else takes; then the unknown stretches.
            if (isLetter || known.empty() || known.front() != charEnd)
                m_ends.push_back(static_cast<qint32>(charEnd));
            for (qsizetype end = charEnd + 1; end <= size && charsBetween(at, end) <= unknownLongest; ++end) {
                if (!insidePair(text, end) && charsBetween(at, end) >= unknownShortest)
                    m_ends.push_back(static_cast<qint32>(end));
            }
            std::sort(m_ends.begin(), m_ends.end());
            m_ends.erase(std::unique(m_ends.begin(), m_ends.end()), m_ends.end());
        }
        for (const qint32 end : m_ends) {
            const qsizetype length = charsBetween(at, end);
            qint64 score = 0;
            PieceKind kind = PieceKind::Known;
            const bool isKnown = std::binary_search(known.begin(), known.end(), end);
            if (isKnown)
                score = scores.pieceScore(text.mid(at, end - at));
            if (options.beyondList && (length == 1 || length >= unknownShortest)) {
                const bool spelled = length == 1 && isLetter;
                const qint64 beyond =
                    spelled ? letter : WordScores::units(unknownScore + unknownScorePerUnit * double(length));
                if (!isKnown || beyond > score) {
                    score = beyond;
                    kind = spelled ? PieceKind::Letter : PieceKind::Unknown;
                }
            }
            if (caseCuts)
                score += m_cutScoresThrough[static_cast<std::size_t>(end - 1)] -
                         m_cutScoresThrough[static_cast<std::size_t>(at)];
            m_scores.push_back(score);
            m_kinds.push_back(kind);
        }
        m_lattice.setEnds(at, m_ends);
    }
}

PieceKind ExtraPieces::kindOf(qsizetype from, qsizetype to) const
{
    const std::span<const qint32> ends = m_lattice.endsFrom(from);
    const auto found = std::lower_bound(ends.begin(), ends.end(), qint32(to));
    if (found == ends.end() || *found != to)
        return PieceKind::Known;
    return m_kinds[static_cast<std::size_t>(m_firstPiece[static_cast<std::size_t>(from)] + (found - ends.begin()))];
}

} // namespace quorvane
