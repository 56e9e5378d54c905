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
        QTest::newRow("--best 1 is the first ranked row") << QStringList{"--best", "1"} << 1 << false;
        QTest::newRow("--best 3") << QStringList{"--best=3"} << 3 << false;
        QTest::newRow("--best past every split is --rank") << QStringList{"--best", "1000"} << 0 << false;
        QTest::newRow("the bound keeps the best ones, and cuts")
            << QStringList{"--rank", "--max-splits", "2"} << 2 << true;
        QTest::newRow("a bound below --best cuts") << QStringList{"--best", "3", "--max-splits", "2"} << 2 << true;
        QTest::newRow("--best within the bound is no cut")
            << QStringList{"--best", "2", "--max-splits", "3"} << 2 << false;
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
        QTest::newRow("best two") << QStringList{"--best", "2"};
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
            QCOMPARE(fields.size(), 4);
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
        const QByteArray name = "sky\"\\\x01\tcaf\xE9";
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
    }
};

QTEST_GUILESS_MAIN(TestRankingOptions)
#include "test_rankingoptions.moc"
