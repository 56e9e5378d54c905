#include "SpreadsheetExport.h"

#include "ListViewReader.h"
#include "Spreadsheet.h"
#include "SpreadsheetThread.h"
#include "core/ErrorTrap.h"
#include "core/EventPump.h"

#include <memory>
#include <utility>

namespace quorvane {

namespace {

// The steps of the export, numbered as the caller's trap reports them: 110 starting the application and
// adding the document, 116-120 a caption and its column's width, 126-140 the rows (128 a row's check mark,
// 130 its texts, 136 writing a block of rows), 144 fitting all columns, 146 showing the document, 150
// letting go of it. Every call to the document runs on the export's SpreadsheetThread while the window is
// served; the list is read here, on the window's thread.
//
// A write the sheet refuses costs its cells only: the first such failure is reported, later ones are not,
// and the export goes on with the rows after it, the fitting and the showing. A block that fails is written
// again cell by cell, so that only the cells refused are missing. When the application no longer answers
// (SpreadsheetGone), nothing more can reach it: that failure is reported (unless one was already) and the
// export ends. An export that ends before the showing abandons the document (Spreadsheet::abandon).
class SpreadsheetWriter
{
public:
    SpreadsheetWriter(const QAbstractItemModel& listView, EventPump& pump, ErrorTrap& trap)
        : m_list(listView), m_pump(pump), m_trap(trap), m_thread(pump)
    {}

    SpreadsheetExportResult run(SpreadsheetApplication& application)
    {
        // The application outlives every export: it belongs to the window.
        const bool started = m_trap.step(110, [&] {
            m_thread.run([&application](std::unique_ptr<Spreadsheet>& sheet) { sheet = application.addWorkbook(); });
        });
        if (!started)
            return m_result;
        if (!writeCaptions() || !writeRows()) {
            abandon();
            return m_result;
        }
        write(144, [](Spreadsheet& sheet) { sheet.autofitAllColumns(); });
        const auto savedAs = std::make_shared<QString>();
        if (!write(146, [savedAs](Spreadsheet& sheet) { *savedAs = sheet.show(); }) && !m_gone) {
            abandon();
            return m_result;
        }
        m_result.savedAs = *savedAs;
        m_trap.step(150, [&] { m_thread.run([](std::unique_ptr<Spreadsheet>& sheet) { sheet.reset(); }); });
        return m_result;
    }

private:
    // Runs one call to the document on the export's thread under the step. Returns false when it failed;
    // m_gone tells whether the application has stopped answering. The call gets its own copies of what it
    // reads.
    template <typename Call> bool write(int step, Call call)
    {
        if (m_gone)
            return false;
        const auto classified = [&] {
            try {
                m_thread.run([call](std::unique_ptr<Spreadsheet>& sheet) { call(*sheet); });
            } catch (const SpreadsheetGone&) {
                m_gone = true;
                throw;
            }
        };
        if (!m_reported) {
            const bool written = m_trap.step(step, classified);
            m_reported = !written;
            return written;
        }
        try {
            classified();
            return true;
        } catch (const std::exception&) {
            return false; // already reported once
        }
    }

    bool writeCaptions()
    {
        m_columns = m_list.columnCount();
        for (int c = 0; c < m_columns; ++c) {
            m_pump.yield();
            write(118, [c, caption = m_list.caption(c)](Spreadsheet& sheet) { sheet.setTexts(0, c, {{caption}}); });
            write(120, [c](Spreadsheet& sheet) { sheet.autofitColumn(c); });
            if (m_gone)
                return false;
        }
        return true;
    }

    bool writeRows()
    {
        const int rows = m_list.rowCount();
        const int fitting = std::min(rows, sheetRowLimit - 1);
        const int blockRows = std::max(1, spreadsheetBlockCells / std::max(1, m_columns));
        for (int r = 0; r < fitting; ++r) {
            m_pump.yield();
            bool checked = false;
            if (!m_trap.step(128, [&] { checked = m_list.isChecked(r); }))
                return false;
            if (!checked) {
                if (!writeBlock())
                    return false;
                continue;
            }
            QStringList texts;
            const bool read = m_trap.step(130, [&] {
                texts.reserve(m_columns);
                for (int c = 0; c < m_columns; ++c) {
                    m_pump.yield();
                    QString text = m_list.text(r, c);
                    if (c > 0)
                        text.remove(QLatin1Char('='));
                    texts.append(text);
                }
            });
            if (!read)
                return false;
            if (m_block.isEmpty())
                m_blockRow = r + 1;
            m_block.append(texts);
            if (m_block.size() >= blockRows && !writeBlock())
                return false;
        }
        if (!writeBlock())
            return false;
        // Rows past the sheet's end are counted, not attempted one by one.
        return m_trap.step(138, [&] {
            for (int r = fitting; r < rows; ++r)
                m_result.leftOut += m_list.isChecked(r) ? 1 : 0;
        });
    }

    // Writes the gathered run of consecutive checked rows in one call; when the sheet refuses it, cell by cell.
    // Returns false once the application no longer answers.
    bool writeBlock()
    {
        if (m_block.isEmpty())
            return !m_gone;
        const QList<QStringList> block = std::exchange(m_block, {});
        const int first = m_blockRow;
        if (!write(136, [first, block](Spreadsheet& sheet) { sheet.setTexts(first, 0, block); })) {
            for (qsizetype r = 0; r < block.size() && !m_gone; ++r) {
                for (qsizetype c = 0; c < block[r].size() && !m_gone; ++c) {
                    m_pump.yield();
                    write(136, [row = first + static_cast<int>(r), column = static_cast<int>(c),
                                text = block[r][c]](Spreadsheet& sheet) { sheet.setTexts(row, column, {{text}}); });
                }
            }
        }
        return !m_gone;
    }

    // The export ends before the document was shown: it is abandoned (unless the application has gone) and
    // let go of. A failure here is not reported: one was already.
    void abandon()
    {
        try {
            m_thread.run([gone = m_gone](std::unique_ptr<Spreadsheet>& sheet) {
                const std::unique_ptr<Spreadsheet> abandoned = std::move(sheet);
                if (!gone)
                    abandoned->abandon();
            });
        } catch (const std::exception&) {
        }
    }

    ListViewReader m_list;
    EventPump& m_pump;
    ErrorTrap& m_trap;
    SpreadsheetThread m_thread;
    int m_columns = 0;
    QList<QStringList> m_block;
    int m_blockRow = 0;
    SpreadsheetExportResult m_result;
    bool m_reported = false; // a failed write has been reported: later ones are not
    bool m_gone = false;     // the application no longer answers
};

} // namespace

SpreadsheetExportResult exportToSpreadsheet(const QAbstractItemModel& listView, SpreadsheetApplication& application,
                                            EventPump& pump, ErrorTrap& trap)
{
    return SpreadsheetWriter(listView, pump, trap).run(application);
}

} // namespace quorvane
