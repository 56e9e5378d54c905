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
    // At least ln(1 / (2^32 + symbolCount)) each: far within 16 bits as units, whatever the weight's nats.
    for (const auto& [weighted, weight] : {std::pair(&table.runTrigramUnits, ExtraPieces::runTrigramScore),
                                           std::pair(&table.unknownTrigramUnits, ExtraPieces::unknownTrigramScore)}) {
        weighted->resize(table.trigrams.size());
        for (std::size_t k = 0; k < table.trigrams.size(); ++k)
            (*weighted)[k] = static_cast<qint16>(units(weight * table.trigrams[k]));
    }

    addRunEvidence(table, trie);
}

namespace {

// The run of `piece` (letters a-z in either case, at most ExtraPieces::runLongest of them) as a key; 0 for
// anything else.
quint64 runKeyOf(QStringView piece)
{
    if (piece.isEmpty() || piece.size() > ExtraPieces::runLongest)
        return 0;
    quint64 key = WordScores::firstRunKey;
    for (const QChar c : piece) {
        const int symbol = WordScores::symbolOf(c.unicode());
        if (symbol == WordScores::otherSymbol)
            return 0;
        key = WordScores::runKey(key, symbol);
    }
    return key;
}

} // namespace

void WordScores::addRunEvidence(Table& table, const WordTrie& trie) const
{
    // Per word of the list, ln(1 + its count) and whether it is written in capitals; per run the same.
    const std::size_t wordCount = table.byPlace.size();
    std::vector<double> wordCounts(wordCount, 0.0);
    std::vector<bool> wordCapitals(wordCount, false);
    struct Run
    {
        quint64 key;
        double count;
        bool capitals;
        bool goesOn = false; // a longer run begins with it
    };
    std::vector<Run> runs;
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
        // A run is counted in upper case, a word in lower case.
        if (std::all_of(piece.begin(), piece.end(), [](QChar c) { return c >= u'A' && c <= u'Z'; })) {
            if (const quint64 key = runKeyOf(piece))
                runs.push_back({key, value, false});
            continue;
        }
        const qsizetype place = trie.placeOf(WordDictionary::lowerCase(piece));
        if (place >= 0)
            wordCounts[std::size_t(place)] = value;
    }
    const TextBlock& forms = m_dictionary->capitals();
    for (qsizetype k = 0; k < forms.count(); ++k) {
        forms.copyText(k, line);
        const QString lower = WordDictionary::lowerCase(line);
        if (lower.isEmpty())
            continue;
        if (const quint64 key = runKeyOf(lower))
            runs.push_back({key, 0.0, true});
        const qsizetype place = trie.placeOf(lower);
        if (place >= 0)
            wordCapitals[std::size_t(place)] = true;
    }

    table.guessByPlace = table.byPlace;
    for (std::size_t place = 0; place < wordCount; ++place) {
        if (table.byPlace[place] != notAPiece && (wordCounts[place] > 0 || wordCapitals[place]))
            table.guessByPlace[place] =
                units(double(table.byPlace[place]) / unitsPerNat + ExtraPieces::nameCountScore * wordCounts[place] +
                      (wordCapitals[place] ? ExtraPieces::wordCapitalsScore : 0.0));
    }

    // Every run, and each run that begins one (with no evidence of its own unless it has some), by its key.
    const std::size_t given = runs.size();
    for (std::size_t k = 0; k < given; ++k) {
        for (quint64 begun = runs[k].key >> 5; begun > firstRunKey; begun >>= 5)
            runs.push_back({begun, 0.0, false, true});
    }
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.key < b.key; });
    // The short runs by key, the longer ones (which come last in the order of keys) in the hash.
    const auto longer =
        std::partition_point(runs.begin(), runs.end(), [](const Run& r) { return r.key < shortRunKeys; });
    std::size_t slotCount = 16;
    while (slotCount < 2 * std::size_t(runs.end() - longer))
        slotCount *= 2;
    table.longRuns.assign(slotCount, {});
    table.shortRunEvidence.assign(shortRunIndex(shortRunKeys - 1) + 1, noShortRun);
    for (auto run = runs.begin(); run != runs.end();) {
        double count = 0;
        bool capitals = false;
        bool goesOn = false;
        const quint64 key = run->key;
        for (; run != runs.end() && run->key == key; ++run) {
            count = std::max(count, run->count);
            capitals = capitals || run->capitals;
            goesOn = goesOn || run->goesOn;
        }
        const qint32 evidence =
            2 * (units(ExtraPieces::runCountScore * count) + (capitals ? units(ExtraPieces::runCapitalsScore) : 0)) +
            (goesOn ? 1 : 0);
        if (key < shortRunKeys) {
            // Far within 16 bits: ln(1 + a count) is below 45 nats.
            table.shortRunEvidence[shortRunIndex(key)] = static_cast<qint16>(evidence);
            continue;
        }
        std::size_t slot = runSlot(key, slotCount - 1);
        while (table.longRuns[slot].key != 0)
            slot = (slot + 1) & (slotCount - 1);
        table.longRuns[slot] = {key, evidence};
    }
}

qint32 WordScores::longRunEvidence(quint64 key) const
{
    const std::vector<LongRun>& runs = m_table->longRuns;
    const std::size_t mask = runs.size() - 1;
    for (std::size_t slot = runSlot(key, mask);; slot = (slot + 1) & mask) {
        if (runs[slot].key == key)
            return runs[slot].evidence;
        if (runs[slot].key == 0)
            return noRunEvidence;
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
