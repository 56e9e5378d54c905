#pragma once

#include "WordTrie.h"

#include <array>
#include <vector>

namespace quorvane {

// The dictionary's ASCII words as a double-array trie over lower-cased ASCII.
class AsciiWordTrie
{
public:
    using Cell = quint32;
    static constexpr Cell noCell = 0;

    // Builds from the paths of `words` made of ASCII units only (no other path can spell a piece of an ASCII
    // text). Returns false, leaving the trie empty, when they do not fit in the cells' 24-bit bases or
    // alphabet.
    bool build(const WordTrie& words);

    // The root, from which every walk starts.
    Cell root() const { return m_root; }
    // The number of the text's character `unit` (below 0x80) after lower-casing; 0 when no word has it.
    quint8 codeOf(char16_t unit) const { return m_codes[unit & 0x7F]; }
    // The node reached from `cell` over the character numbered `code`, or noCell.
    Cell step(Cell cell, quint8 code) const { return step(m_cells.data(), cell, code); }
    // The cells, for walks that keep them at hand: step() over cells() as `cells`.
    const Cell* cells() const { return m_cells.data(); }
    static Cell step(const Cell* cells, Cell cell, quint8 code)
    {
        return childFrom(cells[childPlace(cell, code)], code);
    }
    // Where the node reached by step(cells, cell, code) lies among the cells, when that step reaches one: a word's
    // node is known by this place, so that something can be kept per word beside the cells.
    static std::size_t childPlace(Cell cell, quint8 code) { return (cell >> baseShift) + code; }
    // The step itself, given the cell at childPlace(cell, code), for a walk that keeps that place too: that
    // cell when it is the child over `code`, else noCell.
    static Cell childFrom(Cell atChildPlace, quint8 code)
    {
        return (atChildPlace & labelMask) == code ? atChildPlace : noCell;
    }
    std::size_t cellCount() const { return m_cells.size(); }
    // Whether the node's path spells a word; false for noCell.
    static bool isWord(Cell cell) { return (cell >> wordShift) & 1; }

private:
    static constexpr Cell labelMask = 0x7F; // the character leading to the cell; 0x7F in empty cells
    static constexpr Cell emptyLabel = 0x7F;
    static constexpr int wordShift = 7;
    static constexpr int baseShift = 8;
    static constexpr quint32 maxBase = (quint32(1) << 24) - 1;

    std::vector<Cell> m_cells = std::vector<Cell>(1, emptyLabel);
    std::array<quint8, 128> m_codes{};
    Cell m_root = noCell;
};

} // namespace quorvane
