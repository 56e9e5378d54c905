#include "ShortAsciiRows.h"

#include "NumericPieces.h"
#include "WordScores.h"
#include "WordTrie.h"
#include "text/Ascii.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace quorvane {

namespace {

// Rows and pieces are copied in whole blocks of this size, short as they are: fixed-size copies need no call
// and no branch on the length. Both sides must have a block's room past the bytes that count.
constexpr qsizetype rowBlock = 64;

void copyBlocks(char* to, const char* from, qsizetype bytes)
{
    for (qsizetype done = 0; done < bytes; done += rowBlock)
        std::memcpy(to + done, from + done, rowBlock);
}

} // namespace

ShortAsciiRows::ShortAsciiRows(const WordDictionary& dictionary) : m_dictionary(dictionary) {}

void ShortAsciiRows::refreshIndex()
{
    if (m_index && m_index->generation == m_dictionary.generation())
        return;
    auto index = std::make_shared<Index>();
    WordTrie words;
    words.build(m_dictionary.words());
    index->built = index->trie.build(words);
    index->generation = m_dictionary.generation();
    m_index = std::move(index);
}

bool ShortAsciiRows::takes(QStringView text)
{
    refreshIndex();
    return m_index->built && text.size() <= maxLength && ascii::isAscii(text);
}

void ShortAsciiRows::prepareScores(const WordScores& scores)
{
    refreshIndex();
    refreshScores(scores);
}

void ShortAsciiRows::refreshScores(const WordScores& scores)
{
    if (m_cellScores && m_cellScores->generation == m_index->generation)
        return;
    auto cellScores = std::make_shared<CellScores>();
    const AsciiWordTrie& trie = m_index->trie;
    cellScores->scores.assign(trie.cellCount(), 0);
    cellScores->scores[CellScores::numberPlace] = WordScores::numberScore();
    cellScores->generation = m_index->generation;
    // Each word's node is where its walk ends; words that differ only in letter case end at the same node
    // and score the same.
    for (const QString& word : m_dictionary.words()) {
        if (word.isEmpty() || !ascii::isAscii(word))
            continue;
        AsciiWordTrie::Cell cell = trie.root();
        std::size_t place = 0;
        for (const QChar unit : word) {
            const quint8 code = trie.codeOf(unit.unicode());
            place = AsciiWordTrie::childPlace(cell, code);
            cell = trie.step(cell, code);
        }
        if (AsciiWordTrie::isWord(cell))
            cellScores->scores[place] = scores.pieceScore(word);
    }
    m_cellScores = std::move(cellScores);
}

