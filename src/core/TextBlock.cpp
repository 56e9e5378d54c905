#include "TextBlock.h"

#include <algorithm>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace quorvane {

namespace {

// Asks for large pages under a big buffer that is about to be filled: a few hundred faults instead of a
// hundred thousand. Only a hint; where the system has no such pages nothing changes.
void preferLargePages([[maybe_unused]] void* start, [[maybe_unused]] qsizetype bytes)
{
#ifdef __linux__
    constexpr quintptr largePage = 2 * 1024 * 1024;
    if (bytes < qsizetype(4 * largePage))
        return;
    const quintptr first = (reinterpret_cast<quintptr>(start) + largePage - 1) & ~(largePage - 1);
    const quintptr last = (reinterpret_cast<quintptr>(start) + quintptr(bytes)) & ~(largePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

} // namespace

QStringList TextBlock::toStringList() const
{
    QStringList texts;
    texts.reserve(count());
    for (const QStringView text : *this)
        texts.append(text.toString());
    return texts;
}

void TextBlock::reserve(qsizetype texts, qsizetype characters)
{
    // Room grows at least twofold: a run appends one name's rows at a time, and reserving the exact size each
    // time would copy the whole block on every append.
    const qsizetype ends = m_ends.size() + texts;
    if (ends > m_ends.capacity()) {
        m_ends.reserve(std::max(ends, 2 * m_ends.capacity()));
        preferLargePages(m_ends.data(), m_ends.capacity() * qsizetype(sizeof(qsizetype)));
    }
    const qsizetype length = m_characters.size() + characters;
    if (length > m_characters.capacity()) {
        m_characters.reserve(std::max(length, 2 * m_characters.capacity()));
        preferLargePages(m_characters.data(), m_characters.capacity() * qsizetype(sizeof(QChar)));
    }
}

void TextBlock::add(QStringView text)
{
    m_characters.append(text);
    m_ends.append(m_characters.size());
}

void TextBlock::add(const TextBlock& other)
{
    const qsizetype offset = m_characters.size();
    m_characters.append(other.m_characters);
    const qsizetype added = other.count(); // fixed first: the other block may be this one
    reserve(added, 0);
    for (qsizetype index = 0; index < added; ++index)
        m_ends.append(offset + other.m_ends[index]);
}

void TextBlock::add(TextBlock&& other)
{
    if (!isEmpty()) {
        add(std::as_const(other));
        return;
    }
    *this = std::move(other);
    other.clear();
}

void TextBlock::remove(qsizetype index)
{
    const QStringView removed = at(index);
    const qsizetype begin = removed.data() - m_characters.constData();
    const qsizetype length = removed.size();
    m_characters.remove(begin, length);
    m_ends.remove(index);
    for (auto end = m_ends.begin() + index; end != m_ends.end(); ++end)
        *end -= length;
}

void TextBlock::clear()
{
    m_characters = QString();
    m_ends = {};
}

char16_t* TextBlock::writeBuffer(qsizetype size)
{
    if (size > m_characters.capacity()) {
        m_characters.reserve(std::max(size, 2 * m_characters.capacity()));
        preferLargePages(m_characters.data(), m_characters.capacity() * qsizetype(sizeof(QChar)));
    }
    if (size > m_characters.size())
        m_characters.resize(size); // new characters are left as they are, not filled
    return reinterpret_cast<char16_t*>(m_characters.data());
}

void TextBlock::endTexts(const qsizetype* ends, qsizetype n)
{
    const qsizetype first = m_ends.size();
    reserve(n, 0);
    m_ends.resize(first + n);
    std::copy_n(ends, n, m_ends.data() + first);
}

void TextBlock::finishWriting()
{
    m_characters.truncate(characterCount());
    // Room reserved from the file's size that the text did not take is given back. On a large block this moves
    // no characters: the pages are unmapped where they are.
    if (m_characters.capacity() > m_characters.size() + m_characters.size() / 8 + 1024)
        m_characters.squeeze();
    if (m_ends.capacity() > m_ends.size() + m_ends.size() / 8 + 1024)
        m_ends.squeeze();
}

} // namespace quorvane
