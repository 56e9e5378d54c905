#include "SpreadsheetExport.h"

#include "ListViewReader.h"
#include "Spreadsheet.h"
#include "core/ErrorTrap.h"
#include "core/EventPump.h"

#include <chrono>
#include <future>
#include <utility>

namespace quorvane {

namespace {

// Runs the call on a worker thread and serves the window until it is done; its failure is rethrown here.
template <typename Call> auto whilePumping(EventPump& pump, Call&& call)
{
    auto result = std::async(std::launch::async, std::forward<Call>(call));
    while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        pump.yield();
    return result.get();
}

// The steps of the export, numbered as the caller's trap reports them: 110 starting the application and
// adding the document, 116-120 a caption and its column's width, 126-140 the rows (128 a row's check mark,
// 130 its texts, 136 writing a block of rows), 144 fitting all columns, 146 showing the document, 150
// letting go of it.
//
// A write the sheet refuses costs its cells only: the first such failure is reported, later ones are not,
// and the export goes on with the rows after it, the fitting and the showing. A block that fails is written
// again cell by cell, so that only the cells refused are missing. When the application no longer answers
// (SpreadsheetGone), nothing more can reach it: that failure is reported (unless one was already) and the
// export ends.
class SpreadsheetWriter
{
public:
    SpreadsheetWriter(const QAbstractItemModel& listView, EventPump& pump, ErrorTrap& trap)
        : m_list(listView), m_pump(pump), m_trap(trap)
    {}

    int run(SpreadsheetApplication& application)
    {
        const bool started = m_trap.step(
            110, [&] { m_sheet = whilePumping(m_pump, [&application] { return application.addWorkbook(); }); });
        if (!started || !writeCaptions() || !writeRows())
            return m_leftOut;
        write(144, [&] { m_sheet->autofitAllColumns(); });
        write(146, [&] { m_sheet->show(); });
        m_trap.step(150, [&] { m_sheet.reset(); });
        return m_leftOut;
    }

private:
    // Runs one call to the sheet under the step. Returns false when it failed; m_gone tells whether the
    // application has stopped answering.
    template <typename Call> bool write(int step, Call&& call)
    {
        if (m_gone)
            return false;
        const auto classified = [&] {
            try {
                call();
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
            write(118, [&] { m_sheet->setTexts(0, c, {{m_list.caption(c)}}); });
            write(120, [&] { m_sheet->autofitColumn(c); });
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
                m_leftOut += m_list.isChecked(r) ? 1 : 0;
        });
    }

    // Writes the gathered run of consecutive checked rows in one call; when the sheet refuses it, cell by cell.
    // Returns false once the application no longer answers.
    bool writeBlock()
    {
        if (m_block.isEmpty())
            return !m_gone;
        const QList<QStringList> block = std::exchange(m_block, {});
        if (!write(136, [&] { m_sheet->setTexts(m_blockRow, 0, block); })) {
            for (qsizetype r = 0; r < block.size() && !m_gone; ++r) {
                for (qsizetype c = 0; c < block[r].size() && !m_gone; ++c) {
                    m_pump.yield();
                    write(136, [&] {
                        m_sheet->setTexts(m_blockRow + static_cast<int>(r), static_cast<int>(c), {{block[r][c]}});
                    });
                }
            }
        }
        return !m_gone;
    }

    ListViewReader m_list;
    EventPump& m_pump;
    ErrorTrap& m_trap;
    std::unique_ptr<Spreadsheet> m_sheet;
    int m_columns = 0;
    QList<QStringList> m_block;
    int m_blockRow = 0;
    int m_leftOut = 0;
    bool m_reported = false; // a failed write has been reported: later ones are not
    bool m_gone = false;     // the application no longer answers
};

} // namespace

int exportToSpreadsheet(const QAbstractItemModel& listView, SpreadsheetApplication& application, EventPump& pump,
                        ErrorTrap& trap)
{
    return SpreadsheetWriter(listView, pump, trap).run(application);
}

} // namespace quorvane
