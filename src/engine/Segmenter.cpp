#include "Segmenter.h"

#include "WordDictionary.h"
#include "core/Failure.h"
#include "core/ProcessorFeatures.h"

#include <algorithm>
#include <cstring>
#if QUORVANE_WIDE_VECTORS
#include <immintrin.h>
#endif
#include <iterator>
#include <limits>

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

void Segmenter::rebuildIndex()
{
    auto index = std::make_shared<Index>();
    index->trie.build(m_dictionary.words());
    index->asciiTrieBuilt = index->asciiTrie.build(index->trie);
    index->generation = m_dictionary.generation();
    m_index = std::move(index);
}

// The words of an ASCII text, found by walks through the trie that go along the text side by side: at each
// character every walk still going takes its step, and a walk starts at each place that pieces from the
// text's start can reach (the search never enters the others). The steps of one walk wait on each other's
// memory reads, those of different walks do not, so the processor overlaps them. Word ends up to 64
// characters on are kept as bits per place, longer ones in a list sorted by place and end.
void Segmenter::findAsciiWordEnds(QStringView text)
{
    const WordTrie& trie = m_index->trie;
    const char16_t* units = text.utf16();
    const auto size = static_cast<std::size_t>(text.size());
    m_shortWordEnds.assign(size, 0);
    m_longWordEnds.clear();
    m_fromStart.assign(size + 1, 0);
    m_fromStart[0] = 1;
    m_walkStarts.resize(size);
    m_walkNodes.resize(size);
    qint32* const starts = m_walkStarts.data();
    quint32* const nodes = m_walkNodes.data();
    quint8* const fromStart = m_fromStart.data();
    const auto lower = [](char16_t unit) { return (unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit; };
    std::size_t walks = 0;
    for (std::size_t position = 0; position < size; ++position) {
        const char16_t unit = lower(units[position]);
        // The walks under way take their step over this character.
        quint64 anyWord = 0;
        std::size_t kept = 0;
        for (std::size_t k = 0; k < walks; ++k) {
            const quint32 node = trie.childOfInnerNode(nodes[k], unit); // walks past their first step
            // No branch on what the trie holds: a mispredicted one would stall every walk behind it.
            const auto word = static_cast<quint64>(trie.isWord(node));
            const auto start = static_cast<std::size_t>(starts[k]);
            const std::size_t step = position - start;
            anyWord |= word;
            if (step < 64)
                m_shortWordEnds[start] |= word << step;
            else if (word)
                m_longWordEnds.emplace_back(starts[k], static_cast<qint32>(position + 1));
            starts[kept] = starts[k];
            nodes[kept] = node;
            kept += node != WordTrie::noNode ? 1 : 0;
        }
        walks = kept;
        // A walk starts here when the start can reach this place; its first step is taken at once.
        if (fromStart[position]) {
            const quint32 node = trie.childOfAscii(unit);
            const auto word = static_cast<quint64>(trie.isWord(node));
            anyWord |= word;
            m_shortWordEnds[position] = word;
            starts[walks] = static_cast<qint32>(position);
            nodes[walks] = node;
            walks += node != WordTrie::noNode ? 1 : 0;
            if (NumericScanner::canStart(units[position])) {
                NumericScanner numbers(text, static_cast<qsizetype>(position), m_digitRunEnds.data());
                for (qsizetype end = numbers.next(); end >= 0; end = numbers.next())
                    fromStart[end] = 1;
            }
        }
        fromStart[position + 1] |= static_cast<quint8>(anyWord);
    }
    std::sort(m_longWordEnds.begin(), m_longWordEnds.end());
}

#if QUORVANE_WIDE_VECTORS
namespace {

// The words from every place of a text of at most 64 characters at once: a 64-byte vector holds sixteen
// walks through the double-array trie, one from each of sixteen places, and each step of all of them is one
// gather of their cells. A walk's steps wait on each other's reads; walks side by side in one vector do not,
// and a step costs one wait for all. `codes` holds the text's character numbers and zeros past it, for at
// least 64 + 16 places more, so that a walk dies at the text's end. Sets, per place, bit k when the k + 1
// characters from there are a word. The count of vectors is a constant, so that the walks stay in registers.
template <std::size_t vectors>
[[gnu::target("avx512f,avx512bw,avx512vl,avx512dq,bmi,bmi2")]] [[gnu::always_inline]] inline void
walkSideBySide(const AsciiWordTrie::Cell* cells, AsciiWordTrie::Cell root, const quint8* codes, std::size_t size,
               quint64* wordEnds)
{
    constexpr std::size_t lanes = 16;
    const __m512i labelMask = _mm512_set1_epi32(0x7F);
    const __m512i wordFlag = _mm512_set1_epi32(0x80);
    const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    __m512i cell[vectors];
    __m512i lowEnds[vectors]; // the word ends of the vector's first eight places
    __m512i highEnds[vectors];
    __mmask16 alive[vectors];
#pragma GCC unroll 4
    for (std::size_t v = 0; v < vectors; ++v) {
        const __m512i place = _mm512_add_epi32(lane, _mm512_set1_epi32(static_cast<int>(v * lanes)));
        alive[v] = _mm512_cmplt_epu32_mask(place, _mm512_set1_epi32(static_cast<int>(size)));
        cell[v] = _mm512_maskz_mov_epi32(alive[v], _mm512_set1_epi32(static_cast<int>(root)));
        lowEnds[v] = highEnds[v] = _mm512_setzero_si512();
    }
    std::size_t step = 0;
    std::size_t walks = 0; // still going after the step
    for (; step < size; ++step) {
        const __m512i bit = _mm512_set1_epi64(static_cast<long long>(quint64(1) << step));
#pragma GCC unroll 4
        for (std::size_t v = 0; v < vectors; ++v) {
            // The zero-masked forms: the plain ones start from an undefined vector, which the compiler warns of.
            const __m512i code = _mm512_maskz_cvtepu8_epi32(
                0xFFFF, _mm_loadu_si128(reinterpret_cast<const __m128i*>(codes + v * lanes + step)));
            const __m512i index = _mm512_add_epi32(_mm512_maskz_srli_epi32(0xFFFF, cell[v], 8), code);
            const __m512i next = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), alive[v], index, cells, 4);
            const __mmask16 taken = _mm512_mask_cmpeq_epi32_mask(alive[v], _mm512_and_si512(next, labelMask), code);
            const __mmask16 word = _mm512_mask_test_epi32_mask(taken, next, wordFlag);
            cell[v] = _mm512_maskz_mov_epi32(taken, next);
            alive[v] = taken;
            lowEnds[v] = _mm512_mask_or_epi64(lowEnds[v], static_cast<__mmask8>(word), lowEnds[v], bit);
            highEnds[v] = _mm512_mask_or_epi64(highEnds[v], static_cast<__mmask8>(word >> 8), highEnds[v], bit);
        }
        walks = 0;
#pragma GCC unroll 4
        for (std::size_t v = 0; v < vectors; ++v)
            walks += static_cast<std::size_t>(__builtin_popcount(alive[v]));
        // A single walk left, along a long word, goes on below one step at a time.
        if (walks <= 1)
            break;
    }
#pragma GCC unroll 4
    for (std::size_t v = 0; v < vectors; ++v) {
        _mm512_storeu_si512(wordEnds + v * lanes, lowEnds[v]);
        _mm512_storeu_si512(wordEnds + v * lanes + 8, highEnds[v]);
    }
    if (walks != 1)
        return;
    // Its steps are plain reads, which wait on memory for less time than gathers. Past the text the codes are
    // of no character: the walk ends there at the latest.
    std::size_t v = 0;
    while (alive[v] == 0)
        ++v;
    const std::size_t start = v * lanes + static_cast<std::size_t>(__builtin_ctz(alive[v]));
    alignas(64) AsciiWordTrie::Cell lastCells[lanes];
    _mm512_store_si512(lastCells, cell[v]);
    AsciiWordTrie::Cell last = lastCells[start - v * lanes];
    quint64 ends = wordEnds[start];
    for (std::size_t next = step + 1;; ++next) {
        last = AsciiWordTrie::step(cells, last, codes[start + next]);
        if (last == AsciiWordTrie::noCell)
            break;
        ends |= static_cast<quint64>(AsciiWordTrie::isWord(last)) << next;
    }
    wordEnds[start] = ends;
}

