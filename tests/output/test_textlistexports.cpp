// The exports read the window's own lists (TextListModel) run by run, any other model cell by cell: both
// must give the same bytes, the same clipboard text and the same row-number captions.
#include "OutputFakes.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "core/EventPump.h"
#include "core/Failure.h"
#include "model/TextListModel.h"
#include "output/AlignedTextExport.h"
#include "output/ClipboardCopy.h"
#include "text/Windows1252.h"

#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace quorvane;
using namespace quorvane::testing;

namespace {

std::unique_ptr<TextListModel> textList(const QList<Row>& rows)
{
    auto model = std::make_unique<TextListModel>(TextListModel::Marks::Checkable);
    model->setCaption(QStringLiteral("Results"));
    QStringList texts;
    for (const Row& row : rows)
        texts.append(row.fields.value(0));
    model->append(texts, true);
    for (int r = 0; r < rows.size(); ++r)
        model->setChecked(r, rows[r].checked);
    return model;
}

// The same list kept one byte per character, as a loaded domain file is; null when a row has a character that
// Windows-1252 does not hold.
std::unique_ptr<TextListModel> narrowTextList(const QList<Row>& rows)
{
    TextBlock block;
    block.startNarrow();
    for (const Row& row : rows)
        block.add(row.fields.value(0));
    if (!block.isNarrow())
        return nullptr;
    auto model = std::make_unique<TextListModel>(TextListModel::Marks::Checkable);
    model->setCaption(QStringLiteral("Results"));
    model->append(std::move(block), true);
    for (int r = 0; r < rows.size(); ++r)
        model->setChecked(r, rows[r].checked);
    return model;
}

QByteArray saved(const QAbstractItemModel& model, ProgressIndicator* progress = nullptr)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    ScriptedPrompter prompter;
    NoEventPump pump;
    saveListviewProperlySpaced(model, path, progress, pump, prompter);
    if (!prompter.shown().isEmpty())
        return "unexpected prompt: " + prompter.shown().first().text.toUtf8();
    return testfiles::readBytes(path);
}

// The file and the clipboard text of a one-column list, built the plainest way.
QByteArray expectedFile(const QList<Row>& rows)
{
    qsizetype width = 7; // "Results"
    for (const Row& row : rows)
        width = std::max(width, row.fields.value(0).size());
    const auto line = [&](const QString& text) {
        return windows1252::encode(text) + QByteArray(width - text.size(), ' ') + "\t\r\n";
    };
    QByteArray bytes = line(QStringLiteral("Results"));
    for (const Row& row : rows) {
        if (row.checked)
            bytes += line(row.fields.value(0));
    }
    return bytes;
}

