#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Windows-1252, the 8-bit code page of every file that is read or written as 8-bit text.
namespace quorvane::windows1252 {

// Every byte decodes to one character; the five bytes the code page leaves undefined (81, 8D, 8F, 90,
// 9D) decode to the C1 control of the same value.
QString decode(QByteArrayView bytes);
void appendDecoded(QString& out, QByteArrayView bytes);

// One byte per UTF-16 unit; a character the code page cannot hold becomes "?".
QByteArray encode(QStringView text);
void appendEncoded(QByteArray& out, QStringView text);

} // namespace quorvane::windows1252
