#include "UserWords.h"

#include "WordDictionary.h"
#include "text/TextFiles.h"

#include <QSet>

#include <vector>

namespace quorvane {

QStringList UserWords::readFile(const QString& path)
{
    QStringList words;
    for (const QString& line : readFileLines(path)) {
        if (!line.isEmpty())
            words.append(WordDictionary::lowerCase(line));
    }
    return words;
}

void applyUserWords(WordDictionary& dictionary, const UserWords& words)
{
    if (words.isEmpty())
        return;
    const QSet<QString> dropped(words.dropped.cbegin(), words.dropped.cend());
    QSet<QString> added;
    std::vector<QString> order;
    order.reserve(dictionary.wordsInOrder().size() + std::size_t(words.added.size()));
    for (const QString& word : words.added) {
        if (!dropped.contains(word) && !added.contains(word)) {
            added.insert(word);
            order.push_back(word);
        }
    }
    for (const QString& word : dictionary.wordsInOrder()) {
        if (!dropped.contains(word) && !added.contains(word))
            order.push_back(word);
    }
    TextBlock unlisted;
    for (const QString& line : dictionary.unlistedWords()) {
        if (!added.contains(WordDictionary::lowerCase(line)))
            unlisted.add(line);
    }
    TextBlock nameCounts = dictionary.nameCounts();
    TextBlock capitals = dictionary.capitals();
    dictionary.clear();
    dictionary.reserve(qsizetype(order.size()));
    for (const QString& word : order)
        dictionary.add(word);
    dictionary.setUnlistedWords(std::move(unlisted));
    dictionary.setNameCounts(std::move(nameCounts));
    dictionary.setCapitals(std::move(capitals));
}

} // namespace quorvane
