#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <iterator>

namespace quorvane {

// Many short texts kept end to end in one buffer, with the end of each: one allocation for a million
// texts instead of one each. Texts are addressed from 0.
class TextBlock
{
public:
    qsizetype count() const { return m_ends.size(); }
    bool isEmpty() const { return m_ends.isEmpty(); }
    // Valid until the block changes.
    QStringView at(qsizetype index) const
    {
        const qsizetype begin = index == 0 ? 0 : m_ends[index - 1];
        return QStringView(m_characters.constData() + begin, m_ends[index] - begin);
    }
    // The characters of all texts together.
    qsizetype characterCount() const { return m_ends.isEmpty() ? 0 : m_ends.back(); }
    QStringList toStringList() const;

    // The texts end to end and where each one ends: text i runs from ends()[i - 1] (0 for the first) to
    // ends()[i]. For tight loops over many texts; valid until the block changes.
    const QChar* characters() const { return m_characters.constData(); }
    const qsizetype* ends() const { return m_ends.data(); }

    // Room for `texts` more texts of `characters` characters in all; the room grows at least twofold, so that
    // appending in many small steps takes linear time.
    void reserve(qsizetype texts, qsizetype characters);
    qsizetype characterCapacity() const { return m_characters.capacity(); }
    qsizetype textCapacity() const { return m_ends.capacity(); }
    void add(QStringView text);
    void add(const TextBlock& other);
    // Takes the other block's buffers over when this one is empty, instead of copying them.
    void add(TextBlock&& other);
    void remove(qsizetype index);
    void clear();

    // Readers that decode straight into the block write past its last text. writeBuffer(size) makes the buffer
    // at least `size` characters long (growing at least twofold) and returns its start; a pointer from an earlier
    // call is then invalid. endTexts(ends, n) ends n texts at the given ends, counted in characters from the
    // start, in rising order. finishWriting() drops the characters that no text holds; until it is called only
    // these three may be used.
    char16_t* writeBuffer(qsizetype size);
    void endTexts(const qsizetype* ends, qsizetype n);
    void finishWriting();

    class const_iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = QStringView;
        using difference_type = qsizetype;
        using pointer = void;
        using reference = QStringView;

        const_iterator() = default;
        const_iterator(const TextBlock* block, qsizetype index) : m_block(block), m_index(index) {}
        QStringView operator*() const { return m_block->at(m_index); }
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
    QString m_characters;
    // A QList, not a std::vector: growing a large one reallocates in place instead of copying every end.
    QList<qsizetype> m_ends;
};

} // namespace quorvane
