#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

namespace quorvane {

// The 32-bit ends of a TextBlock's texts, grown in place where possible.
class EndList
{
public:
    EndList() = default;
    EndList(const EndList& other);
    EndList(EndList&& other) noexcept;
    EndList& operator=(const EndList& other);
    EndList& operator=(EndList&& other) noexcept;
    ~EndList();

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    qsizetype capacity() const { return m_capacity; }
    quint32 operator[](qsizetype index) const { return m_data[index]; }
    quint32* data() { return m_data; }
    const quint32* constData() const { return m_data; }

    void reserve(qsizetype capacity);
    void squeeze();
    void append(quint32 value)
    {
        if (m_size == m_capacity)
            reserve(std::max<qsizetype>(16, 2 * m_capacity));
        m_data[m_size++] = value;
    }
    // Growing leaves the new numbers unset: the caller writes them.
    void resizeForOverwrite(qsizetype size);
    void remove(qsizetype first, qsizetype count);

private:
    quint32* m_data = nullptr;
    qsizetype m_size = 0;
    qsizetype m_capacity = 0;
};

// Many short texts end to end in one buffer, 8-bit while they fit.
class TextBlock
{
public:
    TextBlock() = default;
    // Ends pass a multiple of 2^segmentBits instead of 2^32: lets tests reach that case with short texts.
    explicit TextBlock(int segmentBits) : m_segmentBits(segmentBits) {}

    qsizetype count() const { return m_ends.size(); }
    bool isEmpty() const { return m_ends.isEmpty(); }
    // Whether the characters are kept one byte each rather than as UTF-16 (wideCharacters()).
    bool isNarrow() const { return m_narrow; }

    // Where text i ends and begins, counted in characters from the start of the block.
    qsizetype endOf(qsizetype index) const
    {
        const qsizetype end = bufferEnd(index);
        return m_gaps.empty() ? end : end - gapCharactersThrough(index);
    }
    qsizetype startOf(qsizetype index) const { return index == 0 ? 0 : endOf(index - 1); }
    qsizetype lengthOf(qsizetype index) const { return endOf(index) - startOf(index); }
    // The characters of all texts together.
    qsizetype characterCount() const { return m_ends.isEmpty() ? 0 : endOf(m_ends.size() - 1); }

    QString text(qsizetype index) const;
    // The first `maxLength` characters of text i at most.
    QString text(qsizetype index, qsizetype maxLength) const;
    // Replaces `out` with text i, reusing its buffer.
    void copyText(qsizetype index, QString& out) const;
    // Writes the `length` characters from `start` (counted from the start of the block) at `out` as UTF-16.
    void copyCharacters(qsizetype start, qsizetype length, QChar* out) const;
    QStringList toStringList() const;

    // The texts of a wide block without gaps end to end, for tight loops over many texts; valid until the
    // block changes.
    const QChar* wideCharacters() const { return m_wide.constData(); }
    bool hasGaps() const { return !m_gaps.empty(); }
    // Moves the texts together, dropping the characters of removed texts.
    void closeGaps();

    // Room for `texts` more texts of `characters` characters in all; the room grows at least twofold, so that
    // appending in many small steps takes linear time.
    void reserve(qsizetype texts, qsizetype characters);
    qsizetype characterCapacity() const { return m_narrow ? m_bytes.capacity() : m_wide.capacity(); }
    qsizetype textCapacity() const { return m_ends.capacity(); }
    // What the buffers take, room included.
    qsizetype memoryBytes() const
    {
        return characterCapacity() * (m_narrow ? 1 : qsizetype(sizeof(QChar))) +
               m_ends.capacity() * qsizetype(sizeof(quint32)) + m_wraps.capacity() * qsizetype(sizeof(qsizetype)) +
               qsizetype(m_gaps.capacity() * sizeof(Gap));
    }
    void add(QStringView text);
    void add(const TextBlock& other);
    // Takes the other block's buffers over when this one is empty, instead of copying them.
    void add(TextBlock&& other);
    void remove(qsizetype index);
    // Removes `count` texts from `first` on; the texts after them stay where they are.
    void remove(qsizetype first, qsizetype count);
    // Removes the texts of every range {first, count}; the ranges are disjoint and in rising order. Each text
    // that stays moves at most once, closing the gaps on the way, so many ranges cost one pass over the block.
    void removeRanges(const QList<std::pair<qsizetype, qsizetype>>& ranges);
    void clear();

