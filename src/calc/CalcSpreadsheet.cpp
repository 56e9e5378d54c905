#include "CalcSpreadsheet.h"

#include "core/Failure.h"
#include "output/OfficePipe.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QThread>
#include <QUrl>

#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <csignal>
#include <mutex>

using namespace css;

namespace quorvane::calc {

namespace {

// Runs a UNO call, turning its failures into the program's own.
template <typename Call> void guarded(const QString& pipe, Call&& call)
{
    try {
        call();
    } catch (const lang::DisposedException&) {
        OfficePipe::removeLeftSockets(pipe); // those of an office that was killed
        // The bridge is gone (the office ended or the connection broke): no later call can get through. The
        // bridge's own words name its internals, not what happened.
        throw SpreadsheetGone(QStringLiteral("LibreOffice ended before the export was done."));
    } catch (const uno::Exception& failure) {
        throw Failure(describe(failure));
    }
}

// What the program's end tidies up (endStartedOffice): the windowless office it started, and a save under way.
struct Tidying
{
    std::mutex mutex;
    qint64 office = 0;
    QString pipe;
    QString saving;             // the file being saved
    QStringList temporaryFiles; // the office's temporary files in its folder before
};

Tidying& tidying()
{
    static Tidying* const state = new Tidying; // never destroyed: export threads may outlive main()
    return *state;
}

QStringList temporaryFilesIn(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("lu*.tmp")}, QDir::Files | QDir::Hidden);
}

// Removes what a save that did not finish left in the file's folder: the office's lock file of it, its
// temporary files, and the file itself when it was begun.
void removeUnfinishedSave(const QString& path, const QStringList& temporaryFilesBefore)
{
    const QFileInfo file(path);
    QDir folder = file.absoluteDir();
    folder.remove(QStringLiteral(".~lock.%1#").arg(file.fileName()));
    folder.remove(file.fileName());
    for (const QString& temporary : temporaryFilesIn(folder.path())) {
        if (!temporaryFilesBefore.contains(temporary))
            folder.remove(temporary);
    }
}

} // namespace

void endStartedOffice()
{
    Tidying& state = tidying();
    const std::lock_guard<std::mutex> lock(state.mutex);
    if (state.office <= 0)
        return;
    ::kill(static_cast<pid_t>(state.office), SIGKILL);
    // Its files go once it has gone: a moment, well inside the second the program has.
    const QDeadlineTimer deadline(300);
    while (QFileInfo::exists(QStringLiteral("/proc/%1/stat").arg(state.office)) && !deadline.hasExpired())
        QThread::msleep(5);
    if (!state.saving.isEmpty())
        removeUnfinishedSave(state.saving, state.temporaryFiles);
    OfficePipe::removeLeftSockets(state.pipe);
    state.office = 0;
}

namespace {

// An office started headless, or one without any window-system plugin (the "nogui" packages), has no
// windows: a document opened visible there brings the office down.
bool showsNoWindows(const CalcConnection& connection)
{
    return connection.extraArguments.contains(QStringLiteral("--headless")) ||
           QDir(connection.programFolder).entryList({QStringLiteral("libvclplug_*")}, QDir::Files).isEmpty();
}

} // namespace

CalcSpreadsheet::CalcSpreadsheet(const CalcConnection& connection)
    : m_headless(showsNoWindows(connection)), m_saveFolder(connection.saveFolder), m_pipe(connection.pipeName)
{
    // An office that starts with a new profile restarts itself once it has set the profile up: the first
    // bridge then dies under its call, or the desktop creates nothing. It is joined again until it answers.
    const QDeadlineTimer deadline(std::chrono::seconds(connection.startSeconds));
    for (auto start = UnoOffice::Start::IfNobodyAnswers;; start = UnoOffice::Start::Never) {
        try {
            m_office = std::make_unique<UnoOffice>(connection, start);
            m_pipe = m_office->pipeName();
            openDocument();
            if (m_headless && m_office->startedHere()) {
                Tidying& state = tidying();
                const std::lock_guard<std::mutex> lock(state.mutex);
                state.office = m_office->process();
                state.pipe = m_pipe;
            }
            return;
        } catch (const ForeignPipe&) {
            throw; // waiting does not make another user's socket ours
        } catch (const Failure&) {
            m_document.clear();
            m_office.reset();
            if (deadline.hasExpired())
                throw;
        }
        QThread::msleep(200);
    }
}

void CalcSpreadsheet::openDocument()
{
    guarded(m_pipe, [&] {
        beans::PropertyValue hidden;
        hidden.Name = "Hidden";
        hidden.Value <<= m_headless;
        m_document = m_office->desktop()->loadComponentFromURL("private:factory/scalc", "_blank", 0,
                                                               uno::Sequence<beans::PropertyValue>(&hidden, 1));
        // An office without Calc answers with nothing rather than a failure.
        const uno::Reference<sheet::XSpreadsheetDocument> document(m_document, uno::UNO_QUERY);
        if (!document.is())
            throw Failure(QStringLiteral("LibreOffice could not create a Calc document."));
        const uno::Reference<frame::XModel> model(m_document, uno::UNO_QUERY_THROW);
        const uno::Reference<sheet::XSpreadsheetView> view(model->getCurrentController(), uno::UNO_QUERY);
        if (view.is())
            m_sheet = view->getActiveSheet();
        if (!m_sheet.is()) {
            const uno::Reference<container::XIndexAccess> sheets(document->getSheets(), uno::UNO_QUERY_THROW);
            m_sheet.set(sheets->getByIndex(0), uno::UNO_QUERY_THROW);
        }
    });
}

