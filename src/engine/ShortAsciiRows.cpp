#include "ShortAsciiRows.h"

#include "ExtraPieces.h"
#include "KeyRadixSort.h"
#include "NumericPieces.h"
#include "WordScores.h"
#include "WordTrie.h"
#include "text/Ascii.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>

namespace quorvane {

namespace {

// Listing costs about the splits listed: worth it while they are few, or all asked for and not too many.
constexpr qint64 fewSplits = 4096;
constexpr qint64 mostListed = 1 << 16;
// Up to this many splits, a text is listed without counting its splits first. Most texts have far fewer, and
// counting guesses wrong at the end of each place's pieces; a text with more is listed again once counted.
constexpr qint64 firstListed = 1024;
static_assert(firstListed <= fewSplits);
// A listed split's sorting key: its score negated, then its place in search order in the low bits. A split's
// score is at most 64 pieces' scores, each far within 2^20 units, so keys stay far within 64 bits.
constexpr int orderBits = 16;
constexpr qint64 orderLimit = qint64(1) << orderBits;
static_assert(orderLimit >= mostListed);

// Rows and pieces are copied in whole blocks of this size, short as they are: fixed-size copies need no call
// and no branch on the length. Both sides must have a block's room past the bytes that count.
constexpr qsizetype rowBlock = 64;

void copyBlocks(char* to, const char* from, qsizetype bytes)
{
    for (qsizetype done = 0; done < bytes; done += rowBlock)
        std::memcpy(to + done, from + done, rowBlock);
}

// Pieces of a row are copied in blocks of this size; most pieces fit in one.
constexpr qsizetype pieceBlock = 16;

// The row of a split of the text `bytes` (with a block's room past it) whose pieces end where `ends` has
// its bits (bit k: a piece ends after character k): `start`, the pieces with a blank between them, and LF.
inline void writeSplitRow(quint64 ends, const char* bytes, qint32 size, QByteArrayView start, RowOutput& output)
{
    const qsizetype startBytes = start.size();
    char* const out = output.reserve(startBytes + 2 * size + pieceBlock);
    if (startBytes > 0)
        std::memcpy(out, start.data(), static_cast<std::size_t>(startBytes));
    char* to = out + startBytes;
    qint32 from = 0;
    for (; ends != 0; ends &= ends - 1) {
        const qint32 end = __builtin_ctzll(ends) + 1;
        std::memcpy(to, bytes + from, pieceBlock);
        for (qsizetype done = pieceBlock; done < end - from; done += pieceBlock)
            [[unlikely]] std::memcpy(to + done, bytes + from + done, pieceBlock);
        to += end - from;
        *to++ = ' ';
        from = end;
    }
    to[-1] = '\n';
    output.commit(to);
}

// Rows built in search order, in which each row shares its pieces but the last with the row before: the
// pieces before the last are kept in `row` where they stand in the row, each with a blank after it, so that a
// row is those bytes, then the rest of the text and the LF. `row` holds the rows' first `startBytes` bytes
// and room for the longest row after them, with a block's room past it.
struct RowsInSearchOrder
{
    const char* bytes; // the text and its LF, with a block's room past them
    qint32 size;
    char* row;
    qsizetype startBytes;