    // Readers that decode straight into the block write past its last text, in a block without gaps
    // (closeGaps()), counting positions from characterCount(). An empty block becomes narrow
    // with startNarrow(); widen(size) turns a narrow block wide, with the first `size` characters of its
    // buffer, its unfinished text included. narrowWriteBuffer(size) or writeBuffer(size), as the block is,
    // makes the buffer at least `size` characters long (growing at least twofold) and returns its start; a
    // pointer from an earlier call is then invalid. endTexts(ends, n) ends n texts at the given ends, counted
    // in characters from the start, in rising order. finishWriting() drops the characters that no text holds;
    // until it is called only these may be used.
    void startNarrow();
    void widen(qsizetype size);
    char* narrowWriteBuffer(qsizetype size);
    char16_t* writeBuffer(qsizetype size);
    void endTexts(const qsizetype* ends, qsizetype n);
    void finishWriting();

    class const_iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = QString;
        using difference_type = qsizetype;
        using pointer = void;
        using reference = QString;

        const_iterator() = default;
        const_iterator(const TextBlock* block, qsizetype index) : m_block(block), m_index(index) {}
        QString operator*() const { return m_block->text(m_index); }
        const_iterator& operator++()
        {
            ++m_index;
            return *this;
        }
        const_iterator operator++(int)
        {
            const const_iterator before = *this;
            ++m_index;
            return before;
        }
        bool operator==(const const_iterator& other) const { return m_index == other.m_index; }

    private:
        const TextBlock* m_block = nullptr;
        qsizetype m_index = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, count()}; }

private:
    // Past this many gaps a removal closes them: each removal updates every gap after it.
    static constexpr qsizetype maxGaps = 4096;

    // A gap of removed characters before text `index`, with the characters of every gap through it.
    struct Gap
    {
        qsizetype index;
        qsizetype position;
        qsizetype charactersThrough;
    };

    qsizetype bufferSize() const { return m_narrow ? m_bytes.size() : m_wide.size(); }
    // Where text i ends in the buffer, gaps included.
    qsizetype bufferEnd(qsizetype index) const
    {
        const qsizetype low = m_ends[index];
        if (m_wraps.isEmpty())
            return low;
        return low +
               (qsizetype(std::upper_bound(m_wraps.begin(), m_wraps.end(), index) - m_wraps.begin()) << m_segmentBits);
    }
    qsizetype usedSize() const { return m_ends.isEmpty() ? 0 : bufferEnd(m_ends.size() - 1); }
    // The characters of the gaps before text i and before every earlier text.
    qsizetype gapCharactersThrough(qsizetype index) const;
    // Copies `length` characters from `start` in the buffer, gaps included.
    void copyBuffer(qsizetype start, qsizetype length, QChar* out) const;
    void moveBuffer(qsizetype from, qsizetype to, qsizetype length);
    void truncateBuffer(qsizetype size);
    void appendEnd(qsizetype end);
    void truncateEnds(qsizetype count);

    bool m_narrow = false;
    QByteArray m_bytes; // the characters of a narrow block
    QString m_wide;     // the characters of a wide block
    EndList m_ends;     // the low 32 bits of each end
    // For each multiple of 2^m_segmentBits that the ends passed, the first text whose end lies at or past it.
    QList<qsizetype> m_wraps;
    int m_segmentBits = 32;
    std::vector<Gap> m_gaps; // in rising order of index
};

} // namespace quorvane
