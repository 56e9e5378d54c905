#include "OutputFakes.h"
#include "ScriptedPrompter.h"
#include "SmallFileSystem.h"
#include "TestFiles.h"
#include "core/EventPump.h"
#include "output/AlignedTextExport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::testing;

namespace {

QByteArray blanks(int count)
{
    return QByteArray(count, ' ');
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

const QString writerLocation = QStringLiteral("in Velmodra2021/08/31.Main.SaveListviewProperlySpaced at line ");

} // namespace

class TestAlignedTextExport : public QObject
{
    Q_OBJECT

private slots:
    void fileLayout_data() { addExportLayouts(); }
    void fileLayout()
    {
        QFETCH(QStringList, captions);
        QFETCH(QList<Row>, rows);
        QFETCH(QByteArray, file);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.txt"));
        const auto model = listView(captions, rows);
        ScriptedPrompter prompter;
        NoEventPump pump;
        saveListviewProperlySpaced(*model, path, nullptr, pump, prompter);
        QCOMPARE(prompter.shown().size(), 0);
        QCOMPARE(testfiles::readBytes(path), file);
    }

    void fileNameFromPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("after the last slash") << QStringLiteral("/home/u/a.b/out.txt") << QStringLiteral("out.txt");
        QTest::newRow("no slash: the whole path") << QStringLiteral("results") << QStringLiteral("results");
        QTest::newRow("ends with a slash: empty") << QStringLiteral("/tmp/") << QString();
        QTest::newRow("a backslash is part of the name")
            << QStringLiteral("/tmp/a\\b.txt") << QStringLiteral("a\\b.txt");
    }
    void fileNameFromPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(quorvane::fileNameFromPath(path), name);
    }

    void progressGoesThroughItsStagesAndEndsIdle()
    {
        QTemporaryDir dir;
        const auto model = resultList(
            {{{QStringLiteral("one")}, true}, {{QStringLiteral("two")}, false}, {{QStringLiteral("three")}, true}});
        RecordingProgress progress;
        ScriptedPrompter prompter;
        NoEventPump pump;
        saveListviewProperlySpaced(*model, dir.filePath(QStringLiteral("p.txt")), &progress, pump, prompter);
        const QString caption = QStringLiteral("Writing file: p.txt");
        QCOMPARE(progress.values(), (QList<double>{1, 10, 20, 1 / 3.0 * 100, 3 / 3.0 * 100, 100, 0}));
        QCOMPARE(progress.texts(),
                 (QStringList{caption, caption, caption, QStringLiteral("Done."), QStringLiteral("Progress Bar")}));
    }

    void pathWithoutSlashIsWrittenInTheCurrentFolderAndNamedWhole()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const auto model = resultList({{{QStringLiteral("x")}, true}});
        RecordingProgress progress;
        ScriptedPrompter prompter;
        NoEventPump pump;
        saveListviewProperlySpaced(*model, QStringLiteral("results"), &progress, pump, prompter);
        QDir::setCurrent(previous);
        QCOMPARE(progress.texts().first(), QStringLiteral("Writing file: results"));
        QCOMPARE(testfiles::readBytes(dir.filePath(QStringLiteral("results"))),
                 QByteArray("Results\t\r\nx" + blanks(6) + "\t\r\n"));
    }

    void manyCheckedRowsShowTheRowNumberEveryThousand()
    {
        QList<Row> rows;
        for (int r = 1; r <= 3500; ++r)
            rows.append({{QStringLiteral("row %1").arg(r)}, r != 3000}); // row 3000 unchecked: no caption for it
        const auto model = resultList(rows);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("many.txt"));
        RecordingProgress progress;
        ScriptedPrompter prompter;
        CountingEventPump pump;
        saveListviewProperlySpaced(*model, path, &progress, pump, prompter);

        const QString caption = QStringLiteral("Writing file: many.txt");
        QStringList expectedTexts{caption,
                                  caption,
                                  caption,
                                  caption + QStringLiteral(" (1000)"),
                                  caption + QStringLiteral(" (2000)"),
                                  QStringLiteral("Done."),
                                  QStringLiteral("Progress Bar")};
        QCOMPARE(progress.texts(), expectedTexts);
        const QList<double> values = progress.values();
        // (r + 3500 / 2000) / 3500 * 100 for the last checked row 3500: just over 100.
        QCOMPARE(values.at(values.size() - 3), (3500 + 1) / 3500.0 * 100);
        QCOMPARE(values.at(values.size() - 2), 100.0);
        QCOMPARE(values.last(), 0.0);

        const QByteArray bytes = testfiles::readBytes(path);
        QCOMPARE(bytes.count("\r\n"), 1 + 3499);
        QVERIFY(bytes.startsWith("Results \t\r\nrow 1   \t\r\n"));
        QVERIFY(bytes.endsWith("row 3500\t\r\n"));
        QVERIFY(!bytes.contains("row 3000\t"));
        // One yield per cell in both passes at least, so the window stays live.
        QVERIFY(pump.count() >= 3500 + 3499);
    }

    void existingFileIsReplacedWithoutQuestion()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.txt"));
        testfiles::writeBytes(path, QByteArray(5000, 'z'));
        const auto model = resultList({{{QStringLiteral("new")}, true}});
        ScriptedPrompter prompter;
        NoEventPump pump;
        saveListviewProperlySpaced(*model, path, nullptr, pump, prompter);
        QCOMPARE(prompter.shown().size(), 0);
        QCOMPARE(testfiles::readBytes(path), QByteArray("Results\t\r\nnew" + blanks(4) + "\t\r\n"));
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("out.txt")});
    }

    void failuresAreReportedOnceAndEndTheExport_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("step");
        QTest::newRow("folder does not exist") << QStringLiteral("gone/out.txt") << 140;
        QTest::newRow("a folder stands where the file would go") << QStringLiteral("folder") << 140;
    }
    void failuresAreReportedOnceAndEndTheExport()
    {
        QFETCH(QString, target);
        QFETCH(int, step);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder/inside")));
        const auto model = resultList({{{QStringLiteral("a")}, true}, {{QStringLiteral("b")}, true}});
        RecordingProgress progress;
        ScriptedPrompter prompter;
        NoEventPump pump;
        saveListviewProperlySpaced(*model, dir.filePath(target), &progress, pump, prompter);

        const QStringList reports = prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].contains(dir.filePath(target)), qPrintable(reports[0]));
        QVERIFY2(reports[0].contains(writerLocation + QString::number(step) + QStringLiteral("\r\r")),
                 qPrintable(reports[0]));
        QVERIFY(!progress.texts().contains(QStringLiteral("Done.")));
        QCOMPARE(progress.texts().last(), QStringLiteral("Progress Bar"));
        QCOMPARE(progress.values().last(), 0.0);
        // Nothing left behind, and the folder is still a folder with its content.
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("folder")});
        QCOMPARE(entries(dir.filePath(QStringLiteral("folder"))), QStringList{QStringLiteral("inside")});
    }

    void listClearedDuringTheWriteLeavesTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.txt"));
        testfiles::writeBytes(path, "old results\r\n");
        QList<Row> rows;
        for (int r = 0; r < 100; ++r)
            rows.append({{QStringLiteral("text")}, true});
        const auto model = resultList(rows);
        ScriptedPrompter prompter;
        CountingEventPump pump;
        // Well into the row pass: "Clear Results" runs during a yield.
        pump.onYield = [&](int yield) {
            if (yield == 150)
                model->removeRows(0, model->rowCount());
        };
        saveListviewProperlySpaced(*model, path, nullptr, pump, prompter);
        const QStringList reports = prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].startsWith(QStringLiteral("Index out of bounds\r\n") + writerLocation),
                 qPrintable(reports[0]));
        QCOMPARE(testfiles::readBytes(path), QByteArray("old results\r\n"));
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("out.txt")});
    }

    void fullDiskLeavesTheOldFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("small"));
        QVERIFY(QDir().mkpath(folder));
        testfiles::SmallFileSystem fileSystem(folder);
        if (!fileSystem.mounted())
            QSKIP("mounting a small tmpfs needs root");
        const QString path = folder + QStringLiteral("/out.txt");
        testfiles::writeBytes(path, "old results\r\n");
        QList<Row> rows;
        for (int r = 0; r < 20000; ++r)
            rows.append({{QStringLiteral("a result row of some length")}, true});
        const auto model = resultList(rows);
        ScriptedPrompter prompter;
        NoEventPump pump;
        saveListviewProperlySpaced(*model, path, nullptr, pump, prompter);
        const QStringList reports = prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].startsWith(QStringLiteral("Cannot write the file \"") + path), qPrintable(reports[0]));
        QCOMPARE(testfiles::readBytes(path), QByteArray("old results\r\n"));
        QCOMPARE(entries(folder), QStringList{QStringLiteral("out.txt")});
    }
};

QTEST_MAIN(TestAlignedTextExport)
#include "test_alignedtextexport.moc"
