#include "CollectedRows.h"
#include "ReferenceSplit.h"
#include "TestFiles.h"
#include "core/Failure.h"
#include "engine/EntryProcessor.h"
#include "engine/NameCleaner.h"
#include "engine/PieceLattice.h"
#include "engine/RankedSearch.h"
#include "engine/Segmenter.h"
#include "engine/ShortAsciiRows.h"
#include "engine/WordDictionary.h"
#include "engine/WordScores.h"
#include "run/RowFormat.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <optional>
#include <vector>

using namespace quorvane;

namespace {

WordDictionary dictionaryOf(const QStringList& words)
{
    WordDictionary dictionary;
    for (const QString& word : words) {
        const QString key = WordDictionary::lowerCase(word);
        if (!key.isEmpty() && !dictionary.contains(key))
            dictionary.add(key);
    }
    return dictionary;
}

// `count` characters cycling through `letters`, from the `offset`-th on.
QString cycle(const QString& letters, qsizetype count, qsizetype offset = 0)
{
    QString text;
    for (qsizetype k = 0; k < count; ++k)
        text += letters[(offset + k) % letters.size()];
    return text;
}

const QString wide = QStringLiteral("\u00E9");              // one unit, not ASCII
const QString pair = QString::fromUcs4(U"\U00010428");      // a surrogate pair
const QString pairUpper = QString::fromUcs4(U"\U00010400"); // its upper case
const QStringList edges{QStringLiteral("16"), QStringLiteral("32"), QStringLiteral("64"), QStringLiteral("128")};

// A text and the words it is split with.
struct EdgeCase
{
    QString name;
    QString text;
    QStringList words;
};

// Texts at every edge of a length that a search or a row writer might treat apart: every length from 0 to 130,
// a single piece of each length, two pieces meeting on each side of 16, 32, 64 and 128 units, digit runs there,
// and a wide character or a surrogate pair next to them.
QList<EdgeCase> edgeCases()
{
    QList<EdgeCase> cases;
    const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    for (qsizetype length = 0; length <= 130; ++length) {
        const QString single = cycle(QStringLiteral("ab"), length);
        cases.append({QStringLiteral("one piece of %1").arg(length), single, {single, QStringLiteral("x")}});
        cases.append({QStringLiteral("one piece of %1, then x").arg(length),
                      single + QStringLiteral("x"),
                      {single, QStringLiteral("x")}});
        cases.append({QStringLiteral("x, then one piece of %1").arg(length),
                      QStringLiteral("x") + single,
                      {single, QStringLiteral("x")}});
        cases.append({QStringLiteral("upper-case piece of %1").arg(length), single.toUpper(), {single}});
        // Many splits: every piece of one or two characters, and the whole.
        cases.append({QStringLiteral("%1 of a and aa").arg(length),
                      QString(length, QLatin1Char('a')),
                      {QStringLiteral("a"), QStringLiteral("aa"), QString(length, QLatin1Char('a'))}});
        cases.append({QStringLiteral("%1 letters, none a word").arg(length), cycle(letters, length), {}});
        cases.append({QStringLiteral("%1 digits").arg(length), QString(length, QLatin1Char('7')), {}});
        cases.append({QStringLiteral("%1 letters and a wide one").arg(length),
                      cycle(QStringLiteral("ab"), length) + wide,
                      {QStringLiteral("ab"), QStringLiteral("a"), QStringLiteral("b"), wide}});
        cases.append({QStringLiteral("%1 letters and a pair").arg(length),
                      cycle(QStringLiteral("ab"), length) + pair,
                      {QStringLiteral("ab"), QStringLiteral("a"), QStringLiteral("b"), pair}});
    }
    for (const QString& edgeText : edges) {
        const qsizetype edge = edgeText.toLongLong();
        for (qsizetype first = edge - 2; first <= edge + 2; ++first) {
            for (const qsizetype second : {qsizetype(1), qsizetype(2), edge - first + 1, edge - first + 2}) {
                if (second < 1)
                    continue;
                const QString one = cycle(letters, first);
                const QString two = cycle(letters, second, 7);
                const QString where = QStringLiteral("pieces of %1 and %2 around %3").arg(first).arg(second).arg(edge);
                cases.append({where, one + two, {one, two, one.left(first - 1), two.right(1), one + two.left(1)}});
                cases.append({where + QStringLiteral(", digits first"), QString(first, QLatin1Char('1')) + two, {two}});
                cases.append(
                    {where + QStringLiteral(", digits second"), one + QString(second, QLatin1Char('9')), {one}});
                cases.append({where + QStringLiteral(", wide at the meeting"), one + wide + two, {one, two, wide}});
                cases.append({where + QStringLiteral(", wide after digits"),
                              QString(first, QLatin1Char('2')) + wide + QString(second, QLatin1Char('3')),
                              {wide}});
                cases.append({where + QStringLiteral(", pair after digits"),
                              QString(first, QLatin1Char('4')) + pairUpper + QString(second, QLatin1Char('5')),
                              {pair}});
                cases.append({where + QStringLiteral(", pair at the meeting"), one + pair + two, {one, two, pair}});
                cases.append({where + QStringLiteral(", number with an exponent"),
                              QString(first, QLatin1Char('6')) + QStringLiteral("e5") + two,
                              {two}});
            }
        }
    }
    return cases;
}

// At most this many candidates are compared per text: texts of a and aa have millions.
constexpr qsizetype bound = 300;

// The ranked rows of the general search (RankedSearch over Segmenter's lattice), as ShortAsciiRows writes its
// own: at most `wanted` (0: all), cut when `wantedIsBound` and more exist.
QByteArray rankedReference(const QString& text, const WordDictionary& dictionary, const WordScores& scores,
                           const QByteArray& start, qsizetype wanted, bool wantedIsBound, bool& cut, qsizetype& rows)
{
    Segmenter segmenter(dictionary);
    PieceLattice lattice;
    segmenter.findPieces(text, lattice);
    RankedSearch search;
    search.start(text, lattice, scores, wanted);
    QByteArray bytes;
    rows = 0;
    while ((wanted <= 0 || rows < wanted) && search.next()) {
        bytes += start;
        qint32 from = 0;
        for (const qint32 end : search.ends()) {
            if (from > 0)
                bytes += ' ';
            bytes += text.mid(from, end - from).toLatin1();
            from = end;
        }
        bytes += '\n';
        ++rows;
    }
    cut = wantedIsBound && search.hasMore();
    return bytes;
}

// The number of splits of `text`, counted backwards over Segmenter's lattice (each place: the sum over its
// pieces of the splits of the rest), and capped just past `limit`.
qint64 splitCount(const QString& text, const WordDictionary& dictionary, qint64 limit)
{
    Segmenter segmenter(dictionary);
    PieceLattice lattice;
    segmenter.findPieces(text, lattice);
    std::vector<qint64> count(static_cast<std::size_t>(text.size()) + 1, 0);
    count[static_cast<std::size_t>(text.size())] = 1;
    for (qsizetype place = text.size() - 1; place >= 0; --place) {
        qint64 splits = 0;
        for (const qint32 end : lattice.endsFrom(place))
            splits = std::min(splits + count[static_cast<std::size_t>(end)], limit + 1);
        count[static_cast<std::size_t>(place)] = splits;
    }
    return count[0];
}

// The formatter of the rows of `text`'s splits after `start` ("name - " or nothing), writing into `output`.
RowFormatter rowsOf(const QString& text, const QByteArray& start, RowOutput& output)
{
    RowFormatter formatter(RowFormat{}, SplitOptions{!start.isEmpty()});
    formatter.setOutput(output);
    formatter.begin(QString::fromLatin1(start.chopped(start.isEmpty() ? 0 : 3)), text);
    return formatter;
}

// ShortAsciiRows' ranked rows of `text` against the general search's, for several numbers wanted; a failure
// message, or nothing. A text the fast path declines must be one with more splits than it lists.
std::optional<QString> compareRanked(ShortAsciiRows& fast, const QString& text, const WordDictionary& dictionary,
                                     const WordScores& scores, const QByteArray& start)
{
    struct Wanted
    {
        qsizetype wanted;
        bool isBound;
    };
    for (const Wanted asked : {Wanted{0, false}, Wanted{1, false}, Wanted{1, true}, Wanted{2, true}, Wanted{3, false},
                               Wanted{7, true}, Wanted{bound, true}}) {
        const QString where = QStringLiteral("wanted %1%2, start \"%3\"")
                                  .arg(asked.wanted)
                                  .arg(asked.isBound ? QStringLiteral(" (the bound)") : QString())
                                  .arg(QString::fromLatin1(start));
        CollectedRows output(64, '\0');
        qsizetype rows = -1;
        RowFormatter formatter = rowsOf(text, start, output);
        const std::optional<bool> cut = fast.rankedSplits(text, scores, asked.wanted, asked.isBound, formatter, rows);
        if (!cut) {
            // Declined: nothing written, and more splits than a few (counted over the general lattice).
            if (!output.bytes().isEmpty() || asked.wanted == 1 || splitCount(text, dictionary, 4096) <= 4096)
                return where + QStringLiteral(": declined");
            continue;
        }
        bool expectedCut = false;
        qsizetype expectedRows = 0;
        const QByteArray expected =
            rankedReference(text, dictionary, scores, start, asked.wanted, asked.isBound, expectedCut, expectedRows);
        if (output.bytes() != expected)
            return where + QStringLiteral(": rows differ");
        if (rows != expectedRows || *cut != expectedCut)
            return where + QStringLiteral(": %1 rows, cut %2").arg(rows).arg(*cut);
    }
    return std::nullopt;
}

} // namespace

