#include "Segmenter.h"

#include "WordDictionary.h"
#include "core/Failure.h"

#include <algorithm>

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
                m_node = m_trie->child(m_node, (unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit);
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

void Segmenter::refreshIndex()
{
    if (m_indexBuilt && m_indexGeneration == m_dictionary.generation())
        return;
    m_trie = WordTrie();
    m_trie.build(m_dictionary.words());
    m_indexGeneration = m_dictionary.generation();
    m_indexBuilt = true;
}

// Walks backwards, so that whether the rest can be split is known for every end of a piece.
void Segmenter::markReachable(QStringView text)
{
    refreshIndex();
    NumericScanner::findDigitRunEnds(text, m_digitRunEnds);
    const auto size = static_cast<std::size_t>(text.size());
    m_reachable.assign(size + 1, 0);
    m_reachable[size] = 1;
    m_firstEnd.resize(size);
    m_endCount.resize(size);
    m_path.resize(size + 1);
    m_next.resize(size + 1);
    m_last.resize(size + 1);
    m_ends.clear();
    // At the longest length the piece that is the whole text is never reached (see forEachSplit).
    const std::size_t excludedEnd = text.size() == maxTextLength ? size : size + 1;
    const char16_t* units = text.utf16();
    const bool ascii = std::all_of(units, units + size, [](char16_t unit) { return unit < 0x80; });
    for (std::size_t at = size; at-- > 0;) {
        const auto first = m_ends.size();
        m_firstEnd[at] = static_cast<qint32>(first);
        if (ascii) {
            // The common case in a tight loop: every character is its own lower case but A to Z.
            quint32 node = WordTrie::root;
            for (std::size_t position = at; position < size; ++position) {
                const char16_t unit = units[position];
                node = m_trie.child(node, (unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit);
                if (node == WordTrie::noNode)
                    break;
                if (m_trie.isWord(node) && m_reachable[position + 1])
                    m_ends.push_back(static_cast<qint32>(position + 1));
            }
        } else {
            WordEnds words(m_trie, text, static_cast<qsizetype>(at));
            for (qsizetype end = words.next(); end >= 0; end = words.next()) {
                if (m_reachable[static_cast<std::size_t>(end)])
                    m_ends.push_back(static_cast<qint32>(end));
            }
        }
        if (NumericScanner::canStart(units[at])) {
            // Merged into the word ends, ascending; a piece that is both a word and a number is one piece.
            m_numberEnds.clear();
            NumericScanner numbers(text, static_cast<qsizetype>(at), m_digitRunEnds.data());
            for (qsizetype end = numbers.next(); end >= 0; end = numbers.next()) {
                if (m_reachable[static_cast<std::size_t>(end)])
                    m_numberEnds.push_back(static_cast<qint32>(end));
            }
            if (!m_numberEnds.empty()) {
                const auto words = m_ends.size() - first;
                m_ends.insert(m_ends.end(), m_numberEnds.begin(), m_numberEnds.end());
                auto merged = m_ends.begin() + static_cast<std::ptrdiff_t>(first);
                std::inplace_merge(merged, merged + static_cast<std::ptrdiff_t>(words), m_ends.end());
                m_ends.erase(std::unique(merged, m_ends.end()), m_ends.end());
            }
        }
        if (excludedEnd == size && at == 0 && m_ends.size() > first && m_ends.back() == static_cast<qint32>(size))
            m_ends.pop_back();
        m_endCount[at] = static_cast<qint32>(m_ends.size() - first);
        m_reachable[at] = m_endCount[at] > 0 ? 1 : 0;
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
