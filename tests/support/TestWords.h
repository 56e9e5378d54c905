#pragma once

#include "engine/WordDictionary.h"

#include <QStringList>

namespace quorvane::testwords {

// A dictionary of the words, each lower-cased as the word lists do.
inline WordDictionary dictionaryOf(const QStringList& words)
{
    WordDictionary dictionary;
    for (const QString& word : words)
        dictionary.add(WordDictionary::lowerCase(word));
    return dictionary;
}

} // namespace quorvane::testwords
