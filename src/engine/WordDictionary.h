#pragma once

#include <QSet>
#include <QString>
#include <QStringView>

namespace quorvane {

// The set of known words, every key lower-cased. Membership tests take constant time on average.
class WordDictionary
{
public:
    // The one lower-casing of the program, used on load and on lookup alike: full Unicode lower-casing,
    // independent of the user's locale.
    static QString lowerCase(QStringView text) { return text.toString().toLower(); }
    // The same for a whole string: a string that is already lower case comes back shared, without a copy.
    static QString lowerCase(const QString& text) { return text.toLower(); }
    // The same, taking the text's own storage when it can (an already lower-case text is moved, not shared).
    static QString lowerCase(QString&& text) { return std::move(text).toLower(); }

    void clear();
    // Makes room for this many words, so that a load does not grow the set step by step.
    void reserve(qsizetype count);
    // Adds an already lower-cased word. Throws Failure naming the word when it is already present.
    void add(const QString& lowerWord);
    bool contains(const QString& lowerKey) const { return m_words.contains(lowerKey); }

    qsizetype size() const { return m_words.size(); }
    bool isEmpty() const { return m_words.isEmpty(); }
    const QSet<QString>& words() const { return m_words; }

    // Changes whenever the contents change, so that indexes built from the words know when to rebuild.
    quint64 generation() const { return m_generation; }

private:
    QSet<QString> m_words;
    quint64 m_generation = 0;
};

} // namespace quorvane
