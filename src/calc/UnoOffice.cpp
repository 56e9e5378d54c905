#include "UnoOffice.h"

#include "OfficeProfile.h"
#include "core/Failure.h"
#include "output/OfficePipe.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <cerrno>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/connection/XConnection.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/implbase1.hxx>
#include <fcntl.h>
#include <rtl/bootstrap.hxx>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace css;

namespace quorvane::calc {

rtl::OUString toOUString(const QString& text)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()), static_cast<sal_Int32>(text.size()));
}

QString toQString(const rtl::OUString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getStr()), text.getLength());
}

QString describe(const uno::Exception& failure)
{
    const QString message = toQString(failure.Message).trimmed();
    return message.isEmpty() ? QStringLiteral("LibreOffice stopped answering.") : message;
}

namespace {

// The bridge's end of a connection whose other end OfficePipe::connect() found to be the user's own process.
class CheckedConnection final : public cppu::WeakImplHelper1<connection::XConnection>
{
public:
    CheckedConnection(int handle, rtl::OUString description) : m_handle(handle), m_description(std::move(description))
    {}
    ~CheckedConnection() override { ::close(m_handle); }

    sal_Int32 SAL_CALL read(uno::Sequence<sal_Int8>& bytes, sal_Int32 count) override
    {
        bytes.realloc(count);
        sal_Int32 done = 0;
        while (done < count) {
            const ssize_t got = ::recv(m_handle, bytes.getArray() + done, size_t(count - done), 0);
            if (got > 0)
                done += static_cast<sal_Int32>(got);
            else if (got == 0 || errno != EINTR)
                break; // the office ended: the bridge sees a short read
        }
        bytes.realloc(done);
        return done;
    }
    void SAL_CALL write(const uno::Sequence<sal_Int8>& bytes) override
    {
        const sal_Int8* data = bytes.getConstArray();
        size_t left = size_t(bytes.getLength());
        while (left > 0) {
            const ssize_t sent = ::send(m_handle, data, left, MSG_NOSIGNAL);
            if (sent > 0) {
                data += sent;
                left -= size_t(sent);
            } else if (errno != EINTR) {
                throw io::IOException(toOUString(QStringLiteral("LibreOffice ended.")));
            }
        }
    }
    void SAL_CALL flush() override {}
    void SAL_CALL close() override { ::shutdown(m_handle, SHUT_RDWR); }
    rtl::OUString SAL_CALL getDescription() override { return m_description; }

private:
    const int m_handle;
    const rtl::OUString m_description;
};

// The office's component context over a bridge of the user's own (throws ForeignPipe on anyone else's); nothing
// when no socket is there yet or nobody answers on it.
uno::Reference<uno::XInterface> resolve(const uno::Reference<uno::XComponentContext>& local, const QString& pipeName,
                                        uno::Reference<bridge::XBridge>& bridge, qint64& process)
{
    if (OfficePipe::check(pipeName) == OfficePipe::State::Absent)
        return {};
    const int handle = OfficePipe::connect(pipeName, &process);
    if (handle < 0)
        return {};
    const uno::Reference<connection::XConnection> connection(
        new CheckedConnection(handle, toOUString(QStringLiteral("pipe,name=") + pipeName)));
    bridge = bridge::BridgeFactory::create(local)->createBridge({}, "urp", connection, {});
    return bridge->getInstance("StarOffice.ComponentContext");
}

std::atomic<qint64> launcherStarted = 0;

// The parent of a process, 0 when it is gone.
qint64 parentOf(qint64 process)
{
    QFile status(QStringLiteral("/proc/%1/stat").arg(process));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = status.readAll();
    // "pid (name) state parent ...": the name may hold anything but ends at the last ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() : 0;
}

void startOffice(const CalcConnection& connection, const OfficeProfile& profile)
{
    // A starting office wants both processors for a second or two: it starts at a lower priority, so that the
    // window it works for keeps answering. It inherits the priority of this thread, which only waits for it.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    // The pipe's name is in the profile (OfficeProfile::recordPipe), not here: anyone can read a command line.
    const QStringList arguments =
        QStringList{connection.programFolder + QStringLiteral("/soffice"), QStringLiteral("--norestore"),
                    QStringLiteral("--nologo"), QStringLiteral("--nodefault"), QStringLiteral("--nolockcheck")} +
        profile.arguments();
    std::vector<QByteArray> encoded;
    for (const QString& argument : arguments)
        encoded.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    // Spawned, not forked: a fork copies the whole program's page tables (a million result rows make that
    // a stretch of the window's thread), a spawn shares them until the office's program runs. The office
    // gets a session of its own, no standard streams of ours (it would hold the pipes of whoever started
    // us), and no other descriptor.
    posix_spawn_file_actions_t files;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&files);
    for (const int stream : {0, 1, 2})
        posix_spawn_file_actions_addopen(&files, stream, "/dev/null", stream == 0 ? O_RDONLY : O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&files, 3);
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t launcher = 0;
    const int failed = ::posix_spawn(&launcher, argv[0], &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0)
        throw Failure(QStringLiteral("LibreOffice could not be started: %1").arg(qt_error_string(failed)));
    launcherStarted = launcher;
    // The launcher is this program's child: it is reaped when it ends, on a thread that only waits for that.
    std::thread([launcher] { ::waitpid(launcher, nullptr, 0); }).detach();
}

} // namespace

