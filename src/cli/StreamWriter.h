#pragma once

#include "run/RowOutput.h"

#include <QString>

#include <memory>

namespace quorvane {

// Buffered output of rows to a file descriptor, written in large blocks.
class StreamWriter final : public RowOutput
{
public:
    explicit StreamWriter(int descriptor);
    ~StreamWriter() override;
    StreamWriter(const StreamWriter&) = delete;
    StreamWriter& operator=(const StreamWriter&) = delete;

    // Writes out what is buffered; false when writing failed, now or before. After a failed write (a full
    // disk, a closed pipe) further rows are dropped.
    bool flush();

    // Writes out what is buffered, then `size` bytes from `data` as they are; false as flush().
    bool write(const char* data, qsizetype size);

    bool failed() const { return !m_error.isEmpty(); }
    // What went wrong, with the system's reason; empty while nothing did.
    const QString& error() const { return m_error; }

protected:
    void makeRoom(qsizetype bytes) override;

private:
    bool writeOut(const char* data, qsizetype size);

    static constexpr qsizetype bufferBytes = 256 * 1024;

    int m_descriptor;
    std::unique_ptr<char[]> m_buffer;
    QString m_error;
};

} // namespace quorvane
