#pragma once

#include "FileChangeWatcher.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <memory>

namespace quorvane {

// Tells, at each use of a file kept in memory, whether to read it again.
class FileChangeCheck final
{
public:
    enum class Mode
    {
        WatchWherePossible,
        LookAtEveryCall,
    };
    enum class Answer
    {
        NoFile,    // no regular file of that name: nothing to read
        Unchanged, // as at the last reading
        ReadAgain,
    };

    FileChangeCheck(const QString& folder, const QString& entryName, Mode mode);
    FileChangeCheck(const FileChangeCheck&) = delete;
    FileChangeCheck& operator=(const FileChangeCheck&) = delete;

    Answer check()
    {
        // Almost every call: watching, and nothing changed since the file was last known. Answered here,
        // without a call, since it is asked once per name.
        if (m_fileKnown && m_watcher->watching() && m_watcher->changes() == m_seenChanges)
            return m_haveReading ? Answer::Unchanged : Answer::NoFile;
        return checkFully();
    }
    // The file was read, as the last check() asked (its answer was ReadAgain).
    void fileRead();

    Mode mode() const { return m_mode; }
    // Whether changes are noticed by watching (false before the first call and where watching failed).
    bool watching() const { return m_watcher && m_watcher->watching(); }

private:
    struct FileStamp
    {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 modifiedSeconds = 0;
        qint64 modifiedNanoseconds = 0;
        qint64 changedSeconds = 0;
        qint64 changedNanoseconds = 0;
        bool operator==(const FileStamp&) const = default;
    };
    // How the last answer ReadAgain was found, for what follows its reading.
    enum class AskedBy
    {
        Looking,       // at the file, not watching
        Watching,      // a note of a change
        LookingAtLink, // while watching
    };

    Answer checkFully();
    void watch();
    void watchAgainIfDue();
    Answer lookAtFile();

    QByteArray m_encodedFolder; // as the file system wants it, made once
    QByteArray m_encodedEntryName;
    QByteArray m_encodedPath;
    Mode m_mode;
    FileStamp m_stamp;      // as of the last reading
    FileStamp m_stampAsked; // as of the last answer ReadAgain
    AskedBy m_askedBy = AskedBy::Looking;
    bool m_haveReading = false; // of the regular file there is now, as far as is known
    bool m_stampTrusted = false;
    // Watching: made at the first call; the watcher's count of changes as of the last reading.
    std::unique_ptr<FileChangeWatcher> m_watcher;
    quint64 m_seenChanges = 0;
    quint64 m_readings = 0;            // of the file, in either way
    quint64 m_readingsWhenWatched = 0; // as of the watcher's making
    bool m_watchStarted = false;       // the watcher was watching when it was made: worth making again
    // m_haveReading tells the file's state as of m_seenChanges; only ever set with a watcher there.
    bool m_fileKnown = false;
};

} // namespace quorvane
