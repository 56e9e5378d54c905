#include "ClipboardCopy.h"

#include "Clipboard.h"
#include "ListViewReader.h"
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

} // namespace

QString clipboardText(const QAbstractItemModel& listView, EventPump& pump)
{
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
