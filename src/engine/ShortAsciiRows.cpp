#include "ShortAsciiRows.h"

#include "NumericPieces.h"
#include "WordTrie.h"
#include "text/Ascii.h"

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

// Forwards, the words and numbers from each place that pieces from the start reach (the walk from one place
// runs to its end before the next: one read per step through the double-array trie); then backwards, those
// after which the rest can be split.
void ShortAsciiRows::findEndMasks(QStringView text)
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
            cell = AsciiWordTrie::step(cells, cell, codes[position]);
            if (cell == AsciiWordTrie::noCell)
                break;
            ends |= static_cast<quint64>(AsciiWordTrie::isWord(cell)) << (position - start);
        }
        if (NumericScanner::canStart(units[start])) {
            NumericScanner numbers(text, static_cast<qsizetype>(start));
            for (qsizetype end = numbers.next(); end >= 0; end = numbers.next())
                ends |= quint64(1) << (static_cast<std::size_t>(end) - start - 1);
        }
        m_pieceMasks[start] = ends;
        fromStart |= (ends << start) << 1;
    }
    quint64 splitsAhead = 1; // bit k: the rest from place at + 1 + k can be split
    for (std::size_t at = size; at-- > 0;) {
        const quint64 ends = ((fromStart >> at) & 1) != 0 ? m_pieceMasks[at] & splitsAhead : 0;
        m_endMasks[at] = ends;
        splitsAhead = (splitsAhead << 1) | (ends != 0 ? 1 : 0);
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
    // The text's bytes and an LF, with a block's room past them.
    std::array<char, maxLength + 1 + rowBlock> bytes{};
    for (qint32 k = 0; k < size; ++k)
        bytes[static_cast<std::size_t>(k)] = static_cast<char>(text[k].unicode());
    bytes[static_cast<std::size_t>(size)] = '\n';
    // The row being built: `start`, then piece k, from place `from` of the text on, at from + k, each but the
    // last followed by its blank; a block's room past the longest.
    m_rowBytes.resize(static_cast<std::size_t>(startBytes + 2 * maxLength + 2 * rowBlock));
    char* const row = m_rowBytes.data();
    if (startBytes > 0) // an empty start may have no bytes at all
        std::memcpy(row, start.data(), static_cast<std::size_t>(startBytes));
    char* const pieces = row + startBytes;
    // A row is what has been built up to its last piece's place, then the rest of the text and the LF (up to
    // 65 bytes: more than one block).
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
    findEndMasks(text);

    // Depth first over the masks. Per depth: the place its piece starts at, and the ends from there not yet
    // taken.
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
            if (rows == bound)
                return true;
            writeRow(at, startBytes + at + depth);
            continue;
        }
        copyBlocks(pieces + at + depth, bytes.data() + at, end - at);
        pieces[end + depth] = ' ';
        const quint64 next = m_endMasks[static_cast<std::size_t>(end)];
        if (next == quint64(1) << (size - end - 1)) {
            // The rest of the text is the one piece from there: its row, without going a level deeper.
            if (rows == bound)
                return true;
            writeRow(end, startBytes + end + depth + 1);
            continue;
        }
        ++depth;
        from[level + 1] = end;
        rest[level + 1] = next;
    }
}

} // namespace quorvane
