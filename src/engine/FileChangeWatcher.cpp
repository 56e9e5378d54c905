#include "FileChangeWatcher.h"

#include <cerrno>
#include <cstring>
#include <linux/magic.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace quorvane {

namespace {

// Local file systems, on which the kernel notes every change to a watched folder or file.
bool notesEveryChange(const QByteArray& folder)
{
    struct statfs info
    {};
    if (::statfs(folder.constData(), &info) != 0)
        return false;
    switch (static_cast<unsigned long>(info.f_type)) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
        return true;
    default:
        return false; // network and user-space file systems change without telling this machine's kernel
    }
}

constexpr quint32 folderEvents = IN_ONLYDIR | IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE |
                                 IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
// The entry's own watch also sees changes made through another name of the file. A link is watched as
// itself: its owner looks at what it points to.
constexpr quint32 entryEvents = IN_DONT_FOLLOW | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;

} // namespace

FileChangeWatcher::FileChangeWatcher(QByteArray folder, QByteArray entryName)
    : m_folder(folder.isEmpty() ? QByteArray("/") : std::move(folder)), m_entryName(std::move(entryName)),
      m_entryPath(m_folder + '/' + m_entryName)
{
    if (!notesEveryChange(m_folder))
        return;
    m_notes = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_notes < 0 || m_stop < 0 || !watchFolder() || !watchEntry())
        return;
    m_watching = true;
    m_thread = std::thread([this] { run(); });
}

FileChangeWatcher::~FileChangeWatcher()
{
    if (m_thread.joinable()) {
        const quint64 one = 1;
        while (::write(m_stop, &one, sizeof one) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    if (m_notes >= 0)
        ::close(m_notes);
    if (m_stop >= 0)
        ::close(m_stop);
}

bool FileChangeWatcher::watchFolder()
{
    if (m_folderWatch >= 0)
        ::inotify_rm_watch(m_notes, m_folderWatch);
    m_folderWatch = ::inotify_add_watch(m_notes, m_folder.constData(), folderEvents);
    return m_folderWatch >= 0;
}

// Watches the file the entry names now; false when it exists but cannot be watched.
bool FileChangeWatcher::watchEntry()
{
    const int watch = ::inotify_add_watch(m_notes, m_entryPath.constData(), entryEvents);
    if (m_entryWatch >= 0 && m_entryWatch != watch)
        ::inotify_rm_watch(m_notes, m_entryWatch);
    m_entryWatch = watch;
    return watch >= 0 || errno == ENOENT || errno == ENOTDIR;
}

// From now on the owner looks for itself.
void FileChangeWatcher::fail()
{
    m_watching.store(false, std::memory_order_release);
    m_changes.fetch_add(1, std::memory_order_acq_rel);
}

void FileChangeWatcher::run()
{
    std::vector<char> notes(64 * 1024);
    pollfd waitFor[2] = {{m_notes, POLLIN, 0}, {m_stop, POLLIN, 0}};
    for (;;) {
        if (::poll(waitFor, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            fail();
            return;
        }
        if (waitFor[1].revents != 0)
            return;
        bool changed = false;
        bool folderReplaced = false;
        for (;;) {
            const ssize_t got = ::read(m_notes, notes.data(), notes.size());
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN) {
                    fail();
                    return;
                }
                break; // every note taken
            }
            for (ssize_t at = 0; at < got;) {
                inotify_event note{};
                std::memcpy(&note, notes.data() + at, sizeof note);
                const char* name = notes.data() + at + sizeof note;
                at += static_cast<ssize_t>(sizeof note + note.len);
                if (note.mask & IN_Q_OVERFLOW) {
                    changed = true; // notes were lost
                    folderReplaced = true;
                } else if (note.wd == m_folderWatch) {
                    if (note.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT))
                        folderReplaced = true; // the path may name another folder now
                    else if (note.len > 0 && m_entryName == name)
                        changed = true;
                } else if (note.wd == m_entryWatch) {
                    changed = true;
                    if (note.mask & IN_IGNORED)
                        m_entryWatch = -1;
                }
            }
        }
        // The watches follow the names before the count moves on, so that the file looked at next is watched.
        if ((folderReplaced && !watchFolder()) || ((changed || folderReplaced) && !watchEntry())) {
            fail();
            return;
        }
        if (changed || folderReplaced)
            m_changes.fetch_add(1, std::memory_order_acq_rel);
    }
}

} // namespace quorvane
