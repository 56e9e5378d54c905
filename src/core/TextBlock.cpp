#include "TextBlock.h"

namespace quorvane {

void TextBlock::reserve(qsizetype texts, qsizetype characters)
{
    m_ends.reserve(m_ends.size() + static_cast<size_t>(texts));
    m_characters.reserve(m_characters.size() + characters);
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
