#include "WordScores.h"

#include "NumericPieces.h"
#include "text/Ascii.h"

#include <algorithm>
#include <cmath>

namespace quorvane {

namespace {

constexpr double eulerGamma = 0.5772;

// A word's score before rounding: Zipf from its place, the piece bonus, and for the shipped lists what is
// known of the word.
struct WordFacts
{
    qsizetype place = 0;
    qsizetype length = 0;
    bool unlisted = false;
    bool compound = false;
};

double wordNats(const WordFacts& word, double harmonic, bool shipped)
{
    double nats = -std::log(double(word.place + 1) * harmonic) + WordScores::pieceBonus;
    if (!shipped)
        return nats;
    if (word.length == 1)
        nats += WordScores::oneLetterPenalty;
    else if (word.length == 2)
        nats += WordScores::twoLetterPenalty;
    if (word.unlisted)
        nats += WordScores::unlistedPenalty;
    if (word.compound) {
        nats += WordScores::compoundBonus;
        if (word.unlisted)
            nats += WordScores::unlistedCompoundPenalty;
    }
    return nats;
}

} // namespace

WordScores::WordScores(const WordDictionary& dictionary, std::shared_ptr<const WordTrie> index)
    : m_dictionary(&dictionary)
{
    rebuild(std::move(index));
}

void WordScores::rebuild(std::shared_ptr<const WordTrie> index)
{
    if (!index) {
        auto own = std::make_shared<WordTrie>();
        own->build(m_dictionary->wordsInOrder());
        index = std::move(own);
    }
    auto table = std::make_shared<Table>();
    table->generation = m_dictionary->generation();
    const std::vector<QString>& words = m_dictionary->wordsInOrder();
    const bool shipped = m_dictionary->origin() == WordDictionary::Origin::ShippedList;
    const WordTrie& trie = *index;

    // The places of the words no spelling list holds.
    std::vector<bool> unlisted(words.size());
    for (const QString& line : m_dictionary->unlistedWords()) {
        const qsizetype place = trie.placeOf(WordDictionary::lowerCase(line));
        if (place >= 0)
            unlisted[std::size_t(place)] = true;
    }
    const auto isCommon = [](qsizetype place) { return place >= 0 && place < compoundPartPlaces; };
    // Two common words: the first parts of the word are found in one walk, each rest by a walk of its own.
    const auto isCompound = [&](QStringView word) {
        quint32 node = WordTrie::root;
        for (qsizetype k = 1; k + compoundPartLength <= word.size(); ++k) {
            node = trie.child(node, word[k - 1].unicode());
            if (node == WordTrie::noNode)
                return false;
            if (k >= compoundPartLength && isCommon(trie.wordPlace(node)) && isCommon(trie.placeOf(word.sliced(k))))
                return true;
        }
        return false;
    };

    const double harmonic = std::log(double(std::max<std::size_t>(words.size(), 1))) + eulerGamma;
    table->byPlace.assign(words.size(), notAPiece);
    for (qsizetype place = 0; place < qsizetype(words.size()); ++place) {
        const QString& word = words[std::size_t(place)];
        if (word.isEmpty())
            continue; // never a piece
        WordFacts facts;
        facts.place = place;
        facts.length = word.size();
        facts.unlisted = unlisted[std::size_t(place)];
        facts.compound = shipped && isCompound(word);
        table->byPlace[std::size_t(place)] = units(wordNats(facts, harmonic, shipped));
    }
    m_index = std::move(index);
    m_table = std::move(table);
}

qint32 WordScores::wordScore(qsizetype place) const
{
    return m_table->byPlace[std::size_t(place)];
}

qint32 WordScores::pieceScore(QStringView piece) const
{
    if (piece.isEmpty())
        return notAPiece;
    qint32 place = -1;
    if (ascii::isAscii(piece)) {
        // Lower-cased on the way down the trie.
        quint32 node = WordTrie::root;
        for (const QChar unit : piece) {
            node = m_index->child(node, ascii::toLower(unit.unicode()));
            if (node == WordTrie::noNode)
                break;
        }
        place = node == WordTrie::noNode ? -1 : m_index->wordPlace(node);
    } else {
        // A piece with characters beyond ASCII is lower-cased in full, as the dictionary's words were; its lower
        // case may well be ASCII (the Kelvin sign is a k).
        place = m_index->placeOf(WordDictionary::lowerCase(piece));
    }
    if (place >= 0)
        return m_table->byPlace[std::size_t(place)];
    return isNumeric(piece) ? numberScore() : notAPiece;
}

} // namespace quorvane
