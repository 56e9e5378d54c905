// The text block against a plain list of strings: its one-byte and two-byte ways of keeping characters, the
// turn from one to the other, and ends that pass a multiple of the segment size (made small here, so that
// short texts reach it).
#include "TestFiles.h"
#include "text/LineDecoder.h"
#include "text/TextBlock.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace quorvane;

namespace {

void compareBlock(const TextBlock& block, const QStringList& expected)
{
    QCOMPARE(block.count(), expected.size());
    qsizetype at = 0;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(block.startOf(i), at);
        at += expected[i].size();
        QCOMPARE(block.endOf(i), at);
        QCOMPARE(block.text(i), expected[i]);
    }
    QCOMPARE(block.characterCount(), at);
    QCOMPARE(block.toStringList(), expected);
}

// A narrow block holding the texts; every one of them must have Windows-1252 bytes.
TextBlock narrowBlock(const QStringList& texts, int segmentBits = 32)
{
    TextBlock block(segmentBits);
    block.startNarrow();
    for (const QString& text : texts)
        block.add(text);
    return block;
}

TextBlock wideBlock(const QStringList& texts, int segmentBits = 32)
{
    TextBlock block(segmentBits);
    for (const QString& text : texts)
        block.add(text);
    return block;
}

} // namespace

class TestTextBlock : public QObject
{
    Q_OBJECT

private slots:
    void addingTexts_data()
    {
        QTest::addColumn<bool>("startNarrow");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("narrow");
        QTest::newRow("code page characters, including the five it leaves undefined, stay one byte each")
            << true
            << QStringList{QStringLiteral("caf\u00e9"), QStringLiteral("\u20AC100 \u2122"), QString(),
                           QStringLiteral("\u0081\u008D\u008F\u0090\u009D"), QStringLiteral("\u00ff\u00a0")}
            << true;
        QTest::newRow("a character outside the code page turns the block wide, earlier texts kept")
            << true
            << QStringList{QStringLiteral("abc"), QStringLiteral("\u20AC"), QStringLiteral("\u65E5\u672C"),
                           QStringLiteral("x")}
            << false;
        QTest::newRow("a C1 control the code page does not map turns it wide")
            << true << QStringList{QStringLiteral("a"), QStringLiteral("\u0080")} << false;
        QTest::newRow("a surrogate pair turns it wide")
            << true << QStringList{QStringLiteral("a"), QStringLiteral("\U0001F600")} << false;
        QTest::newRow("a block that was never made narrow stays wide")
            << false << QStringList{QStringLiteral("abc"), QStringLiteral("def")} << false;
    }
    void addingTexts()
    {
        QFETCH(bool, startNarrow);
        QFETCH(QStringList, texts);
        QFETCH(bool, narrow);
        TextBlock block;
        if (startNarrow)
            block.startNarrow();
        for (const QString& text : texts)
            block.add(text);
        QCOMPARE(block.isNarrow(), narrow);
        compareBlock(block, texts);
        QString reused = QStringLiteral("longer than any text here");
        block.copyText(1, reused);
        QCOMPARE(reused, texts[1]);
        QCOMPARE(block.text(1, 1), texts[1].left(1));
    }

    void addingBlocks_data()
    {
        QTest::addColumn<bool>("firstNarrow");
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<bool>("secondNarrow");
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<bool>("narrow");
        const QStringList plain{QStringLiteral("ab"), QString(), QStringLiteral("\u20ACd")};
        const QStringList outside{QStringLiteral("x"), QStringLiteral("\u65E5")};
        QTest::newRow("narrow after narrow") << true << plain << true << plain << true;
        QTest::newRow("narrow after wide is decoded") << false << outside << true << plain << false;
        QTest::newRow("wide texts the code page holds after narrow stay narrow")
            << true << plain << false << plain << true;
        QTest::newRow("wide texts it does not hold after narrow turn the block wide")
            << true << plain << false << outside << false;
        QTest::newRow("an empty block takes the narrow one's way") << true << QStringList() << true << plain << true;
        QTest::newRow("an empty block takes the wide one's way") << true << QStringList() << false << plain << false;
    }
    void addingBlocks()
    {
        QFETCH(bool, firstNarrow);
        QFETCH(QStringList, first);
        QFETCH(bool, secondNarrow);
        QFETCH(QStringList, second);
        QFETCH(bool, narrow);
        const TextBlock other = secondNarrow ? narrowBlock(second) : wideBlock(second);
        {
            TextBlock block = firstNarrow ? narrowBlock(first) : wideBlock(first);
            block.add(other);
            QCOMPARE(block.isNarrow(), narrow);
            compareBlock(block, first + second);
            compareBlock(other, second); // copied, not taken
        }
        {
            TextBlock block = firstNarrow ? narrowBlock(first) : wideBlock(first);
            TextBlock taken = other;
            block.add(std::move(taken));
            QCOMPARE(block.isNarrow(), narrow);
            compareBlock(block, first + second);
        }
    }

