#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "core/Pointer.h"
#include "engine/Segmenter.h"
#include "engine/WordDatabase.h"
#include "engine/WordDictionary.h"
#include "engine/WordLists.h"
#include "engine/WordScores.h"
#include "text/TextFiles.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

using namespace quorvane;

// The word lists and the suffix list that every build ships keep the rules the loaders rely on. A broken
// rule costs the user dearly: each duplicate word is one modal error report at every load, a stray
// one-letter word splits every name into hundreds of candidates, and a suffix listed after a shorter one
// that it contains never matches.
namespace {

QString dataSourceFolder()
{
    return qEnvironmentVariable("QUORVANE_DATA_SOURCE_DIR");
}

// Cuts the bytes into lines and lists what breaks the line rules: every line ends with CR LF (no lone CR
// or LF, no unterminated last line), no line is empty, and the text is plain ASCII, so that reading it as
// Windows-1252 (no byte-order mark) and as UTF-8 gives the same words.
QStringList lineProblems(const QByteArray& bytes, QStringList& lines)
{
    QStringList problems;
    lines.clear();
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype end = bytes.indexOf("\r\n", start);
        const QByteArray line = bytes.mid(start, end < 0 ? -1 : end - start);
        const int number = int(lines.size()) + 1;
        if (end < 0)
            problems << QStringLiteral("line %1 has no CR LF").arg(number);
        if (line.contains('\r') || line.contains('\n'))
            problems << QStringLiteral("line %1 has a lone CR or LF").arg(number);
        if (line.isEmpty())
            problems << QStringLiteral("line %1 is empty").arg(number);
        for (const char c : line) {
            if (static_cast<unsigned char>(c) > 0x7F) {
                problems << QStringLiteral("line %1 is not ASCII").arg(number);
                break;
            }
        }
        lines << QString::fromLatin1(line);
        start = end < 0 ? bytes.size() : end + 2;
    }
    return problems;
}

// Word rules: lower case as the program lower-cases, letters only (no blanks, apostrophes or digits), no
// one-letter word but "a" and "i", and no word twice.
QStringList wordProblems(const QStringList& words)
{
    static const QRegularExpression lettersOnly(QStringLiteral("^\\p{L}+$"));
    QStringList problems;
    QSet<QString> seen;
    for (const QString& word : words) {
        const QString key = WordDictionary::lowerCase(word);
        if (key != word)
            problems << QStringLiteral("not lower case: %1").arg(word);
        if (!lettersOnly.match(word).hasMatch())
            problems << QStringLiteral("not letters only: \"%1\"").arg(word);
        if (word.size() == 1 && word != QLatin1String("a") && word != QLatin1String("i"))
            problems << QStringLiteral("one-letter word: %1").arg(word);
        if (seen.contains(key))
            problems << QStringLiteral("duplicate: %1").arg(word);
        seen.insert(key);
    }
    return problems;
}

// Suffix rules: lower-case labels joined by single dots, no dot at either end, each entry once, and no
// entry cuts part of a later one ("." + earlier inside "." + later), since the earlier entry is applied
// first and would keep the later one from ever matching (com before com.au, co before com).
QStringList suffixProblems(const QStringList& entries)
{
    static const QRegularExpression labels(QStringLiteral("^[a-z0-9-]+(\\.[a-z0-9-]+)*$"));
    QStringList problems;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (!labels.match(entries[i]).hasMatch())
            problems << QStringLiteral("not a suffix: \"%1\"").arg(entries[i]);
        for (qsizetype j = i + 1; j < entries.size(); ++j) {
            if (entries[j] == entries[i])
                problems << QStringLiteral("duplicate: %1").arg(entries[i]);
            else if ((u'.' + entries[j]).contains(u'.' + entries[i]))
                problems << QStringLiteral("%1 comes before %2").arg(entries[i], entries[j]);
        }
    }
    return problems;
}

// The split of `text` with the highest score, the first in search order among equals: every split listed and
// scored the plain way.
QString bestSplit(const WordDictionary& dictionary, const WordScores& scores, const QString& text)
{
    Segmenter segmenter(dictionary);
    QStringList candidates;
    segmenter.splitIntoWords(text, candidates, 0);
    QString best;
    qint64 bestScore = std::numeric_limits<qint64>::min();
    for (const QString& candidate : candidates) {
        qint64 score = 0;
        for (const QString& piece : candidate.split(u' ', Qt::SkipEmptyParts))
            score += scores.pieceScore(piece);
        if (score > bestScore) {
            bestScore = score;
            best = candidate.trimmed();
        }
    }
    return best;
}

} // namespace

