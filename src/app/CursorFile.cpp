#include "CursorFile.h"

#include "core/Failure.h"

#include <QFile>

#include <algorithm>

namespace quorvane {

namespace {

constexpr int largestSide = 256;

class Bytes
{
public:
    explicit Bytes(const QByteArray& bytes) : m_bytes(bytes) {}

    quint32 u8(qsizetype at) const { return static_cast<unsigned char>(m_bytes.at(check(at, 1))); }
    quint32 u16(qsizetype at) const { return u8(check(at, 2)) | (u8(at + 1) << 8); }
    quint32 u32(qsizetype at) const { return u16(check(at, 4)) | (u16(at + 2) << 16); }
    qint32 s32(qsizetype at) const { return static_cast<qint32>(u32(at)); }
    qsizetype check(qsizetype at, qsizetype length) const
    {
        if (at < 0 || length < 0 || at > m_bytes.size() - length)
            throw Failure(QStringLiteral("The cursor file is truncated"));
        return at;
    }
    const QByteArray& data() const { return m_bytes; }

private:
    const QByteArray& m_bytes;
};

Failure invalid(const QString& why)
{
    return Failure(QStringLiteral("The cursor file is not valid: %1").arg(why));
}

bool bit(const Bytes& bytes, qsizetype rowStart, int x)
{
    return (bytes.u8(rowStart + x / 8) >> (7 - x % 8)) & 1;
}

QImage readBitmap(const Bytes& bytes, qsizetype offset, qsizetype length)
{
    const quint32 headerSize = bytes.u32(offset);
    if (headerSize < 40 || headerSize > quint32(length))
        throw invalid(QStringLiteral("unknown bitmap header"));
    const qint32 width = bytes.s32(offset + 4);
    const qint32 doubleHeight = bytes.s32(offset + 8);
    const quint32 bitCount = bytes.u16(offset + 14);
    const quint32 compression = bytes.u32(offset + 16);
    quint32 coloursUsed = bytes.u32(offset + 32);
    // The height counts the colour rows and the mask rows; only bottom-up bitmaps occur in cursors.
    const qint32 height = doubleHeight / 2;
    if (width <= 0 || width > largestSide || height <= 0 || height > largestSide)
        throw invalid(QStringLiteral("image size %1 x %2").arg(width).arg(height));
    if (compression != 0 || (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32))
        throw invalid(QStringLiteral("%1 bits per pixel, compression %2").arg(bitCount).arg(compression));

    qsizetype at = offset + headerSize;
    QList<QRgb> palette;
    if (bitCount <= 8) {
        const quint32 paletteSize = 1u << bitCount;
        if (coloursUsed == 0 || coloursUsed > paletteSize)
            coloursUsed = paletteSize;
        for (quint32 i = 0; i < coloursUsed; ++i, at += 4)
            palette.append(qRgb(int(bytes.u8(at + 2)), int(bytes.u8(at + 1)), int(bytes.u8(at))));
    }
    const qsizetype colourStride = ((qsizetype(width) * bitCount + 31) / 32) * 4;
    const qsizetype maskStride = ((qsizetype(width) + 31) / 32) * 4;
    const qsizetype colourStart = at;
    const qsizetype maskStart = colourStart + colourStride * height;
    bytes.check(colourStart, colourStride * height);
    const bool hasMask =
        maskStart + maskStride * height <= offset + length && maskStart + maskStride * height <= bytes.data().size();

    QImage image(width, height, QImage::Format_ARGB32);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const qsizetype row = colourStart + colourStride * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            QRgb colour = 0;
            switch (bitCount) {
            case 32:
                colour = qRgba(int(bytes.u8(row + x * 4 + 2)), int(bytes.u8(row + x * 4 + 1)),
                               int(bytes.u8(row + x * 4)), int(bytes.u8(row + x * 4 + 3)));
                anyAlpha = anyAlpha || qAlpha(colour) != 0;
                break;
            case 24:
                colour =
                    qRgb(int(bytes.u8(row + x * 3 + 2)), int(bytes.u8(row + x * 3 + 1)), int(bytes.u8(row + x * 3)));
                break;
            default: {
                const int perByte = 8 / int(bitCount);
                const quint32 byte = bytes.u8(row + x / perByte);
                const int shift = 8 - int(bitCount) * (x % perByte + 1);
                const quint32 index = (byte >> shift) & ((1u << bitCount) - 1);
                colour = index < quint32(palette.size()) ? palette[index] : qRgb(0, 0, 0);
                break;
            }
            }
            image.setPixel(x, y, colour);
        }
    }
    // Without alpha values the AND mask says which pixels let the screen through.
    if (!anyAlpha) {
        for (int y = 0; y < height; ++y) {
            const qsizetype row = maskStart + maskStride * (height - 1 - y);
            for (int x = 0; x < width; ++x) {
                const QRgb colour = image.pixel(x, y);
                const bool transparent = hasMask && bit(bytes, row, x);
                image.setPixel(x, y, transparent ? qRgba(0, 0, 0, 0) : (colour | 0xff000000u));
            }
        }
    }
    return image;
}

} // namespace

CursorImage parseCursor(const QByteArray& data)
{
    const Bytes bytes(data);
    if (data.size() < 6 || bytes.u16(0) != 0 || (bytes.u16(2) != 1 && bytes.u16(2) != 2))
        throw invalid(QStringLiteral("no cursor directory"));
    const bool isCursor = bytes.u16(2) == 2;
    const quint32 count = bytes.u16(4);
    if (count == 0)
        throw invalid(QStringLiteral("no image"));

    // The largest image; the directory's sizes use 0 for 256.
    qsizetype best = -1;
    int bestSide = -1;
    for (quint32 i = 0; i < count; ++i) {
        const qsizetype entry = 6 + qsizetype(i) * 16;
        const int side = std::max(int(bytes.u8(entry)), int(bytes.u8(entry + 1)));
        const int realSide = side == 0 ? 256 : side;
        if (realSide > bestSide) {
            bestSide = realSide;
            best = entry;
        }
    }
    const qsizetype length = bytes.u32(best + 8);
    const qsizetype offset = bytes.u32(best + 12);
    bytes.check(offset, std::min<qsizetype>(length, 8));

    CursorImage cursor;
    static const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);
    if (data.mid(offset, 8) == pngSignature) {
        bytes.check(offset, length);
        if (!cursor.image.loadFromData(data.mid(offset, length), "PNG"))
            throw invalid(QStringLiteral("unreadable PNG image"));
        cursor.image = cursor.image.convertToFormat(QImage::Format_ARGB32);
    } else {
        cursor.image = readBitmap(bytes, offset, length);
    }
    if (isCursor)
        cursor.hotspot = QPoint(int(bytes.u16(best + 4)), int(bytes.u16(best + 6)));
    else
        cursor.hotspot = QPoint(cursor.image.width() / 2, cursor.image.height() / 2);
    cursor.hotspot.setX(std::clamp(cursor.hotspot.x(), 0, cursor.image.width() - 1));
    cursor.hotspot.setY(std::clamp(cursor.hotspot.y(), 0, cursor.image.height() - 1));
    return cursor;
}

CursorImage readCursorFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    // No cursor is anywhere near this size; a larger file is not one.
    constexpr qint64 largestFile = 4 * 1024 * 1024;
    if (file.size() > largestFile)
        throw Failure(QStringLiteral("%1 is not a cursor file").arg(path));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    try {
        return parseCursor(bytes);
    } catch (const Failure& failure) {
        throw Failure(failure.description() + QStringLiteral(" (%1)").arg(path));
    }
}

} // namespace quorvane
