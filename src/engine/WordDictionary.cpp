#include "WordDictionary.h"

#include "core/Failure.h"

namespace quorvane {

void WordDictionary::clear()
{
    m_words.clear();
    ++m_generation;
}

void WordDictionary::add(const QString& lowerWord)
{
    const qsizetype before = m_words.size();
    m_words.insert(lowerWord);
    if (m_words.size() == before)
        throw Failure(QStringLiteral("The word \"%1\" is already in the word list.").arg(lowerWord));
    ++m_generation;
}

} // namespace quorvane