[[gnu::target("avx512f,avx512bw,avx512vl,avx512dq,bmi,bmi2")]] void
findWordEndsSideBySide(const AsciiWordTrie::Cell* cells, AsciiWordTrie::Cell root, const quint8* codes,
                       std::size_t size, quint64* wordEnds)
{
    switch ((size + 15) / 16) {
    case 1:
        return walkSideBySide<1>(cells, root, codes, size, wordEnds);
    case 2:
        return walkSideBySide<2>(cells, root, codes, size, wordEnds);
    case 3:
        return walkSideBySide<3>(cells, root, codes, size, wordEnds);
    default:
        return walkSideBySide<4>(cells, root, codes, size, wordEnds);
    }
}

} // namespace
#endif

// The pieces of a short ASCII text, with the numbers: per place from which pieces from the start go on, the
// ends of the words and of the numbers from there as masks (bit k: the piece of k + 1 characters). Returns
// the mask of those places. Without 64-byte vectors, the walk from one place runs to its end before the next
// place, whose own walk is needed only when an earlier piece ends there: with one read per step through the
// double-array trie, a whole walk costs less than the bookkeeping of plain walks taken side by side, as
// measured. With them, the walks from all places go side by side in the vectors' lanes.
quint64 Segmenter::findShortAsciiPieces(QStringView text)
{
    const char16_t* units = text.utf16();
    const auto size = static_cast<std::size_t>(text.size());
    const AsciiWordTrie& asciiTrie = m_index->asciiTrie;
    const AsciiWordTrie::Cell* const cells = asciiTrie.cells();
    const AsciiWordTrie::Cell root = asciiTrie.root();
    // Past the text, the codes of no character: every walk that gets there fails.
    std::array<quint8, 2 * maskBits + 16> codes{};
    for (std::size_t k = 0; k < size; ++k)
        codes[k] = asciiTrie.codeOf(units[k]);
    // The words from every place at once, where the walks go side by side; otherwise each place's walk is
    // taken when an earlier piece ends there.
    bool wordsFound = false;
#if QUORVANE_WIDE_VECTORS
    if (m_wideWalks) {
        findWordEndsSideBySide(cells, root, codes.data(), size, m_wordEndMasks.data());
        wordsFound = true;
    }
#endif
    quint64 fromStart = 1;
    for (std::size_t start = 0; start < size; ++start) {
        if (((fromStart >> start) & 1) == 0)
            continue;
        quint64 numberEnds = 0;
        if (NumericScanner::canStart(units[start])) {
            // Digit runs are at most 64 long here: no need to know in advance where they end.
            NumericScanner numbers(text, static_cast<qsizetype>(start));
            for (qsizetype end = numbers.next(); end >= 0; end = numbers.next())
                numberEnds |= quint64(1) << (static_cast<std::size_t>(end) - start - 1);
        }
        m_numberEndMasks[start] = numberEnds;
        if (!wordsFound) {
            quint64 ends = 0;
            AsciiWordTrie::Cell cell = root;
            for (std::size_t position = start; position < size; ++position) {
                cell = AsciiWordTrie::step(cells, cell, codes[position]);
                if (cell == AsciiWordTrie::noCell)
                    break;
                ends |= static_cast<quint64>(AsciiWordTrie::isWord(cell)) << (position - start);
            }
            m_wordEndMasks[start] = ends;
        }
        fromStart |= ((m_wordEndMasks[start] | numberEnds) << start) << 1;
    }
    return fromStart;
}

