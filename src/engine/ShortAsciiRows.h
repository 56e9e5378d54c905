#pragma once

#include "AsciiWordTrie.h"
#include "RowOutput.h"
#include "WordDictionary.h"

#include <QByteArrayView>
#include <QStringView>

#include <array>
#include <memory>
#include <vector>

namespace quorvane {

// The fast path of the rows of short ASCII texts, which most names are: the same rows as those built from
// Segmenter's candidates, found and written with bit masks. Each place's pieces fit in one 64-bit mask
// (bit k: the piece of k + 1 characters), found by walks through a double-array trie (AsciiWordTrie.h), and
// the depth-first search over those masks writes each row straight into the output, copying fixed blocks.
class ShortAsciiRows final
{
public:
    // The longest text taken.
    static constexpr qsizetype maxLength = 64;

    // The dictionary must outlive this; its index follows the dictionary's changes as Segmenter's does, and
    // copies share it.
    explicit ShortAsciiRows(const WordDictionary& dictionary);

    // Whether writeRows() takes the text: ASCII, at most maxLength characters, and the dictionary's ASCII words
    // fit in the double-array trie.
    bool takes(QStringView text);

    // The candidates of such a text as rows of bytes, each `start`, the candidate without its leading blank,
    // and LF, written into `output` in order, at most `maxCandidates` (0: all). Returns true when the list was
    // cut; `rows` is set to the number of rows written.
    bool writeRows(QStringView text, QByteArrayView start, qsizetype maxCandidates, RowOutput& output, qsizetype& rows);

private:
    void refreshIndex();
    // Per place, the ends of its pieces from which the rest can be split, as masks into m_endMasks.
    void findEndMasks(QStringView text);

    struct Index
    {
        AsciiWordTrie trie;
        bool built = false;
        quint64 generation = 0;
    };

    const WordDictionary& m_dictionary;
    std::shared_ptr<const Index> m_index;
    std::array<quint64, maxLength> m_endMasks{};
    std::array<quint64, maxLength> m_pieceMasks{}; // before the backward pass: every piece from each place
    std::vector<char> m_rowBytes;                  // the row being built
};

} // namespace quorvane
