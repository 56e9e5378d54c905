#include "DomainFileReader.h"

#include "core/Failure.h"
#include "text/LineDecoder.h"
#include "text/TextFiles.h"
#include "text/Windows1252.h"

#include <algorithm>

namespace quorvane {

namespace {

// The first CR or LF in [begin, end), or end.
const char* findBreak(const char* begin, const char* end)
{
    return std::find_if(begin, end, [](char c) { return c == '\r' || c == '\n'; });
}

} // namespace

DomainFileReader::DomainFileReader(const QString& path, qsizetype chunkBytes, NameEncoding encoding)
    : m_ownedFile(std::make_unique<QFile>(path)), m_device(m_ownedFile.get()), m_displayName(path),
      m_buffer(std::max<qsizetype>(chunkBytes, 4), Qt::Uninitialized), m_encoding(encoding)
{
    openForReading(*m_ownedFile);
}

DomainFileReader::DomainFileReader(QIODevice& device, QString displayName, qsizetype chunkBytes, NameEncoding encoding)
    : m_device(&device), m_displayName(std::move(displayName)),
      m_buffer(std::max<qsizetype>(chunkBytes, 4), Qt::Uninitialized), m_encoding(encoding)
{}

qint64 DomainFileReader::readChunk()
{
    if (!m_utf16) {
        const qint64 got = m_device->read(m_buffer.data(), m_buffer.size());
        m_bytesRead += std::max<qint64>(got, 0);
        if (got <= 0 || m_encoding == NameEncoding::Windows1252 || m_markChecked)
            return got;
        m_markChecked = true;
        // A mark is looked for in the first chunk: a device that gives fewer bytes at first is read on.
        qint64 total = got;
        while (total < 3 && total < m_buffer.size()) {
            const qint64 more = m_device->read(m_buffer.data() + total, m_buffer.size() - total);
            if (more <= 0)
                break;
            m_bytesRead += more;
            total += more;
        }
        const auto bytes = reinterpret_cast<const unsigned char*>(m_buffer.constData());
        if (total >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            m_buffer.remove(0, 3);
            m_buffer.resize(std::max<qsizetype>(m_buffer.size() + 3, 4));
            return total - 3;
        }
        if (total < 2 || !((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF)))
            return total;
        m_utf16.emplace(bytes[0] == 0xFF ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        m_raw = QByteArray(m_buffer.constData() + 2, total - 2);
    } else {
        m_raw.resize(m_buffer.size());
        const qint64 got = m_device->read(m_raw.data(), m_raw.size());
        if (got <= 0)
            return got;
        m_bytesRead += got;
        m_raw.truncate(got);
    }
    const QByteArray utf8 = QString(m_utf16->decode(m_raw)).toUtf8();
    if (utf8.size() > m_buffer.size())
        m_buffer.resize(utf8.size());
    std::copy(utf8.begin(), utf8.end(), m_buffer.begin());
    // A chunk that ends inside a character gives nothing yet: read on.
    return utf8.isEmpty() ? readChunk() : utf8.size();
}

void DomainFileReader::appendBytes(QString& text, const char* begin, const char* end)
{
    // ASCII reads the same in both encodings: only a line's other bytes wait for the line's end.
    const bool ascii = m_lineBytes.isEmpty() && std::all_of(begin, end, [](char c) { return (c & 0x80) == 0; });
    if (m_encoding == NameEncoding::Windows1252 || ascii)
        windows1252::appendDecoded(text, QByteArrayView(begin, end - begin));
    else
        m_lineBytes.append(begin, end - begin);
}

bool DomainFileReader::endLine(QString& text, qsizetype nameStart)
{
    ++m_lines;
    if (m_encoding == NameEncoding::Windows1252 || m_lineBytes.isEmpty())
        return true;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(m_lineBytes);
    m_lineBytes.resize(0);
    if (decoder.hasError()) {
        text.truncate(nameStart);
        m_skipped.append(QStringLiteral("line %1 of \"%2\" is not valid UTF-8 and was skipped (--encoding "
                                        "windows-1252 reads 8-bit files)")
                             .arg(QString::number(m_lines), m_displayName));
        return false;
    }
    text += decoded;
    return true;
}

DomainFileReader::~DomainFileReader() = default;

bool DomainFileReader::fillBuffer()
{
    if (m_atEnd)
        return false;
    const qint64 got = readChunk();
    if (got < 0) {
        if (m_ownedFile)
            throwReadError(*m_ownedFile);
        throw Failure(QStringLiteral("Cannot read \"%1\": %2").arg(m_displayName, m_device->errorString()));
    }
    m_position = 0;
    m_end = got;
    if (got == 0)
        m_atEnd = true;
    return got > 0;
}

bool DomainFileReader::readName(QString& name)
{
    // Emptied, not released: a caller that copies each name out lets the reader reuse one buffer.
    name.resize(0);
    if (!appendName(name))
        return false;
    // A name that grew over several chunks may hold far more capacity than text.
    if (name.capacity() > 2 * name.size() + 64)
        name.squeeze();
    return true;
}

void DomainFileReader::overflow(QString& text, qsizetype nameStart)
{
    text.truncate(nameStart);
    m_atEnd = true;
    m_position = m_end = 0;
    throw Failure(QStringLiteral("Overflow: line %1 of \"%2\" is longer than %3 characters, too long for a name; the "
                                 "rest of \"%2\" is not read.")
                      .arg(QString::number(m_lines + 1), m_displayName, QString::number(maxNameLength)));
}

bool DomainFileReader::appendName(QString& text)
{
    const qsizetype nameStart = text.size();
    bool started = false; // bytes of this name were seen, possibly in an earlier chunk
    for (;;) {
        if (m_position == m_end && !fillBuffer()) {
            // A name without terminator at the end of the file; a bare end adds nothing.
            if (started && !endLine(text, nameStart))
                return false;
            return started;
        }
        const char* data = m_buffer.constData();
        if (m_skipLineFeed) {
            m_skipLineFeed = false;
            if (data[m_position] == '\n') {
                ++m_position;
                continue;
            }
        }
        const char* begin = data + m_position;
        const char* stop = findBreak(begin, data + m_end);
        if (text.size() + m_lineBytes.size() - nameStart + (stop - begin) > maxNameLength) {
            m_lineBytes.clear();
            overflow(text, nameStart);
        }
        appendBytes(text, begin, stop);
        started = true;
        if (stop == data + m_end) {
            m_position = m_end;
            continue;
        }
        m_skipLineFeed = *stop == '\r';
        m_position = stop - data + 1;
        if (!endLine(text, nameStart)) {
            started = false;
            continue;
        }
        ++m_names;
        return true;
    }
}

void DomainFileReader::appendAllNames(const QString& path, TextBlock& names, qsizetype pieceBytes)
{
    QFile file(path);
    openForReading(file);
    appendFileLines(file, TextEncoding::Ansi, LineBreaks::CrLfCrOrLf, names, pieceBytes);
}

QStringList DomainFileReader::readAllNames(const QString& path)
{
    QStringList names;
    forEachName(path, [&](const QString& name) { names.append(name); });
    return names;
}

} // namespace quorvane
