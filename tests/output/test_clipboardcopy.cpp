#include "OutputFakes.h"
#include "core/EventPump.h"
#include "core/Failure.h"
#include "output/ClipboardCopy.h"

#include <QtTest>

using namespace quorvane;
using namespace quorvane::testing;

class TestClipboardCopy : public QObject
{
    Q_OBJECT

private slots:
    void clipboardTextLayout_data()
    {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QList<Row>>("rows");
        QTest::addColumn<QString>("expected");

        const QStringList results{QStringLiteral("Results")};
        QTest::newRow("rows of 1 and 3 characters: padding stripped again")
            << results << QList<Row>{{{QStringLiteral("a")}, true}, {{QStringLiteral("abc")}, true}}
            << QStringLiteral("a\r\nabc\r\n");
        QTest::newRow("trailing blanks go, leading blanks stay")
            << results << QList<Row>{{{QStringLiteral("  ab   ")}, true}} << QStringLiteral("  ab\r\n");
        QTest::newRow("the caption does not widen, no header line")
            << results << QList<Row>{{{QStringLiteral("ab")}, true}} << QStringLiteral("ab\r\n");
        QTest::newRow("unchecked rows leave no line")
            << results
            << QList<Row>{{{QStringLiteral("x")}, false}, {{QStringLiteral("y")}, true}, {{QStringLiteral("z")}, false}}
            << QStringLiteral("y\r\n");
        QTest::newRow("nothing checked: empty text")
            << results << QList<Row>{{{QStringLiteral("x")}, false}} << QString();
        QTest::newRow("inner fields keep their padding and TAB")
            << QStringList{QStringLiteral("A"), QStringLiteral("B")}
            << QList<Row>{{{QStringLiteral("a"), QStringLiteral("b")}, true},
                          {{QStringLiteral("abc"), QStringLiteral("b")}, true}}
            << QStringLiteral("a  \tb\r\nabc\tb\r\n");
        QTest::newRow("empty last field: the line ends with the TAB before it")
            << QStringList{QStringLiteral("A"), QStringLiteral("B")}
            << QList<Row>{{{QStringLiteral("x"), QString()}, true},
                          {{QStringLiteral("xyz"), QStringLiteral("long")}, false}}
            << QStringLiteral("x  \t\r\n");
        QTest::newRow("an empty checked row gives an empty line")
            << results << QList<Row>{{{QString()}, true}, {{QStringLiteral("abc")}, true}}
            << QStringLiteral("\r\nabc\r\n");
        QTest::newRow("characters outside ASCII and a pair of surrogates pad by units")
            << QStringList{QStringLiteral("A"), QStringLiteral("B")}
            << QList<Row>{{{QStringLiteral("caf\u00e9 \u20ac"), QStringLiteral("\U0001F600")}, true},
                          {{QStringLiteral("\u65e5\u672c\u8a9e\u30c6\u30ad\u30b9\u30c8!"), QStringLiteral("x  ")},
                           true}}
            << QStringLiteral("caf\u00e9 \u20ac  \t\U0001F600\r\n\u65e5\u672c\u8a9e\u30c6\u30ad\u30b9\u30c8!\tx\r\n");
    }
    void clipboardTextLayout()
    {
        QFETCH(QStringList, captions);
        QFETCH(QList<Row>, rows);
        QFETCH(QString, expected);
        const auto model = listView(captions, rows);
        NoEventPump pump;
        QCOMPARE(clipboardText(*model, pump), expected);

        QCOMPARE(clipboardUtf8Text(*model, pump), expected.toUtf8());

        FakeClipboard clipboard;
        copyListviewToClipboard(*model, clipboard, pump);
        QCOMPARE(clipboard.utf8Content, expected.toUtf8());
        QCOMPARE(clipboard.content, expected);
        QCOMPARE(clipboard.clearAttempts, 1);
        QCOMPARE(clipboard.setAttempts, 1);
    }

