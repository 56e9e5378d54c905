#include "PlainSplitter.h"
#include "ReferenceSplit.h"
#include "TestWords.h"
#include "core/Failure.h"
#include "core/ProcessorFeatures.h"
#include "engine/NumericPieces.h"
#include "engine/Segmenter.h"
#include "engine/WordDictionary.h"
#include "engine/WordTrie.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace quorvane;

namespace {

using testwords::dictionaryOf;

QStringList engineSplit(const WordDictionary& dictionary, const QString& text, qsizetype limit = 0, bool* cut = nullptr)
{
    Segmenter segmenter(dictionary);
    QStringList candidates;
    const bool wasCut = segmenter.splitIntoWords(text, candidates, limit);
    if (cut)
        *cut = wasCut;
    return candidates;
}

QStringList plainSplit(const WordDictionary& dictionary, const QString& text)
{
    QStringList candidates;
    plainSplitIntoWords(text, QString(), candidates, dictionary);
    return candidates;
}

// `count` random words (each once) of letters from `letters`, their lengths drawn from [shortest, beyond).
QStringList randomWords(QRandomGenerator& random, const QString& letters, int count, int shortest, int beyond)
{
    QStringList words;
    for (int w = 0; w < count; ++w) {
        QString word;
        const int length = random.bounded(shortest, beyond);
        for (int k = 0; k < length; ++k)
            word += letters[random.bounded(letters.size())];
        if (!words.contains(word))
            words.append(word);
    }
    return words;
}

// Appends a word of the list (in either case), a fragment or a stray character, with chances out of `outOf`.
void appendRandomPart(QRandomGenerator& random, QString& text, const QStringList& words, const QStringList& fragments,
                      const QString& stray, int wordChance, int fragmentChance, int outOf)
{
    const int kind = random.bounded(outOf);
    if (kind < wordChance) {
        const QString& word = words[random.bounded(int(words.size()))];
        text += random.bounded(2) ? word : word.toUpper();
    } else if (kind < wordChance + fragmentChance) {
        text += fragments[random.bounded(int(fragments.size()))];
    } else {
        text += stray[random.bounded(stray.size())];
    }
}

// The engine's candidates of `text`, unbounded, against the plain recursion's (into `expected`): what differs,
// or nothing.
QString differenceFromPlain(Segmenter& segmenter, const WordDictionary& dictionary, const QStringList& words,
                            const QString& text, QStringList& expected)
{
    expected = plainSplit(dictionary, text);
    QStringList got;
    const bool cut = segmenter.splitIntoWords(text, got, 0);
    if (!cut && got == expected)
        return QString();
    return QStringLiteral("text \"%1\", words %2: got [%3]%4, expected [%5]")
        .arg(text, words.join(u','), got.join(u'|'), cut ? QStringLiteral(" cut") : QString(), expected.join(u'|'));
}

// 2^1024 - 2^970: the least value that no longer rounds to the largest finite double.
const QString firstOverflowingValue = QStringLiteral(
    "1797693134862315807937289714053034150799341327100378269361737789804449682927647509466490179775872070963302864"
    "1669288791094655554785194040263065748867150582068190890200070838367627385484581771153176447573027006985557136"
    "6959622842914819860834936475292719074168444365510704342711559699508093042880177904174497792");

} // namespace

