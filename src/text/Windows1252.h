#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>

// Windows-1252, the 8-bit code page of every file that is read or written as 8-bit text.
namespace quorvane::windows1252 {

// Bytes 80..9F; every other byte is the character of the same value. The five bytes the code page leaves
// undefined (81, 8D, 8F, 90, 9D) map to the C1 control of the same value.
inline constexpr std::array<char16_t, 32> highControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

inline char16_t character(unsigned char byte)
{
    return byte >= 0x80 && byte <= 0x9F ? highControls[byte - 0x80] : char16_t(byte);
}

// Every byte decodes to one character.
QString decode(QByteArrayView bytes);
void appendDecoded(QString& out, QByteArrayView bytes);
// Writes the characters of `bytes` at `out`, which has room for bytes.size() characters.
void decodeInto(char16_t* out, QByteArrayView bytes);

// One byte per UTF-16 unit; a character the code page cannot hold becomes "?".
QByteArray encode(QStringView text);
void appendEncoded(QByteArray& out, QStringView text);
// Writes the bytes of `text` at `out`, which has room for text.size() bytes, and tells whether the code page
// holds every character; at the first one it does not hold it stops and returns false.
bool encodeExactly(QStringView text, char* out);

} // namespace quorvane::windows1252
