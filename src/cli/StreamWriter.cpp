#include "StreamWriter.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace quorvane {

StreamWriter::~StreamWriter()
{
    flush();
}

void StreamWriter::writeLine(QStringView row)
{
    if (failed())
        return;
    const qsizetype start = m_buffer.size();
    m_buffer.resize(start + row.size());
    char* out = m_buffer.data() + start;
    for (qsizetype i = 0; i < row.size(); ++i) {
        const char16_t unit = row[i].unicode();
        if (unit >= 0x80) {
            // Not plain ASCII: let Qt encode the whole row (surrogate pairs, invalid halves).
            m_buffer.resize(start);
            m_buffer += row.toUtf8();
            break;
        }
        out[i] = static_cast<char>(unit);
    }
    m_buffer += '\n';
    if (m_buffer.size() >= bufferBytes)
        flush();
}

bool StreamWriter::flush()
{
    if (failed())
        return false;
    const char* data = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0) {
        const ssize_t written = ::write(m_descriptor, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            m_error =
                QStringLiteral("Cannot write to standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            m_buffer.clear();
            return false;
        }
        data += written;
        left -= written;
    }
    m_buffer.clear();
    return true;
}

} // namespace quorvane
