#include "Segmenter.h"

#include "WordDictionary.h"
#include "core/Failure.h"
#include "text/Ascii.h"

#include <algorithm>
#include <iterator>

namespace quorvane {

void Segmenter::throwTooLong(qsizetype length)
{
    throw Failure(QStringLiteral("Overflow: a text of %1 characters is too long to split (at most %2).")
                      .arg(length)
                      .arg(maxTextLength - 1));
}

bool Segmenter::WordEnds::walk(QStringView lowered)
{
    for (const QChar unit : lowered) {
        m_node = m_trie->child(m_node, unit.unicode());
        if (m_node == WordTrie::noNode)
            return false;
    }
    return true;
}

qsizetype Segmenter::WordEnds::next()
{
    const qsizetype size = m_text.size();
    while (!m_dead) {
        if (m_pairPending) {
            m_pairPending = false;
            if (!walk(WordDictionary::lowerCase(m_text.mid(m_position, 2)))) {
                m_dead = true;
                break;
            }
            m_position += 2;
        } else {
            if (m_position >= size) {
                m_dead = true;
                break;
            }
            const char16_t unit = m_text[m_position].unicode();
            if (unit < 0x80) {
                m_node = m_trie->child(m_node, ascii::toLower(unit));
                if (m_node == WordTrie::noNode) {
                    m_dead = true;
                    break;
                }
                ++m_position;
            } else if (QChar::isHighSurrogate(unit) && m_position + 1 < size &&
                       m_text[m_position + 1].isLowSurrogate()) {
                // A piece may end between the two halves: lower-casing leaves its lone half unchanged.
                m_pairPending = true;
                const quint32 half = m_trie->child(m_node, unit);
                if (half != WordTrie::noNode && m_trie->isWord(half))
                    return m_position + 1;
                continue;
            } else {
                // Lower-casing one character can give several units (U+0130 gives two).
                if (!walk(WordDictionary::lowerCase(m_text.mid(m_position, 1)))) {
                    m_dead = true;
                    break;
                }
                ++m_position;
            }
        }
        if (m_trie->isWord(m_node))
            return m_position;
    }
    return -1;
}

Segmenter::Segmenter(const WordDictionary& dictionary) : m_dictionary(dictionary) {}

void Segmenter::rebuildIndex()
{
    auto index = std::make_shared<Index>();
    index->trie.build(m_dictionary.wordsInOrder());
    index->generation = m_dictionary.generation();
    m_index = std::move(index);
}

// Backwards, so that whether the rest of the text can be split is known at the end of every piece.
void Segmenter::findPieces(QStringView text, PieceLattice& lattice, bool keepDeadEnds)
{
    const qsizetype size = text.size();
    if (size > maxTextLength)
        throwTooLong(size);
    refreshIndex();
    NumericScanner::findDigitRunEnds(text, m_digitRunEnds);
    lattice.reset(size);
    for (qsizetype at = size; at-- > 0;) {
        m_wordEnds.clear();
        WordEnds words(m_index->trie, text, at);
        for (qsizetype end = words.next(); end >= 0; end = words.next()) {
            if (keepDeadEnds || lattice.canSplitFrom(end))
                m_wordEnds.push_back(static_cast<qint32>(end));
        }
        m_numberEnds.clear();
        if (NumericScanner::canStart(text[at])) {
            NumericScanner numbers(text, at, m_digitRunEnds.data());
            for (qsizetype end = numbers.next(); end >= 0; end = numbers.next()) {
                if (keepDeadEnds || lattice.canSplitFrom(end))
                    m_numberEnds.push_back(static_cast<qint32>(end));
            }
        }
        // A piece that is both a word and a number is one piece.
        m_pieceEnds.clear();
        std::set_union(m_wordEnds.begin(), m_wordEnds.end(), m_numberEnds.begin(), m_numberEnds.end(),
                       std::back_inserter(m_pieceEnds));
        if (size == maxTextLength && at == 0 && !m_pieceEnds.empty() && m_pieceEnds.back() == size)
            m_pieceEnds.pop_back();
        lattice.setEnds(at, m_pieceEnds);
    }
}

bool Segmenter::splitIntoWords(QStringView text, const CandidateSink& sink, qsizetype maxCandidates)
{
    // The candidate is built in place: one blank and the piece per piece, redone from the first new one.
    const char16_t* units = text.utf16();
    m_candidate.resize(static_cast<std::size_t>(2 * text.size()));
    m_candidateLength.resize(static_cast<std::size_t>(text.size()) + 1);
    char16_t* candidate = m_candidate.data();
    qsizetype* lengths = m_candidateLength.data();
    lengths[0] = 0;
    return forEachSplit(text, maxCandidates, [&](const qint32* ends, qsizetype pieces, qsizetype firstNew) {
        qsizetype length = lengths[firstNew];
        for (qsizetype k = firstNew; k < pieces; ++k) {
            const qsizetype start = k == 0 ? 0 : ends[k - 1];
            candidate[length++] = u' ';
            std::copy(units + start, units + ends[k], candidate + length);
            length += ends[k] - start;
            lengths[k + 1] = length;
        }
        return sink(QStringView(candidate, length));
    });
}

bool Segmenter::splitIntoWords(QStringView text, QStringList& candidates, qsizetype maxCandidates)
{
    qsizetype keptUnits = 0;
    return splitIntoWords(
        text,
        [&](QStringView candidate) {
            keptUnits += candidate.size();
            if (keptUnits > maxKeptUnits)
                return false;
            candidates.append(candidate.toString());
            return true;
        },
        maxCandidates);
}

} // namespace quorvane
