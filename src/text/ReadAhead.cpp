#include "ReadAhead.h"

#include "core/ProcessorFeatures.h"

#include <new>

namespace quorvane {

namespace {

// Files at least this large are read ahead; for smaller ones starting a thread costs more than it saves.
constexpr qint64 readAheadBytes = 2 * 1024 * 1024;

} // namespace

bool ReadAhead::pays(qint64 bytesLeft)
{
    return bytesLeft >= readAheadBytes && !processor::portableOnly();
}

ReadAhead::ReadAhead(QIODevice& device, qsizetype pieceBytes, qsizetype roomBefore, qsizetype roomAfter)
    : m_device(device), m_pieceBytes(pieceBytes)
{
    for (int i = 0; i < slotCount; ++i) {
        m_slots[i] = QByteArray(roomBefore + pieceBytes + roomAfter, Qt::Uninitialized);
        m_slotBytes[i] = m_slots[i].data() + roomBefore;
    }
    m_thread = std::thread([this] { run(); });
}

ReadAhead::~ReadAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

ReadAhead::Piece ReadAhead::next()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_read > m_taken)
            break;
        if (!m_reading) {
            readNext(lock); // all pieces before it are decoded: every slot is free
            break;
        }
        m_changed.wait(lock);
    }
    const qsizetype slot = qsizetype(m_taken % slotCount);
    if (m_outOfMemory[slot])
        throw std::bad_alloc();
    return {m_slotBytes[slot], m_got[slot]};
}

void ReadAhead::release()
{
    {
        const std::lock_guard lock(m_mutex);
        ++m_taken;
    }
    m_changed.notify_all();
}

// Reads piece m_read, with the lock held on entry and on return but not while reading.
void ReadAhead::readNext(std::unique_lock<std::mutex>& lock)
{
    const qint64 piece = m_read;
    m_reading = true;
    lock.unlock();
    const qsizetype slot = qsizetype(piece % slotCount);
    qint64 got = -1;
    bool outOfMemory = false;
    try {
        got = m_device.read(m_slotBytes[slot], m_pieceBytes);
    } catch (const std::bad_alloc&) {
        outOfMemory = true; // told to the decoding thread, which reports it
    }
    lock.lock();
    m_outOfMemory[slot] = outOfMemory;
    m_got[slot] = got;
    m_read = piece + 1;
    m_reading = false;
    m_ended = got <= 0;
    m_changed.notify_all();
}

void ReadAhead::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stop || m_ended || (!m_reading && m_read - m_taken < slotCount); });
        if (m_stop || m_ended)
            return;
        readNext(lock);
    }
}

} // namespace quorvane
