#pragma once

#include "LineDecoder.h"
#include "text/TextBlock.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <QStringView>

// Reading text files: line by line with the decoding chosen by the byte-order mark, whole as 8-bit text,
// and the presence test for paths. Failures throw quorvane::Failure with the path and the system's reason.
namespace quorvane {

// Text that readWholeFile returns for an existing file of length 0.
inline const QString emptyFileMarker = QStringLiteral("empty file");

// True when the path names an existing file-system entry (file or folder). Never fails.
bool fileExists(const QString& path);

// The whole file, one character per byte (Windows-1252), terminators and any byte-order mark included;
// "empty file" for an existing empty file; the empty string when the path does not exist.
// Throws when the file exists but cannot be opened or read.
QString readWholeFile(const QString& path);

// The file's lines without their terminators, never fewer than one. The first bytes choose the reading:
// a UTF-8 mark gives UTF-8 text cut only at CR LF (a trailing CR LF gives a last, empty line); a UTF-16 or
// UTF-32 mark gives text of that form, and no mark gives Windows-1252 text; these two cut at CR LF and at
// a lone LF, and a terminator at the very end adds no line. The lines come end to end in one block.
// Throws when the file cannot be opened or read.
TextBlock readFileLines(const QString& path);

// Opens the file for reading. Throws Failure naming the path and the system's reason when it cannot be
// opened, also when the path names a folder or a device (a pipe is read; the null device reads as empty).
void openForReading(QFile& file);
// Throws Failure naming the file and the system's reason for a failed read.
[[noreturn]] void throwReadError(const QFile& file);
[[noreturn]] void throwReadError(const QIODevice& device, const QString& name);

// Cuts the text at every CR LF pair; n pairs give n + 1 lines.
QStringList splitAtCrLf(QStringView text);

struct DetectedEncoding
{
    TextEncoding encoding = TextEncoding::Ansi;
    int markLength = 0; // bytes of the byte-order mark, which are not part of the text

    bool isUnicode() const { return encoding != TextEncoding::Ansi && encoding != TextEncoding::Utf8; }
    bool isUtf8() const { return encoding == TextEncoding::Utf8; }
};

namespace textfiles_detail {
DetectedEncoding detectTextEncoding(const QString& path);
TextBlock readTextStreamLines(const QString& path, DetectedEncoding encoding, qsizetype pieceBytes);
TextBlock readUtf8Lines(const QString& path, qsizetype pieceBytes);
// readFileLines reading the file in pieces of `pieceBytes`.
TextBlock readFileLines(const QString& path, qsizetype pieceBytes);
} // namespace textfiles_detail

} // namespace quorvane
