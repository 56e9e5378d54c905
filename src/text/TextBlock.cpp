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

void EndList::remove(qsizetype first, qsizetype count)
{
    std::memmove(m_data + first, m_data + first + count, size_t(m_size - first - count) * sizeof(quint32));
    m_size -= count;
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

qsizetype TextBlock::gapCharactersThrough(qsizetype index) const
{
    const auto after = std::upper_bound(m_gaps.begin(), m_gaps.end(), index,
                                        [](qsizetype text, const Gap& gap) { return text < gap.index; });
    return after == m_gaps.begin() ? 0 : std::prev(after)->charactersThrough;
}

void TextBlock::copyBuffer(qsizetype start, qsizetype length, QChar* out) const
{
    if (m_narrow)
        windows1252::decodeInto(reinterpret_cast<char16_t*>(out), QByteArrayView(m_bytes.constData() + start, length));
    else
        std::copy_n(m_wide.constData() + start, length, out);
}

void TextBlock::moveBuffer(qsizetype from, qsizetype to, qsizetype length)
{
    if (length == 0 || from == to)
        return;
    if (m_narrow)
        std::memmove(m_bytes.data() + to, m_bytes.constData() + from, size_t(length));
    else
        std::memmove(static_cast<void*>(m_wide.data() + to), m_wide.constData() + from, size_t(length) * sizeof(QChar));
}

void TextBlock::truncateBuffer(qsizetype size)
{
    if (m_narrow)
        m_bytes.truncate(size);
    else
        m_wide.truncate(size);
}

void TextBlock::copyCharacters(qsizetype start, qsizetype length, QChar* out) const
{
    // The characters between two gaps lie together in the buffer, past the characters of every gap before.
    auto gap = std::upper_bound(m_gaps.begin(), m_gaps.end(), start,
                                [](qsizetype position, const Gap& next) { return position < next.position; });
    while (length > 0) {
        const qsizetype skipped = gap == m_gaps.begin() ? 0 : std::prev(gap)->charactersThrough;
        const qsizetype run = gap == m_gaps.end() ? length : std::min(length, gap->position - start);
        copyBuffer(start + skipped, run, out);
        start += run;
        out += run;
        length -= run;
        while (gap != m_gaps.end() && gap->position <= start)
            ++gap;
    }
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
    if (other.hasGaps()) {
        TextBlock closed = other;
        closed.closeGaps();
        add(closed);
        return;
    }
    if (isEmpty()) {
        // An empty block takes the other's way of keeping characters.
        m_bytes = QByteArray();
        m_wide = QString();
        m_narrow = other.m_narrow;
    }
    const qsizetype offset = usedSize();
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
    remove(index, 1);
}

void TextBlock::remove(qsizetype first, qsizetype count)
{
    if (count <= 0)
        return;
    if (first + count == this->count()) {
        // The last texts: the buffer ends earlier. Characters past the last text (none once writing has
        // finished) keep their place after it.
        const qsizetype used = usedSize();
        const qsizetype size = first == 0 ? 0 : bufferEnd(first - 1);
        const qsizetype pending = bufferSize() - used;
        moveBuffer(used, size, pending);
        truncateBuffer(size + pending);
        truncateEnds(first);
        while (!m_gaps.empty() && m_gaps.back().index >= first)
            m_gaps.pop_back();
        return;
    }
    const qsizetype position = startOf(first);
    const qsizetype removed = endOf(first + count - 1) - position;
    // The removed texts and the gaps among them and right after them become one gap before the text that
    // follows them; the gaps after it move up with their texts.
    const Gap merged{first, position, gapCharactersThrough(first + count) + removed};
    const auto byIndex = [](const Gap& gap, qsizetype index) { return gap.index < index; };
    const auto from = std::lower_bound(m_gaps.begin(), m_gaps.end(), first, byIndex);
    const auto to = std::lower_bound(from, m_gaps.end(), first + count + 1, byIndex);
    for (auto later = to; later != m_gaps.end(); ++later) {
        later->index -= count;
        later->position -= removed;
        later->charactersThrough += removed;
    }
    m_gaps.insert(m_gaps.erase(from, to), merged);
    m_ends.remove(first, count);
    // The texts that stay keep their ends in the buffer; only the numbers of those after the removed ones fall.
    for (qsizetype& wrap : m_wraps) {
        if (wrap > first)
            wrap = std::max(first, wrap - count);
    }
    // Closing takes one pass over the block; it comes only after as many characters were removed, or after
    // many removals.
    if (m_gaps.back().charactersThrough > characterCount() || qsizetype(m_gaps.size()) > maxGaps)
        closeGaps();
}

void TextBlock::closeGaps()
{
    if (!m_gaps.empty())
        removeRanges({});
}

void TextBlock::removeRanges(const QList<std::pair<qsizetype, qsizetype>>& ranges)
{
    if (ranges.isEmpty() && m_gaps.empty())
        return;
    // One pass from the first removed text or the first gap, whichever comes first: each text that stays
    // after it moves down once, by the characters of the texts removed and of the gaps before it. Positions
    // below count without gaps; `through` is what the gaps up to the current text hold.
    qsizetype firstMoved = ranges.isEmpty() ? count() : ranges.front().first;
    if (!m_gaps.empty())
        firstMoved = std::min(firstMoved, m_gaps.front().index);
    const qsizetype used = usedSize();
    const qsizetype size = bufferSize();
    auto gap = m_gaps.cbegin();
    qsizetype through = 0;
    const auto passGapsTo = [&](qsizetype index) {
        while (gap != m_gaps.cend() && gap->index <= index)
            through = (gap++)->charactersThrough;
    };
    // The ends of the texts that stay, as they will be. Without wrapped ends they are rewritten in place
    // (every end only falls); otherwise they are gathered and appended again.
    const bool inPlace = m_wraps.isEmpty();
    quint32* const ends = m_ends.data();
    qsizetype keptCount = firstMoved;
    std::vector<qsizetype> keptEnds;
    if (!inPlace)
        keptEnds.reserve(size_t(count() - firstMoved));
    qsizetype position = startOf(firstMoved); // where the next text looked at starts
    qsizetype removedCharacters = 0;
    const auto keep = [&](qsizetype from, qsizetype to) { // the texts from..to-1 stay
        while (from < to) {
            // The texts up to the next gap lie together in the buffer and move in one piece.
            passGapsTo(from);
            const qsizetype next = gap == m_gaps.cend() ? to : std::min(to, gap->index);
            const qsizetype end = bufferEnd(next - 1) - through;
            moveBuffer(position + through, position - removedCharacters, end - position);
            for (qsizetype index = from; index < next; ++index) {
                if (inPlace)
                    ends[keptCount++] = quint32(qsizetype(ends[index]) - through - removedCharacters);
                else
                    keptEnds.push_back(bufferEnd(index) - through - removedCharacters);
            }
            position = end;
            from = next;
        }
    };
    qsizetype next = firstMoved; // the first text not yet looked at
    for (const auto& [first, removed] : ranges) {
        keep(next, first);
        next = first + removed;
        passGapsTo(next - 1);
        const qsizetype end = bufferEnd(next - 1) - through;
        removedCharacters += end - position;
        position = end;
    }
    keep(next, count());
    // Characters past the last text (none once writing has finished) keep their place after it.
    const qsizetype dropped = used - (position - removedCharacters);
    moveBuffer(used, used - dropped, size - used);
    truncateBuffer(size - dropped);
    m_gaps.clear();
    if (inPlace) {
        m_ends.resizeForOverwrite(keptCount);
        return;
    }
    truncateEnds(firstMoved);
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
    m_gaps = {};
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
    truncateBuffer(usedSize());
    if (m_narrow)
        giveBackRoom(m_bytes);
    else
        giveBackRoom(m_wide);
    giveBackRoom(m_ends);
}

} // namespace quorvane
