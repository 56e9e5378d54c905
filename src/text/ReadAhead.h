#pragma once

#include <QByteArray>
#include <QIODevice>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace quorvane {

// Reads a device's pieces on a second thread, a few pieces ahead of the decoding, so that the system's copying
// of the file and the decoding overlap. When the next piece is not there yet and nobody is reading it, the
// decoding thread reads it itself instead of waiting for the other thread to be given a processor. One piece is
// read at a time, in order. Each piece has `roomBefore` bytes of room before it, where the caller may put what
// the piece before left over, and `roomAfter` readable bytes after it, for a decoding that looks ahead.
class ReadAhead final
{
public:
    struct Piece
    {
        char* bytes; // after roomBefore bytes of room
        qint64 got;  // 0 at the end, negative when the read failed
    };

    // Whether a device with this many bytes left is worth a second thread: only large files are, and never
    // when the fast paths are turned off.
    static bool pays(qint64 bytesLeft);

    // Starts the thread; throws std::system_error when there is none to be had.
    ReadAhead(QIODevice& device, qsizetype pieceBytes, qsizetype roomBefore, qsizetype roomAfter);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next piece. After a failed read or the end, the device is no longer read from. Throws
    // std::bad_alloc when the read of the piece ran out of memory.
    Piece next();
    // The piece that next() gave may now be read into again.
    void release();

private:
    static constexpr int slotCount = 4;

    void readNext(std::unique_lock<std::mutex>& lock);
    void run();

    QIODevice& m_device;
    const qsizetype m_pieceBytes;
    QByteArray m_slots[slotCount];
    char* m_slotBytes[slotCount] = {}; // taken once: both threads use them
    qint64 m_got[slotCount] = {};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    qint64 m_read = 0;                  // pieces read
    qint64 m_taken = 0;                 // pieces decoded
    bool m_reading = false;             // one of the threads is reading piece m_read
    bool m_ended = false;               // the last read found the end or failed
    bool m_outOfMemory[slotCount] = {}; // the piece's read ran out of memory
    bool m_stop = false;
    std::thread m_thread; // last: it starts once everything it uses is there
};

} // namespace quorvane
