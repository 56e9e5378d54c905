#include "ClipboardCopy.h"

#include "Clipboard.h"
#include "ListViewReader.h"
#include "TextListRows.h"
#include "core/EventPump.h"

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

// The clipboard text of a TextListModel, read run by run. With its one column a line is the row's text
// without its trailing blanks (the padding and the TAB are cut again), then CR LF, so no widths are needed.
QString textListClipboardText(const TextListModel& list, EventPump& pump)
{
    TextListRows rows(list, pump);
    // Room for every checked row's text and CR LF. Only the check marks are read row by row: a stretch of
    // checked rows takes the characters from its first row's start to its last row's end.
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

    QString text;
    text.resize(room);
    QChar* out = text.data();
    for (int first = 0; first < rows.count(); first = rows.runEnd(first)) {
        const int end = rows.runEnd(first);
        rows.beginRun(first, end);
        for (int r = first; r < end; ++r) {
            if (!rows.isChecked(r))
                continue;
            const QChar* const begin = rows.characters() + rows.begin(r);
            const QChar* stop = rows.characters() + rows.end(r);
            while (stop > begin && *(stop - 1) == QLatin1Char(' '))
                --stop;
            const qsizetype used = out - text.constData();
            if (text.size() - used < (stop - begin) + 2) {
                // The list changed during a yield: more room for the longer texts.
                text.resize(std::max(used + (stop - begin) + 2, 2 * text.size()));
                out = text.data() + used;
            }
            out = std::copy(begin, stop, out);
            *out++ = QLatin1Char('\r');
            *out++ = QLatin1Char('\n');
        }
    }
    text.truncate(out - text.constData());
    return text;
}

} // namespace

QString clipboardText(const QAbstractItemModel& listView, EventPump& pump)
{
    if (const auto* textList = qobject_cast<const TextListModel*>(&listView))
        return textListClipboardText(*textList, pump);

    const ListViewReader list(listView);
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

void clearClipboard(Clipboard& clipboard)
{
    retried([&] { return clipboard.clear(); });
}

bool setClipboardText(Clipboard& clipboard, const QString& text)
{
    return retried([&] { return clipboard.setText(text); });
}

void copyListviewToClipboard(const QAbstractItemModel& listView, Clipboard& clipboard, EventPump& pump)
{
    if (listView.rowCount() == 0)
        return;
    const QString text = clipboardText(listView, pump);
    clearClipboard(clipboard);
    setClipboardText(clipboard, text);
}

} // namespace quorvane