// The search and the rows at the edges of their sizes, byte for byte against the plain recursion.
class TestSegmenterEdges : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder; // an application folder with an empty suffix list

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        testfiles::writeBytes(m_folder.filePath(QStringLiteral("suffix.lst")), "com\r\n");
    }

    void candidatesAtEveryEdge()
    {
        const QList<EdgeCase> cases = edgeCases();
        int withCandidates = 0;
        for (const EdgeCase& edgeCase : cases) {
            const WordDictionary dictionary = dictionaryOf(edgeCase.words);
            QStringList expected;
            const bool expectedCut = referenceSplit(edgeCase.text, dictionary, bound, expected);
            Segmenter segmenter(dictionary);
            QStringList got;
            const bool cut = segmenter.splitIntoWords(edgeCase.text, got, bound);
            if (got != expected || cut != expectedCut)
                QFAIL(qPrintable(QStringLiteral("%1: got %2 candidates%3, expected %4%5; first differing: \"%6\"")
                                     .arg(edgeCase.name)
                                     .arg(got.size())
                                     .arg(cut ? QStringLiteral(" (cut)") : QString())
                                     .arg(expected.size())
                                     .arg(expectedCut ? QStringLiteral(" (cut)") : QString())
                                     .arg([&] {
                                         for (qsizetype k = 0; k < std::min(got.size(), expected.size()); ++k) {
                                             if (got[k] != expected[k])
                                                 return got[k];
                                         }
                                         return QString();
                                     }())));
            withCandidates += expected.isEmpty() ? 0 : 1;
        }
        // Most edges split, some do not: both are walked.
        QVERIFY2(withCandidates > cases.size() / 2 && withCandidates < cases.size(),
                 qPrintable(QStringLiteral("%1 of %2").arg(withCandidates).arg(cases.size())));
    }

    // The lattice of pieces holds, per place, exactly the pieces after which the rest of the text splits.
    void latticeAtEveryEdge()
    {
        for (const EdgeCase& edgeCase : edgeCases()) {
            const WordDictionary dictionary = dictionaryOf(edgeCase.words);
            Segmenter segmenter(dictionary);
            PieceLattice lattice;
            segmenter.findPieces(edgeCase.text, lattice);
            const QString& text = edgeCase.text;
            const qsizetype size = text.size();
            QCOMPARE(lattice.size(), size);
            QVERIFY(lattice.endsFrom(size).empty());
            // Backwards: whether the rest from each place splits, by the definition.
            std::vector<bool> splits(static_cast<std::size_t>(size + 1), false);
            splits[static_cast<std::size_t>(size)] = true;
            for (qsizetype place = size - 1; place >= 0; --place) {
                QList<qint32> expected;
                for (qsizetype end = place + 1; end <= size; ++end) {
                    const QString key = WordDictionary::lowerCase(QStringView(text).mid(place, end - place));
                    if (splits[static_cast<std::size_t>(end)] && (dictionary.contains(key) || isNumeric(key)))
                        expected.append(static_cast<qint32>(end));
                }
                splits[static_cast<std::size_t>(place)] = !expected.isEmpty();
                const std::span<const qint32> ends = lattice.endsFrom(place);
                const QList<qint32> got(ends.begin(), ends.end());
                if (got != expected)
                    QFAIL(qPrintable(QStringLiteral("%1, place %2").arg(edgeCase.name).arg(place)));
            }
        }
    }

    // The rows written as bytes, with and without the original name, into rooms of several sizes, against the
    // rows of the plain recursion: each ends with its LF, whatever its length.
    void rowsAtEveryEdge()
    {
        for (const EdgeCase& edgeCase : edgeCases()) {
            const WordDictionary dictionary = dictionaryOf(edgeCase.words);
            EntryProcessor processor(dictionary, m_folder.path());
            const QString entry = edgeCase.text + QStringLiteral(".com");
            QCOMPARE(removeBlanks(NameCleaner(m_folder.path()).cleanDomainName(entry)), edgeCase.text);
            QStringList candidates;
            const bool expectedCut = referenceSplit(edgeCase.text, dictionary, bound, candidates);
            for (const bool showOriginal : {false, true}) {
                for (const qsizetype room : {qsizetype(1), qsizetype(64), qsizetype(65), qsizetype(4096)}) {
                    QByteArray expected;
                    for (const QString& candidate : std::as_const(candidates))
                        expected += ((showOriginal ? entry + QStringLiteral(" - ") : QString()) + candidate.trimmed())
                                        .toUtf8() +
                                    '\n';
                    CollectedRows output(room, '\0');
                    const EntryProcessor::Outcome got =
                        RowFormat{}.write(processor, entry, SplitOptions{showOriginal, bound}, output);
                    if (output.bytes() != expected)
                        QFAIL(qPrintable(QStringLiteral("%1 (original %2, room %3)")
                                             .arg(edgeCase.name)
                                             .arg(showOriginal)
                                             .arg(room)));
                    QCOMPARE(got.rows, candidates.size());
                    QCOMPARE(got.cut, expectedCut);
                    QVERIFY(got.failures.isEmpty());
                }
            }
        }
    }

    // The fast path of short ASCII rows, built directly, against the plain search's candidates: every text it
    // takes, with and without a start, bounded and not, into rooms of several sizes.
    void shortAsciiRowsAtEveryEdge()
    {
        int taken = 0;
        for (const EdgeCase& edgeCase : edgeCases()) {
            const WordDictionary dictionary = dictionaryOf(edgeCase.words);
            ShortAsciiRows fast(dictionary);
            Segmenter plain(dictionary);
            const bool ascii =
                std::all_of(edgeCase.text.begin(), edgeCase.text.end(), [](QChar c) { return c.unicode() < 0x80; });
            QCOMPARE(fast.takes(edgeCase.text, plain), ascii && edgeCase.text.size() <= ShortAsciiRows::maxLength);
            if (!fast.takes(edgeCase.text, plain))
                continue;
            ++taken;
            for (const QByteArray& start : {QByteArray(), QByteArray("name.com - ")}) {
                for (const qsizetype limit : {qsizetype(0), qsizetype(1), qsizetype(7), bound}) {
                    if (limit == 0 && edgeCase.text.size() > 16)
                        continue; // no bound: millions of rows for long texts of digits
                    QStringList candidates;
                    const bool expectedCut = plain.splitIntoWords(edgeCase.text, candidates, limit);
                    QByteArray expected;
                    for (const QString& candidate : std::as_const(candidates))
                        expected += start + candidate.mid(1).toLatin1() + '\n';
                    for (const qsizetype room : {qsizetype(1), qsizetype(64), qsizetype(200)}) {
                        CollectedRows output(room, '\0');
                        qsizetype rows = -1;
                        RowFormatter formatter = rowsOf(edgeCase.text, start, output);
                        const bool cut = fast.splits(edgeCase.text, limit, formatter, rows);
                        if (output.bytes() != expected)
                            QFAIL(qPrintable(QStringLiteral("%1 (start \"%2\", bound %3, room %4)")
                                                 .arg(edgeCase.name, QString::fromLatin1(start))
                                                 .arg(limit)
                                                 .arg(room)));
                        QCOMPARE(rows, candidates.size());
                        QCOMPARE(cut, expectedCut);
                    }
                }
            }
        }
        QVERIFY2(taken > 300, qPrintable(QString::number(taken)));
    }

    // The ranked rows of the same fast path against the general ranked search: every text it takes, with and
    // without a start, for several numbers of splits wanted. Ties abound among the digit runs.
    void shortAsciiRankedRowsAtEveryEdge()
    {
        int taken = 0;
        for (const EdgeCase& edgeCase : edgeCases()) {
            const WordDictionary dictionary = dictionaryOf(edgeCase.words);
            ShortAsciiRows fast(dictionary);
            Segmenter segmenter(dictionary);
            if (!fast.takes(edgeCase.text, segmenter))
                continue;
            ++taken;
            const WordScores scores(dictionary);
            for (const QByteArray& start : {QByteArray(), QByteArray("name.com - ")}) {
                if (const std::optional<QString> failure =
                        compareRanked(fast, edgeCase.text, dictionary, scores, start))
                    QFAIL(qPrintable(edgeCase.name + QStringLiteral(": ") + *failure));
            }
        }
        QVERIFY2(taken > 300, qPrintable(QString::number(taken)));
    }

    // The same on random lists of short words and numbers-to-be, and random texts of their letters up to past
    // the longest taken; one fast path over all of them, its scores following each new list.
    void shortAsciiRankedRowsOfRandomTexts()
    {
        QRandomGenerator random(20261208);
        const QString letters = QStringLiteral("ab1c");
        for (int round = 0; round < 300; ++round) {
            QStringList words;
            const int count = 1 + random.bounded(12);
            for (int k = 0; k < count; ++k) {
                QString word;
                const int length = 1 + random.bounded(4);
                for (int c = 0; c < length; ++c)
                    word += letters[random.bounded(letters.size())];
                words.append(word);
            }
            const WordDictionary dictionary = dictionaryOf(words);
            ShortAsciiRows fast(dictionary);
            Segmenter segmenter(dictionary);
            const WordScores scores(dictionary);
            for (int t = 0; t < 8; ++t) {
                QString text;
                const int length = random.bounded(ShortAsciiRows::maxLength + 1);
                for (int c = 0; c < length; ++c)
                    text += letters[random.bounded(letters.size())];
                if (random.bounded(3) == 0)
                    text = text.toUpper();
                QVERIFY(fast.takes(text, segmenter));
                if (const std::optional<QString> failure = compareRanked(fast, text, dictionary, scores, "n - "))
                    QFAIL(qPrintable(QStringLiteral("%1 with %2: %3").arg(text, words.join(u','), *failure)));
            }
        }
    }

    // The reported fault: a single word of 64 characters is a whole row, LF included.
    void rowOfOneWordOfSixtyFourCharacters()
    {
        const QString word = cycle(QStringLiteral("ab"), 64);
        const WordDictionary dictionary = dictionaryOf({word, QStringLiteral("x")});
        EntryProcessor processor(dictionary, m_folder.path());
        for (const bool showOriginal : {false, true}) {
            CollectedRows output(4096, '\0');
            RowFormat{}.write(processor, word + QStringLiteral(".com"), SplitOptions{showOriginal, 0}, output);
            RowFormat{}.write(processor, QStringLiteral("x"), SplitOptions{showOriginal, 0}, output);
            const QByteArray expected =
                showOriginal ? (word + QStringLiteral(".com - ") + word + QStringLiteral("\nx - x\n")).toUtf8()
                             : (word + QStringLiteral("\nx\n")).toUtf8();
            QCOMPARE(output.bytes(), expected);
        }
    }

    // The lattice of the longest text leaves out the piece that is the whole text; a longer text fails.
    void latticeOfTheLongestTexts()
    {
        const WordDictionary dictionary = dictionaryOf({QStringLiteral("a")});
        Segmenter segmenter(dictionary);
        PieceLattice lattice;
        const QString longest(Segmenter::maxTextLength, QLatin1Char('1'));
        segmenter.findPieces(longest, lattice);
        QCOMPARE(lattice.size(), Segmenter::maxTextLength);
        QVERIFY(!lattice.endsFrom(0).empty());
        QVERIFY(lattice.endsFrom(0).back() < Segmenter::maxTextLength);
        QVERIFY_THROWS_EXCEPTION(Failure, segmenter.findPieces(longest + QStringLiteral("1"), lattice));
    }
};

QTEST_GUILESS_MAIN(TestSegmenterEdges)
#include "test_segmenteredges.moc"
