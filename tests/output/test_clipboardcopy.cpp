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
    void clipboardTextLayout_data() { addExportLayouts(); }
    void clipboardTextLayout()
    {
        QFETCH(QStringList, captions);
        QFETCH(QList<Row>, rows);
        QFETCH(QString, text);
        const auto model = listView(captions, rows);
        NoEventPump pump;
        QCOMPARE(clipboardText(*model, pump), text);
        QCOMPARE(clipboardUtf8Text(*model, pump), text.toUtf8());

        FakeClipboard clipboard;
        copyListviewToClipboard(*model, clipboard, pump);
        const int attempts = rows.isEmpty() ? 0 : 1; // an empty list leaves the clipboard untouched
        QCOMPARE(clipboard.utf8Content, attempts ? text.toUtf8() : QByteArray());
        QCOMPARE(clipboard.content, attempts ? text : QStringLiteral("old content"));
        QCOMPARE(clipboard.clearAttempts, attempts);
        QCOMPARE(clipboard.setAttempts, attempts);
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
