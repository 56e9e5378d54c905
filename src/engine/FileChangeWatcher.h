#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <atomic>
#include <thread>

namespace quorvane {

// Notices changes to one entry of a folder: the entry created, written, replaced, renamed or removed, the file
// it names written through another name of it (a hard link elsewhere), and the folder itself moved or
// removed. A thread of its own waits for the kernel's notes and counts them, so that asking whether anything
// changed costs one load, not a system call: a change is seen by the first question after that thread has
// taken the kernel's note (a matter of microseconds). No signal is used.
//
// Only on local file systems, on which the kernel notes every change; elsewhere, or once the notes fail (the
// folder gone, no more watches to be had), watching() is false and the owner must look at the file itself.
class FileChangeWatcher final
{
public:
    // Paths as the file system wants them.
    FileChangeWatcher(QByteArray folder, QByteArray entryName);
    ~FileChangeWatcher();
    FileChangeWatcher(const FileChangeWatcher&) = delete;
    FileChangeWatcher& operator=(const FileChangeWatcher&) = delete;

    bool watching() const { return m_watching.load(std::memory_order_acquire); }
    // A count that moves on after every change noticed, and when watching stops. Read it before looking at the
    // file: a change made while looking moves it again.
    quint64 changes() const { return m_changes.load(std::memory_order_acquire); }

private:
    void run();
    bool watchFolder();
    bool watchEntry();
    void fail();

    QByteArray m_folder;
    QByteArray m_entryName;
    QByteArray m_entryPath;
    int m_notes = -1; // the kernel's queue of notes
    int m_stop = -1;  // tells the thread to end
    int m_folderWatch = -1;
    int m_entryWatch = -1;
    std::atomic<bool> m_watching{false};
    std::atomic<quint64> m_changes{0};
    std::thread m_thread;
};

} // namespace quorvane
