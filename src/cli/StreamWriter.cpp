#include "StreamWriter.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace quorvane {

StreamWriter::StreamWriter(int descriptor) : m_descriptor(descriptor), m_buffer(new char[bufferBytes])
{
    m_begin = m_end = m_buffer.get();
    m_limit = m_begin + bufferBytes;
}

StreamWriter::~StreamWriter()
{
    flush();
}

void StreamWriter::makeRoom(qsizetype bytes)
{
    flush();
    if (m_limit - m_begin >= bytes)
        return;
    // One row longer than the buffer: room for it alone, written out with the next flush.
    m_buffer.reset(new char[static_cast<std::size_t>(bytes)]);
    m_begin = m_end = m_buffer.get();
    m_limit = m_begin + bytes;
}

bool StreamWriter::flush()
{
    const qsizetype size = m_end - m_begin;
    m_end = m_begin; // written or, after a failure, dropped
    return writeOut(m_begin, size);
}

bool StreamWriter::write(const char* data, qsizetype size)
{
    return flush() && writeOut(data, size);
}

bool StreamWriter::writeOut(const char* data, qsizetype size)
{
    if (failed())
        return false;
    while (size > 0) {
        const ssize_t written = ::write(m_descriptor, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            m_error =
                QStringLiteral("Cannot write to standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace quorvane