    // The piece from `at` to `end` at depth `level`, which is not its split's last.
    void piece(std::size_t level, qint32 at, qint32 end)
    {
        char* const to = row + startBytes + at + static_cast<qsizetype>(level);
        copyBlocks(to, bytes + at, end - at);
        to[end - at] = ' ';
    }
    // The length of the row whose last piece is at depth `level`: the text, a blank after each piece but the
    // last, and the LF.
    qsizetype length(std::size_t level) const { return startBytes + size + static_cast<qsizetype>(level) + 1; }
    // Writes the row whose last piece, from `at`, is at depth `level` at `out`, which has a block's room past
    // it.
    void write(char* out, std::size_t level, qint32 at) const
    {
        const qsizetype built = startBytes + at + static_cast<qsizetype>(level);
        copyBlocks(out, row, built);
        copyBlocks(out + built, bytes + at, size - at + 1);
    }
};

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
    if (m_nodeScores && m_nodeScores->generation == m_index->generation)
        return;
    auto scored = std::make_shared<NodeScores>();
    const AsciiWordTrie& trie = m_index->trie;
    scored->scores.assign(trie.cellCount() + 1, 0);
    scored->scores.back() = WordScores::numberScore();
    scored->guessScores = scored->scores;
    scored->generation = m_index->generation;
    // Each word's node is where its walk ends.
    const std::vector<QString>& words = m_dictionary.wordsInOrder();
    for (std::size_t wordPlace = 0; wordPlace < words.size(); ++wordPlace) {
        const QString& word = words[wordPlace];
        if (word.isEmpty() || !ascii::isAscii(word))
            continue;
        AsciiWordTrie::Cell cell = trie.root();
        std::size_t place = 0;
        for (const QChar unit : word) {
            const quint8 code = trie.codeOf(unit.unicode());
            place = AsciiWordTrie::childPlace(cell, code);
            cell = trie.step(cell, code);
        }
        if (AsciiWordTrie::isWord(cell)) {
            const qint32 score = scores.wordScore(static_cast<qsizetype>(wordPlace));
            Q_ASSERT(score >= std::numeric_limits<qint16>::min() && score <= std::numeric_limits<qint16>::max());
            scored->scores[place] = static_cast<qint16>(score);
            const qint32 guess = scores.guessWordScore(static_cast<qsizetype>(wordPlace));
            Q_ASSERT(guess >= std::numeric_limits<qint16>::min() && guess <= std::numeric_limits<qint16>::max());
            scored->guessScores[place] = static_cast<qint16>(guess);
        }
    }
    m_nodeScores = std::move(scored);
}

// Forwards, the words and numbers from each place that pieces from the start reach (the walk from one place
// runs to its end before the next: one read per step through the double-array trie); then backwards, those
// after which the rest can be split.
template <bool withScores, bool everyPlace> void ShortAsciiRows::findEndMasks(QStringView text)
{
    const char16_t* units = text.utf16();
    const auto size = static_cast<std::size_t>(text.size());
    const AsciiWordTrie& trie = m_index->trie;
    const AsciiWordTrie::Cell* const cells = trie.cells();
    const auto numberPlace = static_cast<quint32>(trie.cellCount()); // where NodeScores keeps a number's score
    const qint16* const nodeScores = withScores ? m_nodeScores->scores.data() : nullptr;
    std::array<quint8, maxLength> codes{};
    for (std::size_t k = 0; k < size; ++k)
        codes[k] = trie.codeOf(units[k]);
    quint64 fromStart = 1; // bit k: pieces from the start reach place k
    for (std::size_t start = 0; start < size; ++start) {
        if (!everyPlace && ((fromStart >> start) & 1) == 0)
            continue;
        quint64 ends = 0;
        AsciiWordTrie::Cell cell = trie.root();
        for (std::size_t position = start; position < size; ++position) {
            const std::size_t place = AsciiWordTrie::childPlace(cell, codes[position]);
            cell = AsciiWordTrie::childFrom(cells[place], codes[position]);
            if constexpr (withScores) // kept for every step, read only for the pieces that splits use
                m_pieceNodes[start][position - start] = static_cast<quint32>(place);
            if (cell == AsciiWordTrie::noCell)
                break;
            if constexpr (withScores) // the score is read later, if the piece is used: fetched meanwhile
                __builtin_prefetch(nodeScores + place);
            ends |= static_cast<quint64>(AsciiWordTrie::isWord(cell)) << (position - start);
        }
        if (NumericScanner::canStart(units[start])) {
            NumericScanner numbers(text, static_cast<qsizetype>(start));
            for (qsizetype end = numbers.next(); end >= 0; end = numbers.next()) {
                const std::size_t length = static_cast<std::size_t>(end) - start;
                if constexpr (withScores) {
                    if (((ends >> (length - 1)) & 1) == 0) // a number that is also a word scores as the word
                        m_pieceNodes[start][length - 1] = numberPlace;
                }
                ends |= quint64(1) << (length - 1);
            }
        }
        m_pieceMasks[start] = ends;
        fromStart |= (ends << start) << 1;
    }
    if constexpr (everyPlace)
        return;
    quint64 splitsAhead = 1; // bit k: the rest from place at + 1 + k can be split
    for (std::size_t at = size; at-- > 0;) {
        const quint64 ends = ((fromStart >> at) & 1) != 0 ? m_pieceMasks[at] & splitsAhead : 0;
        m_endMasks[at] = ends;
        splitsAhead = (splitsAhead << 1) | (ends != 0 ? 1 : 0);
    }
}

// The depth-first search over m_endMasks in search order. Per depth it keeps the place its piece starts at and
// the ends from there not yet taken; what a split is made of is `path`'s to keep: path.piece(level, at, end)
// takes the piece from `at` to `end` at that depth, which is not the split's last, and path.last(level, at)
// the last piece, from `at` to the text's end, and returns whether the walk goes on.
template <typename Path> bool ShortAsciiRows::walkSplits(qint32 size, Path& path)
{
    std::array<quint64, maxLength + 1> rest;
    std::array<qint32, maxLength + 1> from;
    qint32 depth = 0;
    rest[0] = m_endMasks[0];
    from[0] = 0;
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
        if (end == size) {
            if (!path.last(level, at))
                return true;
            continue;
        }
        path.piece(level, at, end);
        const quint64 next = m_endMasks[static_cast<std::size_t>(end)];
        if (next == quint64(1) << (size - end - 1)) {
            // The rest of the text is the one piece from there: its split, without going a level deeper.
            if (!path.last(level + 1, end))
                return true;
            continue;
        }
        ++depth;
        from[level + 1] = end;
        rest[level + 1] = next;
    }
}

