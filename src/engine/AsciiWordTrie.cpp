#include "AsciiWordTrie.h"

#include <algorithm>

namespace quorvane {

bool AsciiWordTrie::build(const WordTrie& words)
{
    *this = AsciiWordTrie();
    // The nodes the ASCII units lead to, breadth first, with the node each was reached from.
    struct Node
    {
        quint32 wordTrieNode;
        quint32 parent; // index in `nodes`
        char16_t unit;
    };
    std::vector<Node> nodes;
    nodes.reserve(words.nodeLimit());
    nodes.push_back({WordTrie::root, 0, 0});
    std::array<bool, 128> present{};
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        words.forEachAsciiChild(nodes[n].wordTrieNode, [&](char16_t unit, quint32 child) {
            nodes.push_back({child, static_cast<quint32>(n), unit});
            present[unit] = true;
        });
    }
    std::array<quint8, 128> numbers{};
    std::size_t alphabet = 0;
    for (std::size_t unit = 0; unit < 128; ++unit) {
        if (present[unit])
            numbers[unit] = static_cast<quint8>(++alphabet);
    }
    if (alphabet >= emptyLabel)
        return false;
    // A text's characters are lower-cased before they are looked up, as the words were.
    for (char16_t unit = 0; unit < 128; ++unit)
        m_codes[unit] = numbers[(unit >= u'A' && unit <= u'Z') ? unit + 32 : unit];

    // Nodes are placed in the same breadth-first order, so that the short prefixes every walk passes through
    // lie together at the front. Each node's children take the first base, other than 0, that no node has and
    // whose cells for them are free, found along the list of free cells. A free cell that has failed to take
    // many nodes' first child is passed over from then on, so that placing stays near linear; it stays empty.
    enum : quint8
    {
        cellUsed = 1,
        baseTaken = 2,
    };
    std::vector<quint8> flags(1, cellUsed | baseTaken);
    // The free cells as a list in ascending order, cells taken meanwhile left out as the list is walked;
    // the cells past the array's end are free.
    std::vector<quint32> nextFree(1, 1);
    std::vector<quint8> failures(1, 0);
    const std::size_t expected = nodes.size() + nodes.size() / 4 + alphabet + 2;
    m_cells.reserve(expected);
    flags.reserve(expected);
    nextFree.reserve(expected);
    failures.reserve(expected);
    // The used cells again as bits, so that whether the cells of all of a node's children are free is one test
    // of a 64-bit window (for alphabets of fewer than 64 characters), not one test per child.
    std::vector<quint64> usedBits(2, 1);
    const auto grow = [&](std::size_t size) {
        for (std::size_t cell = m_cells.size(); cell < size; ++cell) {
            m_cells.push_back(emptyLabel);
            flags.push_back(0);
            failures.push_back(0);
            nextFree.push_back(static_cast<quint32>(cell + 1));
        }
        usedBits.resize(size / 64 + 2, 0);
    };
    const auto usedFrom = [&](std::size_t cell) {
        const std::size_t word = cell / 64;
        const std::size_t shift = cell % 64;
        return shift == 0 ? usedBits[word] : (usedBits[word] >> shift) | (usedBits[word + 1] << (64 - shift));
    };
    grow(alphabet + 2);
    std::size_t firstFree = 1;
    std::vector<std::size_t> cellOf(nodes.size(), 0); // 0 for the root
    std::size_t child = 1;                            // the first child of the node being placed, in `nodes`
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const std::size_t firstChild = child;
        while (child < nodes.size() && nodes[child].parent == n)
            ++child;
        if (firstChild == child)
            continue; // base 0: no step leads on
        const std::size_t lowest = numbers[nodes[firstChild].unit];
        quint64 codes = 0; // bit k: a child over the character numbered k
        for (std::size_t c = firstChild; c < child && alphabet < 64; ++c)
            codes |= quint64(1) << numbers[nodes[c].unit];
        const auto fits = [&](std::size_t base) {
            if ((flags[base] & baseTaken) != 0)
                return false;
            if (alphabet < 64)
                return (usedFrom(base) & codes) == 0;
            for (std::size_t c = firstChild; c < child; ++c) {
                if ((flags[base + numbers[nodes[c].unit]] & cellUsed) != 0)
                    return false;
            }
            return true;
        };
        std::size_t base = 0;
        std::size_t previous = 0; // 0: the cell is the first free one
        for (std::size_t cell = firstFree;;) {
            if (cell + alphabet + 1 >= m_cells.size())
                grow(cell + alphabet + 2);
            if ((flags[cell] & cellUsed) != 0) {
                cell = nextFree[cell];
                if (previous == 0)
                    firstFree = cell;
                else
                    nextFree[previous] = static_cast<quint32>(cell);
                continue;
            }
            if (cell > lowest && fits(cell - lowest)) {
                base = cell - lowest;
                break;
            }
            if (cell == firstFree && ++failures[cell] > 16) {
                firstFree = nextFree[cell]; // passed over from now on
                cell = firstFree;
                continue;
            }
            previous = cell;
            cell = nextFree[cell];
        }
        if (base > maxBase)
            return (*this = AsciiWordTrie(), false);
        flags[base] |= baseTaken;
        if (n == 0)
            m_root = static_cast<Cell>(base << baseShift);
        else
            m_cells[cellOf[n]] |= static_cast<Cell>(base << baseShift);
        for (std::size_t c = firstChild; c < child; ++c) {
            const quint8 code = numbers[nodes[c].unit];
            const std::size_t cell = base + code;
            flags[cell] |= cellUsed;
            usedBits[cell / 64] |= quint64(1) << (cell % 64);
            m_cells[cell] = (words.isWord(nodes[c].wordTrieNode) ? Cell(1) << wordShift : 0) | code;
            cellOf[c] = cell;
        }
    }
    return true;
}

} // namespace quorvane