CalcSpreadsheet::~CalcSpreadsheet()
{
    // Only our references go: the document stays open in the office and belongs to the user.
    try {
        m_sheet.clear();
        m_document.clear();
    } catch (...) {
    }
    m_office.reset();
}

void CalcSpreadsheet::setTexts(int row, int column, const QList<QStringList>& rows)
{
    if (rows.isEmpty() || rows.first().isEmpty())
        return;
    const int width = static_cast<int>(rows.first().size());
    guarded(m_pipe, [&] {
        uno::Sequence<uno::Sequence<uno::Any>> data(static_cast<sal_Int32>(rows.size()));
        uno::Sequence<uno::Any>* dataRows = data.getArray();
        for (qsizetype r = 0; r < rows.size(); ++r) {
            dataRows[r].realloc(width);
            uno::Any* cells = dataRows[r].getArray();
            // Strings are stored as text: "=1+1" stays "=1+1", never a formula.
            for (int c = 0; c < width; ++c)
                cells[c] <<= toOUString(rows[r].value(c));
        }
        const uno::Reference<sheet::XCellRangeData> range(
            m_sheet->getCellRangeByPosition(column, row, column + width - 1, row + static_cast<int>(rows.size()) - 1),
            uno::UNO_QUERY_THROW);
        range->setDataArray(data);
    });
    m_columnsUsed = std::max(m_columnsUsed, column + width);
}

void CalcSpreadsheet::fitColumns(int first, int last)
{
    guarded(m_pipe, [&] {
        const uno::Reference<table::XColumnRowRange> range(m_sheet->getCellRangeByPosition(first, 0, last, 0),
                                                           uno::UNO_QUERY_THROW);
        const uno::Reference<beans::XPropertySet> columns(range->getColumns(), uno::UNO_QUERY_THROW);
        columns->setPropertyValue("OptimalWidth", uno::Any(true));
    });
}

void CalcSpreadsheet::autofitColumn(int column)
{
    fitColumns(column, column);
}

void CalcSpreadsheet::autofitAllColumns()
{
    // Every column that holds something; the others keep the default width, as they would anyway.
    if (m_columnsUsed > 0)
        fitColumns(0, m_columnsUsed - 1);
}

QString CalcSpreadsheet::show()
{
    if (m_headless) {
        const QString path = save();
        close();
        return path;
    }
    guarded(m_pipe, [&] {
        const uno::Reference<frame::XModel> model(m_document, uno::UNO_QUERY_THROW);
        const uno::Reference<frame::XController> controller = model->getCurrentController();
        if (!controller.is())
            return;
        const uno::Reference<awt::XWindow> window = controller->getFrame()->getContainerWindow();
        if (!window.is())
            return;
        window->setVisible(true);
        if (const uno::Reference<awt::XTopWindow> top{window, uno::UNO_QUERY}; top.is())
            top->toFront();
    });
    return {};
}

void CalcSpreadsheet::abandon()
{
    if (m_headless)
        close();
}

QString CalcSpreadsheet::save()
{
    if (!QDir().mkpath(m_saveFolder))
        throw Failure(QStringLiteral("Cannot create the folder \"%1\".").arg(m_saveFolder));
    // A name of its own: an earlier export's file is never overwritten.
    const QString stem = QStringLiteral("Quorvane results %1")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh.mm.ss")));
    QString path = QDir(m_saveFolder).filePath(stem + QStringLiteral(".ods"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(m_saveFolder).filePath(QStringLiteral("%1 (%2).ods").arg(stem).arg(n));
    {
        Tidying& state = tidying();
        const std::lock_guard<std::mutex> lock(state.mutex);
        state.saving = path;
        state.temporaryFiles = temporaryFilesIn(m_saveFolder);
    }
    const auto saved = qScopeGuard([] {
        Tidying& state = tidying();
        const std::lock_guard<std::mutex> lock(state.mutex);
        state.saving.clear();
    });
    const QStringList temporaryFilesBefore = temporaryFilesIn(m_saveFolder);
    auto unfinished = qScopeGuard([&] { removeUnfinishedSave(path, temporaryFilesBefore); });
    guarded(m_pipe, [&] {
        beans::PropertyValue filter;
        filter.Name = "FilterName";
        filter.Value <<= rtl::OUString("calc8");
        const uno::Reference<frame::XStorable> storable(m_document, uno::UNO_QUERY_THROW);
        storable->storeToURL(toOUString(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)),
                             uno::Sequence<beans::PropertyValue>(&filter, 1));
    });
    unfinished.dismiss();
    return path;
}

void CalcSpreadsheet::close()
{
    guarded(m_pipe, [&] {
        const uno::Reference<util::XCloseable> closeable(m_document, uno::UNO_QUERY);
        m_sheet.clear();
        m_document.clear();
        if (closeable.is())
            closeable->close(true);
    });
}

} // namespace quorvane::calc
