// Exports a small result list to a headless LibreOffice Calc of its own (own profile, own pipe) through the
// plugin, reads the cells back through UNO, then closes the document and ends only that office.
#include "OutputFakes.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "UnoOffice.h"
#include "core/EventPump.h"
#include "core/Pointer.h"
#include "output/OutputCommands.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QtTest>

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableColumns.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/util/XCloseable.hpp>

using namespace css;
using namespace quorvane;
using namespace quorvane::testing;

namespace {

struct SheetCell
{
    table::CellContentType type;
    QString text;
};

SheetCell cellAt(const uno::Reference<sheet::XSpreadsheet>& sheet, int column, int row)
{
    const uno::Reference<table::XCell> cell = sheet->getCellByPosition(column, row);
    const uno::Reference<text::XText> text(cell, uno::UNO_QUERY_THROW);
    return {cell->getType(), calc::toQString(text->getString())};
}

sal_Int32 columnWidth(const uno::Reference<sheet::XSpreadsheet>& sheet, int column)
{
    const uno::Reference<table::XColumnRowRange> range(sheet, uno::UNO_QUERY_THROW);
    const uno::Reference<container::XIndexAccess> columns(range->getColumns(), uno::UNO_QUERY_THROW);
    const uno::Reference<beans::XPropertySet> properties(columns->getByIndex(column), uno::UNO_QUERY_THROW);
    sal_Int32 width = 0;
    properties->getPropertyValue("Width") >>= width;
    return width;
}

// The office's Calc documents.
QList<uno::Reference<sheet::XSpreadsheetDocument>> calcDocuments(calc::UnoOffice& office)
{
    QList<uno::Reference<sheet::XSpreadsheetDocument>> documents;
    const uno::Reference<container::XEnumerationAccess> components(office.desktop()->getComponents(),
                                                                   uno::UNO_QUERY_THROW);
    const uno::Reference<container::XEnumeration> each = components->createEnumeration();
    while (each->hasMoreElements()) {
        const uno::Reference<sheet::XSpreadsheetDocument> document(each->nextElement(), uno::UNO_QUERY);
        if (document.is())
            documents.append(document);
    }
    return documents;
}

// Whether a process of this office (found by its pipe's name on its command line) still runs.
bool officeRuns(const QString& pipe)
{
    const QByteArray marker = QStringLiteral("name=%1;").arg(pipe).toUtf8();
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& process : processes) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(process));
        if (commandLine.open(QIODevice::ReadOnly) && commandLine.readAll().contains(marker)) {
            QFile status(QStringLiteral("/proc/%1/status").arg(process));
            if (status.open(QIODevice::ReadOnly) && !status.readAll().contains("State:\tZ"))
                return true;
        }
    }
    return false;
}

} // namespace

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

        // The export let go of the office; this side joins it again through the same pipe.
        calc::UnoOffice office(CalcConnection{programFolder, pipe, arguments});
        // Whatever the checks say, the document is closed and this office ends.
        struct Ending
        {
            calc::UnoOffice& office;
            const QString& pipe;
            ~Ending()
            {
                try {
                    for (const auto& document : calcDocuments(office))
                        uno::Reference<util::XCloseable>(document, uno::UNO_QUERY_THROW)->close(true);
                    office.desktop()->terminate();
                } catch (const uno::Exception&) {
                    // The bridge closes as the office ends.
                }
                office.release();
                // The office writes its profile as it ends: the profile folder goes only after that.
                const QDeadlineTimer deadline(30000);
                while (officeRuns(pipe) && !deadline.hasExpired())
                    QThread::msleep(50);
            }
        } ending{office, pipe};

        const auto documents = calcDocuments(office);
        QCOMPARE(documents.size(), 1);
        const uno::Reference<container::XIndexAccess> sheets(documents.first()->getSheets(), uno::UNO_QUERY_THROW);
        const uno::Reference<sheet::XSpreadsheet> sheet(sheets->getByIndex(0), uno::UNO_QUERY_THROW);

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