// Walks backwards, so that whether the rest can be split is known for every end of a piece.
void Segmenter::markReachable(QStringView text)
{
    refreshIndex();
    const auto size = static_cast<std::size_t>(text.size());
    m_path.resize(size + 1);
    const char16_t* units = text.utf16();
    const bool asciiText = ascii::isAscii(text);
    m_masked = asciiText && size <= maskBits && m_index->asciiTrieBuilt;
    if (m_masked) {
        // Every piece is at most 64 characters long: the ends from each place fit in one mask, and the
        // places from which the rest can be split, seen from one place, in another.
        const quint64 fromStart = findShortAsciiPieces(text);
        quint64 reachableAhead = 1; // bit k: the rest from place at + 1 + k can be split
        for (std::size_t at = size; at-- > 0;) {
            const quint64 ends =
                ((fromStart >> at) & 1) != 0 ? (m_wordEndMasks[at] | m_numberEndMasks[at]) & reachableAhead : 0;
            m_endMasks[at] = ends;
            reachableAhead = (reachableAhead << 1) | (ends != 0 ? 1 : 0);
        }
        return;
    }
    NumericScanner::findDigitRunEnds(text, m_digitRunEnds);
    if (asciiText)
        findAsciiWordEnds(text);
    m_reachable.assign(size + 1, 0);
    m_reachable[size] = 1;
    m_firstEnd.resize(size);
    m_endCount.resize(size);
    m_next.resize(size + 1);
    m_last.resize(size + 1);
    m_ends.clear();
    // At the longest length the piece that is the whole text is never reached (see forEachSplit).
    const std::size_t excludedEnd = text.size() == maxTextLength ? size : size + 1;
    std::size_t longWordsEnd = m_longWordEnds.size();
    for (std::size_t at = size; at-- > 0;) {
        const auto first = m_ends.size();
        m_firstEnd[at] = static_cast<qint32>(first);
        if (asciiText && !m_fromStart[at]) {
            m_endCount[at] = 0; // no piece from the start ends here: the search never comes here
            continue;
        }
        if (asciiText) {
            for (quint64 lengths = m_shortWordEnds[at]; lengths != 0; lengths &= lengths - 1) {
                const std::size_t end = at + 1 + static_cast<std::size_t>(__builtin_ctzll(lengths));
                if (m_reachable[end])
                    m_ends.push_back(static_cast<qint32>(end));
            }
            std::size_t longWords = longWordsEnd;
            while (longWords > 0 && m_longWordEnds[longWords - 1].first == static_cast<qint32>(at))
                --longWords;
            for (std::size_t k = longWords; k < longWordsEnd; ++k) {
                if (m_reachable[static_cast<std::size_t>(m_longWordEnds[k].second)])
                    m_ends.push_back(m_longWordEnds[k].second);
            }
            longWordsEnd = longWords;
        } else {
            WordEnds words(m_index->trie, text, static_cast<qsizetype>(at));
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
                m_mergedEnds.clear();
                std::set_union(m_ends.begin() + static_cast<std::ptrdiff_t>(first), m_ends.end(), m_numberEnds.begin(),
                               m_numberEnds.end(), std::back_inserter(m_mergedEnds));
                m_ends.resize(first);
                m_ends.insert(m_ends.end(), m_mergedEnds.begin(), m_mergedEnds.end());
            }
        }
        if (excludedEnd == size && at == 0 && m_ends.size() > first && m_ends.back() == static_cast<qint32>(size))
            m_ends.pop_back();
        m_endCount[at] = static_cast<qint32>(m_ends.size() - first);
        m_reachable[at] = m_endCount[at] > 0 ? 1 : 0;
    }
}

