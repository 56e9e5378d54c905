#pragma once

// For tests and benchmarks that run a LibreOffice of their own: its Calc documents, a sheet's cells and
// columns, and ending that office. Only for targets that link quorvane_uno.
#include "UnoOffice.h"
#include "core/Failure.h"
#include "output/LibreOfficeCalc.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QThread>
#include <QUrl>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/util/XCloseable.hpp>

namespace quorvane::testoffice {

// The office's Calc documents.
inline QList<css::uno::Reference<css::sheet::XSpreadsheetDocument>> calcDocuments(calc::UnoOffice& office)
{
    namespace uno = css::uno;
    QList<uno::Reference<css::sheet::XSpreadsheetDocument>> documents;
    const uno::Reference<css::container::XEnumerationAccess> components(office.desktop()->getComponents(),
                                                                        uno::UNO_QUERY_THROW);
    const uno::Reference<css::container::XEnumeration> each = components->createEnumeration();
    while (each->hasMoreElements()) {
        const uno::Reference<css::sheet::XSpreadsheetDocument> document(each->nextElement(), uno::UNO_QUERY);
        if (document.is())
            documents.append(document);
    }
    return documents;
}

// Opens a spreadsheet file in the office, hidden.
inline css::uno::Reference<css::sheet::XSpreadsheetDocument> openDocument(calc::UnoOffice& office, const QString& path)
{
    namespace uno = css::uno;
    css::beans::PropertyValue hidden;
    hidden.Name = "Hidden";
    hidden.Value <<= true;
    const uno::Reference<uno::XInterface> document =
        office.desktop()->loadComponentFromURL(calc::toOUString(QUrl::fromLocalFile(path).toString()), "_blank", 0,
                                               uno::Sequence<css::beans::PropertyValue>(&hidden, 1));
    return uno::Reference<css::sheet::XSpreadsheetDocument>(document, uno::UNO_QUERY_THROW);
}

inline css::uno::Reference<css::sheet::XSpreadsheet>
firstSheet(const css::uno::Reference<css::sheet::XSpreadsheetDocument>& document)
{
    namespace uno = css::uno;
    const uno::Reference<css::container::XIndexAccess> sheets(document->getSheets(), uno::UNO_QUERY_THROW);
    return uno::Reference<css::sheet::XSpreadsheet>(sheets->getByIndex(0), uno::UNO_QUERY_THROW);
}

struct SheetCell
{
    css::table::CellContentType type;
    QString text;
};

inline SheetCell cellAt(const css::uno::Reference<css::sheet::XSpreadsheet>& sheet, int column, int row)
{
    const css::uno::Reference<css::table::XCell> cell = sheet->getCellByPosition(column, row);
    const css::uno::Reference<css::text::XText> text(cell, css::uno::UNO_QUERY_THROW);
    return {cell->getType(), calc::toQString(text->getString())};
}

inline sal_Int32 columnWidth(const css::uno::Reference<css::sheet::XSpreadsheet>& sheet, int column)
{
    namespace uno = css::uno;
    const uno::Reference<css::table::XColumnRowRange> range(sheet, uno::UNO_QUERY_THROW);
    const uno::Reference<css::container::XIndexAccess> columns(range->getColumns(), uno::UNO_QUERY_THROW);
    const uno::Reference<css::beans::XPropertySet> properties(columns->getByIndex(column), uno::UNO_QUERY_THROW);
    sal_Int32 width = 0;
    properties->getPropertyValue("Width") >>= width;
    return width;
}

// Whether a process whose command line holds the marker still runs (one that ended but was not yet reaped
// does not count).
inline bool processRuns(const QByteArray& marker)
{
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

// Closes every document of the office that answers on the connection's pipe, then ends that office. Does
// nothing when no office answers there within a few seconds.
inline void endOffice(CalcConnection connection)
{
    connection.startSeconds = 5;
    try {
        calc::UnoOffice office(connection, calc::UnoOffice::Start::Never);
        const css::uno::Reference<css::container::XEnumerationAccess> components(office.desktop()->getComponents(),
                                                                                 css::uno::UNO_QUERY_THROW);
        const auto each = components->createEnumeration();
        while (each->hasMoreElements()) {
            const css::uno::Reference<css::util::XCloseable> document(each->nextElement(), css::uno::UNO_QUERY);
            if (document.is())
                document->close(true);
        }
        office.desktop()->terminate();
    } catch (const css::uno::Exception&) {
        // The bridge closes as the office ends.
    } catch (const Failure&) {
        // Nobody answered: there is no office to end.
    }
}

// Whatever a test's checks say, ends the test's own office when it goes out of scope and waits until no
// process of it is left: the office writes its profile as it ends, so the profile folder may go only after.
class OfficeEnding
{
public:
    // `marker`: a text on the command line of every process of that office and of no other.
    OfficeEnding(CalcConnection connection, QByteArray marker)
        : m_connection(std::move(connection)), m_marker(std::move(marker))
    {}
    ~OfficeEnding()
    {
        if (processRuns(m_marker))
            endOffice(m_connection);
        const QDeadlineTimer deadline(30000);
        while (processRuns(m_marker) && !deadline.hasExpired())
            QThread::msleep(50);
    }
    OfficeEnding(const OfficeEnding&) = delete;
    OfficeEnding& operator=(const OfficeEnding&) = delete;

private:
    CalcConnection m_connection;
    QByteArray m_marker;
};

} // namespace quorvane::testoffice
