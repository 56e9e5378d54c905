#include "FileChangeCheck.h"

#include <QFile>

#include <algorithm>
#include <sys/stat.h>
#include <time.h>

namespace quorvane {

namespace {

// A file whose change times are closer to now than this may still change without changing them.
constexpr qint64 stampSettleSeconds = 3;

} // namespace

FileChangeCheck::FileChangeCheck(const QString& folder, const QString& entryName, Mode mode)
    : m_encodedFolder(QFile::encodeName(folder.isEmpty() ? QStringLiteral("/") : folder)),
      m_encodedEntryName(QFile::encodeName(entryName)),
      m_encodedPath(QFile::encodeName(folder + QLatin1Char('/') + entryName)), m_mode(mode)
{}

void FileChangeCheck::watch()
{
    m_watcher.reset();
    m_watcher = std::make_unique<FileChangeWatcher>(m_encodedFolder, m_encodedEntryName);
    m_readingsWhenWatched = m_readings;
    m_watchStarted = m_watcher->watching();
    m_fileKnown = false;
}

// Watching stopped (the folder was replaced, say): it starts again once a look has found a change.
void FileChangeCheck::watchAgainIfDue()
{
    if (m_watchStarted && m_readings != m_readingsWhenWatched)
        watch();
}

FileChangeCheck::Answer FileChangeCheck::checkFully()
{
    if (m_mode == Mode::WatchWherePossible && !m_watcher)
        watch();
    if (!m_watcher || !m_watcher->watching()) {
        m_askedBy = AskedBy::Looking;
        const Answer answer = lookAtFile();
        if (answer != Answer::ReadAgain)
            watchAgainIfDue(); // else once the reading is done
        return answer;
    }
    // Read before the file is: a change made while it is read moves the count on again.
    const quint64 changes = m_watcher->changes();
    if (changes != m_seenChanges)
        m_fileKnown = false;
    if (m_fileKnown)
        return m_haveReading ? Answer::Unchanged : Answer::NoFile;
    m_seenChanges = changes;

    struct stat link
    {};
    if (::lstat(m_encodedPath.constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
        m_askedBy = AskedBy::LookingAtLink;
        return lookAtFile(); // a link's target may change in folders not watched: look at it every time
    }
    m_askedBy = AskedBy::Watching;
    m_haveReading = false; // read afresh
    const Answer answer = lookAtFile();
    if (answer == Answer::NoFile)
        m_fileKnown = true;
    return answer;
}

FileChangeCheck::Answer FileChangeCheck::lookAtFile()
{
    struct stat info
    {};
    if (::stat(m_encodedPath.constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        m_haveReading = false; // absent (or not a regular file): nothing to read
        return Answer::NoFile;
    }
    FileStamp stamp;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modifiedSeconds = info.st_mtim.tv_sec;
    stamp.modifiedNanoseconds = info.st_mtim.tv_nsec;
    stamp.changedSeconds = info.st_ctim.tv_sec;
    stamp.changedNanoseconds = info.st_ctim.tv_nsec;
    if (m_haveReading && m_stampTrusted && stamp == m_stamp)
        return Answer::Unchanged;
    m_haveReading = false; // until the reading is told of: a failed reading is tried again next time
    m_stampAsked = stamp;
    return Answer::ReadAgain;
}

void FileChangeCheck::fileRead()
{
    ++m_readings;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const qint64 newest = std::max(m_stampAsked.modifiedSeconds, m_stampAsked.changedSeconds);
    m_stampTrusted = newest + stampSettleSeconds < now.tv_sec;
    m_stamp = m_stampAsked;
    m_haveReading = true;
    switch (m_askedBy) {
    case AskedBy::Looking:
        watchAgainIfDue();
        break;
    case AskedBy::Watching:
        m_fileKnown = true; // only once the reading succeeded: a failed reading is tried again next time
        break;
    case AskedBy::LookingAtLink:
        break;
    }
}

} // namespace quorvane