bool ShortAsciiRows::writeRows(QStringView text, QByteArrayView start, qsizetype maxCandidates, RowOutput& output,
                               qsizetype& rows)
{
    Q_ASSERT(takes(text));
    const auto size = static_cast<qint32>(text.size());
    rows = 0;
    std::array<char, textRoom> bytes;
    takeBytes(text, bytes);
    startRow(start);
    struct Rows
    {
        RowsInSearchOrder built;
        qsizetype bound;
        RowOutput& output;
        qsizetype& rows;

        void piece(std::size_t level, qint32 at, qint32 end) { built.piece(level, at, end); }
        bool last(std::size_t level, qint32 at)
        {
            if (rows == bound)
                return false;
            const qsizetype length = built.length(level);
            char* const out = output.reserve(length + rowBlock);
            built.write(out, level, at);
            output.commit(out + length);
            ++rows;
            return true;
        }
    };
    Rows path{{bytes.data(), size, m_rowBytes.data(), start.size()},
              maxCandidates > 0 ? maxCandidates : std::numeric_limits<qsizetype>::max(),
              output,
              rows};
    if (size == 0) { // one candidate, the empty one
        path.last(0, 0);
        return false;
    }
    findEndMasks<false>(text);
    return walkSplits(size, path);
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

template <bool withBest> qint64 ShortAsciiRows::countBackwards(qint32 size)
{
    const qint64 countLimit = mostListed + 1;
    std::array<qint64, maxLength + 1>& count = m_splitCounts;
    std::array<qint64, maxLength + 1>& best = m_bestScores;
    std::array<qint32, maxLength + 1>& bestEnd = m_bestEnds;
    const qint16* const nodeScores = withBest ? m_nodeScores->scores.data() : nullptr;
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
            splits += count[end]; // at most 64 counts, each at most countLimit
            if constexpr (withBest) {
                const qint64 score = nodeScores[m_pieceNodes[place][static_cast<std::size_t>(bit)]] + best[end];
                if (topEnd < 0 || score > top) {
                    top = score;
                    topEnd = static_cast<qint32>(end);
                }
            }
        }
        count[place] = std::min(splits, countLimit);
        if constexpr (withBest) {
            best[place] = top;
            bestEnd[place] = topEnd;
        }
    }
    return count[0];
}

