#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <atomic>
#include <thread>

namespace quorvane {

// Counts the kernel's notes of changes to one entry of a folder, on a thread.
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
