#include "OfficePipe.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace quorvane {

namespace {

constexpr int nameBytes = 16;

// The office library's choice of folder for its sockets.
QString socketFolder()
{
    return ::access("/tmp", W_OK) == 0 || ::access("/var/tmp", W_OK) != 0 ? QStringLiteral("/tmp")
                                                                          : QStringLiteral("/var/tmp");
}

// A folder where no other user can remove or rename the user's files: owned by root or the user, and
// writable by nobody else, or only with the sticky bit that keeps others' hands off files they do not own.
bool isSafeFolder(const struct stat& folder)
{
    if (!S_ISDIR(folder.st_mode) || (folder.st_uid != 0 && folder.st_uid != ::geteuid()))
        return false;
    return (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (folder.st_mode & S_ISVTX) != 0;
}

} // namespace

QString OfficePipe::newName()
{
    quint32 random[nameBytes / 4];
    QRandomGenerator::system()->fillRange(random);
    return QStringLiteral("quorvane-calc-") +
           QLatin1String(QByteArray(reinterpret_cast<const char*>(random), nameBytes).toHex());
}

QString OfficePipe::socketPath(const QString& name)
{
    return QStringLiteral("%1/OSL_PIPE_%2_%3").arg(socketFolder()).arg(::geteuid()).arg(name);
}

OfficePipe::State OfficePipe::check(const QString& name)
{
    const QString path = socketPath(name);
    const QByteArray encoded = QFile::encodeName(path);
    const QByteArray folderPath = QFile::encodeName(socketFolder());
    struct stat folder
    {};
    if (::stat(folderPath.constData(), &folder) != 0 || !isSafeFolder(folder))
        throw ForeignPipe(QStringLiteral("The office's connection cannot be kept private: other users could replace "
                                         "the files of the folder \"%1\".")
                              .arg(socketFolder()));
    struct stat socket
    {};
    if (::lstat(encoded.constData(), &socket) != 0) {
        if (errno == ENOENT)
            return State::Absent;
        throw Failure(
            QStringLiteral("The office's connection \"%1\" cannot be checked: %2").arg(path, qt_error_string(errno)));
    }
    if (!S_ISSOCK(socket.st_mode) || socket.st_uid != ::geteuid())
        throw ForeignPipe(QStringLiteral("The office's connection \"%1\" is not your own (%2): the export does not "
                                         "use it.")
                              .arg(path, S_ISSOCK(socket.st_mode) ? QStringLiteral("it belongs to another user")
                                                                  : QStringLiteral("it is not a socket")));
    return State::Own;
}

int OfficePipe::connect(const QString& name, qint64* peerProcess)
{
    const QByteArray path = QFile::encodeName(socketPath(name));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(address.sun_path))
        throw Failure(QStringLiteral("The office's connection \"%1\" has too long a path.").arg(socketPath(name)));
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int handle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0)
        throw Failure(QStringLiteral("No connection to the office can be made: %1").arg(qt_error_string(errno)));
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(handle);
        return -1;
    }
    // The credentials of the process that listens: whoever holds the path now, whatever its file says.
    ucred peer{};
    socklen_t size = sizeof(peer);
    if (::getsockopt(handle, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
        ::close(handle);
        throw ForeignPipe(QStringLiteral("The office's connection \"%1\" is not your own (another user answered "
                                         "on it): the export does not use it.")
                              .arg(socketPath(name)));
    }
    if (peerProcess)
        *peerProcess = peer.pid;
    return handle;
}

void OfficePipe::removeLeftSockets(const QString& name)
{
    const QString folder = socketFolder();
    const QString ownPrefix = QStringLiteral("OSL_PIPE_%1_").arg(::geteuid());
    QStringList paths{socketPath(name)};
    for (const QString& entry :
         QDir(folder).entryList({ownPrefix + QStringLiteral("SingleOfficeIPC_*")}, QDir::System | QDir::Files))
        paths.append(folder + QLatin1Char('/') + entry);
    for (const QString& path : std::as_const(paths)) {
        const QByteArray encoded = QFile::encodeName(path);
        struct stat socket
        {};
        if (::lstat(encoded.constData(), &socket) != 0 || !S_ISSOCK(socket.st_mode) || socket.st_uid != ::geteuid())
            continue;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (size_t(encoded.size()) >= sizeof(address.sun_path))
            continue;
        std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (probe < 0)
            continue;
        // Refused: nobody listens there any more. (A listener with a full backlog says EAGAIN and stays.)
        const bool left = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 &&
                          errno == ECONNREFUSED;
        ::close(probe);
        if (left)
            ::unlink(encoded.constData());
    }
}

} // namespace quorvane
