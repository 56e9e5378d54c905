#include "CollectedRows.h"
#include "TestFiles.h"
#include "TestWords.h"
#include "core/Failure.h"
#include "engine/EntryProcessor.h"
#include "engine/ExtraPieces.h"
#include "engine/UserWords.h"
#include "engine/WordDictionary.h"
#include "engine/WordScores.h"
#include "run/RowFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using namespace quorvane;

namespace {

using testwords::dictionaryOf;

struct Guess
{
    QStringList pieces;
    QList<PieceKind> kinds;
    qint64 score = 0;
    bool operator==(const Guess&) const = default;
};

// The reference's evidence of a run or stretch: ln P of its letters as a word, by trigrams counted over the
// dictionary's words there and then; and the counts of real names, by their lines.
qint64 trigramsOf(const WordDictionary& dictionary, QStringView piece, double weight)
{
    const auto symbol = [](QChar c) {
        return c.toLower() >= u'a' && c.toLower() <= u'z' ? c.toLower().unicode() - u'a' : 26;
    };
    const auto symbols = [&](QStringView text) {
        std::vector<int> out{27, 27};
        for (const QChar c : text)
            out.push_back(symbol(c));
        out.push_back(27);
        return out;
    };
    const std::vector<int> wanted = symbols(piece);
    qint64 total = 0;
    for (std::size_t k = 2; k < wanted.size(); ++k) {
        double seen = 0;
        double after = 0;
        for (const QString& word : dictionary.wordsInOrder()) {
            const std::vector<int> s = symbols(word);
            for (std::size_t m = 2; m < s.size(); ++m) {
                after += s[m - 2] == wanted[k - 2] && s[m - 1] == wanted[k - 1];
                seen += s[m - 2] == wanted[k - 2] && s[m - 1] == wanted[k - 1] && s[m] == wanted[k];
            }
        }
        total += WordScores::units(weight * std::log((seen + 1) / (after + 28)));
    }
    return total;
}
double countOf(const WordDictionary& dictionary, const QString& piece)
{
    for (const QString& line : dictionary.nameCounts()) {
        if (line.section(QLatin1Char(' '), 0, 0) == piece)
            return std::log1p(line.section(QLatin1Char(' '), 1).toDouble());
    }
    return 0;
}
double capitalsOf(const WordDictionary& dictionary, const QString& piece, double weight)
{
    for (const QString& form : dictionary.capitals()) {
        if (form == piece.toLower())
            return weight;
    }
    return 0.0;
}

// The reference: every way through the pieces of the list (what WordScores scores, and what the names' counts
// add), runs of letters, characters nothing else takes and unknown stretches, each piece with the best of its
// kinds, listed depth first with shorter first pieces first, then stably sorted by score, best first, each
// written with its runs letter by letter, and the first of those written alike kept.
std::vector<Guess> everyGuessSorted(QStringView text, const WordDictionary& dictionary, const WordScores& scores,
                                    bool caseHints)
{
    const qsizetype size = text.size();
    std::vector<std::pair<qsizetype, double>> cuts; // with case hints, where each cut lies and its score
    for (qsizetype at = 1; caseHints && ExtraPieces::hasCaseCuts(text) && at < size; ++at) {
        if (text[at - 1].isLower() && text[at].isUpper())
            cuts.emplace_back(at, ExtraPieces::caseCutScore);
        else if (text[at - 1].isUpper() && text[at].isUpper())
            cuts.emplace_back(at, ExtraPieces::upperCutScore);
    }
    using E = ExtraPieces;
    const auto pieceOf = [&](qsizetype from, qsizetype to, qint64& score, PieceKind& kind) {
        const qsizetype length = to - from;
        const QString piece = text.mid(from, length).toString();
        qint64 cut = 0;
        for (const auto& [at, cutScore] : cuts)
            cut += from < at && at < to ? WordScores::units(cutScore) : 0;
        bool found = false;
        const auto take = [&](qint64 value, PieceKind what) {
            if (!found || value > score) {
                score = value;
                kind = what;
                found = true;
            }
        };
        const qint32 known = scores.pieceScore(piece);
        if (known != WordScores::notAPiece)
            take(WordScores::units(double(known) / WordScores::unitsPerNat +
                                   E::nameCountScore * countOf(dictionary, piece.toLower()) +
                                   capitalsOf(dictionary, piece, E::wordCapitalsScore)) +
                     cut,
                 PieceKind::Known);
        const auto units = [](double nats) { return qint64(WordScores::units(nats)); };
        if (length >= E::unknownShortest ? length <= E::unknownLongest : length == 1 && !text[from].isLetter())
            take(units(E::unknownScore) + units(E::unknownScorePerUnit) * length +
                     trigramsOf(dictionary, piece, E::unknownTrigramScore) + cut,
                 PieceKind::Unknown);
        if (length <= E::runLongest && std::all_of(piece.begin(), piece.end(), [](QChar c) { return c.isLetter(); }))
            take(units(E::runScore) + units(E::runScorePerLetter) * length +
                     (piece.contains(QRegularExpression("[aeiouAEIOU]")) ? 0 : units(E::runNoVowelScore)) +
                     (known != WordScores::notAPiece ? units(E::runListWordScore) : 0) +
                     trigramsOf(dictionary, piece, E::runTrigramScore) +
                     units(E::runCountScore * countOf(dictionary, piece.toUpper())) +
                     units(capitalsOf(dictionary, piece, E::runCapitalsScore)),
                 PieceKind::Letter);
        return found;
    };
    std::vector<Guess> guesses;
    Guess path;
    const auto walk = [&](auto&& self, qsizetype from) -> void {
        if (from == size) {
            guesses.push_back(path);
            return;
        }
        for (qsizetype to = from + 1; to <= size; ++to) {
            qint64 score = 0;
            PieceKind kind = PieceKind::Known;
            if (!pieceOf(from, to, score, kind))
                continue;
            const qsizetype before = path.pieces.size();
            for (qsizetype at = from; at < to; at += kind == PieceKind::Letter ? 1 : to - from) {
                path.pieces.append(text.mid(at, kind == PieceKind::Letter ? 1 : to - from).toString());
                path.kinds.append(kind);
            }
            path.score += score;
            self(self, to);
            path.score -= score;
            path.pieces.resize(before);
            path.kinds.resize(before);
        }
    };
    walk(walk, 0);
    std::stable_sort(guesses.begin(), guesses.end(), [](const Guess& a, const Guess& b) { return a.score > b.score; });
    std::vector<Guess> written;
    for (const Guess& guess : guesses) {
        if (std::none_of(written.begin(), written.end(), [&](const Guess& w) { return w.pieces == guess.pieces; }))
            written.push_back(guess);
    }
    return written;
}

} // namespace