void Segmenter::findPieces(QStringView text, PieceLattice& lattice)
{
    const qsizetype size = text.size();
    if (size > maxTextLength)
        throwTooLong(size);
    lattice.m_size = size;
    lattice.m_ends.clear();
    lattice.m_first.assign(static_cast<std::size_t>(size + 1), 0);
    if (size == 0)
        return;
    markReachable(text);
    for (qsizetype at = 0; at < size; ++at) {
        const auto place = static_cast<std::size_t>(at);
        lattice.m_first[place] = static_cast<qint32>(lattice.m_ends.size());
        if (m_masked) {
            for (quint64 rest = m_endMasks[place]; rest != 0; rest &= rest - 1)
                lattice.m_ends.push_back(static_cast<qint32>(at + 1 + __builtin_ctzll(rest)));
        } else {
            const auto first = m_ends.begin() + m_firstEnd[place];
            lattice.m_ends.insert(lattice.m_ends.end(), first, first + m_endCount[place]);
        }
    }
    lattice.m_first[static_cast<std::size_t>(size)] = static_cast<qint32>(lattice.m_ends.size());
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

namespace {

// Rows and pieces are copied in whole blocks of this size, short as they are: fixed-size copies need no
// call and no branch on the length. Both sides must have the room past the bytes that count.
constexpr qsizetype rowBlock = 64;

// The depth-first walk over the end masks of a short ASCII text that writes its rows.
struct RowWalk
{
    const quint64* endMasks;
    qint32 size;
    const char* bytes; // the text's bytes and an LF, with a block's room past them
    char* row;         // the row's start, with room for the pieces and their blanks and a block past them
    qsizetype startBytes;
    qsizetype bound;
    RowOutput* output;
    qsizetype rows;
};

// Inlined into each of the walkers below, so that its block copies are made with their instructions.
[[gnu::always_inline]] inline bool walkRows(RowWalk& walk)
{
    const quint64* const endMasks = walk.endMasks;
    const qint32 size = walk.size;
    const char* const bytes = walk.bytes;
    char* const row = walk.row;
    char* const pieces = row + walk.startBytes;
    RowOutput& output = *walk.output;
    qsizetype rows = 0;
    const auto copyBlock = [](char* to, const char* from) { std::memcpy(to, from, rowBlock); };
    // A row is what has been built up to its last piece's place, then the rest of the text and the LF.
    const auto writeRow = [&](qint32 at, qsizetype built) {
        const qsizetype length = built + (size - at) + 1;
        char* out = output.reserve(length + rowBlock);
        copyBlock(out, row);
        for (qsizetype done = rowBlock; done < built; done += rowBlock)
            copyBlock(out + done, row + done);
        copyBlock(out + built, bytes + at);
        output.commit(out + length);
        ++rows;
    };
    // Per depth: the place its piece starts at, and the ends from there not yet taken.
    std::array<quint64, Segmenter::maxShortAscii + 1> rest;
    std::array<qint32, Segmenter::maxShortAscii + 1> from;
    qint32 depth = 0;
    rest[0] = endMasks[0];
    from[0] = 0;
    bool cut = false;
    for (;;) {
        const quint64 ends = rest[static_cast<std::size_t>(depth)];
        if (ends == 0) {
            if (depth == 0)
                break;
            --depth;
            continue;
        }
        const qint32 at = from[static_cast<std::size_t>(depth)];
        const qint32 end = at + 1 + __builtin_ctzll(ends);
        rest[static_cast<std::size_t>(depth)] = ends & (ends - 1);
        if (end == size) {
            if (rows == walk.bound) {
                cut = true;
                break;
            }
            writeRow(at, walk.startBytes + at + depth);
            continue;
        }
        copyBlock(pieces + at + depth, bytes + at);
        pieces[end + depth] = ' ';
        const quint64 next = endMasks[static_cast<std::size_t>(end)];
        if (next == quint64(1) << (size - end - 1)) {
            // The rest of the text is the one piece from there: its row, without going a level deeper.
            if (rows == walk.bound) {
                cut = true;
                break;
            }
            writeRow(end, walk.startBytes + end + depth + 1);
            continue;
        }
        ++depth;
        from[static_cast<std::size_t>(depth)] = end;
        rest[static_cast<std::size_t>(depth)] = next;
    }
    walk.rows = rows;
    return cut;
}

bool walkRowsPortably(RowWalk& walk)
{
    return walkRows(walk);
}

#if QUORVANE_WIDE_VECTORS
// With 64-byte registers a block is one load and one store.
[[gnu::target("avx512f,avx512bw,avx512vl,bmi,bmi2")]] bool walkRowsWide(RowWalk& walk)
{
    return walkRows(walk);
}

// The same walk for rows without a start, each made in registers: the row is the text's bytes and its LF
// spread out by the byte expansion instruction, with a blank in each gap, the gaps at the places kept per
// depth as a 128-bit mask (a row of a 64-character text has at most 128 bytes). No row is built in memory
// and read back: reading a row just built from several stores would wait for them to reach the cache.
//
// Rows of texts of at most 32 characters are at most 64 bytes long: `longRows` false leaves out the second half.
template <bool longRows>
[[gnu::target("avx512f,avx512bw,avx512vbmi2,bmi,bmi2,popcnt")]] [[gnu::always_inline]] inline bool
walkRowsByExpansion(RowWalk& walk)
{
    const quint64* const endMasks = walk.endMasks;
    const qint32 size = walk.size;
    const char* const bytes = walk.bytes;
    RowOutput& output = *walk.output;
    const qsizetype bound = walk.bound;
    qsizetype rows = 0;
    const __m512i text = _mm512_loadu_si512(bytes);
    const __m512i blanks = _mm512_set1_epi8(' ');
    char* out = output.reserve(0);
    char* limit = out + output.room();
    // Per depth: the place its piece starts at, the ends from there not yet taken, and the places of the
    // blanks before it in the row (0-63 and 64-127).
    std::array<quint64, Segmenter::maxShortAscii + 1> rest;
    std::array<qint32, Segmenter::maxShortAscii + 1> from;
    std::array<quint64, Segmenter::maxShortAscii + 1> lowBlanks;
    std::array<quint64, Segmenter::maxShortAscii + 1> highBlanks;
    qint32 depth = 0;
    rest[0] = endMasks[0];
    from[0] = 0;
    lowBlanks[0] = highBlanks[0] = 0;
    bool cut = false;
    for (;;) {
        const auto level = static_cast<std::size_t>(depth);
        const quint64 ends = rest[level];
        if (ends == 0) {
            if (depth == 0)
                break;
            --depth;
            continue;
        }
        const qint32 end = from[level] + 1 + __builtin_ctzll(ends);
        rest[level] = ends & (ends - 1);
        // The row's blanks and length with the LF, when the piece ends one.
        quint64 low = lowBlanks[level];
        quint64 high = longRows ? highBlanks[level] : 0;
        qsizetype length = size + depth + 1;
        if (end < size) {
            // The blank before the next piece: after the text up to `end` and the `depth` blanks before.
            const auto place = static_cast<quint32>(end + depth);
            if constexpr (longRows) {
                low |= place < 64 ? quint64(1) << place : 0;
                high |= place >= 64 ? quint64(1) << (place - 64) : 0;
            } else {
                low |= quint64(1) << place;
            }
            const quint64 next = endMasks[static_cast<std::size_t>(end)];
            if (next != quint64(1) << (size - end - 1)) {
                ++depth;
                from[level + 1] = end;
                rest[level + 1] = next;
                lowBlanks[level + 1] = low;
                if constexpr (longRows)
                    highBlanks[level + 1] = high;
                continue;
            }
            // The rest of the text is the one piece from there: its row, without going a level deeper.
            ++length;
        }
        if (rows == bound) {
            cut = true;
            break;
        }
        if (limit - out < 2 * rowBlock) {
            output.commit(out);
            out = output.reserve(2 * rowBlock);
            limit = out + output.room();
        }
        _mm512_storeu_si512(out, _mm512_mask_expand_epi8(blanks, _cvtu64_mask64(~low), text));
        if (longRows && length > rowBlock) {
            // The rest of the row: the text from the first byte that the first 64 did not take.
            const __m512i more = _mm512_loadu_si512(bytes + (rowBlock - __builtin_popcountll(low)));
            _mm512_storeu_si512(out + rowBlock, _mm512_mask_expand_epi8(blanks, _cvtu64_mask64(~high), more));
        }
        out += length;
        ++rows;
    }
    output.commit(out);
    walk.rows = rows;
    return cut;
}

[[gnu::target("avx512f,avx512bw,avx512vbmi2,bmi,bmi2,popcnt")]] bool walkRowsByExpansion(RowWalk& walk)
{
    return walk.size <= rowBlock / 2 ? walkRowsByExpansion<false>(walk) : walkRowsByExpansion<true>(walk);
}

#endif

} // namespace

bool Segmenter::supports(RowWriter writer)
{
    switch (writer) {
    case RowWriter::Portable:
        return true;
    case RowWriter::WideCopies:
        return processor::hasWideVectors();
    case RowWriter::Expansion:
        return processor::hasWideByteCompress();
    }
    return false;
}

Segmenter::RowWriter Segmenter::bestRowWriter()
{
    for (const RowWriter writer : {RowWriter::Expansion, RowWriter::WideCopies}) {
        if (supports(writer))
            return writer;
    }
    return RowWriter::Portable;
}

void Segmenter::useRowWriter(RowWriter writer)
{
    m_rowWriter = supports(writer) ? writer : bestRowWriter();
}

void Segmenter::allowWideWalks(bool allow)
{
    m_wideWalks = allow && processor::hasWideVectors();
}

bool Segmenter::writeShortAsciiRows(QStringView text, QByteArrayView start, qsizetype maxCandidates, RowOutput& output,
                                    qsizetype& rows)
{
    const auto size = static_cast<qint32>(text.size());
    const qsizetype startBytes = start.size();
    rows = 0;
    // The text's bytes and an LF, with room for a block read from any place of it.
    std::array<char, maskBits + 1 + rowBlock> bytes{};
    for (qint32 k = 0; k < size; ++k)
        bytes[static_cast<std::size_t>(k)] = static_cast<char>(text[k].unicode());
    bytes[static_cast<std::size_t>(size)] = '\n';
    // The row being built: `start`, then piece k, from place `from` of the text on, at from + k, each but the
    // last followed by its blank.
    m_rowBytes.resize(static_cast<std::size_t>(startBytes + 2 * maskBits + 2 * rowBlock));
    char* const row = m_rowBytes.data();
    if (startBytes > 0) // an empty start may have no bytes at all
        std::memcpy(row, start.data(), static_cast<std::size_t>(startBytes));
    if (size == 0) { // one candidate, the empty one
        char* out = output.reserve(startBytes + 1);
        if (startBytes > 0)
            std::memcpy(out, row, static_cast<std::size_t>(startBytes));
        out[startBytes] = '\n';
        output.commit(out + startBytes + 1);
        rows = 1;
        return false;
    }
    markReachable(text);
    Q_ASSERT(m_masked);
    RowWalk walk{m_endMasks.data(), size,
                 bytes.data(),      row,
                 startBytes,        maxCandidates > 0 ? maxCandidates : std::numeric_limits<qsizetype>::max(),
                 &output,           0};
    bool cut = false;
#if QUORVANE_WIDE_VECTORS
    if (m_rowWriter == RowWriter::Expansion && startBytes == 0)
        cut = walkRowsByExpansion(walk);
    else if (m_rowWriter != RowWriter::Portable)
        cut = walkRowsWide(walk);
    else
#endif
        cut = walkRowsPortably(walk);
    rows = walk.rows;
    return cut;
}

} // namespace quorvane
