#include "Segmenter.h"

#include "WordDictionary.h"
#include "core/Failure.h"

#include <algorithm>

namespace quorvane {

namespace {

[[noreturn]] void throwTooLong(qsizetype length)
{
    throw Failure(QStringLiteral("Overflow: a text of %1 characters is too long to split (at most %2).")
                      .arg(length)
                      .arg(Segmenter::maxTextLength - 1));
}

} // namespace

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
    const auto size = static_cast<std::size_t>(text.size());
    m_reachable.assign(size + 1, 0);
    m_reachable[size] = 1;
    m_firstWordEnd.assign(size, 0);
    m_wordEndCount.assign(size, 0);
    m_wordEnds.clear();
    const char16_t* units = text.utf16();
    const bool ascii = std::all_of(units, units + size, [](char16_t unit) { return unit < 0x80; });
    for (qsizetype start = text.size() - 1; start >= 0; --start) {
        const auto at = static_cast<std::size_t>(start);
        m_firstWordEnd[at] = static_cast<qint32>(m_wordEnds.size());
        if (ascii) {
            // The common case in a tight loop: every character is its own lower case but A to Z.
            quint32 node = WordTrie::root;
            for (std::size_t position = at; position < size; ++position) {
                const char16_t unit = units[position];
                node = m_trie.child(node, (unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit);
                if (node == WordTrie::noNode)
                    break;
                if (m_trie.isWord(node) && m_reachable[position + 1])
                    m_wordEnds.push_back(static_cast<qint32>(position + 1));
            }
        } else {
            WordEnds words(m_trie, text, start);
            for (qsizetype end = words.next(); end >= 0; end = words.next()) {
                if (m_reachable[static_cast<std::size_t>(end)])
                    m_wordEnds.push_back(static_cast<qint32>(end));
            }
        }
        m_wordEndCount[at] = static_cast<qint32>(m_wordEnds.size()) - m_firstWordEnd[at];
        bool reachable = m_wordEndCount[at] > 0;
        if (!reachable && NumericScanner::canStart(text[start])) {
            NumericScanner numbers(text, start, m_digitRunEnds.data());
            for (qsizetype end = numbers.next(); end >= 0 && !reachable; end = numbers.next())
                reachable = m_reachable[static_cast<std::size_t>(end)] != 0;
        }
        m_reachable[at] = reachable ? 1 : 0;
    }
}

void Segmenter::enterFrame(std::size_t depth, QStringView text, qsizetype start, qsizetype prefixLength)
{
    if (depth == m_stack.size())
        m_stack.emplace_back();
    Frame& frame = m_stack[depth];
    frame.start = start;
    frame.prefixLength = prefixLength;
    frame.wordIndex = m_firstWordEnd[static_cast<std::size_t>(start)];
    frame.wordIndexEnd = frame.wordIndex + m_wordEndCount[static_cast<std::size_t>(start)];
    frame.nextNumberEnd = -1;
    if (NumericScanner::canStart(text[start])) {
        frame.numbers = NumericScanner(text, start, m_digitRunEnds.data());
        frame.nextNumberEnd = frame.numbers.next();
    }
}

// The frame's next piece end, ascending, from which the rest can be split; -1 when there is none.
qsizetype Segmenter::nextEnd(Frame& frame, qsizetype excludedEnd)
{
    for (;;) {
        const qsizetype word =
            frame.wordIndex < frame.wordIndexEnd ? m_wordEnds[static_cast<std::size_t>(frame.wordIndex)] : -1;
        const qsizetype number = frame.nextNumberEnd;
        if (word < 0 && number < 0)
            return -1;
        const qsizetype end = word < 0 ? number : number < 0 ? word : std::min(word, number);
        // A piece that is both a word and a number is one piece.
        if (word == end)
            ++frame.wordIndex;
        if (number == end)
            frame.nextNumberEnd = frame.numbers.next();
        if (end != excludedEnd && m_reachable[static_cast<std::size_t>(end)])
            return end;
    }
}

bool Segmenter::splitIntoWords(QStringView text, const CandidateSink& sink, qsizetype maxCandidates)
{
    const qsizetype size = text.size();
    if (size > maxTextLength)
        throwTooLong(size);
    if (size == 0)
        return !sink(QStringView());

    refreshIndex();
    NumericScanner::findDigitRunEnds(text, m_digitRunEnds);
    markReachable(text);
    // At the longest length the 16-bit piece counter overflows when it reaches the whole text.
    const bool failsAtFullLength = size == maxTextLength;

    bool cut = false;
    qsizetype found = 0;
    // The candidate is built in place: one blank and the piece per frame, cut back on return.
    m_candidate.resize(static_cast<std::size_t>(2 * size));
    char16_t* candidate = m_candidate.data();
    const char16_t* units = text.utf16();
    std::size_t depth = 0;
    enterFrame(depth, text, 0, 0);
    for (;;) {
        Frame& frame = m_stack[depth];
        const qsizetype end = nextEnd(frame, failsAtFullLength && frame.start == 0 ? size : -1);
        if (end < 0) {
            if (depth == 0)
                break;
            --depth;
            continue;
        }
        qsizetype length = frame.prefixLength;
        candidate[length++] = u' ';
        std::copy(units + frame.start, units + end, candidate + length);
        length += end - frame.start;
        if (end < size) {
            enterFrame(++depth, text, end, length);
            continue;
        }
        if (maxCandidates > 0 && found == maxCandidates) {
            cut = true;
            break;
        }
        if (!sink(QStringView(candidate, length))) {
            cut = true;
            break;
        }
        ++found;
    }
    if (failsAtFullLength && !cut)
        throwTooLong(size);
    return cut;
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