// Forwards, the words and numbers from each place that pieces from the start reach (the walk from one place
// runs to its end before the next: one read per step through the double-array trie); then backwards, those
// after which the rest can be split.
template <bool withScores> void ShortAsciiRows::findEndMasks(QStringView text)
{
    const char16_t* units = text.utf16();
    const auto size = static_cast<std::size_t>(text.size());
    const AsciiWordTrie& trie = m_index->trie;
    const AsciiWordTrie::Cell* const cells = trie.cells();
    std::array<quint8, maxLength> codes{};
    for (std::size_t k = 0; k < size; ++k)
        codes[k] = trie.codeOf(units[k]);
    quint64 fromStart = 1; // bit k: pieces from the start reach place k
    for (std::size_t start = 0; start < size; ++start) {
        if (((fromStart >> start) & 1) == 0)
            continue;
        quint64 ends = 0;
        AsciiWordTrie::Cell cell = trie.root();
        for (std::size_t position = start; position < size; ++position) {
            const std::size_t place = AsciiWordTrie::childPlace(cell, codes[position]);
            cell = AsciiWordTrie::step(cells, cell, codes[position]);
            if (cell == AsciiWordTrie::noCell)
                break;
            ends |= static_cast<quint64>(AsciiWordTrie::isWord(cell)) << (position - start);
            if constexpr (withScores)
                m_piecePlaces[start][position - start] = static_cast<quint32>(place); // read only for words
        }
        if (NumericScanner::canStart(units[start])) {
            NumericScanner numbers(text, static_cast<qsizetype>(start));
            for (qsizetype end = numbers.next(); end >= 0; end = numbers.next()) {
                const std::size_t length = static_cast<std::size_t>(end) - start;
                if constexpr (withScores) {
                    if (((ends >> (length - 1)) & 1) == 0) // a number that is also a word scores as the word
                        m_piecePlaces[start][length - 1] = CellScores::numberPlace;
                }
                ends |= quint64(1) << (length - 1);
            }
        }
        m_pieceMasks[start] = ends;
        fromStart |= (ends << start) << 1;
    }
    quint64 splitsAhead = 1; // bit k: the rest from place at + 1 + k can be split
    for (std::size_t at = size; at-- > 0;) {
        const quint64 ends = ((fromStart >> at) & 1) != 0 ? m_pieceMasks[at] & splitsAhead : 0;
        m_endMasks[at] = ends;
        splitsAhead = (splitsAhead << 1) | (ends != 0 ? 1 : 0);
        // The scores of the pieces that splits take only: each is a read far into memory.
        if constexpr (withScores) {
            for (quint64 rest = ends; rest != 0; rest &= rest - 1) {
                const auto bit = static_cast<std::size_t>(__builtin_ctzll(rest));
                m_pieceScores[at][bit] = m_cellScores->scores[m_piecePlaces[at][bit]];
            }
        }
    }
}

// Per depth: the place its piece starts at, the ends from there not yet taken, and the score up to there. A
// row is what has been built up to its last piece's place, then the rest of the text and the LF.
template <bool withScores, typename Take>
bool ShortAsciiRows::walkSplits(qint32 size, const char* bytes, qsizetype startBytes, Take&& take)
{
    char* const pieces = m_rowBytes.data() + startBytes;
    std::array<quint64, maxLength + 1> rest;
    std::array<qint32, maxLength + 1> from;
    std::array<qint64, maxLength + 1> scoreSoFar;
    const auto scoreOf = [&](qint32 at, qint32 end) -> qint64 {
        return m_pieceScores[static_cast<std::size_t>(at)][static_cast<std::size_t>(end - at - 1)];
    };
    qint32 depth = 0;
    rest[0] = m_endMasks[0];
    from[0] = 0;
    scoreSoFar[0] = 0;
    for (;;) {
        const auto level = static_cast<std::size_t>(depth);
        const quint64 ends = rest[level];
        if (ends == 0) {
            if (depth == 0)
                return false;
            --depth;
            continue;
        }
        const qint32 at = from[level];
        const qint32 end = at + 1 + __builtin_ctzll(ends);
        rest[level] = ends & (ends - 1);
        qint64 score = 0;
        if constexpr (withScores)
            score = scoreSoFar[level] + scoreOf(at, end);
        if (end == size) {
            if (!take(at, startBytes + at + depth, score))
                return true;
            continue;
        }
        copyBlocks(pieces + at + depth, bytes + at, end - at);
        pieces[end + depth] = ' ';
        const quint64 next = m_endMasks[static_cast<std::size_t>(end)];
        if (next == quint64(1) << (size - end - 1)) {
            // The rest of the text is the one piece from there: its row, without going a level deeper.
            if constexpr (withScores)
                score += scoreOf(end, size);
            if (!take(end, startBytes + end + depth + 1, score))
                return true;
            continue;
        }
        ++depth;
        from[level + 1] = end;
        rest[level + 1] = next;
        if constexpr (withScores)
            scoreSoFar[level + 1] = score;
    }
}