UnoOffice::UnoOffice(const CalcConnection& connection, Start start)
{
    try {
        // Without it the bootstrap finds no type libraries and the desktop cannot be created.
        rtl::Bootstrap::set(
            "URE_BOOTSTRAP",
            toOUString(QUrl::fromLocalFile(connection.programFolder + QStringLiteral("/fundamentalrc")).toString()));
        m_local = cppu::defaultBootstrap_InitialComponentContext();
        const OfficeProfile profile(connection);
        // An office of the profile that a run before this one started is joined on the pipe it accepts on.
        uno::Reference<uno::XInterface> remote;
        if (m_pipe = profile.recordedPipe(); !m_pipe.isEmpty() && m_pipe != connection.pipeName) {
            try {
                remote = resolve(m_local, m_pipe, m_bridge, m_process);
            } catch (const ForeignPipe&) {
                // The office that accepted on it ended, and someone else took the name: a new one is used.
            }
        }
        if (!remote.is()) {
            m_pipe = connection.pipeName;
            remote = resolve(m_local, m_pipe, m_bridge, m_process);
        }
        if (!remote.is()) {
            if (start == Start::IfNobodyAnswers) {
                profile.recordPipe(m_pipe);
                startOffice(connection, profile);
            }
            const QDeadlineTimer deadline(std::chrono::seconds(connection.startSeconds));
            while (!remote.is() && !deadline.hasExpired()) {
                QThread::msleep(100);
                remote = resolve(m_local, m_pipe, m_bridge, m_process);
            }
            if (!remote.is())
                throw Failure(
                    QStringLiteral("LibreOffice did not answer within %1 seconds.").arg(connection.startSeconds));
        }
        const uno::Reference<uno::XComponentContext> context(remote, uno::UNO_QUERY_THROW);
        m_desktop = frame::Desktop::create(context);
    } catch (const uno::Exception& failure) {
        release();
        throw Failure(describe(failure));
    } catch (const cppu::BootstrapException& failure) {
        release();
        throw Failure(toQString(failure.getMessage()));
    } catch (const Failure&) {
        release();
        throw;
    }
}

bool UnoOffice::startedHere() const
{
    const qint64 launcher = launcherStarted;
    return launcher > 0 && m_process > 0 && (m_process == launcher || parentOf(m_process) == launcher);
}

UnoOffice::~UnoOffice()
{
    release();
}

void UnoOffice::release() noexcept
{
    try {
        m_desktop.clear();
        if (const uno::Reference<lang::XComponent> bridge{m_bridge, uno::UNO_QUERY}; bridge.is())
            bridge->dispose();
        if (const uno::Reference<lang::XComponent> local{m_local, uno::UNO_QUERY}; local.is())
            local->dispose();
    } catch (...) {
        // The bridge is gone already: nothing is left to let go of.
    }
    m_bridge.clear();
    m_local.clear();
}

} // namespace quorvane::calc