quint64 ShortAsciiRows::bestSplitEnds(qint32 size) const
{
    quint64 ends = 0;
    for (qint32 place = 0; place < size; place = m_bestEnds[static_cast<std::size_t>(place)])
        ends |= quint64(1) << (m_bestEnds[static_cast<std::size_t>(place)] - 1);
    return ends;
}

qint64 ShortAsciiRows::listSplits(const char* bytes, qint32 size, qint64 limit)
{
    struct Listed
    {
        RowsInSearchOrder built; // without the rows' start, which is written as they are copied out
        const std::array<std::array<quint32, maxLength>, maxLength>& pieceNodes;
        const qint16* nodeScores;
        qint64* keys;
        qint64* rowStarts;
        char* rows;
        qint64* scoreSoFar; // per depth, of the pieces before
        qint64 limit;
        qint64 order = 0;
        qint64 written = 0;

        qint32 scoreOf(qint32 at, qint32 end) const
        {
            return nodeScores[pieceNodes[static_cast<std::size_t>(at)][static_cast<std::size_t>(end - at - 1)]];
        }
        void piece(std::size_t level, qint32 at, qint32 end)
        {
            scoreSoFar[level + 1] = scoreSoFar[level] + scoreOf(at, end);
            built.piece(level, at, end);
        }
        bool last(std::size_t level, qint32 at)
        {
            if (order == limit) {
                ++order; // one more than the limit: the text has more splits
                return false;
            }
            keys[order] = -(scoreSoFar[level] + scoreOf(at, built.size)) * orderLimit + order;
            rowStarts[order] = written;
            built.write(rows + written, level, at);
            written += built.length(level);
            ++order;
            return true;
        }
    };
    // The lists only grow: a longer one than the last text's needs no filling first. A row is at most twice
    // the text long (a blank or the LF after each character).
    const auto listedCount = static_cast<std::size_t>(limit);
    if (m_listedKeys.size() < listedCount) {
        m_listedKeys.resize(listedCount);
        m_spareKeys.resize(listedCount);
        m_rowStarts.resize(listedCount + 1);
    }
    const std::size_t rowsRoom = listedCount * static_cast<std::size_t>(2 * size) + rowBlock;
    if (m_listedRows.size() < rowsRoom)
        m_listedRows.resize(rowsRoom);
    startRow(QByteArrayView());
    std::array<qint64, maxLength + 1> scoreSoFar;
    scoreSoFar[0] = 0;
    Listed listed{{bytes, size, m_rowBytes.data(), 0},
                  m_pieceNodes,
                  m_nodeScores->scores.data(),
                  m_listedKeys.data(),
                  m_rowStarts.data(),
                  m_listedRows.data(),
                  scoreSoFar.data(),
                  limit};
    walkSplits(size, listed);
    if (listed.order <= limit)
        m_rowStarts[static_cast<std::size_t>(listed.order)] = listed.written;
    return listed.order;
}

std::span<const qint64> ShortAsciiRows::sortListed(qint64 total, qint64 taken)
{
    std::span<qint64> keys(m_listedKeys.data(), static_cast<std::size_t>(total));
    if (taken < total) {
        std::partial_sort(keys.begin(), keys.begin() + taken, keys.end());
        return keys.first(static_cast<std::size_t>(taken));
    }
    if (total > 32)
        return radixSortKeys(keys, m_spareKeys, orderBits);
    // Most texts have a few splits: insertion sort, without the set-up of a general one.
    for (std::size_t next = 1; next < keys.size(); ++next) {
        const qint64 key = keys[next];
        std::size_t to = next;
        for (; to > 0 && keys[to - 1] > key; --to)
            keys[to] = keys[to - 1];
        keys[to] = key;
    }
    return keys;
}

