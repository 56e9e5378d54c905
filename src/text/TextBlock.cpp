#include "TextBlock.h"

#include "text/Windows1252.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace quorvane {

namespace {

// Makes room for `size` elements, at least twice the room there was. Large pages are not asked for: under
// them a buffer fills faster once the system has them at hand, but gathering them can hold the program up for
// a large part of a second, on a first file read or in the middle of a run.
template <typename Buffer> void growTo(Buffer& buffer, qsizetype size)
{
    if (size > buffer.capacity())
        buffer.reserve(std::max(size, 2 * buffer.capacity()));
}

// Gives back room reserved ahead that the buffer did not take. On a large buffer this moves nothing: the
// pages are unmapped where they are.
template <typename Buffer> void giveBackRoom(Buffer& buffer)
{
    if (buffer.capacity() > buffer.size() + buffer.size() / 8 + 1024)
        buffer.squeeze();
}

} // namespace

EndList::EndList(const EndList& other)
{
    reserve(other.m_size);
    if (other.m_size > 0)
        std::memcpy(m_data, other.m_data, size_t(other.m_size) * sizeof(quint32));
    m_size = other.m_size;
}

EndList::EndList(EndList&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0))
{}

EndList& EndList::operator=(const EndList& other)
{
    if (this != &other)
        *this = EndList(other);
    return *this;
}

