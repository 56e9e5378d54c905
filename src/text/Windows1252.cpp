#include "Windows1252.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
    const qsizetype size = bytes.size();
    qsizetype i = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time: widening is the whole decoding unless a byte lies in 80..9F.
    const __m128i zero = _mm_setzero_si128();
    const __m128i highMask = _mm_set1_epi8(static_cast<char>(0xE0));
    const __m128i highValue = _mm_set1_epi8(static_cast<char>(0x80));
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(v, zero));
        unsigned high = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, highMask), highValue)));
        while (high != 0) {
            const int k = __builtin_ctz(high);
            out[i + k] = highControls[src[i + k] - 0x80];
            high &= high - 1;
        }
    }
#endif
    for (; i < size; ++i)
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