// Backwards, per place the best score of the rest and the first end of a split that has it, as countBackwards()
// does, over the list's pieces and those beyond it, each end with the best score of its kinds as ExtraPieces
// gives it; then the split's runs of letters written letter by letter.
void ShortAsciiRows::writeBestGuessRow(QStringView text, QByteArrayView start, const WordScores& scores,
                                       RowOutput& output)
{
    Q_ASSERT(takes(text));
    const auto size = static_cast<qint32>(text.size());
    if (size == 0) { // one split, the empty one
        qsizetype rows = 0;
        writeRows(text, start, 0, output, rows);
        return;
    }
    std::array<char, textRoom> bytes;
    takeBytes(text, bytes);
    refreshScores(scores);
    findEndMasks<true, true>(text);
    m_guesses.prepare(text, scores);
    const qint16* const nodeScores = m_nodeScores->guessScores.data();
    std::array<qint64, maxLength + 1>& best = m_bestScores;
    std::array<qint32, maxLength + 1>& bestEnd = m_bestEnds;
    std::array<bool, maxLength + 1> bestIsRun{};
    constexpr qint64 none = std::numeric_limits<qint64>::min();
    // A stretch of three characters or more scores unknown(at, end) = base(at) + value(end) - step * at, so the
    // best one from each place is the best end in a window that moves one place per place: the ends it may
    // take, each with value(end) + best[end], falling from the first to the last (a shorter stretch that is no
    // worse replaces those after it), so the first is the best.
    std::array<qint64, maxLength + 1> windowValues;
    std::array<qint32, maxLength + 1> windowEnds;
    qsizetype windowBegin = 0;
    qsizetype windowEnd = 0;
    const qint64 step = m_guesses.stretchPerCharacter();
    best[static_cast<std::size_t>(size)] = 0;
    for (qint32 at = size; at-- > 0;) {
        const auto place = static_cast<std::size_t>(at);
        const quint64 known = m_pieceMasks[place];
        const char16_t unit = text[at].unicode();
        const bool letter = (unit | 0x20) >= u'a' && (unit | 0x20) <= u'z';
        const auto runs = static_cast<qint32>(m_guesses.runLength(at));
        qint64 top = none;
        qint32 topEnd = -1;
        bool topIsRun = false;
        const auto consider = [&](qint64 score, qint32 end, bool isRun) {
            if (score > top || (score == top && end < topEnd)) {
                top = score;
                topEnd = end;
                topIsRun = isRun;
            }
        };
        const qint32 entering = at + static_cast<qint32>(ExtraPieces::unknownShortest);
        if (entering <= size) {
            // value(end) = unknown(at, end) + step * at less what depends on `at` alone: tail(end) + step * end.
            const qint64 value =
                m_guesses.stretchEnd(entering) + step * entering + best[static_cast<std::size_t>(entering)];
            while (windowEnd > windowBegin && windowValues[windowEnd - 1] <= value)
                --windowEnd;
            windowValues[windowEnd] = value;
            windowEnds[windowEnd++] = entering;
        }
        while (windowEnd > windowBegin && windowEnds[windowBegin] > at + ExtraPieces::unknownLongest)
            ++windowBegin;
        if (windowEnd > windowBegin)
            consider(m_guesses.stretchStart(at) - step * at + windowValues[windowBegin], windowEnds[windowBegin],
                     false);
        // Each end of a word or run with the best of its kinds, in ExtraPieces' order: the word, the stretch, the
        // run, each taking the end when it is better.
        if (!letter && (known & 1) == 0)
            consider(qint64(m_guesses.unknown(at, at + 1, 1)) + best[place + 1], at + 1, false);
        for (quint64 ends = known | (runs > 0 ? (quint64(1) << runs) - 1 : 0); ends != 0; ends &= ends - 1) {
            const auto length = static_cast<qint32>(__builtin_ctzll(ends)) + 1;
            const qint32 end = at + length;
            qint64 score = none;
            bool isRun = false;
            if ((known >> (length - 1)) & 1)
                score = nodeScores[m_pieceNodes[place][static_cast<std::size_t>(length - 1)]];
            if (length >= ExtraPieces::unknownShortest ? length <= ExtraPieces::unknownLongest : length == 1 && !letter)
                score = std::max<qint64>(score, m_guesses.unknown(at, end, length));
            if (length <= runs) {
                const qint64 run = m_guesses.run(at, end, (known >> (length - 1)) & 1);
                if (run > score) {
                    score = run;
                    isRun = true;
                }
            }
            consider(score + best[static_cast<std::size_t>(end)], end, isRun);
        }
        best[place] = top;
        bestEnd[place] = topEnd;
        bestIsRun[place] = topIsRun;
    }
    quint64 ends = 0;
    for (qint32 place = 0; place < size; place = bestEnd[static_cast<std::size_t>(place)]) {
        const qint32 end = bestEnd[static_cast<std::size_t>(place)];
        ends |= bestIsRun[static_cast<std::size_t>(place)] ? ((quint64(1) << (end - 1)) << 1) - (quint64(1) << place)
                                                           : quint64(1) << (end - 1);
    }
    writeSplitRow(ends, bytes.data(), size, start, output);
}

