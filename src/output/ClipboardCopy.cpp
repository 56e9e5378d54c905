#include "ClipboardCopy.h"

#include "AsciiNarrowing.h"
#include "Clipboard.h"
#include "ListViewReader.h"
#include "core/EventPump.h"
#include "text/Utf8.h"

#include <algorithm>
#include <vector>

namespace quorvane {

namespace {

template <typename Attempt> bool retried(Attempt&& attempt)
{
    bool done = attempt();
    for (int attempts = 1; !done && attempts < clipboardAttempts; ++attempts)
        done = attempt();
    return done;
}

// The most UTF-8 bytes one UTF-16 unit takes: three for a character of the basic plane or a lone surrogate
// (U+FFFD); a pair of units takes four.
constexpr qsizetype utf8BytesPerUnit = 3;

// Writes the units as UTF-8 at `out`, which has room for utf8BytesPerUnit bytes per unit, and returns the end.
// A surrogate without its partner becomes U+FFFD.
char* encodeUtf8(const char16_t* in, qsizetype size, char* out)
{
    qsizetype at = 0;
    while (at < size) {
        char32_t code = in[at++];
        if (QChar::isSurrogate(code)) {
            if (QChar::isHighSurrogate(code) && at < size && QChar::isLowSurrogate(in[at]))
                code = QChar::surrogateToUcs4(static_cast<char16_t>(code), in[at++]);
            else
                code = QChar::ReplacementCharacter;
        }
        out = utf8::put(code, out);
    }
    return out;
}

QByteArray toUtf8(QStringView text)
{
    QByteArray bytes(text.size() * utf8BytesPerUnit, Qt::Uninitialized);
    bytes.truncate(encodeUtf8(text.utf16(), text.size(), bytes.data()) - bytes.constData());
    return bytes;
}

// The clipboard text of one of the window's own lists, read run by run and written as UTF-8 straight from the list's
// characters. With its one column a line is the row's text without its trailing blanks (the padding and the
// TAB are cut again), then CR LF, so no widths are needed.
QByteArray runsClipboardText(TextListRows& rows)
{
    // Room for every checked row's text and CR LF, a byte per unit as for ASCII; a row that is not ASCII
    // makes more. Only the check marks are read row by row: a stretch of checked rows takes the characters
    // from its first row's start to its last row's end.
    qsizetype room = 0;
    for (int first = 0; first < rows.count(); first = rows.runEnd(first)) {
        const int end = rows.runEnd(first);
        rows.beginRun(first, end);
        int stretch = -1; // the first row of the current stretch of checked rows
        for (int r = first; r < end; ++r) {
            if (rows.isChecked(r)) {
                room += 2;
                if (stretch < 0)
                    stretch = r;
            } else if (stretch >= 0) {
                room += rows.begin(r) - rows.begin(stretch);
                stretch = -1;
            }
        }
        if (stretch >= 0)
            room += rows.end(end - 1) - rows.begin(stretch);
    }

    QByteArray text(room, Qt::Uninitialized);
    char* out = text.data();
    for (int first = 0; first < rows.count(); first = rows.runEnd(first)) {
        const int end = rows.runEnd(first);
        rows.beginRun(first, end);
        for (int r = first; r < end; ++r) {
            if (!rows.isChecked(r))
                continue;
            const char16_t* const begin = rows.text(r).utf16();
            const char16_t* stop = begin + rows.length(r);
            while (stop > begin && *(stop - 1) == u' ')
                --stop;
            const qsizetype units = stop - begin;
            const qsizetype used = out - text.constData();
            if (text.size() - used >= units + 2 && ascii::narrow(begin, units, out)) {
                out += units;
            } else {
                // Not ASCII, or longer than planned (the list changed during a yield): room for the longest
                // encoding, growing by an eighth at least so that many such rows cost few moves.
                const qsizetype needed = units * utf8BytesPerUnit + 2;
                if (text.size() - used < needed) {
                    text.resize(std::max(used + needed, text.size() + text.size() / 8));
                    out = text.data() + used;
                }
                out = encodeUtf8(begin, units, out);
            }
            *out++ = '\r';
            *out++ = '\n';
        }
    }
    text.truncate(out - text.constData());
    return text;
}

QString cellsClipboardText(const ListViewReader& list, EventPump& pump)
{
    const int columns = std::max(list.columnCount(), 0);
    const int rows = list.rowCount();

    std::vector<int> widths(static_cast<size_t>(columns), 0);
    qsizetype lineBound = 2; // CR LF; the last TAB is cut, so columns - 1 TABs remain at most
    for (int c = 0; c < columns; ++c) {
        int width = 0;
        for (int r = 0; r < rows; ++r) {
            pump.yield();
            width = std::max(width, static_cast<int>(list.text(r, c).size()));
        }
        widths[static_cast<size_t>(c)] = width;
        lineBound += width + 1;
    }

    qsizetype checkedRows = 0;
    for (int r = 0; r < rows; ++r)
        checkedRows += list.isChecked(r) ? 1 : 0;

    QString text;
    // Every line is at most its padded width, so one allocation holds the whole text.
    text.reserve(checkedRows * lineBound);
    for (int r = 0; r < rows; ++r) {
        pump.yield();
        if (!list.isChecked(r))
            continue;
        // The line is written in place into the reserved text, then cut back to its end.
        const qsizetype start = text.size();
        text.resize(start + lineBound);
        QChar* begin = text.data() + start;
        QChar* end = begin;
        for (int c = 0; c < columns; ++c) {
            pump.yield();
            const QString& field = list.text(r, c);
            const qsizetype width = widths[static_cast<size_t>(c)];
            if (field.size() > width) {
                // The list changed during a yield: the longer text goes in unpadded, with room made for it.
                const qsizetype used = end - begin;
                text.resize(text.size() + field.size());
                begin = text.data() + start;
                end = begin + used;
            }
            end = std::copy(field.cbegin(), field.cend(), end);
            end = std::fill_n(end, std::max<qsizetype>(width - field.size(), 0), QLatin1Char(' '));
            *end++ = QLatin1Char('\t');
        }
        if (columns > 0)
            --end; // the TAB after the last field
        // Only blanks of this row are stripped: every earlier line ends with CR LF.
        while (end > begin && end[-1] == QLatin1Char(' '))
            --end;
        *end++ = QLatin1Char('\r');
        *end++ = QLatin1Char('\n');
        text.truncate(start + (end - begin));
    }
    return text;
}

} // namespace

QString clipboardText(const QAbstractItemModel& listView, EventPump& pump)
{
    return cellsClipboardText(ListViewReader(listView), pump);
}

QByteArray clipboardUtf8Text(const QAbstractItemModel& listView, EventPump& pump)
{
    const ListViewReader list(listView);
    if (std::optional<TextListRows> rows = list.rowRuns(pump))
        return runsClipboardText(*rows);
    return toUtf8(cellsClipboardText(list, pump));
}

void clearClipboard(Clipboard& clipboard)
{
    retried([&] { return clipboard.clear(); });
}

bool setClipboardUtf8Text(Clipboard& clipboard, const QByteArray& text)
{
    return retried([&] { return clipboard.setUtf8Text(text); });
}

void copyListviewToClipboard(const QAbstractItemModel& listView, Clipboard& clipboard, EventPump& pump)
{
    if (listView.rowCount() == 0)
        return;
    const QByteArray text = clipboardUtf8Text(listView, pump);
    clearClipboard(clipboard);
    setClipboardUtf8Text(clipboard, text);
}

} // namespace quorvane
