#include "TextFiles.h"

#include "Windows1252.h"
#include "core/Failure.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <optional>
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

// Collects lines from decoded text that arrives in pieces.
class LineCollector
{
public:
    enum class Rule
    {
        CrLfOnly, // only a CR LF pair ends a line
        CrLfOrLf, // a CR LF pair or a lone LF ends a line
    };

    explicit LineCollector(Rule rule) : m_rule(rule) {}

    QString& pending() { return m_pending; }

    // Takes the complete lines out of the pending text.
    void collect()
    {
        qsizetype lineStart = 0;
        const QChar* data = m_pending.constData();
        const qsizetype size = m_pending.size();
        for (qsizetype i = 0; i < size; ++i) {
            if (data[i] != u'\n')
                continue;
            const bool afterCr = i > lineStart && data[i - 1] == u'\r';
            if (m_rule == Rule::CrLfOnly && !afterCr)
                continue;
            const qsizetype end = afterCr ? i - 1 : i;
            m_lines.append(QString(data + lineStart, end - lineStart));
            lineStart = i + 1;
        }
        if (lineStart > 0)
            m_pending.remove(0, lineStart);
    }

    // A trailing terminator adds a last, empty line only under the CR LF rule.
    QStringList finish()
    {
        collect();
        if (m_rule == Rule::CrLfOnly || !m_pending.isEmpty() || m_lines.isEmpty())
            m_lines.append(m_pending);
        return std::move(m_lines);
    }

private:
    Rule m_rule;
    QString m_pending;
    QStringList m_lines;
};

// A decoder that tells whether the input ended inside a multi-byte sequence.
class Decoder final : public QStringDecoder
{
public:
    using QStringDecoder::QStringDecoder;
    bool endsInsideSequence() const { return state.remainingChars > 0; }
};

std::optional<QStringConverter::Encoding> converterFor(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Ansi:
        return std::nullopt;
    case TextEncoding::Utf8:
        return QStringConverter::Utf8;
    case TextEncoding::Utf16LE:
        return QStringConverter::Utf16LE;
    case TextEncoding::Utf16BE:
        return QStringConverter::Utf16BE;
    case TextEncoding::Utf32LE:
        return QStringConverter::Utf32LE;
    case TextEncoding::Utf32BE:
        return QStringConverter::Utf32BE;
    }
    return std::nullopt;
}

QStringList readLines(const QString& path, DetectedEncoding detected, LineCollector::Rule rule)
{
    QFile file(path);
    openForReading(file);
    if (detected.markLength > 0 && !file.seek(detected.markLength))
        throwReadError(file);

    LineCollector collector(rule);
    const auto converter = converterFor(detected.encoding);
    if (!converter) {
        forEachChunk(file, [&](QByteArrayView bytes) {
            windows1252::appendDecoded(collector.pending(), bytes);
            collector.collect();
        });
    } else {
        // The mark was skipped above; a second mark is text and stays. Invalid sequences become U+FFFD.
        Decoder decoder(*converter, QStringConverter::Flag::ConvertInitialBom);
        forEachChunk(file, [&](QByteArrayView bytes) {
            collector.pending() += decoder.decode(bytes);
            collector.collect();
        });
        // An incomplete sequence at the end of the file becomes U+FFFD.
        if (decoder.endsInsideSequence())
            collector.pending() += QChar::ReplacementCharacter;
    }
    return collector.finish();
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
        // program until memory runs out.
        if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) || S_ISSOCK(info.st_mode))
            throw Failure(QStringLiteral("Cannot open \"%1\": it is a device, not a file").arg(path));
    }
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot open \"%1\": %2").arg(file.fileName(), file.errorString()));
}

[[noreturn]] void throwReadError(const QFile& file)
{
    throw Failure(QStringLiteral("Cannot read \"%1\": %2").arg(file.fileName(), file.errorString()));
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
    QFile file(path);
    openForReading(file);
    if (file.size() <= 0)
        return emptyFileMarker;
    QString text;
    forEachChunk(file, [&](QByteArrayView bytes) { windows1252::appendDecoded(text, bytes); });
    return text;
}

QStringList readFileLines(const QString& path)
{
    const DetectedEncoding detected = textfiles_detail::detectTextEncoding(path);
    if (detected.isUtf8())
        return textfiles_detail::readUtf8Lines(path);
    return textfiles_detail::readTextStreamLines(path, detected);
}

QStringList splitAtCrLf(QStringView text)
{
    LineCollector collector(LineCollector::Rule::CrLfOnly);
    collector.pending() = text.toString();
    return collector.finish();
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

QStringList readTextStreamLines(const QString& path, DetectedEncoding encoding)
{
    return readLines(path, encoding, LineCollector::Rule::CrLfOrLf);
}

QStringList readUtf8Lines(const QString& path)
{
    return readLines(path, {TextEncoding::Utf8, 3}, LineCollector::Rule::CrLfOnly);
}

} // namespace textfiles_detail

} // namespace quorvane
