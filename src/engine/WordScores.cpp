#include "WordScores.h"

#include "NumericPieces.h"
#include "text/Ascii.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace quorvane {

namespace {

constexpr double eulerGamma = 0.5772;

char16_t lowerAscii(char16_t unit)
{
    return (unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit;
}

// FNV-1a over the lower-cased units of an ASCII text, folded: the table's index is its low bits. A text's
// hash is that of its first units taken one more unit on, so all the first parts of a word are hashed in one
// pass over it.
constexpr quint64 fnvStart = 14695981039346656037ull;

quint64 fnvStep(quint64 state, char16_t unit)
{
    return (state ^ lowerAscii(unit)) * 1099511628211ull;
}

std::size_t fnvHash(quint64 state)
{
    return std::size_t(state ^ (state >> 29));
}

std::size_t hashLowerAscii(QStringView text)
{
    quint64 state = fnvStart;
    for (const QChar c : text)
        state = fnvStep(state, c.unicode());
    return fnvHash(state);
}

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

const WordScores::Cell* WordScores::Table::findAscii(QStringView piece) const
{
    return findAscii(piece, hashLowerAscii(piece));
}

const WordScores::Cell* WordScores::Table::findAscii(QStringView piece, std::size_t hash) const
{
    if (cells.empty())
        return nullptr;
    const auto length = quint32(piece.size());
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Cell& cell = cells[i];
        if (cell.length == 0)
            return nullptr;
        if (cell.length != length)
            continue;
        const char* word = bytes.data() + cell.offset;
        quint32 k = 0;
        while (k < length && char16_t(word[k]) == lowerAscii(piece[k].unicode()))
            ++k;
        if (k == length)
            return &cell;
    }
}

WordScores::WordScores(const WordDictionary& dictionary) : m_dictionary(&dictionary)
{
    rebuild();
}

void WordScores::rebuild()
{
    auto table = std::make_shared<Table>();
    table->generation = m_dictionary->generation();
    const std::vector<QString>& words = m_dictionary->wordsInOrder();
    const bool shipped = m_dictionary->origin() == WordDictionary::Origin::ShippedList;

    // The ASCII words go into the table with their places as scores for now: the compounds are found there.
    qsizetype asciiCount = 0;
    std::size_t asciiBytes = 0;
    for (const QString& word : words) {
        if (!word.isEmpty() && ascii::isAscii(word)) {
            ++asciiCount;
            asciiBytes += std::size_t(word.size());
        }
    }
    table->cells.resize(std::bit_ceil(std::size_t(asciiCount) * 2 + 2));
    table->mask = table->cells.size() - 1;
    table->bytes.reserve(asciiBytes);
    QHash<QString, qint32> otherPlaces;
    for (qsizetype place = 0; place < qsizetype(words.size()); ++place) {
        const QString& word = words[std::size_t(place)];
        if (word.isEmpty())
            continue; // never a piece
        if (!ascii::isAscii(word)) {
            otherPlaces.insert(word, qint32(place));
            continue;
        }
        std::size_t i = hashLowerAscii(word) & table->mask;
        while (table->cells[i].length != 0)
            i = (i + 1) & table->mask;
        table->cells[i] = Cell{quint32(table->bytes.size()), quint32(word.size()), qint32(place)};
        for (const QChar c : word)
            table->bytes.push_back(char(c.unicode()));
        table->longestAscii = std::max(table->longestAscii, word.size());
    }

    const auto placeOf = [&](QStringView lowerWord) -> qsizetype {
        if (ascii::isAscii(lowerWord)) {
            const Cell* cell = table->findAscii(lowerWord);
            return cell ? cell->score : -1;
        }
        return otherPlaces.value(lowerWord.toString(), -1);
    };
    // The places of the words no spelling list holds.
    std::vector<bool> unlisted(words.size());
    for (const QString& line : m_dictionary->unlistedWords()) {
        const qsizetype place = placeOf(WordDictionary::lowerCase(line));
        if (place >= 0)
            unlisted[std::size_t(place)] = true;
    }
    const auto isCommon = [](qsizetype place) { return place >= 0 && place < compoundPartPlaces; };
    const auto isCompound = [&](QStringView word) {
        const bool allAscii = ascii::isAscii(word);
        quint64 first = fnvStart; // the hash state of word.first(k), for an ASCII word
        for (qsizetype k = 1; k + compoundPartLength <= word.size(); ++k) {
            first = fnvStep(first, word[k - 1].unicode());
            if (k < compoundPartLength)
                continue;
            qsizetype firstPlace = -1;
            if (!allAscii)
                firstPlace = placeOf(word.first(k));
            else if (const Cell* cell = table->findAscii(word.first(k), fnvHash(first)))
                firstPlace = cell->score;
            if (isCommon(firstPlace) && isCommon(placeOf(word.sliced(k))))
                return true;
        }
        return false;
    };

    const double harmonic = std::log(double(std::max<std::size_t>(words.size(), 1))) + eulerGamma;
    const auto score = [&](qsizetype place) {
        const QString& word = words[std::size_t(place)];
        WordFacts facts;
        facts.place = place;
        facts.length = word.size();
        facts.unlisted = unlisted[std::size_t(place)];
        facts.compound = shipped && isCompound(word);
        return units(wordNats(facts, harmonic, shipped));
    };
    // Every compound is found before any place in the table is overwritten by a score.
    table->byPlace.assign(words.size(), notAPiece);
    for (qsizetype place = 0; place < qsizetype(words.size()); ++place) {
        if (!words[std::size_t(place)].isEmpty())
            table->byPlace[std::size_t(place)] = score(place);
    }
    for (Cell& cell : table->cells) {
        if (cell.length != 0)
            cell.score = table->byPlace[std::size_t(cell.score)];
    }
    table->others.reserve(otherPlaces.size());
    for (auto it = otherPlaces.cbegin(); it != otherPlaces.cend(); ++it)
        table->others.insert(it.key(), table->byPlace[std::size_t(it.value())]);

    m_table = std::move(table);
}

qint32 WordScores::wordScore(qsizetype place) const
{
    return m_table->byPlace[std::size_t(place)];
}

qint32 WordScores::pieceScore(QStringView piece) const
{
    const Table& table = *m_table;
    if (piece.isEmpty())
        return notAPiece;
    if (!ascii::isAscii(piece))
        return nonAsciiScore(piece);
    if (piece.size() <= table.longestAscii) {
        if (const Cell* cell = table.findAscii(piece))
            return cell->score;
    }
    return isNumeric(piece) ? numberScore() : notAPiece;
}

// A piece with characters beyond ASCII is lower-cased in full, as the dictionary's words were; its lower
// case may well be ASCII (the Kelvin sign is a k).
qint32 WordScores::nonAsciiScore(QStringView piece) const
{
    const Table& table = *m_table;
    const QString lower = WordDictionary::lowerCase(piece);
    if (ascii::isAscii(lower)) {
        if (const Cell* cell = table.findAscii(lower))
            return cell->score;
    } else {
        const auto it = table.others.constFind(lower);
        if (it != table.others.cend())
            return it.value();
    }
    return isNumeric(piece) ? numberScore() : notAPiece;
}

} // namespace quorvane
