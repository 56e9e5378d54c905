#pragma once

#include <QtGlobal>

namespace quorvane {

// Rows as UTF-8 bytes appended straight into a buffer its owner empties or grows.
class RowOutput
{
public:
    virtual ~RowOutput() = default;

    // A place with room for at least `bytes` more bytes; commit() takes those that were written.
    char* reserve(qsizetype bytes)
    {
        if (m_limit - m_end < bytes)
            makeRoom(bytes);
        return m_end;
    }
    void commit(char* end) { m_end = end; }
    // The room after the place reserve() returned, so that a writer can keep the place in a local and write
    // several rows before it commits them.
    qsizetype room() const { return m_limit - m_end; }

protected:
    // Makes room for `bytes` more bytes after m_end, by writing out or growing; updates the pointers.
    virtual void makeRoom(qsizetype bytes) = 0;

    char* m_begin = nullptr;
    char* m_end = nullptr; // of the bytes taken
    char* m_limit = nullptr;
};

} // namespace quorvane
