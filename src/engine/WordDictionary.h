#pragma once

#include "text/TextBlock.h"

#include <QSet>
#include <QString>
#include <QStringView>

#include <vector>

namespace quorvane {

// The known words, lower-cased, each with its place in its list.
class WordDictionary
{
public:
    // Where the words come from: the shipped lists, whose scores the ranking has tuned, or a list of the
    // user's own, ranked by its line order alone.
    enum class Origin : quint8
    {
        ShippedList,
        UserList,
    };

    // The one lower-casing of the program, used on load and on lookup alike: full Unicode lower-casing,
    // independent of the user's locale.
    static QString lowerCase(QStringView text) { return text.toString().toLower(); }
    // The same for a whole string: a string that is already lower case comes back shared, without a copy.
    static QString lowerCase(const QString& text) { return text.toLower(); }
    // The same, taking the text's own storage when it can (an already lower-case text is moved, not shared).
    static QString lowerCase(QString&& text) { return std::move(text).toLower(); }

    // Empties the dictionary, the unlisted words, name counts and capitals too; the origin is kept.
    void clear();
    // Makes room for this many words, so that a load does not grow the set step by step.
    void reserve(qsizetype count);
    // Adds an already lower-cased word at the next place. Throws Failure naming the word when it is already
    // present; the word then takes no place.
    void add(const QString& lowerWord);
    bool contains(const QString& lowerKey) const { return m_words.contains(lowerKey); }

    qsizetype size() const { return m_words.size(); }
    bool isEmpty() const { return m_words.isEmpty(); }
    const QSet<QString>& words() const { return m_words; }
    // The words in the order they were added: the word at index i has place i.
    const std::vector<QString>& wordsInOrder() const { return m_inOrder; }

    // The words that no spelling list holds (names, brands, foreign words), as "unlisted.lst" gives them,
    // in any letter case; they need not be words of the dictionary. The ranking trusts these words less. Kept
    // as read, since only the ranking, when it is asked for, looks them up.
    const TextBlock& unlistedWords() const { return m_unlisted; }
    void setUnlistedWords(TextBlock words);

    // How often words and spelled runs are words of real domain names, as "namecounts.txt" gives them: lines
    // "WORD COUNT", a run in upper case. Only the best guesses beyond the list use them.
    const TextBlock& nameCounts() const { return m_nameCounts; }
    void setNameCounts(TextBlock lines);
    // What is written in capitals alone ("nasa" for NASA), as "capitals.lst" gives it, lower case, one form a
    // line: a run of letters that is one of them is likely spelled, a word that is one of them a little less
    // likely a word. Only the best guesses beyond the list use them.
    const TextBlock& capitals() const { return m_capitals; }
    void setCapitals(TextBlock forms);

    Origin origin() const { return m_origin; }
    void setOrigin(Origin origin);

    // Changes whenever the contents change, so that indexes built from the words know when to rebuild.
    quint64 generation() const { return m_generation; }

private:
    QSet<QString> m_words;
    std::vector<QString> m_inOrder; // shares each word's text with the set
    TextBlock m_unlisted;
    TextBlock m_nameCounts;
    TextBlock m_capitals;
    Origin m_origin = Origin::ShippedList;
    quint64 m_generation = 0;
};

} // namespace quorvane
