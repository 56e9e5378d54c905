#include "AlignedTextExport.h"

#include "AsciiNarrowing.h"
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
#include <cstring>
#include <vector>

#if defined(Q_OS_LINUX)
#include <fcntl.h>
#endif

namespace quorvane {

namespace {

// Lines are gathered into blocks of about this size before they reach the file.
constexpr qsizetype blockBytes = qsizetype(1) << 20;

// Writes `text` as Windows-1252, one byte per unit, at `out`. `scratch` holds the encoding of a text that is
// not ASCII.
[[gnu::noinline]] void encodeNotAscii(QStringView text, char* out, QByteArray& scratch)
{
    scratch.resize(0); // keeps the capacity
    windows1252::appendEncoded(scratch, text);
    std::memcpy(out, scratch.constData(), static_cast<size_t>(scratch.size()));
}

inline void encodeInto(QStringView text, char* out, QByteArray& scratch)
{
    if (!ascii::narrow(text.utf16(), text.size(), out))
        encodeNotAscii(text, out, scratch);
}

// A file of 8-bit lines written through a temporary file beside the target. Until commit() the target is
// untouched; a writer destroyed without commit() leaves no temporary file behind. Lines are built in one
// block in memory, which goes to the file once a line ends past blockBytes; a line longer than the block
// widens it.
class LineFile
{
public:
    explicit LineFile(const QString& path) : m_file(path) {}

    void create()
    {
        // Our own block is the buffer; the device writes each one straight through.
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw Failure(describe(QStringLiteral("Cannot create")));
        m_block.resize(blockBytes + blockBytes / 4);
        m_end = m_block.data();
        m_limit = m_end + m_block.size();
    }

    // Room for `bytes` more bytes at the end of the block; advance() takes what was written there.
    char* room(qsizetype bytes)
    {
        if (bytes > m_limit - m_end)
            widen(bytes);
        return m_end;
    }
    void advance(char* end) { m_end = end; }

    // The text, blanks up to `width` (none when the text is longer: the list changed during a yield), a TAB.
    // One byte per UTF-16 unit, so the padding lines up in bytes too.
    void appendField(QStringView text, qsizetype width)
    {
        const qsizetype blanks = std::max<qsizetype>(width - text.size(), 0);
        char* out = room(text.size() + blanks + 1);
        encodeInto(text, out, m_scratch);
        out = std::fill_n(out + text.size(), blanks, ' ');
        *out++ = '\t';
        advance(out);
    }

    // Ends the line; the block goes to the file once it is full.
    void writeLine()
    {
        char* const out = room(2);
        out[0] = '\r';
        out[1] = '\n';
        advance(out + 2);
        writeFullBlock();
    }

    // Writes the block once it holds blockBytes or more.
    void writeFullBlock()
    {
        if (m_end - m_block.constData() >= blockBytes)
            flush();
    }

    void commit()
    {
        flush();
        if (!m_file.commit())
            throw Failure(describe(QStringLiteral("Cannot write")));
    }

    QByteArray& scratch() { return m_scratch; }

private:
    void flush()
    {
        const qsizetype used = m_end - m_block.constData();
        if (used == 0)
            return;
        if (m_file.write(m_block.constData(), used) != used)
            throw Failure(describe(QStringLiteral("Cannot write")));
#if defined(Q_OS_LINUX)
        // The disk starts on each block now, while the next ones are built, instead of all at the commit,
        // which waits for every byte to be on the disk before the target is replaced. Only a hint: a file
        // system that does not take it still gets every byte at the commit.
        ::sync_file_range(m_file.handle(), m_written, used, SYNC_FILE_RANGE_WRITE);
#endif
        m_written += used;
        m_end = m_block.data();
    }

    void widen(qsizetype bytes)
    {
        const qsizetype used = m_end - m_block.constData();
        m_block.resize(std::max(used + bytes, 2 * m_block.size()));
        m_end = m_block.data() + used;
        m_limit = m_block.data() + m_block.size();
    }

    QString describe(const QString& what) const
    {
        return QStringLiteral("%1 the file \"%2\": %3").arg(what, m_file.fileName(), m_file.errorString());
    }

    QSaveFile m_file;
    QByteArray m_block;
    char* m_end = nullptr; // where the next byte goes
    char* m_limit = nullptr;
    qint64 m_written = 0; // bytes in the file
    QByteArray m_scratch;
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
        if (!(m_list.readsByRuns() ? measureRuns() : measureColumns()))
            return false;
        if (!report(130, 10))
            return false;
        if (!m_trap.step(140, [&] { m_file.create(); }))
            return false;
        if (!writeHeader())
            return false;
        if (!report(158, 20))
            return false;
        if (!(m_list.readsByRuns() ? writeRuns() : writeRows()))
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

    // The one column of one of the window's own lists: the same width, read run by run.
    bool measureRuns()
    {
        m_widths.assign(1, 0);
        return m_trap.step(112, [&] {
            qsizetype width = m_list.caption(0).size();
            TextListRows rows = *m_list.rowRuns(m_pump);
            for (int first = 0; first < rows.count(); first = rows.runEnd(first)) {
                rows.beginRun(first, rows.runEnd(first));
                width = std::max(width, rows.longest(first, rows.runEnd(first)));
            }
            m_widths[0] = static_cast<int>(width);
        });
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

    // The lines of the checked rows of one of the window's own lists, run by run: the same bytes as
    // writeRows(). The progress is
    // reported once per run, for its last checked row; as a run ends at a multiple of 1000, the captions with
    // the row number are those of writeRows().
    bool writeRuns()
    {
        const qsizetype width = m_widths[0];
        TextListRows rows = *m_list.rowRuns(m_pump);
        for (int first = 0; first < rows.count();) {
            const int end = rows.runEnd(first);
            if (!m_trap.step(174, [&] { rows.beginRun(first, end); }))
                return false;
            int lastChecked = -1;
            for (int r = first; r < end; ++r) {
                if (!rows.isChecked(r))
                    continue;
                // One room for the line, then straight into it: the text, the blanks, TAB, CR LF.
                const QStringView text = rows.text(r);
                const qsizetype blanks = std::max<qsizetype>(width - text.size(), 0);
                char* out = m_file.room(text.size() + blanks + 3);
                encodeInto(text, out, m_file.scratch());
                out = std::fill_n(out + text.size(), blanks, ' ');
                out[0] = '\t';
                out[1] = '\r';
                out[2] = '\n';
                m_file.advance(out + 3);
                lastChecked = r;
            }
            if (m_progress && lastChecked >= 0 && !reportRow(lastChecked + 1))
                return false;
            if (!m_trap.step(202, [&] { m_file.writeFullBlock(); }))
                return false;
            first = end;
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