bool ShortAsciiRows::writeRows(QStringView text, QByteArrayView start, qsizetype maxCandidates, RowOutput& output,
                               qsizetype& rows)
{
    Q_ASSERT(takes(text));
    const auto size = static_cast<qint32>(text.size());
    const qsizetype startBytes = start.size();
    const qsizetype bound = maxCandidates > 0 ? maxCandidates : std::numeric_limits<qsizetype>::max();
    rows = 0;
    std::array<char, textRoom> bytes;
    takeBytes(text, bytes);
    startRow(start);
    const char* const row = m_rowBytes.data();
    const auto writeRow = [&](qint32 at, qsizetype built) {
        const qsizetype length = built + (size - at) + 1;
        char* out = output.reserve(length + rowBlock);
        copyBlocks(out, row, built);
        copyBlocks(out + built, bytes.data() + at, size - at + 1);
        output.commit(out + length);
        ++rows;
    };
    if (size == 0) { // one candidate, the empty one
        writeRow(0, startBytes);
        return false;
    }
    findEndMasks<false>(text);
    return walkSplits<false>(size, bytes.data(), startBytes, [&](qint32 at, qsizetype built, qint64) {
        if (rows == bound)
            return false;
        writeRow(at, built);
        return true;
    });
}

void ShortAsciiRows::takeBytes(QStringView text, std::array<char, textRoom>& bytes)
{
    const qsizetype size = text.size();
    for (qsizetype k = 0; k < size; ++k)
        bytes[static_cast<std::size_t>(k)] = static_cast<char>(text[k].unicode());
    bytes[static_cast<std::size_t>(size)] = '\n';
    std::memset(bytes.data() + size + 1, 0, rowBlock); // copied past the end, never written out
}

void ShortAsciiRows::startRow(QByteArrayView start)
{
    m_rowBytes.resize(static_cast<std::size_t>(start.size() + 2 * maxLength + 2 * rowBlock));
    if (!start.isEmpty()) // an empty start may have no bytes at all
        std::memcpy(m_rowBytes.data(), start.data(), static_cast<std::size_t>(start.size()));
}

