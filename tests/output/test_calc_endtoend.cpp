// Exports a small result list to a headless LibreOffice Calc of its own (own profile, own pipe) through the
// plugin, reads the cells back through UNO, then closes the document and ends only that office.
#include "OutputFakes.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "TestOffice.h"
#include "UnoOffice.h"
#include "core/EventPump.h"
#include "core/Pointer.h"
#include "output/OutputCommands.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using namespace css;
using namespace quorvane;
using namespace quorvane::testing;
using namespace quorvane::testoffice;

class TestCalcEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void exportedCellsAreTextInTheirRowsWithFittedWidth()
    {
        const QString programFolder = LibreOfficeCalc::findProgramFolder();
        QVERIFY2(!programFolder.isEmpty(), "LibreOffice Calc is not installed (tools/install-deps.sh)");
        QTemporaryDir profile;
        const QString pipe = QStringLiteral("quorvane-test-%1").arg(QCoreApplication::applicationPid());
        const QStringList arguments{QStringLiteral("--headless"), QStringLiteral("--invisible"),
                                    QStringLiteral("-env:UserInstallation=") +
                                        QUrl::fromLocalFile(profile.path()).toString()};
        LibreOfficeCalc calcApplication(testfiles::applicationFolder() + QStringLiteral("/libquorvane_calc.so"), pipe,
                                        arguments);
        QVERIFY(calcApplication.isInstalled());

        const QString longText = QStringLiteral("a result long enough to need a much wider column than the default");
        const auto results = resultList({{{QStringLiteral("plain")}, true},
                                         {{QStringLiteral("=1+1")}, true},
                                         {{QStringLiteral("unchecked")}, false},
                                         {{longText}, true}});
        ScriptedPrompter prompter;
        PlainPointer pointer;
        TimeSlicedEventPump pump;
        FakeClipboard clipboard;
        OutputCommands commands(prompter, pointer, pump, nullptr, clipboard, calcApplication);
        commands.PushButton13_Click(*results);
        QVERIFY2(prompter.shown().isEmpty(), qPrintable(prompter.shown().value(0).text));
        QCOMPARE(pointer.shape(), PointerShape::Default);

        // Whatever the checks say, the document is closed and this office ends.
        const OfficeEnding ending(CalcConnection{programFolder, pipe, arguments},
                                  QStringLiteral("name=%1;").arg(pipe).toUtf8());
        // The export let go of the office; this side joins it again through the same pipe.
        calc::UnoOffice office(CalcConnection{programFolder, pipe, arguments});
        const auto documents = calcDocuments(office);
        QCOMPARE(documents.size(), 1);
        const uno::Reference<sheet::XSpreadsheet> sheet = firstSheet(documents.first());

        const SheetCell caption = cellAt(sheet, 0, 0);
        QCOMPARE(caption.text, QStringLiteral("Results"));
        QCOMPARE(cellAt(sheet, 0, 1).text, QStringLiteral("plain"));
        const SheetCell formulaLike = cellAt(sheet, 0, 2);
        QCOMPARE(formulaLike.type, table::CellContentType_TEXT); // text, not a formula
        QCOMPARE(formulaLike.text, QStringLiteral("=1+1"));
        QCOMPARE(cellAt(sheet, 0, 3).type, table::CellContentType_EMPTY);
        QCOMPARE(cellAt(sheet, 0, 4).text, longText);
        QCOMPARE(cellAt(sheet, 0, 5).type, table::CellContentType_EMPTY);
        QVERIFY2(columnWidth(sheet, 0) > columnWidth(sheet, 3) * 2,
                 qPrintable(QStringLiteral("%1 vs %2").arg(columnWidth(sheet, 0)).arg(columnWidth(sheet, 3))));
    }
};

QTEST_GUILESS_MAIN(TestCalcEndToEnd)
#include "test_calc_endtoend.moc"
