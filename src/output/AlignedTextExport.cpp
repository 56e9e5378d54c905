#include "AlignedTextExport.h"

#include "ListViewReader.h"
#include "core/ErrorTrap.h"
#include "core/EventPump.h"
#include "core/Failure.h"
#include "core/Locations.h"
#include "core/ProgressIndicator.h"
#include "text/Windows1252.h"

#include <QByteArray>
#include <QSaveFile>

#include <algorithm>
#include <vector>

namespace quorvane {

namespace {

// Lines are gathered into chunks of about this size before they reach the file.
constexpr qsizetype chunkBytes = qsizetype(1) << 16;

// A file of 8-bit lines written through a temporary file beside the target. Until commit() the target is
// untouched; a writer destroyed without commit() leaves no temporary file behind.
class LineFile
{
public:
    explicit LineFile(const QString& path) : m_file(path) {}

    void create()
    {
        // Our own chunks are the buffer; the device writes each one straight through.
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw Failure(describe(QStringLiteral("Cannot create")));
        m_line.reserve(chunkBytes + 4096);
    }

    void appendField(const QString& text, int width)
    {
        windows1252::appendEncoded(m_line, text);
        // One byte per UTF-16 unit, so the padding lines up in bytes too. A text longer than its width
        // (the list changed during a yield) gets no blanks.
        const qsizetype blanks = std::max<qsizetype>(width - text.size(), 0);
        const qsizetype at = m_line.size();
        m_line.resize(at + blanks + 1);
        char* const out = m_line.data() + at;
        std::fill_n(out, blanks, ' ');
        out[blanks] = '\t';
    }

    // Ends the line; the chunk goes to the file once it is full.
    void writeLine()
    {
        const qsizetype at = m_line.size();
        m_line.resize(at + 2);
        m_line.data()[at] = '\r';
        m_line.data()[at + 1] = '\n';
        if (m_line.size() >= chunkBytes)
            flush();
    }

    void commit()
    {
        flush();
        if (!m_file.commit())
            throw Failure(describe(QStringLiteral("Cannot write")));
    }

private:
    void flush()
    {
        if (m_line.isEmpty())
            return;
        if (m_file.write(m_line) != m_line.size())
            throw Failure(describe(QStringLiteral("Cannot write")));
        m_line.resize(0); // keeps the capacity
    }

    QString describe(const QString& what) const
    {
        return QStringLiteral("%1 the file \"%2\": %3").arg(what, m_file.fileName(), m_file.errorString());
    }

    QSaveFile m_file;
    QByteArray m_line;
};

// The steps of the writer, numbered as its error trap reports them: 100 first progress report, 112 the
// width of a column, 130 second report, 140 creating the file, 142 the header's fields, 156 writing the
// header line, 158 third report, 174 a row's check mark, 176 its fields, 190 its progress report, 202
// writing its line, 206 and 208 "Done.", 210 closing the file, 218 and 220 the idle progress bar.
class AlignedTextWriter
{
public:
    AlignedTextWriter(const QAbstractItemModel& listView, const QString& path, ProgressIndicator* progress,
                      EventPump& pump, Prompter& prompter)
        : m_list(listView), m_file(path), m_progress(progress), m_pump(pump),
          m_trap(location::saveListviewProperlySpaced, prompter),
          m_caption(QStringLiteral("Writing file: ") + fileNameFromPath(path))
    {}

    void run()
    {
        writeAll();
        // Also after a failure, so that the bar does not keep a caption of an export that has ended.
        if (m_progress) {
            m_trap.step(218, [&] { m_progress->setValue(0); });
            m_trap.step(220, [&] { m_progress->setText(QStringLiteral("Progress Bar")); });
        }
    }

private:
    // Returns at the first failed step: it has been reported, and the export ends there.
    bool writeAll()
    {
        if (!report(100, 1))
            return false;
        if (!measureColumns())
            return false;
        if (!report(130, 10))
            return false;
        if (!m_trap.step(140, [&] { m_file.create(); }))
            return false;
        if (!writeHeader())
            return false;
        if (!report(158, 20))
            return false;
        if (!writeRows())
            return false;
        if (m_progress) {
            m_trap.step(206, [&] { m_progress->setValue(100); });
            m_trap.step(208, [&] { m_progress->setText(QStringLiteral("Done.")); });
        }
        return m_trap.step(210, [&] { m_file.commit(); });
    }

    bool report(int firstStep, double value)
    {
        if (!m_progress)
            return true;
        return m_trap.step(firstStep, [&] {
            m_pump.yield();
            m_progress->setValue(value);
            m_progress->setText(m_caption);
            m_pump.yield();
        });
    }

    bool measureColumns()
    {
        const int columns = m_list.columnCount();
        m_widths.assign(static_cast<size_t>(std::max(columns, 0)), 0);
        for (int c = 0; c < columns; ++c) {
            int width = 0;
            const bool measured = m_trap.step(112, [&] {
                width = static_cast<int>(m_list.caption(c).size());
                const int rows = m_list.rowCount();
                for (int r = 0; r < rows; ++r) {
                    m_pump.yield();
                    width = std::max(width, static_cast<int>(m_list.text(r, c).size()));
                }
            });
            if (!measured)
                return false;
            m_widths[static_cast<size_t>(c)] = width;
        }
        return true;
    }

    bool writeHeader()
    {
        const bool built = m_trap.step(142, [&] {
            for (size_t c = 0; c < m_widths.size(); ++c) {
                m_pump.yield();
                m_file.appendField(m_list.caption(static_cast<int>(c)), m_widths[c]);
            }
        });
        return built && m_trap.step(156, [&] { m_file.writeLine(); });
    }

    bool writeRows()
    {
        const int rows = m_list.rowCount();
        for (int r = 0; r < rows; ++r) {
            m_pump.yield();
            bool checked = false;
            if (!m_trap.step(174, [&] { checked = m_list.isChecked(r); }))
                return false;
            if (!checked)
                continue;
            const bool built = m_trap.step(176, [&] {
                for (size_t c = 0; c < m_widths.size(); ++c) {
                    m_pump.yield();
                    m_file.appendField(m_list.text(r, static_cast<int>(c)), m_widths[c]);
                }
            });
            if (!built)
                return false;
            if (m_progress && !reportRow(r + 1))
                return false;
            if (!m_trap.step(202, [&] { m_file.writeLine(); }))
                return false;
        }
        return true;
    }

    // `row` counts from 1, as the caption shows it.
    bool reportRow(int row)
    {
        return m_trap.step(190, [&] {
            m_pump.yield();
            // The count is read afresh: the list may have changed during the yields.
            const int count = m_list.rowCount();
            if (count > 0)
                m_progress->setValue((row + count / 2000) / static_cast<double>(count) * 100.0);
            if (row % 1000 == 0)
                m_progress->setText(m_caption + QStringLiteral(" (") + QString::number(row) + QLatin1Char(')'));
            m_pump.yield();
        });
    }

    ListViewReader m_list;
    LineFile m_file;
    ProgressIndicator* m_progress;
    EventPump& m_pump;
    ErrorTrap m_trap;
    const QString m_caption;
    std::vector<int> m_widths;
};

} // namespace

QString fileNameFromPath(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

void saveListviewProperlySpaced(const QAbstractItemModel& listView, const QString& path, ProgressIndicator* progress,
                                EventPump& pump, Prompter& prompter)
{
    AlignedTextWriter(listView, path, progress, pump, prompter).run();
}

} // namespace quorvane
