#pragma once

#include <QAbstractItemModel>
#include <QByteArray>
#include <QString>

namespace quorvane {

class Clipboard;
class EventPump;

// How often each clipboard operation is tried before it is given up.
inline constexpr int clipboardAttempts = 1000;

// The checked rows as clipboard text: fields padded with blanks to their column's width (the longest text
// of the column in all rows, checked or not; the caption does not count) and separated by TABs, the blanks
// at the end of each line stripped, CR LF after every line. No header line. Reads any model cell by cell:
// yields once per cell of the width pass and once per row and cell of the text pass. Throws Failure when
// the list changes under it.
QString clipboardText(const QAbstractItemModel& listView, EventPump& pump);

// The same text as UTF-8, the clipboard's plain-text format on Linux; a surrogate without its partner becomes
// U+FFFD. The window's own lists (TextListModel) are read in runs of rows, with one yield per run, and their
// rows written as bytes straight away; any other model goes through clipboardText().
QByteArray clipboardUtf8Text(const QAbstractItemModel& listView, EventPump& pump);

// Empties the clipboard, trying up to clipboardAttempts times with no pause. Refusals are swallowed.
void clearClipboard(Clipboard& clipboard);
// Puts the text on the clipboard, trying up to clipboardAttempts times with no pause. Returns whether the
// text was placed; refusals are swallowed.
bool setClipboardUtf8Text(Clipboard& clipboard, const QByteArray& text);

// Copies the checked rows to the clipboard as UTF-8. An empty list leaves the clipboard as it was. The whole
// text is built before the clipboard is touched, so a failure while reading the list (thrown) leaves it
// unchanged.
void copyListviewToClipboard(const QAbstractItemModel& listView, Clipboard& clipboard, EventPump& pump);

} // namespace quorvane