std::optional<bool> ShortAsciiRows::writeRankedRows(QStringView text, QByteArrayView start, const WordScores& scores,
                                                    qsizetype wanted, bool wantedIsBound, RowOutput& output,
                                                    qsizetype& rows)
{
    Q_ASSERT(takes(text));
    const auto size = static_cast<qint32>(text.size());
    if (size == 0) // one split, the empty one, in either order
        return writeRows(text, start, 0, output, rows);
    rows = 0;
    std::array<char, textRoom> bytes;
    takeBytes(text, bytes);
    refreshScores(scores);
    findEndMasks<true>(text);
    if (wanted == 1) {
        const qint64 total = countBackwards<true>(size);
        if (total == 0)
            return false;
        writeSplitRow(bestSplitEnds(size), bytes.data(), size, start, output);
        rows = 1;
        return wantedIsBound && total > 1;
    }
    qint64 total = listSplits(bytes.data(), size, firstListed);
    const bool counted = total > firstListed;
    if (counted)
        total = countBackwards<false>(size);
    if (total == 0)
        return false;
    const bool allWanted = wanted <= 0 || total <= wanted;
    if (total > (allWanted ? mostListed : fewSplits))
        return std::nullopt;
    if (counted)
        listSplits(bytes.data(), size, total);
    const qsizetype startBytes = start.size();
    const char* const listedRows = m_listedRows.data();
    const qint64* const rowStarts = m_rowStarts.data();
    // Rows are written into the room at hand, which is asked for again only when it runs short.
    char* out = output.reserve(startBytes + 2 * size + rowBlock);
    char* roomEnd = out + output.room();
    for (const qint64 key : sortListed(total, allWanted ? total : wanted)) {
        const auto order = static_cast<std::size_t>(key & (orderLimit - 1));
        const qint64 from = rowStarts[order];
        const qsizetype length = rowStarts[order + 1] - from;
        if (roomEnd - out < startBytes + length + rowBlock) {
            output.commit(out);
            out = output.reserve(startBytes + length + rowBlock);
            roomEnd = out + output.room();
        }
        if (startBytes > 0)
            std::memcpy(out, start.data(), static_cast<std::size_t>(startBytes));
        copyBlocks(out + startBytes, listedRows + from, length);
        out += startBytes + length;
    }
    output.commit(out);
    rows = allWanted ? total : wanted;
    return wantedIsBound && !allWanted;
}

} // namespace quorvane
