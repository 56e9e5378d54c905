#include "ExtraPieces.h"

#include "WordScores.h"

#include <algorithm>

namespace quorvane {

bool ExtraPieces::insidePair(QStringView text, qsizetype at)
{
    return at > 0 && at < text.size() && text[at - 1].isHighSurrogate() && text[at].isLowSurrogate();
}

void GuessPieceScores::Trigrams::prepare(const std::vector<qint8>& symbols, const qint16* weighted)
{
    constexpr int edge = WordScores::edgeSymbol;
    constexpr int count = WordScores::symbolCount;
    const std::size_t size = symbols.size();
    const auto part = [&](int a, int b, int c) { return qint32(weighted[(a * count + b) * count + c]); };
    one.resize(size);
    head.resize(size);
    inner.assign(size + 1, 0);
    tail.resize(size + 1);
    for (std::size_t k = 2; k < size; ++k)
        inner[k] = inner[k - 1] + part(symbols[k - 2], symbols[k - 1], symbols[k]);
    for (std::size_t k = 0; k < size; ++k) {
        one[k] = part(edge, edge, symbols[k]) + part(edge, symbols[k], edge);
        if (k + 1 < size)
            head[k] = part(edge, edge, symbols[k]) + part(edge, symbols[k], symbols[k + 1]) - inner[k + 1];
        if (k >= 1)
            tail[k + 1] = inner[k] + part(symbols[k - 1], symbols[k], edge);
    }
}

void GuessPieceScores::prepare(QStringView text, const WordScores& scores)
{
    using E = ExtraPieces;
    m_runBase = WordScores::units(E::runScore);
    m_runPerLetter = WordScores::units(E::runScorePerLetter);
    m_noVowel = WordScores::units(E::runNoVowelScore);
    m_listWord = WordScores::units(E::runListWordScore);
    m_unknownBase = WordScores::units(E::unknownScore);
    m_unknownPerCharacter = WordScores::units(E::unknownScorePerUnit);
    const auto size = static_cast<std::size_t>(text.size());
    m_symbols.resize(size);
    m_vowelsBefore.resize(size + 1);
    m_runLengths.resize(size + 1);
    m_runCounts.assign(size * std::size_t(runLongest), 0);
    m_vowelsBefore[0] = 0;
    for (std::size_t k = 0; k < size; ++k) {
        const char16_t unit = text[qsizetype(k)].unicode();
        m_symbols[k] = static_cast<qint8>(WordScores::symbolOf(unit));
        const char16_t lower = unit | 0x20;
        const bool vowel = lower == u'a' || lower == u'e' || lower == u'i' || lower == u'o' || lower == u'u';
        m_vowelsBefore[k + 1] = m_vowelsBefore[k] + (vowel ? 1 : 0);
    }
    m_runTrigrams.prepare(m_symbols, scores.runTrigramUnits());
    m_unknownTrigrams.prepare(m_symbols, scores.unknownTrigramUnits());
    m_runLengths[size] = 0;
    for (std::size_t k = size; k-- > 0;) {
        m_runLengths[k] = text[qsizetype(k)].isLetter()
                              ? static_cast<qint8>(std::min<qsizetype>(m_runLengths[k + 1] + 1, runLongest))
                              : qint8(0);
        // The evidence of the runs from here, as long as a run with evidence begins with them.
        quint64 key = WordScores::firstRunKey;
        for (std::size_t length = 1; length <= std::size_t(m_runLengths[k]); ++length) {
            const int symbol = m_symbols[k + length - 1];
            if (symbol == WordScores::otherSymbol)
                break;
            key = WordScores::runKey(key, symbol);
            const qint32 evidence = scores.runEvidence(key);
            if (evidence == WordScores::noRunEvidence)
                break;
            m_runCounts[k * std::size_t(runLongest) + length - 1] = WordScores::runScore(evidence);
            if (!WordScores::runGoesOn(evidence))
                break;
        }
    }
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
    const bool beyond = options.beyondList;
    if (beyond)
        m_guesses.prepare(text, scores);
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
        // Runs are of letters of the basic plane (whose halves of a pair are none).
        const qsizetype runs = beyond ? m_guesses.runLength(at) : 0;
        m_ends.assign(known.begin(), known.end());
        if (beyond && !insidePair(text, at)) {
            // The runs of letters, a character that nothing else takes, then the unknown stretches.
            for (qsizetype end = at + 1; end <= at + runs; ++end)
                m_ends.push_back(static_cast<qint32>(end));
            if (runs == 0 && (known.empty() || known.front() != charEnd))
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
            const qint64 cuts = caseCuts ? m_cutScoresThrough[static_cast<std::size_t>(end - 1)] -
                                               m_cutScoresThrough[static_cast<std::size_t>(at)]
                                         : 0;
            // The best of the piece's kinds: a word of the list, an unknown stretch, a run of letters (which
            // is cut at every letter, so no case cut inside it counts).
            qint64 score = 0;
            PieceKind kind = PieceKind::Known;
            bool scored = false;
            const auto take = [&](qint64 value, PieceKind what) {
                if (!scored || value > score) {
                    score = value;
                    kind = what;
                    scored = true;
                }
            };
            const bool isKnown = std::binary_search(known.begin(), known.end(), end);
            if (isKnown) {
                const QStringView piece = text.mid(at, end - at);
                take(qint64(beyond ? scores.guessPieceScore(piece) : scores.pieceScore(piece)) + cuts,
                     PieceKind::Known);
            }
            if (beyond && (length >= unknownShortest || (length == 1 && runs == 0)))
                take(qint64(m_guesses.unknown(at, end, length)) + cuts, PieceKind::Unknown);
            if (end - at <= runs)
                take(m_guesses.run(at, end, isKnown), PieceKind::Letter);
            m_scores.push_back(score);
            m_kinds.push_back(kind);
        }
        m_lattice.setEnds(at, m_ends);
    }
}

void ExtraPieces::writeOut(std::span<const qint32> ends, std::vector<qint32>& written,
                           std::vector<bool>& runLetter) const
{
    written.clear();
    runLetter.assign(static_cast<std::size_t>(m_lattice.size()) + 1, false);
    qint32 from = 0;
    for (const qint32 end : ends) {
        if (kindOf(from, end) == PieceKind::Letter) {
            for (qint32 letter = from; letter < end; ++letter) {
                runLetter[static_cast<std::size_t>(letter)] = true;
                written.push_back(letter + 1);
            }
        } else {
            written.push_back(end);
        }
        from = end;
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
