#include "TextBlock.h"

#include <algorithm>

namespace quorvane {

void TextBlock::reserve(qsizetype texts, qsizetype characters)
{
    // Room grows at least twofold: a run appends one name's rows at a time, and reserving the exact size each
    // time would copy the whole block on every append.
    const size_t ends = m_ends.size() + static_cast<size_t>(texts);
    if (ends > m_ends.capacity())
        m_ends.reserve(std::max(ends, 2 * m_ends.capacity()));
    const qsizetype length = m_characters.size() + characters;
    if (length > m_characters.capacity())
        m_characters.reserve(std::max(length, 2 * m_characters.capacity()));
}

void TextBlock::add(QStringView text)
{
    m_characters.append(text);
    m_ends.push_back(m_characters.size());
}

void TextBlock::add(const TextBlock& other)
{
    const qsizetype offset = m_characters.size();
    m_characters.append(other.m_characters);
    m_ends.reserve(m_ends.size() + other.m_ends.size());
    for (const qsizetype end : other.m_ends)
        m_ends.push_back(offset + end);
}

void TextBlock::remove(qsizetype index)
{
    const QStringView removed = at(index);
    const qsizetype begin = removed.data() - m_characters.constData();
    const qsizetype length = removed.size();
    m_characters.remove(begin, length);
    m_ends.erase(m_ends.begin() + index);
    for (auto end = m_ends.begin() + index; end != m_ends.end(); ++end)
        *end -= length;
}

void TextBlock::clear()
{
    m_characters = QString();
    m_ends = {};
}

} // namespace quorvane
