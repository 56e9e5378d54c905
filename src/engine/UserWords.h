#pragma once

#include <QString>
#include <QStringList>

namespace quorvane {

class WordDictionary;

// The user's words to add to and drop from the chosen list.
struct UserWords
{
    QStringList added; // in the order given
    QStringList dropped;

    bool isEmpty() const { return added.isEmpty() && dropped.isEmpty(); }

    // The words of a file, read by the rules of the word lists (the lines of readFileLines, lower-cased,
    // empty ones skipped). Throws Failure when the file cannot be opened or read.
    static QStringList readFile(const QString& path);
};

// Changes the dictionary as the user asked: the added words come first in its order, so that they rank with
// its most common words and count as words a spelling list holds; the dropped words leave it (a word both added
// and dropped is dropped). The other words keep their order; a word given twice counts once.
void applyUserWords(WordDictionary& dictionary, const UserWords& words);

} // namespace quorvane