class TestShippedWords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!dataSourceFolder().isEmpty(), "QUORVANE_DATA_SOURCE_DIR is not set");
        QVERIFY2(!testfiles::applicationFolder().isEmpty(), "QUORVANE_APP_DIR is not set");
    }

    // The checks themselves find each kind of fault, so that a clean result below means something.
    void checksFindFaults_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("suffixes");
        QTest::addColumn<QString>("problem");
        QTest::newRow("clean word list") << QByteArray("a\r\ni\r\nword\r\n") << false << QString();
        QTest::newRow("clean suffix list") << QByteArray("co.uk\r\ncom\r\nuk\r\n") << true << QString();
        QTest::newRow("lone LF") << QByteArray("one\ntwo\r\n") << false << "lone CR or LF";
        QTest::newRow("no final CR LF") << QByteArray("one\r\ntwo") << false << "line 2 has no CR LF";
        QTest::newRow("empty line") << QByteArray("one\r\n\r\ntwo\r\n") << false << "line 2 is empty";
        QTest::newRow("non-ASCII byte") << QByteArray("caf\xE9\r\n") << false << "not ASCII";
        QTest::newRow("upper case") << QByteArray("Word\r\n") << false << "not lower case";
        QTest::newRow("same word in two cases") << QByteArray("apple\r\nApple\r\n") << false << "duplicate";
        QTest::newRow("apostrophe") << QByteArray("don't\r\n") << false << "not letters only";
        QTest::newRow("blank inside") << QByteArray("ice cream\r\n") << false << "not letters only";
        QTest::newRow("stray letter") << QByteArray("b\r\n") << false << "one-letter word: b";
        QTest::newRow("com before com.au") << QByteArray("com\r\ncom.au\r\n") << true << "com comes before com.au";
        QTest::newRow("co before com") << QByteArray("co\r\ncom\r\n") << true << "co comes before com";
        QTest::newRow("leading dot") << QByteArray(".com\r\n") << true << "not a suffix";
        QTest::newRow("upper-case suffix") << QByteArray("COM\r\n") << true << "not a suffix";
        QTest::newRow("suffix twice") << QByteArray("net\r\nnet\r\n") << true << "duplicate: net";
    }
    void checksFindFaults()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, suffixes);
        QFETCH(QString, problem);
        QStringList lines;
        QStringList problems = lineProblems(bytes, lines);
        problems += suffixes ? suffixProblems(lines) : wordProblems(lines);
        if (problem.isEmpty())
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        else
            QVERIFY2(!problems.filter(problem).isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void wordListsKeepTheRules_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("fewest");
        QTest::addColumn<int>("most");
        // List #1 reaches the application folder as dbWords.mdb; its source is checked.
        QTest::newRow("list #1 dbwords.txt") << QDir(dataSourceFolder()).filePath("dbwords.txt") << 90000 << 120000;
        QTest::newRow("list #2 google.col")
            << QDir(testfiles::applicationFolder()).filePath("google.col") << 180000 << 260000;
        QTest::newRow("list #3 mit.col") << QDir(testfiles::applicationFolder()).filePath("mit.col") << 9000 << 11000;
    }
    void wordListsKeepTheRules()
    {
        QFETCH(QString, path);
        QFETCH(int, fewest);
        QFETCH(int, most);
        QStringList words;
        QStringList problems = lineProblems(testfiles::readBytes(path), words);
        problems += wordProblems(words);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.mid(0, 20).join(u'\n')));
        QVERIFY2(words.size() >= fewest && words.size() <= most, qPrintable(QString::number(words.size())));
        QVERIFY(words.contains(QStringLiteral("a")) && words.contains(QStringLiteral("i")));
        // The program's own reader sees exactly these words.
        QCOMPARE(readFileLines(path).toStringList(), words);
    }

    void suffixListKeepsTheRules()
    {
        const QString path = QDir(testfiles::applicationFolder()).filePath("suffix.lst");
        QStringList entries;
        QStringList problems = lineProblems(testfiles::readBytes(path), entries);
        problems += suffixProblems(entries);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        // Every entry also cuts inside names, so the list stays short.
        QVERIFY2(entries.size() <= 64, qPrintable(QString::number(entries.size())));
        QVERIFY(entries.contains(QStringLiteral("com")));
    }

    // The words no spelling list knows: words of the shipped lists (any other would be dead weight), once
    // each, in alphabetical order; never a common word.
    void unlistedWordsKeepTheRules()
    {
        const QDir folder(testfiles::applicationFolder());
        QStringList unlisted;
        QStringList problems = lineProblems(testfiles::readBytes(folder.filePath("unlisted.lst")), unlisted);
        problems += wordProblems(unlisted);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.mid(0, 20).join(u'\n')));
        QStringList sorted = unlisted;
        sorted.sort();
        QVERIFY(sorted == unlisted);

        QSet<QString> shipped;
        for (const char* path : {"google.col", "mit.col"}) {
            for (const QString& word : readFileLines(folder.filePath(QLatin1String(path))))
                shipped.insert(word);
        }
        for (const QString& word : readFileLines(QDir(dataSourceFolder()).filePath("dbwords.txt")))
            shipped.insert(word);
        QStringList stray;
        for (const QString& word : std::as_const(unlisted)) {
            if (!shipped.contains(word))
                stray << word;
        }
        QVERIFY2(stray.isEmpty(), qPrintable(stray.mid(0, 20).join(u' ')));
        QVERIFY2(unlisted.size() > 10000 && unlisted.size() < shipped.size() / 2,
                 qPrintable(QString::number(unlisted.size())));
        for (const char* common : {"the", "house", "flowers", "local", "sale", "a", "i"})
            QVERIFY2(!unlisted.contains(QLatin1String(common)), common);
    }

    // The shipped lists with their scores put the right split of these names first (checked by hand).
    void shippedListsRankTheRightSplitFirst_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("split");
        for (const int list : {1, 2}) {
            const QString name = QStringLiteral("list #%1: ").arg(list);
            QTest::addRow("%s", qPrintable(name + "your local ford festiva")) << list << "yourlocalfordfestiva"
                                                                              << "your local ford festiva";
            QTest::addRow("%s", qPrintable(name + "1800 flowers")) << list << "1800flowers"
                                                                   << "1800 flowers";
            QTest::addRow("%s", qPrintable(name + "4 sale")) << list << "4sale"
                                                             << "4 sale";
            QTest::addRow("%s", qPrintable(name + "letter case kept")) << list << "BestBuy"
                                                                       << "Best Buy";
            QTest::addRow("%s", qPrintable(name + "experts exchange")) << list << "expertsexchange"
                                                                       << "experts exchange";
            QTest::addRow("%s", qPrintable(name + "route 66")) << list << "route66"
                                                               << "route 66";
        }
    }
    void shippedListsRankTheRightSplitFirst()
    {
        QFETCH(int, list);
        QFETCH(QString, text);
        QFETCH(QString, split);
        const QString folder = testfiles::applicationFolder();
        std::unique_ptr<WordDatabase> database;
        if (list == 1)
            database = std::make_unique<WordDatabase>(QDir(folder).filePath(QStringLiteral("dbWords.mdb")));
        static WordDictionary dictionary;
        static int loaded = 0;
        if (loaded != list) {
            ScriptedPrompter prompter;
            PlainPointer pointer;
            loadWords(WordListChoice(list), database.get(), folder, dictionary, prompter, pointer);
            QCOMPARE(prompter.shown().size(), 0);
            loaded = list;
        }
        static WordScores scores(dictionary);
        scores.refresh();
        QCOMPARE(bestSplit(dictionary, scores, text), split);
    }

    void applicationFolderHoldsTheSources_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("google.col") << QStringLiteral("google.col");
        QTest::newRow("mit.col") << QStringLiteral("mit.col");
        QTest::newRow("suffix.lst") << QStringLiteral("suffix.lst");
        QTest::newRow("unlisted.lst") << QStringLiteral("unlisted.lst");
    }
    void applicationFolderHoldsTheSources()
    {
        QFETCH(QString, name);
        QCOMPARE(testfiles::readBytes(QDir(testfiles::applicationFolder()).filePath(name)),
                 testfiles::readBytes(QDir(dataSourceFolder()).filePath(name)));
    }
};

QTEST_GUILESS_MAIN(TestShippedWords)
#include "test_shippedwords.moc"
