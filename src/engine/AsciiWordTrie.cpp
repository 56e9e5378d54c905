#include "AsciiWordTrie.h"

#include "text/Ascii.h"

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
        m_codes[unit] = numbers[ascii::toLower(unit)];

    // Nodes are placed in the same breadth-first order, so that the short prefixes every walk passes through
    // lie together at the front. Each node's children take the lowest free cell from the first free one on
    // for its first child such that the base is not 0, no node has it, and the cells of the other children
    // are free. A first free cell that has failed to take many nodes' first child is passed over from then
    // on, so that placing stays near linear; it stays empty.
    // Used cells and taken bases are lists of bits, so that 64 cells are tried at once: a cell fits when it
    // is free, when the cells at the distances of the other children are free, and when its base is not
    // taken, each of which is one shifted window of a list.
    std::vector<quint64> usedBits{1, 0};  // cell 0 is never used
    std::vector<quint64> takenBits{1, 0}; // base 0 belongs to no node
    std::vector<quint8> failures;
    const std::size_t expected = nodes.size() + nodes.size() / 4 + alphabet + 2;
    m_cells.reserve(expected);
    const auto grow = [&](std::size_t size) {
        if (size > m_cells.size()) {
            m_cells.resize(size, emptyLabel);
            failures.resize(size, 0);
            usedBits.resize(size / 64 + 2, 0);
            takenBits.resize(size / 64 + 2, 0);
        }
    };
    // The 64 bits of `bits` from `from` on.
    const auto window = [](const std::vector<quint64>& bits, std::size_t from) {
        const std::size_t word = from / 64;
        const std::size_t shift = from % 64;
        return shift == 0 ? bits[word] : (bits[word] >> shift) | (bits[word + 1] << (64 - shift));
    };
    // The first free cell from `cell` on.
    const auto freeFrom = [&](std::size_t cell) {
        for (;; cell += 64) {
            grow(cell + 64 + alphabet + 2);
            const quint64 free = ~window(usedBits, cell);
            if (free != 0)
                return cell + static_cast<std::size_t>(__builtin_ctzll(free));
        }
    };
    grow(alphabet + 2);
    std::size_t firstFree = 1;
    std::vector<std::size_t> cellOf(nodes.size(), 0); // 0 for the root
    std::vector<std::size_t> distances;               // of the other children's cells from the first child's
    std::size_t child = 1;                            // the first child of the node being placed, in `nodes`
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const std::size_t firstChild = child;
        while (child < nodes.size() && nodes[child].parent == n)
            ++child;
        if (firstChild == child)
            continue; // base 0: no step leads on
        const std::size_t lowest = numbers[nodes[firstChild].unit];
        distances.clear();
        for (std::size_t c = firstChild + 1; c < child; ++c)
            distances.push_back(numbers[nodes[c].unit] - lowest);
        // Bit k: cell from + k takes the first child.
        const auto fitting = [&](std::size_t from) {
            quint64 fits = ~window(usedBits, from) & ~window(takenBits, from - lowest);
            for (const std::size_t distance : distances)
                fits &= ~window(usedBits, from + distance);
            return fits;
        };
        firstFree = freeFrom(firstFree);
        std::size_t cell = 0;
        for (;;) {
            if (firstFree > lowest && (fitting(firstFree) & 1) != 0) {
                cell = firstFree;
                break;
            }
            if (++failures[firstFree] > 16) {
                firstFree = freeFrom(firstFree + 1); // passed over from now on
                continue;
            }
            for (std::size_t from = std::max(firstFree + 1, lowest + 1);; from += 64) {
                grow(from + 64 + alphabet + 2);
                const quint64 fits = fitting(from);
                if (fits != 0) {
                    cell = from + static_cast<std::size_t>(__builtin_ctzll(fits));
                    break;
                }
            }
            break;
        }
        const std::size_t base = cell - lowest;
        if (base > maxBase)
            return (*this = AsciiWordTrie(), false);
        takenBits[base / 64] |= quint64(1) << (base % 64);
        if (n == 0)
            m_root = static_cast<Cell>(base << baseShift);
        else
            m_cells[cellOf[n]] |= static_cast<Cell>(base << baseShift);
        for (std::size_t c = firstChild; c < child; ++c) {
            const quint8 code = numbers[nodes[c].unit];
            const std::size_t at = base + code;
            usedBits[at / 64] |= quint64(1) << (at % 64);
            m_cells[at] = (words.isWord(nodes[c].wordTrieNode) ? Cell(1) << wordShift : 0) | code;
            cellOf[c] = at;
        }
    }
    return true;
}

} // namespace quorvane