QString expectedClipboardText(const QList<Row>& rows)
{
    QString text;
    for (const Row& row : rows) {
        if (!row.checked)
            continue;
        QString line = row.fields.value(0);
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

QList<Row> rowsOf(const QStringList& texts, const QList<int>& unchecked = {})
{
    QList<Row> rows;
    for (int r = 0; r < texts.size(); ++r)
        rows.append({{texts[r]}, !unchecked.contains(r)});
    return rows;
}

// `count` rows named after their number; the rows listed (from 0) are unchecked.
QList<Row> numberedRows(int count, const QList<int>& unchecked = {})
{
    QStringList texts;
    for (int r = 1; r <= count; ++r)
        texts.append(QStringLiteral("row %1").arg(r));
    return rowsOf(texts, unchecked);
}

} // namespace

class TestTextListExports : public QObject
{
    Q_OBJECT

private slots:
    void sameOutputAsAnyOtherModel_data()
    {
        QTest::addColumn<QList<Row>>("rows");

        QStringList lengths;
        for (int length = 0; length <= 40; ++length)
            lengths.append(QString(length, QLatin1Char('a' + length % 26)));
        QTest::newRow("ASCII rows of every length around the 8 and 16 character blocks") << rowsOf(lengths, {3, 17});

        QStringList outside;
        for (const int length : {1, 7, 8, 9, 15, 16, 17, 24, 31, 32, 33}) {
            for (const int at : {0, length / 2, length - 1}) {
                QString text(length, QLatin1Char('x'));
                text[at] = QChar(0x65E5); // not in Windows-1252: "?"
                outside.append(text);
                text[at] = QChar(0x20AC); // the euro sign: byte 80
                outside.append(text);
                text[at] = QChar(0xE9); // Latin-1: byte E9
                outside.append(text);
            }
        }
        outside.append(QStringLiteral("\U0001F600 two units, two question marks"));
        outside.append(QStringLiteral("\x81 an undefined byte's control character"));
        QTest::newRow("characters outside ASCII at the start, middle and end of a block") << rowsOf(outside);

        QTest::newRow("empty rows, checked and unchecked, and blanks at both ends") << rowsOf(
            {QString(), QStringLiteral("  ab  "), QString(), QStringLiteral("   "), QStringLiteral("c")}, {2});
        QTest::newRow("an unchecked row widens the column")
            << rowsOf({QStringLiteral("short"), QString(60, QLatin1Char('w'))}, {1});
        QTest::newRow("no row checked") << rowsOf({QStringLiteral("abc"), QStringLiteral("abcdefghij")}, {0, 1});
        QTest::newRow("several runs, unchecked rows at the runs' ends")
            << numberedRows(2600, {0, 998, 999, 1000, 1999, 2599});
        QStringList pairs;
        for (const int length : {2, 8, 15, 16, 17, 18, 31, 32, 33, 40}) {
            for (const int at : {0, 7, 14, 15, 16, 30, 31, length - 2}) {
                if (at < 0 || at + 2 > length)
                    continue;
                QString text(length, QLatin1Char('p'));
                text.replace(at, 2, QStringLiteral("\U0001F600")); // two units, four bytes
                pairs.append(text);
            }
        }
        QTest::newRow("pairs of surrogates on both sides of every 16-unit block's end") << rowsOf(pairs);

        QStringList wide;
        for (int r = 0; r < 2100; ++r)
            wide.append(QString(r % 37, QChar(0x65E5 + r % 5)) + QStringLiteral("\u00e9\U0001F680 "));
        QTest::newRow("no row ASCII, over several runs: three bytes for one unit") << rowsOf(wide, {5, 1000});
        QStringList lastWide = QStringList(1500, QStringLiteral("plain ascii row"));
        lastWide.append(QString(300, QChar(0x4E2D)));
        QTest::newRow("only the last row not ASCII, where no room is left") << rowsOf(lastWide);
        QTest::newRow("a row longer than the file's write block") << rowsOf(
            {QStringLiteral("before"), QString(1500000, QLatin1Char('L')) + QChar(0x65E5), QStringLiteral("after")});
    }
    void sameOutputAsAnyOtherModel()
    {
        QFETCH(QList<Row>, rows);
        const auto direct = textList(rows);
        const auto generic = resultList(rows);
        const QByteArray file = saved(*direct);
        QCOMPARE(file, expectedFile(rows));
        QCOMPARE(saved(*generic), file);
        NoEventPump pump;
        const QByteArray text = clipboardUtf8Text(*direct, pump);
        QCOMPARE(QString::fromUtf8(text), expectedClipboardText(rows));
        QCOMPARE(text, expectedClipboardText(rows).toUtf8());
        QCOMPARE(clipboardUtf8Text(*generic, pump), text);
        // The same list read cell by cell, as any other model is.
        QCOMPARE(clipboardText(*direct, pump), expectedClipboardText(rows));
        if (const auto narrow = narrowTextList(rows)) {
            QCOMPARE(saved(*narrow), file);
            QCOMPARE(clipboardUtf8Text(*narrow, pump), text);
        }
    }

    void surrogatesWithoutTheirPartnerBecomeReplacementCharacters_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QByteArray>("expected");
        const QChar high(0xD83D);
        const QChar low(0xDE00);
        const QByteArray replacement("\xEF\xBF\xBD");
        const QByteArray pair("\xF0\x9F\x98\x80");
        QTest::newRow("a high surrogate ends the row")
            << QStringList{QStringLiteral("ab") + high} << "ab" + replacement + "\r\n";
        QTest::newRow("a low surrogate starts the row")
            << QStringList{low + QStringLiteral("x")} << replacement + "x\r\n";
        QTest::newRow("a high surrogate before a whole pair")
            << QStringList{QString(high) + high + low} << replacement + pair + "\r\n";
        QTest::newRow("a pair in the wrong order")
            << QStringList{QString(low) + high} << replacement + replacement + "\r\n";
        QTest::newRow("the halves of a pair in two rows stay apart")
            << QStringList{QStringLiteral("a") + high, low + QStringLiteral("b")}
            << "a" + replacement + "\r\n" + replacement + "b\r\n";
        QTest::newRow("a high surrogate ends a 16-unit block, ASCII follows")
            << QStringList{QString(15, QLatin1Char('a')) + high + QString(18, QLatin1Char('b'))}
            << QByteArray(15, 'a') + replacement + QByteArray(18, 'b') + "\r\n";
        QTest::newRow("a low surrogate starts the second block")
            << QStringList{QString(16, QLatin1Char('a')) + low + QString(16, QLatin1Char('c'))}
            << QByteArray(16, 'a') + replacement + QByteArray(16, 'c') + "\r\n";
        QTest::newRow("a high surrogate before trailing blanks")
            << QStringList{QStringLiteral("z") + high + QStringLiteral("   ")} << "z" + replacement + "\r\n";
    }
    void surrogatesWithoutTheirPartnerBecomeReplacementCharacters()
    {
        QFETCH(QStringList, texts);
        QFETCH(QByteArray, expected);
        const QList<Row> rows = rowsOf(texts);
        NoEventPump pump;
        QCOMPARE(clipboardUtf8Text(*textList(rows), pump), expected);
        QCOMPARE(clipboardUtf8Text(*resultList(rows), pump), expected);
    }

    void rowNumberCaptionsAndProgressAsAnyOtherModel()
    {
        // Row 3000 unchecked: no caption for it; runs whose last rows are unchecked report an earlier row.
        const QList<Row> rows = numberedRows(3500, {2999, 998, 999});
        RecordingProgress directProgress;
        RecordingProgress genericProgress;
        const QByteArray directBytes = saved(*textList(rows), &directProgress);
        QCOMPARE(directBytes, saved(*resultList(rows), &genericProgress));

        QCOMPARE(directProgress.texts(), genericProgress.texts());
        QVERIFY(directProgress.texts().contains(QStringLiteral("Writing file: out.txt (2000)")));
        QVERIFY(!directProgress.texts().contains(QStringLiteral("Writing file: out.txt (1000)")));
        // Once per run instead of once per row: the values are some of the same values, in the same order,
        // ending with the last checked row's.
        const QList<double> directValues = directProgress.values();
        const QList<double> genericValues = genericProgress.values();
        QVERIFY(directValues.size() < genericValues.size());
        qsizetype at = 0;
        for (const double value : directValues) {
            while (at < genericValues.size() && genericValues[at] != value)
                ++at;
            QVERIFY2(at < genericValues.size(), qPrintable(QString::number(value)));
        }
        QCOMPARE(directValues.mid(directValues.size() - 3), genericValues.mid(genericValues.size() - 3));
        QCOMPARE(directValues.at(directValues.size() - 3), (3500 + 1) / 3500.0 * 100);
    }

    void listWithoutMarksWritesTheHeaderOnly()
    {
        TextListModel domains;
        domains.setCaption(QStringLiteral("Domain Name(s)"));
        domains.append(QStringList{QStringLiteral("example.com"), QString(20, QLatin1Char('d'))});
        QCOMPARE(saved(domains), QByteArray("Domain Name(s)" + QByteArray(6, ' ') + "\t\r\n"));
        NoEventPump pump;
        QCOMPARE(clipboardUtf8Text(domains, pump), QByteArray());
    }

    void listClearedDuringASaveLeavesTheOldFile_data()
    {
        QTest::addColumn<int>("yield");
        QTest::addColumn<int>("step");
        // 5000 rows: the width pass yields once per run (1 to 5), the header once (6), the row pass from 7.
        QTest::newRow("in the width pass") << 2 << 112;
        QTest::newRow("in the row pass, after its first run") << 8 << 174;
    }
    void listClearedDuringASaveLeavesTheOldFile()
    {
        QFETCH(int, yield);
        QFETCH(int, step);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.txt"));
        testfiles::writeBytes(path, "old results\r\n");
        const auto model = textList(numberedRows(5000));
        ScriptedPrompter prompter;
        CountingEventPump pump;
        pump.onYield = [&](int number) {
            if (number == yield)
                model->clear();
        };
        saveListviewProperlySpaced(*model, path, nullptr, pump, prompter);
        const QStringList reports = prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].startsWith(QStringLiteral("Index out of bounds\r\n")), qPrintable(reports[0]));
        QVERIFY2(reports[0].contains(QStringLiteral(" at line %1\r\r").arg(step)), qPrintable(reports[0]));
        QCOMPARE(testfiles::readBytes(path), QByteArray("old results\r\n"));
    }

    void listClearedDuringACopyLeavesTheClipboard()
    {
        const auto model = textList(numberedRows(3000));
        FakeClipboard clipboard;
        CountingEventPump pump;
        pump.onYield = [&](int number) {
            if (number == 4) // the text pass
                model->clear();
        };
        QVERIFY_THROWS_EXCEPTION(Failure, copyListviewToClipboard(*model, clipboard, pump));
        QCOMPARE(clipboard.clearAttempts, 0);
        QCOMPARE(clipboard.content, QStringLiteral("old content"));
    }

    // Rows added during a yield move the list's buffers: the next run must read the new ones.
    void rowsAddedDuringAYieldAreReadFromTheMovedBuffers()
    {
        const auto model = textList(rowsOf(QStringList(2500, QStringLiteral("x"))));
        CountingEventPump pump;
        pump.onYield = [&](int number) {
            if (number == 1)
                model->append(QStringList(50000, QStringLiteral("y")), true);
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.txt"));
        ScriptedPrompter prompter;
        saveListviewProperlySpaced(*model, path, nullptr, pump, prompter);
        QCOMPARE(prompter.shown().size(), 0);
        // The width pass counted the rows before they came, the row pass after.
        QCOMPARE(testfiles::readBytes(path), "Results\t\r\n" + QByteArray("x      \t\r\n").repeated(2500) +
                                                 QByteArray("y      \t\r\n").repeated(50000));

        // The copy, when the texts that come are longer than planned, in characters or in bytes.
        for (const QString& longer : {QStringLiteral("yyyy"), QStringLiteral("\u65e5\u672c\U0001F600")}) {
            const auto copied = textList(rowsOf(QStringList(2500, QStringLiteral("x"))));
            CountingEventPump copyPump;
            copyPump.onYield = [&](int number) {
                if (number == 4) { // after the sizing pass (3 runs)
                    copied->clear();
                    copied->append(QStringList(50000, longer), true);
                }
            };
            // The text pass reads the 2500 rows counted when the copy began.
            QCOMPARE(clipboardUtf8Text(*copied, copyPump), (longer + QStringLiteral("\r\n")).toUtf8().repeated(2500));
        }
    }
};

QTEST_MAIN(TestTextListExports)
#include "test_textlistexports.moc"