// The likeliest splits beyond the word list (--best): letters and unknown stretches as pieces of the one
// ranked search, case hints, the user's words, and a search that runs out of memory.
class TestBestGuesses : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    const WordDictionary m_dictionary = [] {
        WordDictionary dictionary = dictionaryOf(
            {"blue", "sky", "blues", "ky", "car", "pet", "carpet", "a", "on", "shows", "show", "son", "tv", "dvd"});
        TextBlock counts; // what real names hold, as namecounts.txt gives it
        for (const char* line : {"TV 40", "shows 9", "sky 2", "DVD 3", "D 5", "XQ 2", "broken", "car x"})
            counts.add(QString::fromLatin1(line));
        dictionary.setNameCounts(std::move(counts));
        TextBlock capitals; // what is written in capitals alone, as capitals.lst gives it
        for (const char* form : {"tv", "dvd", "xqt", "sky", "showd"})
            capitals.add(QString::fromLatin1(form));
        dictionary.setCapitals(std::move(capitals));
        return dictionary;
    }();

    std::vector<Guess> processorGuesses(EntryProcessor& processor, const QString& entry, const SplitOptions& options)
    {
        std::vector<Guess> got;
        processor.splitEntry(entry, options, true, [&](QStringView text, std::span<const qint32> ends, qint64 score) {
            Guess guess;
            for (std::size_t k = 0; k < ends.size(); ++k) {
                const qint32 from = k == 0 ? 0 : ends[k - 1];
                guess.pieces.append(text.mid(from, ends[k] - from).toString());
                guess.kinds.append(processor.pieceKind(from, ends[k]));
            }
            guess.score = score;
            got.push_back(guess);
            return true;
        });
        return got;
    }