class TestSegmenter : public QObject
{
    Q_OBJECT

private slots:
    void examples_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("candidates");
        const QStringList carpetWords{"car", "pet", "carpet", "pe", "t"};
        QTest::newRow("carpet: depth first, shorter first pieces first")
            << carpetWords << "carpet" << QStringList{" car pe t", " car pet", " carpet"};
        QTest::newRow("letter case of the text is kept")
            << QStringList{"car", "pet"} << "CarPet" << QStringList{" Car Pet"};
        QTest::newRow("number then word") << QStringList{"sale"} << "4sale" << QStringList{" 4 sale"};
        QTest::newRow("digit runs split every way") << QStringList() << "12" << QStringList{" 1 2", " 12"};
        QTest::newRow("exponent form is one piece") << QStringList() << "1e5" << QStringList{" 1e5"};
        QTest::newRow("empty text gives the empty candidate") << QStringList{"a"} << "" << QStringList{""};
        QTest::newRow("no split gives nothing") << QStringList{"car"} << "carx" << QStringList();
        QTest::newRow("unaccepted piece is no dead end") << QStringList{"ab", "abcd"} << "abcd" << QStringList{" abcd"};
        QTest::newRow("piece both word and number counts once")
            << QStringList{"1", "12"} << "12" << QStringList{" 1 2", " 12"};
        QTest::newRow("upper-case exponent and hex") << QStringList() << "1E5" << QStringList{" 1E5"};
        QTest::newRow("hex literal beside a word") << QStringList{"go"} << "&h1Fgo" << QStringList{" &h1F go"};
    }
    void examples()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, text);
        QFETCH(QStringList, candidates);
        const WordDictionary dictionary = dictionaryOf(words);
        QCOMPARE(engineSplit(dictionary, text), candidates);
        QCOMPARE(plainSplit(dictionary, text), candidates);
    }

    void numericGrammar_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("numeric");
        const auto row = [](const char* name, const QString& key, bool numeric) {
            QTest::newRow(name) << key << numeric;
        };
        row("digit", "7", true);
        row("digit run", "0123456789", true);
        row("decimal", "3.25", true);
        row("leading separator", ".5", true);
        row("trailing separator", "5.", true);
        row("two separators", "1.2.3", false);
        row("lone separator", ".", false);
        row("leading plus", "+5", true);
        row("leading minus", "-5.5", true);
        row("sign then separator then digit", "-.5", true);
        row("lone sign", "+", false);
        row("sign and separator only", "-.", false);
        row("two signs", "+-5", false);
        row("trailing sign", "5-", false);
        row("empty", "", false);
        row("exponent", "1e5", true);
        row("d exponent", "2d3", true);
        row("negative exponent", "1.5e-3", true);
        row("plus exponent", "1e+3", true);
        row("exponent after trailing separator", "5.e3", true);
        row("exponent without digits", "1e", false);
        row("exponent sign without digits", "1e-", false);
        row("exponent without mantissa", "e5", false);
        row("exponent after lone separator", ".e5", false);
        row("two exponents", "1e5e5", false);
        row("separator in exponent", "1e5.0", false);
        row("largest exponent that fits", "1e308", true);
        row("too large for a double", "1e400", false);
        row("too small is zero", "1e-400", true);
        row("zero with huge exponent", "0e99999", true);
        row("308 nines", QString(308, QLatin1Char('9')), true);
        row("309 nines", QString(309, QLatin1Char('9')), false);
        row("309 digits that round to the largest double", firstOverflowingValue.left(308) + QLatin1Char('1'), true);
        row("first value that rounds to infinity", firstOverflowingValue, false);
        row("just below the first overflowing value", firstOverflowingValue.left(308) + QLatin1Char('1'), true);
        row("leading zeros do not count", QString(400, QLatin1Char('0')) + QLatin1Char('1'), true);
        row("long mantissa brought back by the exponent", QString(400, QLatin1Char('9')) + "e-100", true);
        row("hex", "&h1f", true);
        row("hex eight digits", "&hffffffff", true);
        row("hex nine digits", "&h123456789", false);
        row("hex without digits", "&h", false);
        row("hex bad digit", "&h1g", false);
        row("octal", "&o17", true);
        row("octal largest 32-bit value", "&o37777777777", true);
        row("octal beyond 32 bits", "&o40000000000", false);
        row("octal leading zeros", "&o000000000000017", true);
        row("octal bad digit", "&o8", false);
        row("ampersand alone", "&", false);
        row("sign before hex", "-&h1", false);
        row("other letter", "12a", false);
        row("blank inside", "1 2", false);
        row("group separator", "1,000", false);
        row("currency", "$5", false);
        row("parentheses", "(5)", false);
        row("fullwidth digit", QString(QChar(0xFF11)), false);
    }
    void numericGrammar()
    {
        QFETCH(QString, key);
        QFETCH(bool, numeric);
        QCOMPARE(isNumeric(key), numeric);
    }

    // Skipping hopeless digit runs must find exactly the ends that the digit-by-digit scan finds.
    void numericEndsWithAndWithoutSkipping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("long run") << QString(700, QLatin1Char('7'));
        QTest::newRow("long run then exponent") << QString(500, QLatin1Char('3')) + "e-300x";
        QTest::newRow("long run with fraction")
            << QString(400, QLatin1Char('1')) + "." + QString(300, QLatin1Char('2')) + "d-200";
        QTest::newRow("huge positive exponent") << "1e" + QString(60, QLatin1Char('9'));
        QTest::newRow("huge negative exponent") << "1e-" + QString(60, QLatin1Char('9'));
        QTest::newRow("mixed") << "12.5e3&h1F+4.2d-1" + QString(330, QLatin1Char('5')) + "..5";
    }
    void numericEndsWithAndWithoutSkipping()
    {
        QFETCH(QString, text);
        std::vector<qint32> runEnds;
        NumericScanner::findDigitRunEnds(text, runEnds);
        for (qsizetype start = 0; start < text.size(); ++start) {
            NumericScanner plain(text, start);
            NumericScanner skipping(text, start, runEnds.data());
            QList<qsizetype> plainEnds;
            QList<qsizetype> skippingEnds;
            for (qsizetype end = plain.next(); end >= 0; end = plain.next())
                plainEnds.append(end);
            for (qsizetype end = skipping.next(); end >= 0; end = skipping.next())
                skippingEnds.append(end);
            QCOMPARE(skippingEnds, plainEnds);
            for (qsizetype end = start + 1; end <= text.size() && end < start + 40; ++end)
                QCOMPARE(plainEnds.contains(end), isNumeric(QStringView(text).mid(start, end - start)));
        }
    }

    // Thousands of random texts and dictionaries: the same candidates as the plain recursion, in order.
    // Texts are built from words, numeric fragments and stray characters, so that most split in several
    // ways and many run into dead ends.
    void sameAsPlainRecursion()
    {
        const QString alphabet = QStringLiteral("aAbBeEdDhH&+.-0123456789");
        const QString wordLetters = QStringLiteral("abedh");
        const QStringList fragments{"1",   "12", "0", "1e5", ".5", "5.", "&h1f", "&H7", "+3",
                                    "2d3", "e",  "d", "&",   "h",  "+",  ".",    "E-",  "9"};
        QRandomGenerator random(20261207);
        int compared = 0;
        int split = 0;
        int unsplit = 0;
        for (int round = 0; round < 500; ++round) {
            const QStringList words = randomWords(random, wordLetters, random.bounded(1, 10), 1, 3);
            const WordDictionary dictionary = dictionaryOf(words);
            Segmenter segmenter(dictionary);
            for (int t = 0; t < 20; ++t) {
                QString text;
                const int parts = random.bounded(0, 7);
                for (int k = 0; k < parts && text.size() < 16; ++k)
                    appendRandomPart(random, text, words, fragments, alphabet, 6, 3, 10);
                QStringList expected;
                const QString difference = differenceFromPlain(segmenter, dictionary, words, text, expected);
                if (!difference.isEmpty())
                    QFAIL(qPrintable(difference));
                // A bound keeps exactly the first candidates and tells whether any were left out.
                if (!expected.isEmpty()) {
                    const qsizetype bound = random.bounded(1, int(expected.size()) + 2);
                    QStringList bounded;
                    const bool cut = segmenter.splitIntoWords(text, bounded, bound);
                    QCOMPARE(bounded, expected.first(std::min(bound, expected.size())));
                    QCOMPARE(cut, expected.size() > bound);
                }
                ++compared;
                if (expected.size() > 1)
                    ++split;
                if (expected.isEmpty())
                    ++unsplit;
            }
        }
        QCOMPARE(compared, 10000);
        // Most texts split in several ways, and many not at all: both kinds are compared.
        QVERIFY2(split > 1500 && unsplit > 1500, qPrintable(QStringLiteral("%1 %2").arg(split).arg(unsplit)));
    }

    // Texts longer than 64 characters keep their word ends in lists rather than masks: the same comparison.
    void longTextsSameAsPlainRecursion()
    {
        QRandomGenerator random(20261208);
        const QString letters = QStringLiteral("abcd");
        const QStringList fragments{"12", "1e5", ".5", "&h1f", "+3"};
        int split = 0;
        for (int round = 0; round < 60; ++round) {
            const QStringList words = randomWords(random, letters, 8, 2, 6);
            const WordDictionary dictionary = dictionaryOf(words);
            Segmenter segmenter(dictionary);
            for (int t = 0; t < 5; ++t) {
                QString text;
                while (text.size() < 65 + random.bounded(30))
                    appendRandomPart(random, text, words, fragments, letters, 36, 3, 40);
                QStringList expected;
                const QString difference = differenceFromPlain(segmenter, dictionary, words, text, expected);
                if (!difference.isEmpty())
                    QFAIL(qPrintable(difference));
                split += expected.isEmpty() ? 0 : 1;
            }
        }
        // Most split, some do not: both are compared.
        QVERIFY2(split > 150 && split < 300, qPrintable(QString::number(split)));
    }

    // The double-array trie of the ASCII words: a walk over any ASCII text, lower-cased, is alive exactly
    // while some word starts with what it has read, and at a word exactly when the dictionary holds it.
    void trieAgreesWithTheDictionary_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("characters"); // of the texts walked
        QStringList letters;
        QRandomGenerator random(7);
        for (int w = 0; w < 3000; ++w) {
            QString word;
            const int length = random.bounded(1, 9);
            for (int k = 0; k < length; ++k)
                word += QChar(u'a' + random.bounded(26));
            letters.append(word);
        }
        letters.removeDuplicates();
        QTest::newRow("thousands of words over 26 letters") << letters << "abcdefghijklmnopqrstuvwxyzABCXYZ09-";
        QStringList printable;
        for (char16_t unit = 1; unit < 0x80; ++unit) {
            const QString one(QChar{unit});
            if (!printable.contains(WordDictionary::lowerCase(one)))
                printable.append(WordDictionary::lowerCase(one));
            printable.append(WordDictionary::lowerCase(QStringLiteral("x") + QChar(unit) + QStringLiteral("y")));
        }
        printable.removeDuplicates();
        QTest::newRow("every ASCII unit, as a word and inside one") << printable << "xyXY!~a\x7f\x01 ";
        QTest::newRow("ASCII prefixes of other words only")
            << QStringList{QStringLiteral("caf\u00E9"), QStringLiteral("na\u00EFve"), QStringLiteral("na")}
            << "cafnaive";
        QTest::newRow("no words") << QStringList() << "abc";
    }
    void trieAgreesWithTheDictionary()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, characters);
        const WordDictionary dictionary = dictionaryOf(words);
        QSet<QString> prefixes;
        for (const QString& word : dictionary.words()) {
            for (qsizetype k = 1; k <= word.size(); ++k)
                prefixes.insert(word.left(k));
        }
        WordTrie trie;
        trie.build(dictionary.words());
        QRandomGenerator random(11);
        for (int t = 0; t < 300; ++t) {
            QString text;
            const int length = random.bounded(1, 12);
            for (int k = 0; k < length; ++k) {
                // Mostly the start of a word (its ASCII characters: the texts are ASCII), so that walks go deep.
                if (k == 0 && !words.isEmpty() && random.bounded(2)) {
                    for (const QChar c : words[random.bounded(int(words.size()))]) {
                        if (c.unicode() < 0x80)
                            text += c;
                    }
                }
                text += characters[random.bounded(characters.size())];
            }
            for (qsizetype start = 0; start < text.size(); ++start) {
                quint32 node = WordTrie::root;
                for (qsizetype end = start + 1; end <= text.size(); ++end) {
                    const QString key = WordDictionary::lowerCase(QStringView(text).mid(start, end - start));
                    node = trie.child(node, key.back().unicode());
                    QCOMPARE(node != WordTrie::noNode, prefixes.contains(key));
                    QCOMPARE(node != WordTrie::noNode && trie.isWord(node), dictionary.contains(key));
                    if (node == WordTrie::noNode)
                        break;
                }
            }
        }
    }

    // Lower-casing piece by piece: characters whose lower case is longer, or outside the BMP.
    void lowerCasingOfPieces_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("text");
        const QString dotted = QString(QChar(0x130));             // lower case is two units
        const QString deseret = QString::fromUcs4(U"\U00010400"); // upper case outside the BMP
        const QString deseretLower = QString::fromUcs4(U"\U00010428");
        const QString highHalf = deseret.left(1);
        QTest::newRow("dotted capital I")
            << QStringList{"i" + QString(QChar(0x307)) + "s", "i" + QString(QChar(0x307)), "is", "i"}
            << dotted + "s" + dotted;
        QTest::newRow("kelvin sign") << QStringList{"ok", "k"} << "O" + QString(QChar(0x212A));
        QTest::newRow("letter outside the BMP") << QStringList{deseretLower + "a", "a", deseretLower} << deseret + "A";
        QTest::newRow("piece ending between surrogate halves")
            << QStringList{"x" + highHalf, deseret.right(1) + "y", "x" + deseretLower, "y"} << "X" + deseret + "Y";
        QTest::newRow("greek capital sigma")
            << QStringList{QStringLiteral("σ"), QStringLiteral("ασ")} << QStringLiteral("ΑΣΣ");
    }
    void lowerCasingOfPieces()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, text);
        WordDictionary dictionary;
        for (const QString& word : words)
            dictionary.add(word); // already lower-cased
        const QStringList expected = plainSplit(dictionary, text);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(engineSplit(dictionary, text), expected);
    }

    // Nodes with many children (found through a table, or by search when their units lie far apart)
    // must find exactly the words that nodes with few children find.
    void wordsUnderLargeNodes()
    {
        QRandomGenerator random(4711);
        int steps = 0;
        QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
        for (char16_t wide : {u'\u00E9', u'\u0430', u'\u4E00', u'\uFF21', u'\uFFFD'})
            letters += QChar(wide);
        for (int round = 0; round < 20; ++round) {
            QSet<QString> words;
            // Prefixes followed by most letters: nodes of many children, some with units far apart.
            for (int prefix = 0; prefix < 6; ++prefix) {
                QString start;
                for (int k = 0; k <= prefix % 3; ++k)
                    start += letters[random.bounded(letters.size())];
                const qsizetype span = prefix % 2 ? letters.size() : 26;
                for (qsizetype k = 0; k < span; ++k) {
                    if (random.bounded(4) != 0)
                        words.insert(start + letters[k]);
                }
            }
            for (int k = 0; k < 100; ++k) {
                QString word;
                const int length = random.bounded(1, 4);
                for (int i = 0; i < length; ++i)
                    word += letters[random.bounded(letters.size())];
                words.insert(word);
            }
            WordTrie trie;
            trie.build(words);
            for (int probe = 0; probe < 2000; ++probe) {
                QString text;
                const int length = random.bounded(1, 5);
                for (int k = 0; k < length; ++k)
                    text += letters[random.bounded(letters.size())];
                quint32 node = WordTrie::root; // the root is numbered like "no node"
                for (qsizetype k = 0; k < text.size(); ++k) {
                    node = trie.child(node, text[k].unicode());
                    QCOMPARE(node != WordTrie::noNode && trie.isWord(node), words.contains(text.left(k + 1)));
                    if (node == WordTrie::noNode)
                        break;
                    ++steps;
                }
            }
        }
        QVERIFY(steps > 20000); // the probes do walk into the trie
    }

    // Words are found side by side from every place; ends up to 64 characters on are kept apart from
    // longer ones, which must still come in order among them.
    void wordsAroundSixtyFourCharacters_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("text");
        const auto as = [](int count) { return QString(count, QLatin1Char('a')); };
        const QStringList lengths{as(1), as(63), as(64), as(65), as(66), as(130)};
        QTest::newRow("runs of one letter") << lengths << as(135);
        QTest::newRow("long words then short, mixed case")
            << (QStringList(lengths) << "b" << as(64) + "b") << QString(as(65) + "B" + as(64) + "b" + as(3)).toUpper();
        QTest::newRow("long word only at the end") << QStringList{"x", as(70)} << QString("xxx" + as(70));
        QTest::newRow("words of 63 and 64 letters in a text of 64") << lengths << as(64);
        QTest::newRow("words of 63 and 64 letters, mixed case")
            << (QStringList(lengths) << "b" << as(62) + "b") << QString("B" + as(63)).toUpper();
        QTest::newRow("long words and numbers")
            << QStringList{as(65) + "1", as(66)} << QString(as(65) + "12" + as(66) + "3");
    }
    void wordsAroundSixtyFourCharacters()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, text);
        const WordDictionary dictionary = dictionaryOf(words);
        const QStringList expected = plainSplit(dictionary, text);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(engineSplit(dictionary, text), expected);
    }

    // Texts that fill one to four blocks of sixteen characters, with words long enough to cross from one block
    // into the next: the same first candidates as the plain recursion.
    void textsAcrossBlocksSameAsPlainRecursion_data()
    {
        QTest::addColumn<int>("shortest");
        QTest::addColumn<int>("longest");
        QTest::addColumn<int>("wordLength");
        QTest::newRow("one vector") << 1 << 16 << 4;
        QTest::newRow("two vectors") << 17 << 32 << 6;
        QTest::newRow("three vectors") << 33 << 48 << 8;
        QTest::newRow("four vectors") << 49 << 64 << 8;
        QTest::newRow("words across vectors") << 30 << 64 << 24;
    }
    void textsAcrossBlocksSameAsPlainRecursion()
    {
        QFETCH(int, shortest);
        QFETCH(int, longest);
        QFETCH(int, wordLength);
        QRandomGenerator random(static_cast<quint32>(20261207 + shortest + wordLength));
        const QString letters = QStringLiteral("abc");
        const QStringList fragments{"12", "1e5", ".5", "&h1f", "+3", "x"};
        int split = 0;
        for (int round = 0; round < 40; ++round) {
            const QStringList words = randomWords(random, letters, 12, 1, wordLength + 1);
            const WordDictionary dictionary = dictionaryOf(words);
            Segmenter segmenter(dictionary);
            for (int t = 0; t < 25; ++t) {
                const int length = random.bounded(shortest, longest + 1);
                QString text;
                while (text.size() < length)
                    appendRandomPart(random, text, words, fragments, letters, 12, 1, 15);
                text.truncate(length);
                QStringList expected;
                const bool expectedCut = referenceSplit(text, dictionary, 500, expected);
                QStringList got;
                const bool cut = segmenter.splitIntoWords(text, got, 500);
                QCOMPARE(got, expected);
                QCOMPARE(cut, expectedCut);
                split += expected.isEmpty() ? 0 : 1;
            }
        }
        // Many texts split and many do not: both are compared.
        QVERIFY2(split > 50 && split < 950, qPrintable(QString::number(split)));
    }

    void deadEndAnswersWithNothing()
    {
        const WordDictionary dictionary = dictionaryOf({"a", "aa"});
        QCOMPARE(engineSplit(dictionary, QString(59, QLatin1Char('a')) + "b"), QStringList());
        // The same text with every piece accepted still lists the first candidates at once.
        bool cut = false;
        const QStringList digits = engineSplit(dictionary, QString(60, QLatin1Char('1')), 3, &cut);
        QVERIFY(cut);
        QCOMPARE(digits.size(), 3);
        QCOMPARE(digits[0], QString(" 1").repeated(60));
    }

    void textLengthLimits()
    {
        const WordDictionary dictionary = dictionaryOf({"a"});
        Segmenter segmenter(dictionary);
        QStringList candidates;
        QVERIFY_THROWS_EXCEPTION(Failure, segmenter.splitIntoWords(QString(32768, QLatin1Char('a')), candidates));
        QVERIFY(candidates.isEmpty());

        // At 32,767 the shorter first pieces are searched and listed before the overflow.
        try {
            segmenter.splitIntoWords(QString(32767, QLatin1Char('a')), candidates);
            QFAIL("no overflow at 32,767 characters");
        } catch (const Failure& failure) {
            QVERIFY2(failure.description().contains(QStringLiteral("Overflow")), qPrintable(failure.description()));
        }
        QCOMPARE(candidates.size(), 1);
        QCOMPARE(candidates[0], QString(" a").repeated(32767));

        candidates.clear();
        QVERIFY(!segmenter.splitIntoWords(QString(32766, QLatin1Char('a')), candidates));
        QCOMPARE(candidates.size(), 1);
    }

    void sinkThatDeclinesCutsTheList()
    {
        const WordDictionary dictionary;
        Segmenter segmenter(dictionary);
        QStringList taken;
        const bool cut = segmenter.splitIntoWords(
            QStringLiteral("1234"),
            [&](QStringView candidate) {
                if (taken.size() == 2)
                    return false;
                taken.append(candidate.toString());
                return true;
            },
            0);
        QVERIFY(cut);
        QCOMPARE(taken, (QStringList{" 1 2 3 4", " 1 2 34"}));
    }

    void indexFollowsDictionaryChanges()
    {
        WordDictionary dictionary;
        dictionary.add(QStringLiteral("car"));
        Segmenter segmenter(dictionary);
        QStringList candidates;
        segmenter.splitIntoWords(QStringLiteral("carpet"), candidates);
        QVERIFY(candidates.isEmpty());
        dictionary.add(QStringLiteral("pet"));
        segmenter.splitIntoWords(QStringLiteral("carpet"), candidates);
        QCOMPARE(candidates, QStringList{" car pet"});
        dictionary.clear();
        dictionary.add(QStringLiteral("carpet"));
        candidates.clear();
        segmenter.splitIntoWords(QStringLiteral("carpet"), candidates);
        QCOMPARE(candidates, QStringList{" carpet"});
    }
};

QTEST_GUILESS_MAIN(TestSegmenter)
#include "test_segmenter.moc"
