#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QtTest>

namespace quorvane::testing {

// One row of a list view: its texts by column and its check mark.
struct Row
{
    QStringList fields;
    bool checked = true;
};

using Cells = QMap<QPair<int, int>, QString>; // (row, column) from 0

// A sheet's cells given row by row, the captions first; an empty list stands for a row left empty.
inline Cells sheetOf(const QList<QStringList>& rows)
{
    Cells cells;
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].size(); ++c)
            cells[{r, c}] = rows[r][c];
    }
    return cells;
}

// The lists every export is tested on, each with what each export makes of it: the aligned text file's bytes,
// the clipboard's text and the sheet's cells. Adds them as the rows of the running data-driven test.
inline void addExportLayouts()
{
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QList<Row>>("rows");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Cells>("cells");
    const auto blanks = [](int count) { return QByteArray(count, ' '); };
    const auto repeated = [](char ch, int count) { return QString(count, QLatin1Char(ch)); };
    const QStringList results{QStringLiteral("Results")}, ab{QStringLiteral("A"), QStringLiteral("B")};

    QTest::newRow("empty list: the header line only, the clipboard untouched, no sheet")
        << results << QList<Row>{} << QByteArray("Results\t\r\n") << QString() << Cells{};
    QTest::newRow("rows of 10, 2 and 18 characters, the third unchecked: width 18")
        << results << QList<Row>{{{repeated('a', 10)}, true}, {{repeated('b', 2)}, true}, {{repeated('c', 18)}, false}}
        << QByteArray("Results" + blanks(11) + "\t\r\n" + QByteArray(10, 'a') + blanks(8) + "\t\r\n" +
                      QByteArray(2, 'b') + blanks(16) + "\t\r\n")
        << QStringLiteral("aaaaaaaaaa\r\nbb\r\n") << sheetOf({results, {repeated('a', 10)}, {QStringLiteral("bb")}});
    QTest::newRow("no row checked: header padded to the unchecked rows, empty text, captions only")
        << results << QList<Row>{{{QStringLiteral("abcdefghijk")}, false}}
        << QByteArray("Results" + blanks(4) + "\t\r\n") << QString() << sheetOf({results});
    QTest::newRow("an empty checked row: width blanks then TAB, an empty line; the caption does not widen the text")
        << results << QList<Row>{{{QString()}, true}, {{QStringLiteral("abc")}, true}}
        << QByteArray("Results\t\r\n" + blanks(7) + "\t\r\nabc" + blanks(4) + "\t\r\n") << QStringLiteral("\r\nabc\r\n")
        << sheetOf({results, {QString()}, {QStringLiteral("abc")}});
    QTest::newRow("leading blanks are kept, trailing ones go from the text only")
        << results << QList<Row>{{{QStringLiteral("  ab      ")}, true}}
        << QByteArray("Results   \t\r\n  ab      \t\r\n") << QStringLiteral("  ab\r\n")
        << sheetOf({results, {QStringLiteral("  ab      ")}});
    QTest::newRow("unchecked rows leave no line and their sheet row empty")
        << results
        << QList<Row>{{{QStringLiteral("x")}, false},
                      {{QStringLiteral("one")}, true},
                      {{QStringLiteral("two")}, false},
                      {{QStringLiteral("three")}, true},
                      {{QStringLiteral("z")}, false}}
        << QByteArray("Results\t\r\none    \t\r\nthree  \t\r\n") << QStringLiteral("one\r\nthree\r\n")
        << sheetOf({results, {}, {QStringLiteral("one")}, {}, {QStringLiteral("three")}});
    QTest::newRow("several columns, each its own width, caption counts in the file")
        << QStringList{QStringLiteral("A"), QStringLiteral("Bcd")}
        << QList<Row>{{{QStringLiteral("xy"), QStringLiteral("1")}, true},
                      {{QString(), QStringLiteral("12345")}, false}}
        << QByteArray("A \tBcd  \t\r\nxy\t1    \t\r\n") << QStringLiteral("xy\t1\r\n")
        << sheetOf({{QStringLiteral("A"), QStringLiteral("Bcd")}, {QStringLiteral("xy"), QStringLiteral("1")}});
    QTest::newRow("a column with nothing in it has width 0")
        << QStringList{QString(), QStringLiteral("B")} << QList<Row>{{{QString(), QStringLiteral("b")}, true}}
        << QByteArray("\tB\t\r\n\tb\t\r\n") << QStringLiteral("\tb\r\n")
        << sheetOf({{QString(), QStringLiteral("B")}, {QString(), QStringLiteral("b")}});
    QTest::newRow("inner fields keep their padding and TAB")
        << ab
        << QList<Row>{{{QStringLiteral("a"), QStringLiteral("b")}, true},
                      {{QStringLiteral("abc"), QStringLiteral("b")}, true}}
        << QByteArray("A  \tB\t\r\na  \tb\t\r\nabc\tb\t\r\n") << QStringLiteral("a  \tb\r\nabc\tb\r\n")
        << sheetOf({ab, {QStringLiteral("a"), QStringLiteral("b")}, {QStringLiteral("abc"), QStringLiteral("b")}});
    QTest::newRow("empty last field: the text's line ends with the TAB before it")
        << ab
        << QList<Row>{{{QStringLiteral("x"), QString()}, true},
                      {{QStringLiteral("xyz"), QStringLiteral("long")}, false}}
        << QByteArray("A  \tB   \t\r\nx  \t    \t\r\n") << QStringLiteral("x  \t\r\n")
        << sheetOf({ab, {QStringLiteral("x"), QString()}});
    QTest::newRow("Windows-1252 in the file, ? for what it cannot hold, widths in UTF-16 units")
        << results << QList<Row>{{{QStringLiteral("é€日\U0001F600")}, true}}
        << QByteArray("Results\t\r\n\xE9\x80???" + blanks(2) + "\t\r\n") << QStringLiteral("é€日\U0001F600\r\n")
        << sheetOf({results, {QStringLiteral("é€日\U0001F600")}});
    QTest::newRow("characters outside ASCII and a pair of surrogates pad by units")
        << ab
        << QList<Row>{{{QStringLiteral("caf\u00e9 \u20ac"), QStringLiteral("\U0001F600")}, true},
                      {{QStringLiteral("\u65e5\u672c\u8a9e\u30c6\u30ad\u30b9\u30c8!"), QStringLiteral("x  ")}, true}}
        << QByteArray("A" + blanks(7) + "\tB  \t\r\ncaf\xE9 \x80  \t?? \t\r\n" + QByteArray(7, '?') + "!\tx  \t\r\n")
        << QStringLiteral("caf\u00e9 \u20ac  \t\U0001F600\r\n\u65e5\u672c\u8a9e\u30c6\u30ad\u30b9\u30c8!\tx\r\n")
        << sheetOf({ab,
                    {QStringLiteral("caf\u00e9 \u20ac"), QStringLiteral("\U0001F600")},
                    {QStringLiteral("\u65e5\u672c\u8a9e\u30c6\u30ad\u30b9\u30c8!"), QStringLiteral("x  ")}});
    QTest::newRow("\"=\" goes from the sheet's later columns only, captions keep theirs")
        << QStringList{QStringLiteral("A=1"), QStringLiteral("B=2")}
        << QList<Row>{{{QStringLiteral("=1+1"), QStringLiteral("=a=b=")}, true}}
        << QByteArray("A=1 \tB=2  \t\r\n=1+1\t=a=b=\t\r\n") << QStringLiteral("=1+1\t=a=b=\r\n")
        << sheetOf({{QStringLiteral("A=1"), QStringLiteral("B=2")}, {QStringLiteral("=1+1"), QStringLiteral("ab")}});
}

} // namespace quorvane::testing
