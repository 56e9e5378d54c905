#pragma once

#include "core/Failure.h"

#include <QString>

namespace quorvane {

// Thrown when the pipe's path holds something not the user's own.
class ForeignPipe : public Failure
{
public:
    using Failure::Failure;
};

// The named pipe through which the export reaches an office.
class OfficePipe
{
public:
    // "quorvane-calc-" and 128 random bits in hexadecimal.
    static QString newName();

    // Where an office of this user makes the socket of the pipe `name`: the office library's folder (/tmp, or
    // /var/tmp when /tmp cannot be written), then "OSL_PIPE_", the user's id, "_" and the name.
    static QString socketPath(const QString& name);

    enum class State
    {
        Absent, // nothing at the path yet: an office may be started there
        Own,    // a socket of the user's own, in a folder where no other user can replace it
    };
    // Whether the export may connect to the pipe `name`. Throws ForeignPipe, with a report that says why, when
    // the path holds anything else: another user's socket, a link, a file of another kind, or a socket in a
    // folder where others could replace it.
    static State check(const QString& name);

    // Connects to the pipe `name` and checks who answered, before a byte is sent: the handle of a connection to
    // a process of the user's own, or -1 when nobody answers there. Throws ForeignPipe, and closes the
    // connection, when another user's process answered: the path may have changed hands since check().
    // `peer` (when given) is set to the id of the process that answered.
    static int connect(const QString& name, qint64* peer = nullptr);

    // Removes the sockets that an office of the user's own left behind when it ended without closing them
    // (it was killed): that of the pipe `name`, and the office's own single-instance sockets. Only sockets of
    // the user's own that nobody answers on any more go.
    static void removeLeftSockets(const QString& name);
};

} // namespace quorvane
