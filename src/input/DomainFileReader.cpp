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

DomainFileReader::DomainFileReader(const QString& path, qsizetype chunkBytes)
    : m_ownedFile(std::make_unique<QFile>(path)), m_device(m_ownedFile.get()), m_displayName(path),
      m_buffer(std::max<qsizetype>(chunkBytes, 1), Qt::Uninitialized)
{
    openForReading(*m_ownedFile);
}

DomainFileReader::DomainFileReader(QIODevice& device, QString displayName, qsizetype chunkBytes)
    : m_device(&device), m_displayName(std::move(displayName)),
      m_buffer(std::max<qsizetype>(chunkBytes, 1), Qt::Uninitialized)
{}

DomainFileReader::~DomainFileReader() = default;

bool DomainFileReader::fillBuffer()
{
    if (m_atEnd)
        return false;
    const qint64 got = m_device->read(m_buffer.data(), m_buffer.size());
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
                      .arg(QString::number(m_names + 1), m_displayName, QString::number(maxNameLength)));
}

bool DomainFileReader::appendName(QString& text)
{
    const qsizetype nameStart = text.size();
    bool started = false; // bytes of this name were seen, possibly in an earlier chunk
    for (;;) {
        if (m_position == m_end && !fillBuffer())
            return started; // a name without terminator at the end of the file; a bare end adds nothing
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
        if (text.size() - nameStart + (stop - begin) > maxNameLength)
            overflow(text, nameStart);
        windows1252::appendDecoded(text, QByteArrayView(begin, stop - begin));
        started = true;
        if (stop == data + m_end) {
            m_position = m_end;
            continue;
        }
        m_skipLineFeed = *stop == '\r';
        m_position = stop - data + 1;
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