    // Ends kept in a few bits pass many multiples; texts longer than a segment pass several at once.
    void endsPastSegments_data()
    {
        QTest::addColumn<int>("segmentBits");
        QTest::addColumn<bool>("narrow");
        for (const int bits : {1, 3, 5}) {
            QTest::addRow("segments of %d characters, narrow", 1 << bits) << bits << true;
            QTest::addRow("segments of %d characters, wide", 1 << bits) << bits << false;
        }
    }
    void endsPastSegments()
    {
        QFETCH(int, segmentBits);
        QFETCH(bool, narrow);
        QRandomGenerator random(uint(segmentBits * 2 + narrow));
        QStringList texts;
        for (int i = 0; i < 300; ++i)
            texts.append(QString(random.bounded(i % 17 == 0 ? 200 : 6), QChar(u'a' + i % 26)));
        TextBlock block = narrow ? narrowBlock(texts, segmentBits) : wideBlock(texts, segmentBits);
        compareBlock(block, texts);

        // Removing shifts every later end back, also across the multiples.
        for (const qsizetype fromEnd : {qsizetype(300), qsizetype(150), qsizetype(17), qsizetype(2)}) {
            const qsizetype index = texts.size() - std::min(fromEnd, texts.size());
            block.remove(index);
            texts.removeAt(index);
            compareBlock(block, texts);
        }
        // Copies are independent, and a block added to itself doubles.
        TextBlock copy = block;
        copy.add(QStringLiteral("only in the copy"));
        compareBlock(block, texts);
        block.add(block);
        compareBlock(block, texts + texts);
        TextBlock plain;
        plain.add(block);
        compareBlock(plain, texts + texts);
    }

