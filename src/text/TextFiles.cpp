#include "TextFiles.h"

#include "Windows1252.h"
#include "core/Failure.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace quorvane {

namespace {

constexpr qint64 chunkSize = 1 << 20;

// Reads the file chunk by chunk and hands each chunk's bytes to `consume`.
template <typename Consume> void forEachChunk(QFile& file, Consume&& consume)
{
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(buffer.data(), chunkSize);
        if (got < 0)
            throwReadError(file);
        if (got == 0)
            return;
        consume(QByteArrayView(buffer.constData(), got));
    }
}

constexpr qsizetype pieceSize = 256 * 1024;

TextBlock readLines(const QString& path, DetectedEncoding detected, LineBreaks breaks, qsizetype pieceBytes)
{
    QFile file(path);
    openForReading(file);
    // The mark is skipped; a second mark is text and stays.
    if (detected.markLength > 0 && !file.seek(detected.markLength))
        throwReadError(file);
    TextBlock lines;
    appendFileLines(file, detected.encoding, breaks, lines, pieceBytes);
    return lines;
}

// Whether the entry is the null device, under whatever name.
bool isNullDevice(const struct stat& info)
{
    struct stat null
    {};
    return S_ISCHR(info.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
           null.st_rdev == info.st_rdev;
}

} // namespace

void openForReading(QFile& file)
{
    const QString path = file.fileName();
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            throw Failure(QStringLiteral("Cannot open \"%1\": it is a folder, not a file").arg(path));
        // A device may never end (/dev/zero, /dev/urandom) or be a whole disk: reading it would hold the
        // program until memory runs out. The null device ends at once and reads as an empty file.
        if ((S_ISCHR(info.st_mode) && !isNullDevice(info)) || S_ISBLK(info.st_mode) || S_ISSOCK(info.st_mode))
            throw Failure(QStringLiteral("Cannot open \"%1\": it is a device, not a file").arg(path));
    }
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot open \"%1\": %2").arg(file.fileName(), file.errorString()));
}

[[noreturn]] void throwReadError(const QFile& file)
{
    throwReadError(file, file.fileName());
}

[[noreturn]] void throwReadError(const QIODevice& device, const QString& name)
{
    throw Failure(QStringLiteral("Cannot read \"%1\": %2").arg(name, device.errorString()));
}

bool fileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo::exists(path);
}

QString readWholeFile(const QString& path)
{
    if (!fileExists(path))
        return QString();
    // The length is asked before the file is opened: an empty file gives "empty file" also when it could not be
    // opened (no read permission).
    const QFileInfo info(path);
    if (info.isFile() && info.size() == 0)
        return emptyFileMarker;
    QFile file(path);
    openForReading(file);
    QString text;
    text.reserve(file.size());
    forEachChunk(file, [&](QByteArrayView bytes) { windows1252::appendDecoded(text, bytes); });
    return text;
}

TextBlock readFileLines(const QString& path)
{
    return textfiles_detail::readFileLines(path, pieceSize);
}

QStringList splitAtCrLf(QStringView text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype pair = text.indexOf(u"\r\n"); pair >= 0; pair = text.indexOf(u"\r\n", start)) {
        lines.append(text.mid(start, pair - start).toString());
        start = pair + 2;
    }
    lines.append(text.mid(start).toString());
    return lines;
}

namespace textfiles_detail {

DetectedEncoding detectTextEncoding(const QString& path)
{
    QFile file(path);
    openForReading(file);
    const qint64 length = file.size();
    unsigned char b[4] = {0, 0, 0, 0};
    if (file.read(reinterpret_cast<char*>(b), 4) < 0)
        throwReadError(file);

    if (length >= 4 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0x00 && b[3] == 0x00)
        return {TextEncoding::Utf32LE, 4};
    if (length >= 4 && b[0] == 0x00 && b[1] == 0x00 && b[2] == 0xFE && b[3] == 0xFF)
        return {TextEncoding::Utf32BE, 4};
    if (length >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
        return {TextEncoding::Utf8, 3};
    if (length >= 2 && b[0] == 0xFF && b[1] == 0xFE)
        return {TextEncoding::Utf16LE, 2};
    if (length >= 2 && b[0] == 0xFE && b[1] == 0xFF)
        return {TextEncoding::Utf16BE, 2};
    return {TextEncoding::Ansi, 0};
}

TextBlock readTextStreamLines(const QString& path, DetectedEncoding encoding, qsizetype pieceBytes)
{
    return readLines(path, encoding, LineBreaks::CrLfOrLf, pieceBytes);
}

TextBlock readUtf8Lines(const QString& path, qsizetype pieceBytes)
{
    return readLines(path, {TextEncoding::Utf8, 3}, LineBreaks::CrLfOnly, pieceBytes);
}

TextBlock readFileLines(const QString& path, qsizetype pieceBytes)
{
    const DetectedEncoding detected = detectTextEncoding(path);
    if (detected.isUtf8())
        return readUtf8Lines(path, pieceBytes);
    return readTextStreamLines(path, detected, pieceBytes);
}

} // namespace textfiles_detail

} // namespace quorvane
