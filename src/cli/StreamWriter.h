#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace quorvane {

// Buffered UTF-8 output to a file descriptor, one row per line ended by LF.
class StreamWriter final
{
public:
    explicit StreamWriter(int descriptor) : m_descriptor(descriptor) { m_buffer.reserve(bufferBytes + 1024); }
    ~StreamWriter();
    StreamWriter(const StreamWriter&) = delete;
    StreamWriter& operator=(const StreamWriter&) = delete;

    // Appends the row and an LF. After a failed write (a full disk, a closed pipe) rows are dropped.
    void writeLine(QStringView row);
    // Writes out what is buffered; false when writing failed, now or before.
    bool flush();

    bool failed() const { return !m_error.isEmpty(); }
    // What went wrong, with the system's reason; empty while nothing did.
    const QString& error() const { return m_error; }

private:
    static constexpr qsizetype bufferBytes = 256 * 1024;

    int m_descriptor;
    QByteArray m_buffer;
    QString m_error;
};

} // namespace quorvane
