#include "TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;

namespace {

using Run = testfiles::ProgramRun;

struct Row
{
    QString name;
    QString split;
    double score = 0;
};

} // namespace

// quorvane-split's ranking and output formats: --rank, --best, --scores, --format, --version.
class TestRankingOptions : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_words;
    QByteArray m_names;

    QString program() const { return testfiles::applicationFolder() + QStringLiteral("/quorvane-split"); }

    Run run(const QStringList& arguments, const QByteArray& input)
    {
        return testfiles::runProgram(program(), QStringList{"--data-dir", m_dir.path(), "--words", m_words} + arguments,
                                     input);
    }

    // The rows of "-o --scores": name, split and score.
    static QList<Row> scoredRows(const QByteArray& out)
    {
        static const QRegularExpression shape(QStringLiteral("^(.*) - (.*)\\t(-?[0-9]+\\.[0-9]{3})$"));
        QList<Row> rows;
        for (const QString& line : QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch match = shape.match(line);
            if (!match.hasMatch())
                qFatal("not a scored row: %s", qPrintable(line));
            rows.append(Row{match.captured(1), match.captured(2), match.captured(3).toDouble()});
        }
        return rows;
    }

    static QMap<QString, QStringList> byName(const QByteArray& out)
    {
        QMap<QString, QStringList> rows;
        for (const QString& line : QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            rows[line.section(QStringLiteral(" - "), 0, 0)].append(line.section(QStringLiteral(" - "), 1));
        return rows;
    }

private slots:
    void initTestCase()
    {
        testfiles::writeBytes(m_dir.filePath(QStringLiteral("suffix.lst")), "com\r\nnet");
        m_words = m_dir.filePath(QStringLiteral("words.txt"));
        testfiles::writeBytes(m_words, "car\r\npet\r\ncarpet\r\npe\r\nt\r\nblue\r\nsky\r\nblues\r\nky\r\nbl\r\nue\r\n"
                                       "s\r\nk\r\ny\r\nsale\r\nsal\r\ne\r\nfor\r\nflowers\r\nflower\r\n");
        m_names = "carpet.com\nBlueSky\n4sale\n1800flowers\n12345\nnothing\n\nbluesky.net/carpet\n";
    }

    // Ranked rows are those of the search, each name's together and in input order, best first; equal
    // scores keep search order.
    void rankedRowsAreTheSearchRowsBestFirst()
    {
        const Run plain = run({"-o", "--scores", "--max-splits", "0"}, m_names);
        const Run ranked = run({"-o", "--scores", "--rank", "--max-splits", "0"}, m_names);
        QCOMPARE(plain.exitCode, 0);
        QCOMPARE(ranked.exitCode, 0);
        const QList<Row> searchRows = scoredRows(plain.out);
        const QList<Row> rankedRows = scoredRows(ranked.out);
        QCOMPARE(rankedRows.size(), searchRows.size());
        QVERIFY(searchRows.size() > 40);
        QStringList namesInOrder;
        for (const Row& row : searchRows) {
            if (namesInOrder.isEmpty() || namesInOrder.last() != row.name)
                namesInOrder.append(row.name);
        }
        qsizetype at = 0;
        for (const QString& name : std::as_const(namesInOrder)) {
            QList<Row> inSearch;
            for (const Row& row : searchRows) {
                if (row.name == name)
                    inSearch.append(row);
            }
            QList<Row> expected = inSearch;
            std::stable_sort(expected.begin(), expected.end(),
                             [](const Row& a, const Row& b) { return a.score > b.score; });
            for (const Row& row : std::as_const(expected)) {
                const Row& got = rankedRows[at++];
                QCOMPARE(got.name, row.name);
                QCOMPARE(got.split, row.split);
                QCOMPARE(got.score, row.score);
            }
        }
    }

    void bestAndBound_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("keep"); // rows kept per name from the ranked list, 0: all
        QTest::addColumn<bool>("cutReported");
        QTest::newRow("--best 1 is the first ranked row") << QStringList{"--best", "1", "--words-only"} << 1 << false;
        QTest::newRow("--best 3") << QStringList{"--best=3", "--words-only"} << 3 << false;
        QTest::newRow("--best past every split is --rank")
            << QStringList{"--best", "1000", "--words-only"} << 0 << false;
        QTest::newRow("the bound keeps the best ones, and cuts")
            << QStringList{"--rank", "--max-splits", "2"} << 2 << true;
        QTest::newRow("a bound below --best cuts")
            << QStringList{"--best", "3", "--max-splits", "2", "--words-only"} << 2 << true;
        QTest::newRow("--best within the bound is no cut")
            << QStringList{"--best", "2", "--max-splits", "3", "--words-only"} << 2 << false;
    }
    void bestAndBound()
    {
        QFETCH(QStringList, options);
        QFETCH(int, keep);
        QFETCH(bool, cutReported);
        const Run all = run({"-o", "--rank", "--max-splits", "0"}, m_names);
        const Run some = run(QStringList{"-o"} + options, m_names);
        QCOMPARE(some.exitCode, 0);
        QMap<QString, QStringList> expected = byName(all.out);
        for (QStringList& rows : expected) {
            if (keep > 0)
                rows = rows.mid(0, keep);
        }
        QCOMPARE(byName(some.out), expected);
        QCOMPARE(some.err.contains("cut after 2 splits; it has more"), cutReported);
    }

    // --scores adds a TAB and the score; tsv and jsonl give the same splits and scores as text.
    void formatsAgree_data()
    {
        QTest::addColumn<QStringList>("order");
        QTest::newRow("search order") << QStringList();
        QTest::newRow("ranked") << QStringList{"--rank"};
        QTest::newRow("best two") << QStringList{"--best", "2", "--words-only"};
    }
    void formatsAgree()
    {
        QFETCH(QStringList, order);
        const Run text = run(QStringList{"-o", "--scores", "--max-splits", "0"} + order, m_names);
        const Run plain = run(QStringList{"-o", "--max-splits", "0"} + order, m_names);
        const Run tsv = run(QStringList{"--format", "tsv", "--max-splits", "0"} + order, m_names);
        const Run jsonl = run(QStringList{"--format=jsonl", "--max-splits", "0"} + order, m_names);
        QCOMPARE(text.exitCode, 0);
        QCOMPARE(tsv.exitCode, 0);
        QCOMPARE(jsonl.exitCode, 0);
        const QList<Row> rows = scoredRows(text.out);

        // Without --scores, the same rows without the score.
        QStringList withoutScores;
        for (const Row& row : rows)
            withoutScores.append(row.name + QStringLiteral(" - ") + row.split);
        QCOMPARE(QString::fromUtf8(plain.out), withoutScores.join(QLatin1Char('\n')) + QLatin1Char('\n'));

        // tsv: name, rank counted per name from 1, score, split.
        const QStringList tsvLines = QString::fromUtf8(tsv.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(tsvLines.size(), rows.size());
        int rank = 0;
        for (qsizetype k = 0; k < rows.size(); ++k) {
            const QStringList fields = tsvLines[k].split(QLatin1Char('\t'));
            QCOMPARE(fields.size(), order.contains("--best") ? 5 : 4); // with --best, the pieces' kinds
            rank = k > 0 && rows[k - 1].name == rows[k].name ? rank + 1 : 1;
            QCOMPARE(fields[0], rows[k].name);
            QCOMPARE(fields[1], QString::number(rank));
            QCOMPARE(fields[2].toDouble(), rows[k].score);
            QCOMPARE(fields[3], rows[k].split);
        }

        // jsonl: one object per name, names without splits too, in input order.
        const QList<QByteArray> objects = jsonl.out.split('\n');
        QCOMPARE(objects.size(), 9); // eight names and the end of the last line
        QVERIFY(objects.last().isEmpty());
        qsizetype next = 0;
        for (qsizetype n = 0; n < 8; ++n) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(objects[n], &error);
            QVERIFY2(error.error == QJsonParseError::NoError, objects[n].constData());
            const QJsonObject object = document.object();
            QCOMPARE(object.keys(), (QStringList{"cut", "name", "splits"}));
            QCOMPARE(object.value("cut").toBool(true), false);
            for (const QJsonValue split : object.value("splits").toArray()) {
                QStringList words;
                for (const QJsonValue word : split.toObject().value("words").toArray())
                    words.append(word.toString());
                QVERIFY(next < rows.size());
                QCOMPARE(object.value("name").toString(), rows[next].name);
                QCOMPARE(words.join(QLatin1Char(' ')), rows[next].split);
                QCOMPARE(split.toObject().value("score").toDouble(), rows[next].score);
                ++next;
            }
        }
        QCOMPARE(next, rows.size());
        QCOMPARE(QJsonDocument::fromJson(objects[5]).object().value("name").toString(), QStringLiteral("nothing"));
        QVERIFY(QJsonDocument::fromJson(objects[5]).object().value("splits").toArray().isEmpty());
    }

    // Names are JSON strings whatever they hold; a cut name says so.
    void jsonlEscapesAndCut()
    {
        const QByteArray name = "sky\"\\\x01\tcaf\xC3\xA9";
        const Run result = run({"--format", "jsonl", "--max-splits", "1"}, name + "\ncarpet\n");
        QCOMPARE(result.exitCode, 0);
        const QList<QByteArray> lines = result.out.split('\n');
        QCOMPARE(lines.size(), 3);
        QJsonParseError error;
        const QJsonObject first = QJsonDocument::fromJson(lines[0], &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, lines[0].constData());
        QCOMPARE(first.value("name").toString(), QString::fromUtf8("sky\"\\\x01\tcaf\xC3\xA9"));
        const QJsonObject second = QJsonDocument::fromJson(lines[1]).object();
        QCOMPARE(second.value("splits").toArray().size(), 1);
        QCOMPARE(second.value("cut").toBool(false), true);
    }

    void jobsGiveTheSameOutput()
    {
        QByteArray many;
        for (int k = 0; k < 3000; ++k)
            many += m_names;
        for (const QStringList& options :
             {QStringList{"--rank"}, QStringList{"--best", "2", "--format", "jsonl"}, QStringList{"--format", "tsv"}}) {
            const Run one = run(QStringList{"-j", "1"} + options, many);
            const Run three = run(QStringList{"-j", "3"} + options, many);
            QCOMPARE(one.exitCode, 0);
            QCOMPARE(three.out, one.out);
        }
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output");
        QTest::newRow("version") << QStringList{"--version"} << 0 << QByteArray("quorvane-split ");
        QTest::newRow("help names the new options") << QStringList{"--help"} << 0 << QByteArray("--best N");
        QTest::newRow("best 0") << QStringList{"--best", "0"} << 2 << QByteArray();
        QTest::newRow("best not a number") << QStringList{"--best", "few"} << 2 << QByteArray();
        QTest::newRow("unknown format") << QStringList{"--format", "xml"} << 2 << QByteArray();
        QTest::newRow("format without value") << QStringList{"--format"} << 2 << QByteArray();
        QTest::newRow("best too large") << QStringList{"--best", "99999999999999999999"} << 2 << QByteArray();
        QTest::newRow("bound too large") << QStringList{"--max-splits", "9223372036854775808"} << 2 << QByteArray();
        QTest::newRow("jobs too large") << QStringList{"--jobs", "4294967296"} << 2 << QByteArray();
        QTest::newRow("help says what --rank and --best do, within 80 columns")
            << QStringList{"--help"} << 0 << QByteArray("beyond the word list");
        QTest::newRow("a name after -- may start with a dash")
            << QStringList{"--", "-carpet"} << 1 << QByteArray(); // no such file: reported, not an option
    }
    void usage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, output);
        const Run result = run(arguments, "sky\n");
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY(result.out.contains(output));
        if (exitCode == 2)
            QVERIFY(result.err.contains("--help"));
        for (const QByteArray& line : result.out.split('\n'))
            QVERIFY2(QString::fromUtf8(line).size() <= 80, line.constData());
        if (QTest::currentDataTag() && QByteArray(QTest::currentDataTag()).endsWith("too large"))
            QVERIFY2(result.err.contains("too large a count"), result.err.constData());
    }

    // --best may go beyond the list, and says which pieces do; --words-only keeps it inside.
    void bestBeyondTheList_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("split"); // the first row's, and its pieces' kinds (no field: none)
        QTest::addColumn<QByteArray>("kinds");
        QTest::newRow("a name with no split of the list")
            << QStringList{} << QByteArray("frobnitz.com") << QByteArray("frobnitz") << QByteArray("unknown");
        QTest::newRow("spelled letters rather than a short unknown stretch")
            << QStringList{} << QByteArray("xqzw") << QByteArray("x q z w")
            << QByteArray("letter letter letter letter");
        QTest::newRow("a spelled letter beside words")
            << QStringList{} << QByteArray("carpetq") << QByteArray("car pet q") << QByteArray("known known letter");
        QTest::newRow("inside the list, every piece known") << QStringList{"--words-only"} << QByteArray("carpet")
                                                            << QByteArray("car pet") << QByteArray("known known");
        QTest::newRow("a TAB inside a piece is escaped")
            << QStringList{} << QByteArray("ab\tc") << QByteArray("ab\\tc") << QByteArray("unknown");
        QTest::newRow("inside the list, a name without a split has no row")
            << QStringList{"--words-only"} << QByteArray("xqzw.com") << QByteArray() << QByteArray();
    }
    void bestBeyondTheList()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, split);
        QFETCH(QByteArray, kinds);
        const Run rows = run(QStringList{"--best", "2", "--format", "tsv"} + options, name + "\n");
        QCOMPARE(rows.exitCode, 0);
        QList<QByteArray> lines = rows.out.split('\n');
        lines.removeLast();
        QCOMPARE(lines.isEmpty(), split.isEmpty());
        if (!lines.isEmpty()) {
            const QList<QByteArray> fields = lines.first().split('\t');
            QCOMPARE(fields.size(), kinds.isEmpty() ? 4 : 5);
            QCOMPARE(fields[0], QByteArray(name).replace("\t", "\\t"));
            QCOMPARE(fields[1], QByteArray("1"));
            QCOMPARE(fields[3], split);
            QCOMPARE(fields.value(4), kinds);
        }
        const Run json = run(QStringList{"--best", "2", "--format", "jsonl"} + options, name + "\n");
        const QJsonObject object = QJsonDocument::fromJson(json.out).object();
        const QJsonArray splits = object.value("splits").toArray();
        QCOMPARE(splits.size(), lines.size());
        for (qsizetype k = 0; k < splits.size(); ++k) {
            const QList<QByteArray> fields = lines[k].split('\t');
            QCOMPARE(splits[k].toObject().contains("kinds"), fields.size() == 5);
            QStringList jsonKinds;
            for (const QJsonValue kind : splits[k].toObject().value("kinds").toArray())
                jsonKinds.append(kind.toString());
            QCOMPARE(jsonKinds.join(QLatin1Char(' ')).toUtf8(), fields.value(4));
        }
    }

    // The user's words hold in every mode: the listing, --rank, --best and --best inside the list.
    void userWordsInEveryMode_data()
    {
        QTest::addColumn<QStringList>("mode");
        QTest::newRow("listing") << QStringList{};
        QTest::newRow("ranked listing") << QStringList{"--rank"};
        QTest::newRow("best") << QStringList{"--best", "1"};
        QTest::newRow("best inside the list") << QStringList{"--best", "1", "--words-only"};
    }
    void userWordsInEveryMode()
    {
        QFETCH(QStringList, mode);
        // Each file of a repeated option counts.
        const QString added = m_dir.filePath(QStringLiteral("added.txt"));
        const QString addedToo = m_dir.filePath(QStringLiteral("added2.txt"));
        const QString dropped = m_dir.filePath(QStringLiteral("dropped.txt"));
        testfiles::writeBytes(added, "Zorp\r\n");
        testfiles::writeBytes(addedToo, "skyblue\r\n");
        testfiles::writeBytes(dropped, "sale\n");
        const QByteArray names = "zorp.com\n4sale\nskyblue\n";
        const Run before = run(QStringList{"-o"} + mode, names);
        const Run after = run(
            QStringList{"-o", "--add-words", added, "--add-words", addedToo, "--drop-words", dropped} + mode, names);
        QCOMPARE(before.exitCode, 0);
        QCOMPARE(after.exitCode, 0);
        const QMap<QString, QStringList> was = byName(before.out);
        const QMap<QString, QStringList> is = byName(after.out);
        QVERIFY(!was.value("zorp.com").contains("zorp"));
        QCOMPARE(is.value("zorp.com").value(0), QStringLiteral("zorp"));
        QVERIFY(was.value("4sale").contains("4 sale"));
        QVERIFY(!is.value("4sale").contains("4 sale"));
        QVERIFY(!is.value("4sale").isEmpty()); // 4 sal e
        if (mode.isEmpty())
            QVERIFY(is.value("skyblue").contains("skyblue"));
        else
            QCOMPARE(is.value("skyblue").value(0), QStringLiteral("skyblue")); // ranked with the first words
    }

    // Case hints reorder the ranked listing, never change its rows.
    void caseHintsOrderTheListing()
    {
        const QByteArray names = "BluesKy\nBlueSky\ncarpet\n";
        const Run ranked = run({"-o", "--rank", "--max-splits", "0"}, names);
        const Run hinted = run({"-o", "--rank", "--case-hints", "--max-splits", "0"}, names);
        QCOMPARE(hinted.exitCode, 0);
        QMap<QString, QStringList> plainRows = byName(ranked.out);
        QMap<QString, QStringList> hintedRows = byName(hinted.out);
        QCOMPARE(plainRows.value("BluesKy").value(0), QStringLiteral("Blue sKy"));
        QCOMPARE(hintedRows.value("BluesKy").value(0), QStringLiteral("Blues Ky"));
        for (QMap<QString, QStringList>* byName : {&plainRows, &hintedRows}) {
            for (QStringList& rows : *byName)
                rows.sort();
        }
        QCOMPARE(hintedRows, plainRows);
    }

    // A word file that cannot be read ends the run before any row.
    void unreadableWordFiles_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("--words") << "--words";
        QTest::newRow("--add-words") << "--add-words";
        QTest::newRow("--drop-words") << "--drop-words";
    }
    void unreadableWordFiles()
    {
        QFETCH(QString, option);
        for (const QString& path : {m_dir.filePath(QStringLiteral("no-such-words.txt")), m_dir.path()}) {
            const Run result = testfiles::runProgram(
                program(), QStringList{"--data-dir", m_dir.path(), option, path, "--best", "1"}, "carpet\n");
            QCOMPARE(result.exitCode, 1);
            QVERIFY(result.out.isEmpty());
            QVERIFY2(result.err.contains("cannot read the word file"), result.err.constData());
            QVERIFY(result.err.contains(path.toUtf8()));
        }
    }

    // A name that fails carries an error in JSON Lines; the lines stay whole and the run goes on.
    void jsonlNamesAFailure()
    {
        const QByteArray tooLong(40000, 'a');
        const Run result = run({"--format", "jsonl", "--best", "1"}, tooLong + "\ncarpet\n");
        QCOMPARE(result.exitCode, 1);
        const QList<QByteArray> lines = result.out.split('\n');
        QCOMPARE(lines.size(), 3);
        const QJsonObject failed = QJsonDocument::fromJson(lines[0]).object();
        QVERIFY(failed.value("error").toString().contains(QStringLiteral("too long")));
        const QJsonObject next = QJsonDocument::fromJson(lines[1]).object();
        QVERIFY(!next.contains("error"));
        QCOMPARE(next.value("splits").toArray().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRankingOptions)
#include "test_rankingoptions.moc"
