#pragma once

#include "run/RowOutput.h"

#include <QByteArray>

#include <algorithm>

namespace quorvane {

// Rows written into a buffer of a given room, emptied into one array whenever a writer asks for more: a small room
// makes rows often find it full or not fit at all. Each new buffer is filled with `stale` bytes, which no row may
// keep.
class CollectedRows final : public RowOutput
{
public:
    explicit CollectedRows(qsizetype room, char stale = '#') : m_room(room), m_stale(stale) { makeRoom(0); }
    QByteArray bytes()
    {
        makeRoom(0);
        return m_bytes;
    }

protected:
    void makeRoom(qsizetype bytes) override
    {
        m_bytes.append(m_buffer.constData(), m_end - m_begin);
        m_buffer = QByteArray(std::max(m_room, bytes), m_stale);
        m_begin = m_end = m_buffer.data();
        m_limit = m_begin + m_buffer.size();
    }

private:
    qsizetype m_room;
    char m_stale;
    QByteArray m_buffer;
    QByteArray m_bytes;
};

} // namespace quorvane
