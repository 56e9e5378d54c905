#pragma once

#include <QString>
#include <QStringList>

namespace quorvane {

class Prompter;
class TextListModel;

// Appends one DomainList entry per name of the domain file at `path`, in one insertion: Windows-1252 text,
// CR LF, a lone CR and a lone LF each end a name, an empty line is an empty entry. A path that does not exist
// shows "File not found" and adds nothing; a named pipe, a socket, a device or any other file that is not a
// plain file is refused with Failure ("Cannot open "…": it is a named pipe, not a file") before it is opened. When the
// file cannot be opened or fails midway, the names read before stay appended and Failure is thrown with the path and
// the system's reason. The file is closed in every case.
void addFileLinesToList(TextListModel& list, const QString& path, Prompter& prompter);

// The entry that "Add Domain Name" makes of a typed text without a comma: its blank-separated words, each
// followed by one blank, with ", " in place of that blank after the word just before the last piece (only
// when that piece is not empty). Empty when the text has no words.
QString domainEntryFromWords(const QString& typed);

// The four names that "Load Sample/Example Domains" adds, in order.
QStringList sampleDomains();

} // namespace quorvane
