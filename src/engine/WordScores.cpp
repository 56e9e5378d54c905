#include "WordScores.h"

#include "ExtraPieces.h"
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
    countNames(*table, trie);
    m_index = std::move(index);
    m_table = std::move(table);
}

namespace {

std::size_t runSlot(quint64 key, std::size_t mask)
{
    return std::size_t((key * 0x9E3779B97F4A7C15ULL) >> 32) & mask;
}

} // namespace

void WordScores::countNames(Table& table, const WordTrie& trie) const
{
    const std::vector<QString>& words = m_dictionary->wordsInOrder();
    // The character trigrams of the words.
    std::vector<quint32> seen(std::size_t(symbolCount * symbolCount * symbolCount), 0);
    for (const QString& word : words) {
        int a = edgeSymbol;
        int b = edgeSymbol;
        for (qsizetype k = 0; k <= word.size(); ++k) {
            const int c = k < word.size() ? symbolOf(word[k].unicode()) : edgeSymbol;
            ++seen[std::size_t((a * symbolCount + b) * symbolCount + c)];
            a = b;
            b = c;
        }
    }
    table.trigrams.resize(seen.size());
    for (std::size_t ab = 0; ab < seen.size(); ab += symbolCount) {
        double total = 0;
        for (int c = 0; c < symbolCount; ++c)
            total += seen[ab + std::size_t(c)];
        for (int c = 0; c < symbolCount; ++c)
            table.trigrams[ab + std::size_t(c)] = std::log((seen[ab + std::size_t(c)] + 1.0) / (total + symbolCount));
    }

    // The counts: a word of the list scores more for each, a spelled run keeps its count for its pieces.
    table.guessByPlace = table.byPlace;
    std::vector<std::pair<quint64, double>> runs;
    const TextBlock& lines = m_dictionary->nameCounts();
    QString line;
    for (qsizetype k = 0; k < lines.count(); ++k) {
        lines.copyText(k, line);
        const qsizetype blank = line.indexOf(u' ');
        bool isNumber = false;
        const qint64 count = blank > 0 ? QStringView(line).sliced(blank + 1).toLongLong(&isNumber) : 0;
        if (!isNumber || count <= 0)
            continue;
        const QStringView piece = QStringView(line).first(blank);
        const double value = std::log1p(double(count));
        if (piece.size() <= ExtraPieces::runLongest &&
            std::all_of(piece.begin(), piece.end(), [](QChar c) { return c >= u'A' && c <= u'Z'; })) {
            quint64 key = firstRunKey;
            for (const QChar c : piece) {
                key = runKey(key, symbolOf(c.unicode()));
                runs.emplace_back(key, 0.0);
            }
            runs.back().second = value;
            continue;
        }
        const qsizetype place = trie.placeOf(WordDictionary::lowerCase(piece));
        if (place >= 0 && table.byPlace[std::size_t(place)] != notAPiece)
            table.guessByPlace[std::size_t(place)] =
                units(double(table.byPlace[std::size_t(place)]) / unitsPerNat + ExtraPieces::nameCountScore * value);
    }
    std::size_t slotCount = 16;
    while (slotCount < 2 * runs.size())
        slotCount *= 2;
    table.runKeys.assign(slotCount, 0);
    table.runCounts.assign(slotCount, 0.0);
    for (const auto& [key, value] : runs) {
        std::size_t slot = runSlot(key, slotCount - 1);
        while (table.runKeys[slot] != 0 && table.runKeys[slot] != key)
            slot = (slot + 1) & (slotCount - 1);
        table.runKeys[slot] = key;
        table.runCounts[slot] = std::max(table.runCounts[slot], value);
    }
}

double WordScores::runCount(quint64 key) const
{
    const std::vector<quint64>& keys = m_table->runKeys;
    const std::size_t mask = keys.size() - 1;
    for (std::size_t slot = runSlot(key, mask);; slot = (slot + 1) & mask) {
        if (keys[slot] == key)
            return m_table->runCounts[slot];
        if (keys[slot] == 0)
            return noRunCount;
    }
}

qint32 WordScores::guessWordScore(qsizetype place) const
{
    return m_table->guessByPlace[std::size_t(place)];
}

qint32 WordScores::wordScore(qsizetype place) const
{
    return m_table->byPlace[std::size_t(place)];
}

qint32 WordScores::pieceScore(QStringView piece) const
{
    return lookUp(m_table->byPlace, *m_index, piece);
}

qint32 WordScores::guessPieceScore(QStringView piece) const
{
    return lookUp(m_table->guessByPlace, *m_index, piece);
}

qint32 WordScores::lookUp(const std::vector<qint32>& byPlace, const WordTrie& index, QStringView piece)
{
    if (piece.isEmpty())
        return notAPiece;
    qint32 place = -1;
    if (ascii::isAscii(piece)) {
        // Lower-cased on the way down the trie.
        quint32 node = WordTrie::root;
        for (const QChar unit : piece) {
            node = index.child(node, ascii::toLower(unit.unicode()));
            if (node == WordTrie::noNode)
                break;
        }
        place = node == WordTrie::noNode ? -1 : index.wordPlace(node);
    } else {
        // A piece with characters beyond ASCII is lower-cased in full, as the dictionary's words were; its lower
        // case may well be ASCII (the Kelvin sign is a k).
        place = index.placeOf(WordDictionary::lowerCase(piece));
    }
    if (place >= 0)
        return byPlace[std::size_t(place)];
    return isNumeric(piece) ? numberScore() : notAPiece;
}

} // namespace quorvane