private slots:
    void initTestCase() { testfiles::writeBytes(m_folder.filePath(QStringLiteral("suffix.lst")), "com\r\n"); }

    // The ranked search over the list's pieces and those beyond it gives the best splits of all, in order,
    // equal scores in search order, each piece with its kind.
    void bestOfEveryGuess_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("caseHints");
        QTest::addColumn<int>("wanted");
        QTest::newRow("spelled letters among words") << "tvshowsondvd" << false << 40;
        QTest::newRow("no word of the list at all") << "xqzkwv" << false << 60;
        QTest::newRow("a word beside an unknown stretch") << "carglympse" << false << 60;
        QTest::newRow("numbers stay known pieces") << "4car22" << false << 30;
        QTest::newRow("a character only a stretch takes") << QString::fromUtf8("sky\u00a7blue") << false << 30;
        QTest::newRow("case hints in a mixed-case text") << "BlueSkyCarPet" << true << 30;
        QTest::newRow("case hints against the words") << "blUesky" << true << 30;
        QTest::newRow("case hints in a run of capitals") << "TVShowsOnDVD" << true << 40;
        QTest::newRow("one letter") << "q" << false << 5;
        QTest::newRow("two letters, as a run or one by one") << "xq" << false << 1;
        QTest::newRow("counted runs, a run that is a word") << "xqtvdvdashowd" << false << 60;
        QTest::newRow("the best alone: spelled letters") << "tvshowsondvd" << false << 1;
        QTest::newRow("the best alone: a stretch") << "carglympse" << false << 1;
        QTest::newRow("the best alone: numbers") << "4car22" << false << 1;
        QTest::newRow("the best alone: case hints") << "BlueSkyCarPet" << true << 1;
        QTest::newRow("the best alone: the empty text") << "" << false << 1;
    }
    void bestOfEveryGuess()
    {
        QFETCH(QString, text);
        QFETCH(bool, caseHints);
        QFETCH(int, wanted);
        EntryProcessor processor(m_dictionary, m_folder.path());
        SplitOptions options;
        options.order = SplitOrder::Ranked;
        options.best = wanted;
        options.guesses.beyondList = true;
        options.guesses.caseHints = caseHints;
        const std::vector<Guess> all = everyGuessSorted(text, m_dictionary, processor.scores(), caseHints);
        QVERIFY(!all.empty());
        const std::vector<Guess> expected(all.begin(), all.begin() + std::min<std::ptrdiff_t>(wanted, all.size()));
        const std::vector<Guess> got = processorGuesses(processor, text, options);
        QCOMPARE(got.size(), expected.size());
        for (std::size_t k = 0; k < got.size(); ++k) {
            QCOMPARE(got[k].pieces, expected[k].pieces);
            QCOMPARE(got[k].score, expected[k].score);
            QCOMPARE(got[k].kinds, expected[k].kinds);
        }
        // The rows every front end takes, agrees.
        CollectedRows output(4096);
        RowFormat{}.write(processor, text, options, output);
        QStringList rows;
        for (const Guess& guess : expected)
            rows.append(guess.pieces.join(QLatin1Char(' ')));
        QCOMPARE(QString::fromUtf8(output.bytes()), rows.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        // Bounded below what --best asks, the list is cut exactly when more splits are written otherwise.
        options.maxCandidates = wanted;
        options.best = wanted + 5;
        CollectedRows bounded(4096);
        const EntryProcessor::Outcome outcome = RowFormat{}.write(processor, text, options, bounded);
        QCOMPARE(outcome.rows, qsizetype(expected.size()));
        QCOMPARE(outcome.cut, all.size() > expected.size());
    }

    // A character outside the basic plane is one character to the pieces beyond the list: none ends inside it.
    void piecesNeverEndInsideACharacter()
    {
        EntryProcessor processor(m_dictionary, m_folder.path());
        SplitOptions options;
        options.order = SplitOrder::Ranked;
        options.best = 100;
        options.guesses.beyondList = true;
        for (const char* text :
             {"\U0001F600", "car\U0001F600pet", "\U0001D400\U0001D401sky", "\U0001F600\U0001F601\U0001F602"}) {
            const std::vector<Guess> got = processorGuesses(processor, QString::fromUtf8(text), options);
            QVERIFY(!got.empty());
            for (const Guess& guess : got) {
                for (const QString& piece : guess.pieces)
                    QVERIFY2(!piece.front().isLowSurrogate() && !piece.back().isHighSurrogate(), text);
            }
            if (QString::fromUtf8(text).size() == 2)
                QCOMPARE(got.front().pieces, QStringList{QString::fromUtf8(text)});
        }
    }

    // The best guess of the rows (short ASCII texts take a fast path) is the ranked search's, at every length
    // around the fast path's longest, with ties, numbers, unknown characters and case hints.
    void bestGuessRowsAreTheSearchs_data()
    {
        QTest::addColumn<QString>("letters");
        QTest::addColumn<bool>("caseHints");
        QTest::newRow("few letters, many ties") << "abc" << false;
        QTest::newRow("words, letters and digits") << "carpetblusky0129" << false;
        QTest::newRow("characters only a stretch takes") << "car-_~+pet" << false;
        QTest::newRow("both cases, with case hints") << "caRPetBLuesky" << true;
        QTest::newRow("both cases, without them") << "caRPetBLuesky" << false;
    }
    void bestGuessRowsAreTheSearchs()
    {
        QFETCH(QString, letters);
        QFETCH(bool, caseHints);
        WordDictionary dictionary = dictionaryOf(
            {"car", "pet", "carpet", "a", "ab", "abc", "bc", "c", "blue", "sky", "blues", "ky", "e", "12", "01"});
        TextBlock counts;
        for (const char* line : {"AB 3", "ABC 1", "CA 2", "BCA 2", "carpet 4", "sky 1"})
            counts.add(QString::fromLatin1(line));
        dictionary.setNameCounts(std::move(counts));
        TextBlock capitals;
        for (const char* form : {"abc", "bca", "pet", "cab"})
            capitals.add(QString::fromLatin1(form));
        dictionary.setCapitals(std::move(capitals));
        EntryProcessor processor(dictionary, m_folder.path());
        SplitOptions options;
        options.order = SplitOrder::Ranked;
        options.best = 1;
        options.guesses.beyondList = true;
        options.guesses.caseHints = caseHints;
        QRandomGenerator random(7);
        for (int round = 0; round < 400; ++round) {
            const int length = round < 100 ? round % 70 : int(random.bounded(1, 70));
            QString text;
            for (int k = 0; k < length; ++k)
                text += letters[random.bounded(letters.size())];
            CollectedRows output(4096);
            RowFormat{}.write(processor, text, options, output);
            QStringList rows;
            processor.splitEntry(text, options, true, [&](QStringView cleaned, std::span<const qint32> ends, qint64) {
                QStringList pieces;
                for (std::size_t k = 0; k < ends.size(); ++k) {
                    const qint32 from = k == 0 ? 0 : ends[k - 1];
                    pieces.append(cleaned.mid(from, ends[k] - from).toString());
                }
                rows.append(pieces.join(QLatin1Char(' ')));
                return true;
            });
            QCOMPARE(rows.size(), 1);
            QCOMPARE(QString::fromUtf8(output.bytes()), rows[0] + QLatin1Char('\n'));
        }
    }

    // Guesses belong to the ranked search alone, and only when asked for.
    void listingKeepsToTheList_data()
    {
        QTest::addColumn<SplitOrder>("order");
        QTest::addColumn<qsizetype>("best");
        QTest::newRow("search order") << SplitOrder::Search << qsizetype(0);
        QTest::newRow("search order, best asked") << SplitOrder::Search << qsizetype(3);
    }
    void listingKeepsToTheList()
    {
        QFETCH(SplitOrder, order);
        QFETCH(qsizetype, best);
        EntryProcessor processor(m_dictionary, m_folder.path());
        SplitOptions plain;
        plain.order = order;
        plain.best = best;
        plain.maxCandidates = 0;
        SplitOptions guessing = plain;
        guessing.guesses.beyondList = true;
        guessing.guesses.caseHints = true;
        for (const QString& name : {QStringLiteral("carpet.com"), QStringLiteral("BlueSky"), QStringLiteral("xqz")}) {
            CollectedRows without(4096);
            CollectedRows with(4096);
            RowFormat{}.write(processor, name, plain, without);
            RowFormat{}.write(processor, name, guessing, with);
            QCOMPARE(with.bytes(), without.bytes());
        }
    }

    // Case hints are a preference: a text whose case fits no split of the list still gets the list's splits.
    void caseHintsPreferNotForce_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("caseHints");
        QTest::addColumn<QString>("best");
        QTest::newRow("without hints the common word wins") << "BlueSky" << false << "BlueSky";
        QTest::newRow("hints cut at the change") << "BluesKy" << true << "Blues Ky";
        QTest::newRow("no hint without lower case") << "BLUESKY" << true << "BLUESKY";
        QTest::newRow("a case that fits no split") << "caRPet" << true << "caRPet";
    }
    void caseHintsPreferNotForce()
    {
        QFETCH(QString, text);
        QFETCH(bool, caseHints);
        QFETCH(QString, best);
        const WordDictionary dictionary = dictionaryOf({"bluesky", "blues", "ky", "blue", "sky", "carpet"});
        EntryProcessor processor(dictionary, m_folder.path());
        SplitOptions options;
        options.order = SplitOrder::Ranked;
        options.best = 1;
        options.guesses.caseHints = caseHints; // within the list
        const std::vector<Guess> got = processorGuesses(processor, text, options);
        QCOMPARE(got.size(), std::size_t(1));
        QCOMPARE(got[0].pieces.join(QLatin1Char(' ')), best);
    }

    // A search past its memory ends that name with a report after its splits so far; the next name is split
    // as ever, and each JSON line stays whole.
    void outOfMemoryEndsOneName()
    {
        const WordDictionary dictionary = dictionaryOf({"1", "9", "99"});
        EntryProcessor processor(dictionary, m_folder.path());
        SplitOptions options;
        options.order = SplitOrder::Ranked;
        options.maxCandidates = 0;
        options.maxSearchBytes = 64 * 1024;
        RowFormat format;
        format.layout = RowFormat::Layout::Jsonl;
        CollectedRows output(4096);
        const EntryProcessor::Outcome failed = format.write(processor, QString(40, QLatin1Char('9')), options, output);
        QCOMPARE(failed.failures.size(), 1);
        QVERIFY(failed.failures[0].startsWith(QStringLiteral("Out of memory")));
        QVERIFY(failed.rows > 10);
        const EntryProcessor::Outcome next = format.write(processor, QStringLiteral("199"), options, output);
        QVERIFY2(next.failures.isEmpty(), qPrintable(next.failures.join(QLatin1Char('\n'))));
        const QList<QByteArray> lines = output.bytes().split('\n');
        QCOMPARE(lines.size(), 3);
        QJsonParseError error;
        const QJsonObject first = QJsonDocument::fromJson(lines[0], &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, lines[0].left(200).constData());
        QCOMPARE(first.value("splits").toArray().size(), failed.rows);
        QCOMPARE(first.value("error").toString(), failed.failures[0]);
        const QJsonObject second = QJsonDocument::fromJson(lines[1], &error).object();
        QVERIFY(!second.contains("error"));
        QVERIFY(!second.value("splits").toArray().isEmpty());
    }

    // The user's words: added ones first in the list's order and no longer unlisted, dropped ones gone.
    void userWordsChangeTheList_data()
    {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("dropped");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QStringList>("unlisted");
        const QStringList none;
        QTest::newRow("nothing changes") << none << none << QStringList{"the", "pat", "re", "on", "patreon"}
                                         << QStringList{"Patreon", "pat"};
        QTest::newRow("an added word ranks first and is trusted")
            << QStringList{"patreon"} << none << QStringList{"patreon", "the", "pat", "re", "on"} << QStringList{"pat"};
        QTest::newRow("new words come first in their order, once")
            << QStringList{"zorp", "glympse", "zorp"} << none
            << QStringList{"zorp", "glympse", "the", "pat", "re", "on", "patreon"} << QStringList{"Patreon", "pat"};
        QTest::newRow("dropped words leave, also when added")
            << QStringList{"re"} << QStringList{"re", "on", "absent"} << QStringList{"the", "pat", "patreon"}
            << QStringList{"Patreon", "pat"};
    }
    void userWordsChangeTheList()
    {
        QFETCH(QStringList, added);
        QFETCH(QStringList, dropped);
        QFETCH(QStringList, order);
        QFETCH(QStringList, unlisted);
        WordDictionary dictionary = dictionaryOf({"the", "pat", "re", "on", "patreon"});
        TextBlock unlistedWords;
        unlistedWords.add(QStringLiteral("Patreon"));
        unlistedWords.add(QStringLiteral("pat"));
        dictionary.setUnlistedWords(std::move(unlistedWords));
        applyUserWords(dictionary, UserWords{added, dropped});
        QCOMPARE(QStringList(dictionary.wordsInOrder().begin(), dictionary.wordsInOrder().end()), order);
        QStringList gotUnlisted;
        for (const QString& line : dictionary.unlistedWords())
            gotUnlisted.append(line);
        QCOMPARE(gotUnlisted, unlisted);
        for (const QString& word : order)
            QVERIFY(dictionary.contains(word));
        QCOMPARE(dictionary.size(), order.size());
    }

    // The user's word files are read as word lists are: any line end, a byte-order mark, any letter case.
    void userWordFilesReadAsWordLists()
    {
        testfiles::TemporaryFiles dir;
        const QString path = dir.withBytes("\xEF\xBB\xBFPatreon\r\n\r\nGlympse\r\nsteemit\r\n");
        QCOMPARE(UserWords::readFile(path), (QStringList{"patreon", "glympse", "steemit"}));
        QVERIFY_THROWS_EXCEPTION(Failure, UserWords::readFile(dir.path(QStringLiteral("missing.txt"))));
    }
};

QTEST_GUILESS_MAIN(TestBestGuesses)
#include "test_bestguesses.moc"