std::optional<bool> ShortAsciiRows::writeRankedRows(QStringView text, QByteArrayView start, const WordScores& scores,
                                                    qsizetype wanted, bool wantedIsBound, RowOutput& output,
                                                    qsizetype& rows)
{
    Q_ASSERT(takes(text));
    // Listing costs about the splits listed: worth it while they are few, or all asked for and not too many.
    constexpr qint64 fewSplits = 4096;
    constexpr qint64 mostListed = 1 << 16;
    // A split's score is at most 64 pieces' scores, each far within 2^20 units, so keys of score and order
    // stay far within 64 bits; the order is the key's low bits.
    constexpr qint64 orderLimit = mostListed;
    static_assert((orderLimit & (orderLimit - 1)) == 0);
    const auto size = static_cast<qint32>(text.size());
    if (size == 0) // one split, the empty one, in either order
        return writeRows(text, start, 0, output, rows);
    rows = 0;
    refreshScores(scores);
    findEndMasks<true>(text);
    // Backwards: per place, how many splits the rest has (counted up to a little past what may be listed),
    // the best score of one, and the end of the first piece of that best one.
    const qint64 countLimit = mostListed + 1;
    std::array<qint64, maxLength + 1>& count = m_splitCounts;
    std::array<qint64, maxLength + 1>& best = m_bestScores;
    std::array<qint32, maxLength + 1>& bestEnd = m_bestEnds;
    count[static_cast<std::size_t>(size)] = 1;
    best[static_cast<std::size_t>(size)] = 0;
    for (qint32 at = size; at-- > 0;) {
        const auto place = static_cast<std::size_t>(at);
        qint64 splits = 0;
        qint64 top = 0;
        qint32 topEnd = -1;
        // Ascending ends: on equal scores the shorter piece, which comes first in search order, stays.
        for (quint64 ends = m_endMasks[place]; ends != 0; ends &= ends - 1) {
            const int bit = __builtin_ctzll(ends);
            const auto end = static_cast<std::size_t>(at + 1 + bit);
            splits = std::min(splits + count[end], countLimit);
            const qint64 score = m_pieceScores[place][static_cast<std::size_t>(bit)] + best[end];
            if (topEnd < 0 || score > top) {
                top = score;
                topEnd = static_cast<qint32>(end);
            }
        }
        count[place] = splits;
        best[place] = top;
        bestEnd[place] = topEnd;
    }
    const qint64 total = count[0];
    if (total == 0)
        return false;

    if (wanted == 1) {
        // The best split's row: its pieces with a blank between them.
        char* out = output.reserve(start.size() + 2 * size);
        if (!start.isEmpty())
            std::memcpy(out, start.data(), static_cast<std::size_t>(start.size()));
        char* at = out + start.size();
        for (qint32 place = 0; place < size;) {
            const qint32 end = bestEnd[static_cast<std::size_t>(place)];
            for (qint32 k = place; k < end; ++k)
                *at++ = static_cast<char>(text[k].unicode());
            *at++ = end < size ? ' ' : '\n';
            place = end;
        }
        output.commit(at);
        rows = 1;
        return wantedIsBound && total > 1;
    }
    const bool allWanted = wanted <= 0 || total <= wanted;
    if (total > (allWanted ? mostListed : fewSplits))
        return std::nullopt;

    // Every split's row in search order, without the start, into m_listedRows (m_listedStarts[k] is where
    // row k begins), and its key: the score negated, then the place in search order.
    std::array<char, textRoom> bytes;
    takeBytes(text, bytes);
    startRow(QByteArrayView());
    const char* const row = m_rowBytes.data();
    const auto room = static_cast<std::size_t>(total * 2 * size + rowBlock); // a row takes at most 2 * size
    if (m_listedRows.size() < room)
        m_listedRows.resize(room);
    m_listedStarts.clear();
    m_listedKeys.clear();
    qsizetype used = 0;
    walkSplits<true>(size, bytes.data(), 0, [&](qint32 at, qsizetype built, qint64 score) {
        char* const to = m_listedRows.data() + used;
        copyBlocks(to, row, built);
        copyBlocks(to + built, bytes.data() + at, size - at + 1);
        m_listedKeys.push_back(-score * orderLimit + static_cast<qint64>(m_listedStarts.size()));
        m_listedStarts.push_back(static_cast<qint32>(used));
        used += built + (size - at) + 1;
        return true;
    });
    m_listedStarts.push_back(static_cast<qint32>(used));

    const auto taken = static_cast<std::ptrdiff_t>(allWanted ? total : wanted);
    if (allWanted && m_listedKeys.size() <= 32) {
        // Most texts have a few splits: insertion sort, without the set-up of a general one.
        for (std::size_t next = 1; next < m_listedKeys.size(); ++next) {
            const qint64 key = m_listedKeys[next];
            std::size_t to = next;
            for (; to > 0 && m_listedKeys[to - 1] > key; --to)
                m_listedKeys[to] = m_listedKeys[to - 1];
            m_listedKeys[to] = key;
        }
    } else if (allWanted)
        std::sort(m_listedKeys.begin(), m_listedKeys.end());
    else
        std::partial_sort(m_listedKeys.begin(), m_listedKeys.begin() + taken, m_listedKeys.end());
    const qsizetype startBytes = start.size();
    for (std::ptrdiff_t k = 0; k < taken; ++k) {
        const auto order = static_cast<std::size_t>(m_listedKeys[static_cast<std::size_t>(k)] & (orderLimit - 1));
        const qsizetype length = m_listedStarts[order + 1] - m_listedStarts[order];
        char* out = output.reserve(startBytes + length + rowBlock);
        if (startBytes > 0)
            std::memcpy(out, start.data(), static_cast<std::size_t>(startBytes));
        copyBlocks(out + startBytes, m_listedRows.data() + m_listedStarts[order], length);
        output.commit(out + startBytes + length);
    }
    rows = taken;
    return wantedIsBound && !allWanted;
}

} // namespace quorvane
