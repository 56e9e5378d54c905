#include "ShortAsciiRows.h"

#include "ExtraPieces.h"
#include "KeyRadixSort.h"
#include "NumericPieces.h"
#include "Segmenter.h"
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

// Hands on the split whose pieces end where `mask` has its bits (bit k: a piece ends after character k).
bool handMask(quint64 mask, qint64 score, SplitReceiver& receiver)
{
    std::array<qint32, ShortAsciiRows::maxLength> ends;
    std::size_t pieces = 0;
    for (; mask != 0; mask &= mask - 1)
        ends[pieces++] = __builtin_ctzll(mask) + 1;
    return receiver.split(FoundSplit{std::span<const qint32>(ends.data(), pieces), 0, score, {}});
}

// The splits of the walk in search order, handed on as they come: the ends of the pieces per depth, and the
// shallowest depth changed since the split before.
struct SplitsInSearchOrder
{
    SplitReceiver& receiver;
    qint32 size;
    qsizetype bound;
    qsizetype& given;
    std::array<qint32, ShortAsciiRows::maxLength> ends{};
    std::size_t changed = 0;
    FoundSplit split{std::span<const qint32>(ends.data(), 0), 0, 0, {}};

    void piece(std::size_t level, qint32, qint32 end)
    {
        ends[level] = end;
        changed = std::min(changed, level);
    }
    bool last(std::size_t level, qint32)
    {
        if (given == bound)
            return false;
        ends[level] = size;
        const std::size_t same = std::min(changed, level);
        changed = ShortAsciiRows::maxLength;
        split.ends = std::span<const qint32>(ends.data(), level + 1);
        split.same = static_cast<qsizetype>(same);
        if (!receiver.split(split))
            return false;
        ++given;
        return true;
    }
};

} // namespace

ShortAsciiRows::ShortAsciiRows(const WordDictionary& dictionary) : m_dictionary(dictionary) {}

bool ShortAsciiRows::takes(QStringView text, Segmenter& segmenter)
{
    // The segmenter's index is made anew whenever the words change: this one follows it.
    const WordTrie& words = segmenter.words();
    if (!m_index || m_index->words.get() != &words) {
        auto index = std::make_shared<Index>();
        index->words = segmenter.wordIndex();
        index->built = index->trie.build(words);
        m_index = std::move(index);
    }
    return m_index->built && text.size() <= maxLength && ascii::isAscii(text);
}

void ShortAsciiRows::prepareScores(const WordScores& scores)
{
    refreshScores(scores);
}

void ShortAsciiRows::refreshScores(const WordScores& scores)
{
    if (m_nodeScores && m_nodeScores->index == m_index)
        return;
    auto scored = std::make_shared<NodeScores>();
    const AsciiWordTrie& trie = m_index->trie;
    scored->scores.assign(trie.cellCount() + 1, 0);
    scored->scores.back() = WordScores::numberScore();
    scored->guessScores = scored->scores;
    scored->index = m_index;
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

bool ShortAsciiRows::splits(QStringView text, qsizetype maxCandidates, SplitReceiver& receiver, qsizetype& given)
{
    Q_ASSERT(m_index && m_index->built && text.size() <= maxLength); // after takes()
    const auto size = static_cast<qint32>(text.size());
    given = 0;
    if (size == 0) { // one candidate, the empty one
        given = receiver.split(FoundSplit{}) ? 1 : 0;
        return given == 0;
    }
    SplitsInSearchOrder path{receiver, size, maxCandidates > 0 ? maxCandidates : std::numeric_limits<qsizetype>::max(),
                             given};
    findEndMasks<false>(text);
    return walkSplits(size, path);
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

qint64 ShortAsciiRows::listSplits(qint32 size, qint64 limit)
{
    struct Listed
    {
        const std::array<std::array<quint32, maxLength>, maxLength>& pieceNodes;
        const qint16* nodeScores;
        qint64* keys;
        quint64* masks;
        qint32 size;
        qint64 limit;
        std::array<qint64, maxLength + 1> scoreSoFar{}; // per depth, of the pieces before
        std::array<quint64, maxLength + 1> endsSoFar{}; // per depth, the ends of the pieces before
        qint64 order = 0;

        qint32 scoreOf(qint32 at, qint32 end) const
        {
            return nodeScores[pieceNodes[static_cast<std::size_t>(at)][static_cast<std::size_t>(end - at - 1)]];
        }
        void piece(std::size_t level, qint32 at, qint32 end)
        {
            scoreSoFar[level + 1] = scoreSoFar[level] + scoreOf(at, end);
            endsSoFar[level + 1] = endsSoFar[level] | quint64(1) << (end - 1);
        }
        bool last(std::size_t level, qint32 at)
        {
            if (order == limit) {
                ++order; // one more than the limit: the text has more splits
                return false;
            }
            keys[order] = -(scoreSoFar[level] + scoreOf(at, size)) * orderLimit + order;
            masks[order] = endsSoFar[level] | quint64(1) << (size - 1);
            ++order;
            return true;
        }
    };
    // The lists only grow: a longer one than the last text's needs no filling first.
    const auto listedCount = static_cast<std::size_t>(limit);
    if (m_listedKeys.size() < listedCount) {
        m_listedKeys.resize(listedCount);
        m_spareKeys.resize(listedCount);
        m_listedMasks.resize(listedCount);
    }
    Listed listed{m_pieceNodes, m_nodeScores->scores.data(), m_listedKeys.data(), m_listedMasks.data(), size, limit};
    walkSplits(size, listed);
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
void ShortAsciiRows::bestGuess(QStringView text, const WordScores& scores, SplitReceiver& receiver)
{
    Q_ASSERT(m_index && m_index->built && text.size() <= maxLength); // after takes()
    const auto size = static_cast<qint32>(text.size());
    if (size == 0) { // one split, the empty one
        receiver.split(FoundSplit{});
        return;
    }
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
    handMask(ends, best[0], receiver);
}

std::optional<bool> ShortAsciiRows::rankedSplits(QStringView text, const WordScores& scores, qsizetype wanted,
                                                 bool wantedIsBound, SplitReceiver& receiver, qsizetype& given)
{
    Q_ASSERT(m_index && m_index->built && text.size() <= maxLength); // after takes()
    const auto size = static_cast<qint32>(text.size());
    if (size == 0) // one split, the empty one, in either order
        return splits(text, 0, receiver, given);
    given = 0;
    refreshScores(scores);
    findEndMasks<true>(text);
    if (wanted == 1) {
        const qint64 total = countBackwards<true>(size);
        if (total == 0)
            return false;
        if (!handMask(bestSplitEnds(size), m_bestScores[0], receiver))
            return true;
        given = 1;
        return wantedIsBound && total > 1;
    }
    qint64 total = listSplits(size, firstListed);
    const bool counted = total > firstListed;
    if (counted)
        total = countBackwards<false>(size);
    if (total == 0)
        return false;
    const bool allWanted = wanted <= 0 || total <= wanted;
    if (total > (allWanted ? mostListed : fewSplits))
        return std::nullopt;
    if (counted)
        listSplits(size, total);
    for (const qint64 key : sortListed(total, allWanted ? total : wanted)) {
        // The key is the score negated in its high bits and the place in search order in its low ones.
        if (!handMask(m_listedMasks[static_cast<std::size_t>(key & (orderLimit - 1))], -(key >> orderBits), receiver))
            return true;
        ++given;
    }
    return wantedIsBound && !allWanted;
}

} // namespace quorvane