    // Appends and removals in a seeded random order, each step checked against the same step on a plain list:
    // single texts and runs anywhere (the ends, and the same place again as Delete held down does), many
    // ranges at once, blocks added (with gaps of their own, or the block itself), copies, and lines decoded
    // onto a block with gaps; ends in one segment or wrapped, narrow and wide.
    void randomRemovalsMatchAPlainList_data()
    {
        QTest::addColumn<int>("segmentBits");
        QTest::addColumn<bool>("wide");
        QTest::addColumn<quint32>("seed");
        for (const int bits : {32, 5}) {
            for (const bool wide : {false, true}) {
                for (const quint32 seed : {1u, 2u, 3u})
                    QTest::addRow("%s, %s, seed %u", bits == 32 ? "one segment" : "ends wrapped every 32",
                                  wide ? "wide" : "narrow", seed)
                        << bits << wide << seed;
            }
        }
    }
    void randomRemovalsMatchAPlainList()
    {
        QFETCH(int, segmentBits);
        QFETCH(bool, wide);
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        const auto someText = [&] {
            QString text;
            const int length = int(random.bounded(10));
            for (int i = 0; i < length; ++i)
                text += wide && random.bounded(4) == 0 ? QChar(u'\u4e2d') : QChar(u'a' + random.bounded(26));
            return text;
        };
        const auto someTexts = [&](int n) {
            QStringList texts;
            for (int i = 0; i < n; ++i)
                texts.append(someText());
            return texts;
        };
        const auto blockOf = [&](const QStringList& texts) {
            return wide ? wideBlock(texts, segmentBits) : narrowBlock(texts, segmentBits);
        };
        QStringList plain = someTexts(200);
        TextBlock block = blockOf(plain);
        const auto removeRun = [&](qsizetype first, qsizetype n) {
            block.remove(first, n);
            plain.remove(first, n);
        };
        qsizetype lastRemoved = 0;
        for (int step = 0; step < 500; ++step) {
            const qsizetype count = plain.size();
            const int kind = count == 0 ? 0 : int(random.bounded(count > 400 ? 6 : 12)) % 10;
            if (kind == 0) {
                for (const QString& text : someTexts(1 + int(random.bounded(5)))) {
                    block.add(text);
                    plain.append(text);
                }
            } else if (kind <= 3) {
                const qsizetype places[] = {0, count - 1, std::min(lastRemoved, count - 1), random.bounded(count)};
                lastRemoved = places[random.bounded(4)];
                removeRun(lastRemoved, 1);
            } else if (kind <= 5) {
                const qsizetype first = random.bounded(count);
                removeRun(first, std::min<qsizetype>(count - first, 1 + random.bounded(4)));
            } else if (kind == 6) {
                QList<std::pair<qsizetype, qsizetype>> ranges;
                for (qsizetype at = random.bounded(4); at < count; at += 1 + random.bounded(30)) {
                    const qsizetype n = std::min<qsizetype>(count - at, 1 + random.bounded(3));
                    ranges.append({at, n});
                    at += n;
                }
                block.removeRanges(ranges);
                for (auto range = ranges.crbegin(); range != ranges.crend(); ++range)
                    plain.remove(range->first, range->second);
            } else if (kind == 7) {
                QStringList texts = someTexts(1 + int(random.bounded(20)));
                TextBlock other = blockOf(texts);
                const qsizetype removed = random.bounded(texts.size());
                other.remove(removed);
                texts.removeAt(removed);
                block.add(other);
                plain += texts;
            } else if (kind == 8) {
                if (plain.size() < 300) {
                    block.add(block);
                    plain += plain;
                } else {
                    block.closeGaps();
                }
            } else {
                // A copy changes apart from the block.
                TextBlock copy = block;
                copy.remove(random.bounded(count));
                copy.add(QStringLiteral("only in the copy"));
                QCOMPARE(copy.count(), count);
            }
            compareBlock(block, plain);
            QCOMPARE(block.isNarrow(), !wide);
            // Characters read across texts and gaps alike.
            const QString joined = plain.join(QString());
            const qsizetype start = joined.isEmpty() ? 0 : random.bounded(joined.size());
            const qsizetype length = joined.isEmpty() ? 0 : random.bounded(joined.size() - start + 1);
            QString characters(length, Qt::Uninitialized);
            block.copyCharacters(start, length, characters.data());
            QCOMPARE(characters, joined.mid(start, length));
        }

        // Lines decoded onto a block with gaps.
        plain = someTexts(50);
        block = blockOf(plain);
        removeRun(20, 3);
        QVERIFY(block.hasGaps());
        testfiles::TemporaryFiles files;
        QFile file(files.withBytes("line one\r\n\r\nline three\r\n"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        appendFileLines(file, TextEncoding::Ansi, LineBreaks::CrLfOrLf, block, 1000);
        compareBlock(block, plain + QStringList{QStringLiteral("line one"), QString(), QStringLiteral("line three")});
    }

    // The decoder hands ends over in batches; a batch that passes a multiple takes the careful way.
    void decodedEndsPastSegments_data()
    {
        QTest::addColumn<int>("segmentBits");
        QTest::addColumn<QByteArray>("bytes");
        QByteArray bytes;
        QStringList lines;
        for (int i = 0; i < 3000; ++i)
            bytes += QByteArray(i % 23 == 0 ? 70 : i % 5, char('a' + i % 26)) + "\r\n";
        QTest::newRow("segments of 64 characters") << 6 << bytes;
        QTest::newRow("segments of 4096 characters") << 12 << bytes;
        QTest::newRow("one segment") << 32 << bytes;
    }
    void decodedEndsPastSegments()
    {
        QFETCH(int, segmentBits);
        QFETCH(QByteArray, bytes);
        testfiles::TemporaryFiles files;
        QFile file(files.withBytes(bytes));
        QVERIFY(file.open(QIODevice::ReadOnly));
        TextBlock block(segmentBits);
        appendFileLines(file, TextEncoding::Ansi, LineBreaks::CrLfOrLf, block, 1000);
        QVERIFY(block.isNarrow());
        QStringList expected = QString::fromLatin1(bytes).split(QStringLiteral("\r\n"));
        expected.removeLast();
        compareBlock(block, expected);
    }
};

QTEST_GUILESS_MAIN(TestTextBlock)
#include "test_textblock.moc"