EndList& EndList::operator=(EndList&& other) noexcept
{
    if (this != &other) {
        std::free(m_data);
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

EndList::~EndList()
{
    std::free(m_data);
}

void EndList::reserve(qsizetype capacity)
{
    if (capacity <= m_capacity)
        return;
    void* grown = std::realloc(m_data, size_t(capacity) * sizeof(quint32));
    if (!grown)
        throw std::bad_alloc();
    m_data = static_cast<quint32*>(grown);
    m_capacity = capacity;
}

void EndList::squeeze()
{
    if (m_size == m_capacity)
        return;
    if (m_size == 0) {
        std::free(std::exchange(m_data, nullptr));
        m_capacity = 0;
        return;
    }
    if (void* shrunk = std::realloc(m_data, size_t(m_size) * sizeof(quint32))) {
        m_data = static_cast<quint32*>(shrunk);
        m_capacity = m_size;
    }
}

void EndList::resizeForOverwrite(qsizetype size)
{
    reserve(size);
    m_size = size;
}

void EndList::remove(qsizetype index)
{
    std::memmove(m_data + index, m_data + index + 1, size_t(m_size - index - 1) * sizeof(quint32));
    --m_size;
}

void TextBlock::appendEnd(qsizetype end)
{
    const qsizetype segment = end >> m_segmentBits;
    while (m_wraps.size() < segment)
        m_wraps.append(m_ends.size());
    m_ends.append(quint32(end & ((qsizetype(1) << m_segmentBits) - 1)));
}

void TextBlock::truncateEnds(qsizetype count)
{
    m_ends.resizeForOverwrite(count);
    // The ends that stay are unchanged, and so are the places where they passed a multiple.
    while (!m_wraps.isEmpty() && m_wraps.back() >= count)
        m_wraps.removeLast();
}

void TextBlock::copyCharacters(qsizetype start, qsizetype length, QChar* out) const
{
    if (m_narrow)
        windows1252::decodeInto(reinterpret_cast<char16_t*>(out), QByteArrayView(m_bytes.constData() + start, length));
    else
        std::copy_n(m_wide.constData() + start, length, out);
}

void TextBlock::copyText(qsizetype index, QString& out) const
{
    const qsizetype start = startOf(index);
    out.resize(endOf(index) - start);
    copyCharacters(start, out.size(), out.data());
}

QString TextBlock::text(qsizetype index) const
{
    return text(index, lengthOf(index));
}

QString TextBlock::text(qsizetype index, qsizetype maxLength) const
{
    const qsizetype start = startOf(index);
    QString out(std::min(endOf(index) - start, maxLength), Qt::Uninitialized);
    copyCharacters(start, out.size(), out.data());
    return out;
}

QStringList TextBlock::toStringList() const
{
    QStringList texts;
    texts.reserve(count());
    for (qsizetype index = 0; index < count(); ++index)
        texts.append(text(index));
    return texts;
}

void TextBlock::reserve(qsizetype texts, qsizetype characters)
{
    // Room grows at least twofold: a run appends one name's rows at a time, and reserving the exact size each
    // time would copy the whole block on every append.
    growTo(m_ends, m_ends.size() + texts);
    if (m_narrow)
        growTo(m_bytes, m_bytes.size() + characters);
    else
        growTo(m_wide, m_wide.size() + characters);
}

void TextBlock::add(QStringView text)
{
    if (m_narrow) {
        const qsizetype start = m_bytes.size();
        reserve(1, text.size());
        m_bytes.resize(start + text.size());
        if (windows1252::encodeExactly(text, m_bytes.data() + start)) {
            appendEnd(m_bytes.size());
            return;
        }
        m_bytes.truncate(start);
        widen(start);
    }
    reserve(1, text.size());
    m_wide.append(text);
    appendEnd(m_wide.size());
}

void TextBlock::add(const TextBlock& other)
{
    if (&other == this) {
        const TextBlock copy = other;
        add(copy);
        return;
    }
    if (other.isEmpty())
        return;
    if (isEmpty()) {
        // An empty block takes the other's way of keeping characters.
        m_bytes = QByteArray();
        m_wide = QString();
        m_narrow = other.m_narrow;
    }
    const qsizetype offset = characterCount();
    const qsizetype added = other.characterCount();
    reserve(other.count(), added);
    if (m_narrow && other.m_narrow) {
        m_bytes.append(other.m_bytes.constData(), added);
    } else if (m_narrow) {
        m_bytes.resize(offset + added);
        if (!windows1252::encodeExactly(QStringView(other.m_wide.constData(), added), m_bytes.data() + offset)) {
            // A character without a byte: this block turns wide, and the texts are added as they are.
            m_bytes.truncate(offset);
            widen(offset);
            m_wide.append(other.m_wide.constData(), added);
        }
    } else {
        m_wide.resize(offset + added);
        other.copyCharacters(0, added, m_wide.data() + offset);
    }
    for (qsizetype index = 0; index < other.count(); ++index)
        appendEnd(offset + other.endOf(index));
}

void TextBlock::add(TextBlock&& other)
{
    if (!isEmpty() || &other == this) {
        add(std::as_const(other));
        return;
    }
    *this = std::move(other);
    other.clear();
}

void TextBlock::remove(qsizetype index)
{
    const qsizetype start = startOf(index);
    const qsizetype length = endOf(index) - start;
    if (m_narrow)
        m_bytes.remove(start, length);
    else
        m_wide.remove(start, length);
    if (m_wraps.isEmpty()) {
        quint32* const ends = m_ends.data();
        for (qsizetype next = index + 1; next < count(); ++next)
            ends[next] -= quint32(length);
        m_ends.remove(index);
        return;
    }
    std::vector<qsizetype> later;
    later.reserve(size_t(count() - index - 1));
    for (qsizetype next = index + 1; next < count(); ++next)
        later.push_back(endOf(next) - length);
    truncateEnds(index);
    for (const qsizetype end : later)
        appendEnd(end);
}

void TextBlock::remove(qsizetype first, qsizetype count)
{
    removeRanges({{first, count}});
}

void TextBlock::removeRanges(const QList<std::pair<qsizetype, qsizetype>>& ranges)
{
    if (ranges.isEmpty())
        return;
    const qsizetype firstRemoved = ranges.front().first;
    const qsizetype size = bufferSize();
    char* const bytes = m_narrow ? m_bytes.data() : nullptr;
    QChar* const wide = m_narrow ? nullptr : m_wide.data();
    const auto moveCharacters = [&](qsizetype from, qsizetype to, qsizetype length) {
        if (length == 0 || from == to)
            return;
        if (m_narrow)
            std::memmove(bytes + to, bytes + from, size_t(length));
        else
            std::memmove(static_cast<void*>(wide + to), wide + from, size_t(length) * sizeof(QChar));
    };
    // The ends of the texts that stay after the first removed one, as they will be. Without wrapped ends they
    // are rewritten in place (every end only falls); otherwise they are gathered and appended again.
    const bool inPlace = m_wraps.isEmpty();
    quint32* const ends = m_ends.data();
    qsizetype keptCount = firstRemoved;
    std::vector<qsizetype> keptEnds;
    if (!inPlace)
        keptEnds.reserve(size_t(count() - firstRemoved));
    qsizetype write = startOf(firstRemoved); // where the next kept character goes
    qsizetype removedCharacters = 0;
    const auto keep = [&](qsizetype from, qsizetype to) { // the texts from..to-1 stay
        if (from >= to)
            return;
        const qsizetype start = startOf(from);
        moveCharacters(start, write, endOf(to - 1) - start);
        write += endOf(to - 1) - start;
        for (qsizetype index = from; index < to; ++index) {
            if (inPlace)
                ends[keptCount++] = quint32(qsizetype(ends[index]) - removedCharacters);
            else
                keptEnds.push_back(endOf(index) - removedCharacters);
        }
    };
    qsizetype next = firstRemoved; // the first text not yet looked at
    for (const auto& [first, removed] : ranges) {
        keep(next, first);
        removedCharacters += endOf(first + removed - 1) - startOf(first);
        next = first + removed;
    }
    keep(next, count());
    // Characters past the last text (none once writing has finished) keep their place after it.
    moveCharacters(write + removedCharacters, write, size - write - removedCharacters);
    if (m_narrow)
        m_bytes.truncate(size - removedCharacters);
    else
        m_wide.truncate(size - removedCharacters);
    if (inPlace) {
        m_ends.resizeForOverwrite(keptCount);
        return;
    }
    truncateEnds(firstRemoved);
    for (const qsizetype end : keptEnds)
        appendEnd(end);
}

void TextBlock::clear()
{
    m_narrow = false;
    m_bytes = QByteArray();
    m_wide = QString();
    m_ends = {};
    m_wraps = {};
}

void TextBlock::startNarrow()
{
    if (isEmpty() && bufferSize() == 0) {
        m_narrow = true;
        m_wide = QString();
    }
}

void TextBlock::widen(qsizetype size)
{
    if (!m_narrow)
        return;
    QString wide;
    // The room reserved for what is still to come stays, now counted in characters of two bytes.
    wide.reserve(std::max(size, m_bytes.capacity()));
    wide.resize(size);
    windows1252::decodeInto(reinterpret_cast<char16_t*>(wide.data()), QByteArrayView(m_bytes.constData(), size));
    m_wide = std::move(wide);
    m_bytes = QByteArray();
    m_narrow = false;
}

char* TextBlock::narrowWriteBuffer(qsizetype size)
{
    growTo(m_bytes, size);
    if (size > m_bytes.size())
        m_bytes.resize(size); // new characters are left as they are, not filled
    return m_bytes.data();
}

char16_t* TextBlock::writeBuffer(qsizetype size)
{
    growTo(m_wide, size);
    if (size > m_wide.size())
        m_wide.resize(size); // new characters are left as they are, not filled
    return reinterpret_cast<char16_t*>(m_wide.data());
}

void TextBlock::endTexts(const qsizetype* ends, qsizetype n)
{
    if (n == 0)
        return;
    growTo(m_ends, m_ends.size() + n);
    if ((ends[n - 1] >> m_segmentBits) != m_wraps.size()) {
        for (qsizetype i = 0; i < n; ++i)
            appendEnd(ends[i]);
        return;
    }
    // All in the segment of the last end: only their low bits are kept.
    const qsizetype first = m_ends.size();
    m_ends.resizeForOverwrite(first + n);
    const qsizetype mask = (qsizetype(1) << m_segmentBits) - 1;
    quint32* out = m_ends.data() + first;
    for (qsizetype i = 0; i < n; ++i)
        out[i] = quint32(ends[i] & mask);
}

void TextBlock::finishWriting()
{
    if (m_narrow) {
        m_bytes.truncate(characterCount());
        giveBackRoom(m_bytes);
    } else {
        m_wide.truncate(characterCount());
        giveBackRoom(m_wide);
    }
    giveBackRoom(m_ends);
}

} // namespace quorvane