    void emptyListLeavesTheClipboardUntouched()
    {
        const auto model = resultList({});
        FakeClipboard clipboard;
        NoEventPump pump;
        copyListviewToClipboard(*model, clipboard, pump);
        QCOMPARE(clipboard.clearAttempts, 0);
        QCOMPARE(clipboard.setAttempts, 0);
        QCOMPARE(clipboard.content, QStringLiteral("old content"));
    }

    void refusals_data()
    {
        QTest::addColumn<int>("refused");
        QTest::addColumn<int>("attempts");
        QTest::addColumn<bool>("placed");
        QTest::newRow("refuses 500 times, then accepts") << 500 << 501 << true;
        QTest::newRow("refuses 999 times: the last attempt succeeds") << 999 << 1000 << true;
        QTest::newRow("always refuses: given up after 1000 attempts") << 1000000 << 1000 << false;
    }
    void refusals()
    {
        QFETCH(int, refused);
        QFETCH(int, attempts);
        QFETCH(bool, placed);
        FakeClipboard clipboard;
        clipboard.refusedClears = refused;
        clipboard.refusedSets = refused;
        clearClipboard(clipboard);
        QCOMPARE(clipboard.clearAttempts, attempts);
        QCOMPARE(setClipboardUtf8Text(clipboard, "new"), placed);
        QCOMPARE(clipboard.setAttempts, attempts);
        // When everything was refused, the old content is still there.
        QCOMPARE(clipboard.content, placed ? QStringLiteral("new") : QStringLiteral("old content"));
    }

    void setRefusedAfterClearLeavesItEmpty()
    {
        const auto model = resultList({{{QStringLiteral("a")}, true}});
        FakeClipboard clipboard;
        clipboard.refusedSets = 1000000;
        NoEventPump pump;
        copyListviewToClipboard(*model, clipboard, pump);
        QCOMPARE(clipboard.setAttempts, clipboardAttempts);
        QCOMPARE(clipboard.content, QString());
    }

    void listChangedDuringACopyFailsBeforeTheClipboardIsTouched()
    {
        const auto model = resultList({{{QStringLiteral("a")}, true}, {{QStringLiteral("b")}, true}});
        FakeClipboard clipboard;
        CountingEventPump pump;
        pump.onYield = [&](int yield) {
            if (yield == 3) // in the text pass
                model->removeRows(0, model->rowCount());
        };
        QVERIFY_THROWS_EXCEPTION(Failure, copyListviewToClipboard(*model, clipboard, pump));
        QCOMPARE(clipboard.clearAttempts, 0);
        QCOMPARE(clipboard.content, QStringLiteral("old content"));
    }

    void textLongerThanItsMeasuredWidthGoesInUnpadded()
    {
        const auto model =
            listView({QStringLiteral("A"), QStringLiteral("B")}, {{{QStringLiteral("a"), QStringLiteral("b")}, true},
                                                                  {{QStringLiteral("c"), QStringLiteral("d")}, true}});
        CountingEventPump pump;
        // After the width pass (4 yields), a splitting run replaces a row with longer texts.
        pump.onYield = [&](int yield) {
            if (yield == 5) {
                model->setData(model->index(1, 0), QString(300, QLatin1Char('x')));
                model->setData(model->index(1, 1), QStringLiteral("yyy   "));
            }
        };
        QCOMPARE(clipboardText(*model, pump),
                 QStringLiteral("a\tb\r\n") + QString(300, QLatin1Char('x')) + QStringLiteral("\tyyy\r\n"));
    }

    void yieldsOncePerCellAndRow()
    {
        const auto model =
            listView({QStringLiteral("A"), QStringLiteral("B")}, {{{QStringLiteral("a"), QStringLiteral("b")}, true},
                                                                  {{QStringLiteral("c"), QStringLiteral("d")}, false}});
        CountingEventPump pump;
        clipboardText(*model, pump);
        // Width pass: 2 columns x 2 rows; text pass: 2 rows, plus 2 cells of the checked one.
        QCOMPARE(pump.count(), 4 + 2 + 2);
    }
};

QTEST_MAIN(TestClipboardCopy)
#include "test_clipboardcopy.moc"
