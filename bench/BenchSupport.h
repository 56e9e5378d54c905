#pragma once

#include "run/RowOutput.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace quorvane {
class WordDictionary;
}

namespace quorvane::bench {

// Seconds since construction, on a steady clock.
class Stopwatch
{
public:
    double seconds() const { return std::chrono::duration<double>(Clock::now() - m_start).count(); }
    void restart() { m_start = Clock::now(); }

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point m_start = Clock::now();
};

// Peak resident memory of this process so far, in MiB (VmHWM).
double peakMemoryMiB();
// Resets the peak so that the next reading covers only what follows (writes /proc/self/clear_refs).
void resetPeakMemory();
// Current resident memory in MiB (VmRSS).
double currentMemoryMiB();

// Reads the file's bytes with plain buffered reads and returns the byte count: the I/O floor.
qint64 readRaw(const QString& path);

// Seconds to take `bytes` of new memory into a text block and write every byte once: the least that decoding
// into that much memory costs, whatever the decoder (the system hands out new memory cleared, page by page).
double freshMemorySeconds(qint64 bytes);

// The corpus of names: `argument` when given, else $QUORVANE_CORPUS, else the quality corpus beside the sources.
QString corpusPath(const char* argument);
// The names the engine's benchmarks split: each line of the corpus with its blanks removed (its words joined),
// ".com" added to every other one, repeated to `wanted` names.
QStringList corpusNames(const QString& path, qsizetype wanted);

// Processor time of this process, beside the wall clock: on a shared machine the wall clock also counts the time
// other programs held the processor.
double processSeconds();
// Processor time (user and system) of the children waited for so far.
struct ChildTimes
{
    double user = 0;
    double system = 0;
};
ChildTimes childrenTimes();

// Word list #1 from dbWords.mdb in the application folder into the dictionary; messages go to standard error.
void loadDatabaseWords(const QString& applicationFolder, WordDictionary& dictionary);

// Rows kept in memory, emptied when full: the engine's work without the writing out.
class DiscardedRows final : public RowOutput
{
public:
    DiscardedRows() : m_storage(1 << 20, '\0') { reset(); }
    qint64 bytes() const { return m_bytes + (m_end - m_begin); }

protected:
    void makeRoom(qsizetype bytes) override
    {
        m_bytes += m_end - m_begin;
        if (bytes > m_storage.size())
            m_storage.resize(bytes);
        reset();
    }

private:
    void reset()
    {
        m_begin = m_storage.data();
        m_end = m_begin;
        m_limit = m_begin + m_storage.size();
    }
    QByteArray m_storage;
    qint64 m_bytes = 0;
};

} // namespace quorvane::bench
