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
        for (int c = 0; c < columns; ++c) {
            pump.yield();
            const QString field = list.text(r, c);
            text += field;
            const int width = widths[static_cast<size_t>(c)];
            if (width > field.size())
                text.resize(text.size() + width - field.size(), QLatin1Char(' '));
            text += QLatin1Char('\t');
        }
        if (columns > 0)
            text.chop(1); // the TAB after the last field
        // Only blanks of this row can be stripped: every earlier line ends with CR LF.
        qsizetype end = text.size();
        while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
            --end;
        text.truncate(end);
        text += QStringLiteral("\r\n");
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
