#include "Windows1252.h"

namespace quorvane::windows1252 {

namespace {

// The byte of a character, or -1 when the code page has none.
int byteOf(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return unit;
    for (std::size_t i = 0; i < highControls.size(); ++i) {
        if (highControls[i] == unit)
            return int(0x80 + i);
    }
    return -1;
}

char encodeUnit(char16_t unit)
{
    const int byte = byteOf(unit);
    return byte < 0 ? '?' : static_cast<char>(byte);
}

} // namespace

void decodeInto(char16_t* out, QByteArrayView bytes)
{
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = character(src[i]);
}

void appendDecoded(QString& out, QByteArrayView bytes)
{
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    decodeInto(reinterpret_cast<char16_t*>(out.data()) + start, bytes);
}

QString decode(QByteArrayView bytes)
{
    QString text;
    appendDecoded(text, bytes);
    return text;
}

void appendEncoded(QByteArray& out, QStringView text)
{
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char* dest = out.data() + start;
    for (qsizetype i = 0; i < text.size(); ++i)
        dest[i] = encodeUnit(text[i].unicode());
}

bool encodeExactly(QStringView text, char* out)
{
    const char16_t* const units = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = units[i];
        if (unit < 0x80) {
            out[i] = static_cast<char>(unit);
            continue;
        }
        const int byte = byteOf(unit);
        if (byte < 0)
            return false;
        out[i] = static_cast<char>(byte);
    }
    return true;
}

QByteArray encode(QStringView text)
{
    QByteArray bytes;
    appendEncoded(bytes, text);
    return bytes;
}

} // namespace quorvane::windows1252
