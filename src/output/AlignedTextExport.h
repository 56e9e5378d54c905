#pragma once

#include <QAbstractItemModel>
#include <QString>

namespace quorvane {

class EventPump;
class ProgressIndicator;
class Prompter;

// The part of a path after its last "/", or the whole path when it has none (the empty string when the
// path ends with "/"). A backslash is an ordinary file-name character on Linux, so it does not split.
QString fileNameFromPath(const QString& path);

// Writes the list view as a column-aligned table: a header line of the column captions, then one line per
// checked row. Every field is padded with blanks to its column's width (the longest of its caption and
// its texts in all rows, checked or not) and followed by a TAB; every line ends with CR LF; the text is
// Windows-1252, with "?" for a character it cannot hold. `progress` may be null.
//
// The lines go to a temporary file beside the target, which replaces the target only once every line is
// written, so a failure leaves an existing file as it was. The writer runs under its own error trap: the
// first failure (the file cannot be created or written, the list changes under it) is reported once, and
// the export ends there. Nothing is passed to the caller. Yields to the event queue once per cell; the
// window's own lists (TextListModel) are read in runs of rows instead, with a yield and one progress report
// per run.
void saveListviewProperlySpaced(const QAbstractItemModel& listView, const QString& path, ProgressIndicator* progress,
                                EventPump& pump, Prompter& prompter);

} // namespace quorvane
