// Exports result lists to a headless LibreOffice Calc of its own (own profile, own pipe) through the plugin:
// such an office shows no windows, so each export is saved as a file, which is read back through UNO. Also:
// another user's listener at the pipe's path, and an office killed in the middle of the writes. Ends only the
// office it started.
#include "OutputFakes.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "TestOffice.h"
#include "UnoOffice.h"
#include "core/EventPump.h"
#include "core/Pointer.h"
#include "model/TextListModel.h"
#include "output/OfficePipe.h"
#include "output/OutputCommands.h"
#include "output/SpreadsheetExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace css;
using namespace quorvane;
using namespace quorvane::testing;
using namespace quorvane::testoffice;

namespace {

// A Unix socket listening at a path, as another local user could set one up: counts who connects.
class ListeningSocket
{
public:
    explicit ListeningSocket(const QString& path) : m_path(QFile::encodeName(path))
    {
        ::unlink(m_path.constData());
        m_handle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, m_path.constData(),
                    std::min(size_t(m_path.size()), sizeof(address.sun_path) - 1));
        m_listening = m_handle >= 0 &&
                      ::bind(m_handle, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
                      ::listen(m_handle, 8) == 0;
    }
    ~ListeningSocket()
    {
        if (m_handle >= 0)
            ::close(m_handle);
        ::unlink(m_path.constData());
    }
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;

    bool isListening() const { return m_listening; }
    int acceptedConnections()
    {
        int accepted = 0;
        for (int client; (client = ::accept(m_handle, nullptr, nullptr)) >= 0; ++accepted)
            ::close(client);
        return accepted;
    }

private:
    QByteArray m_path;
    int m_handle = -1;
    bool m_listening = false;
};

// A listener that another local user sets up at a path beforehand: a process of its own running as "nobody",
// which counts the connections it is offered and the bytes it receives until it is stopped.
class ListenerOfAnotherUser
{
public:
    struct Received
    {
        int connections = -1;
        long long bytes = -1;
    };

    explicit ListenerOfAnotherUser(const QString& path)
    {
        const QByteArray encoded = QFile::encodeName(path);
        ::unlink(encoded.constData());
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, encoded.constData(), sizeof(address.sun_path) - 1);
        int ready[2];
        int stop[2];
        int result[2];
        if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(stop, O_CLOEXEC) != 0 || ::pipe2(result, O_CLOEXEC) != 0)
            return;
        m_process = ::fork();
        if (m_process == 0) {
            // The test's ends of the pipes go, so that the test closing its end is seen here.
            ::close(ready[0]);
            ::close(stop[1]);
            ::close(result[0]);
            listen(address, ready[1], stop[0], result[1]); // never returns
        }
        ::close(ready[1]);
        ::close(stop[0]);
        ::close(result[1]);
        m_stop = stop[1];
        m_result = result[0];
        char answer = 0;
        m_listening = m_process > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
        m_path = encoded;
    }
    ~ListenerOfAnotherUser() { stop(); }
    ListenerOfAnotherUser(const ListenerOfAnotherUser&) = delete;
    ListenerOfAnotherUser& operator=(const ListenerOfAnotherUser&) = delete;

    bool isListening() const { return m_listening; }

    Received stop()
    {
        if (m_process > 0) {
            ::close(m_stop);
            Received received;
            if (::read(m_result, &received, sizeof received) == sizeof received)
                m_received = received;
            ::close(m_result);
            ::waitpid(m_process, nullptr, 0);
            ::unlink(m_path.constData());
            m_process = -1;
        }
        return m_received;
    }

private:
    // In the child: only system calls from here on.
    [[noreturn]] static void listen(const sockaddr_un& address, int ready, int stop, int result)
    {
        const uid_t nobody = 65534;
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0;
        const int handle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        const bool listening = dropped && handle >= 0 &&
                               ::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
                               ::listen(handle, 8) == 0;
        [[maybe_unused]] ssize_t written = ::write(ready, listening ? "y" : "n", 1);
        Received received{0, 0};
        pollfd watched[18] = {{stop, POLLIN, 0}, {handle, POLLIN, 0}};
        nfds_t count = 2;
        while (listening) {
            ::poll(watched, count, -1);
            if (watched[0].revents != 0)
                break; // the test stopped us
            if (watched[1].revents != 0) {
                const int client = ::accept(handle, nullptr, nullptr);
                if (client >= 0) {
                    ++received.connections;
                    if (count < 18)
                        watched[count++] = {client, POLLIN, 0};
                }
            }
            char buffer[4096];
            for (nfds_t i = 2; i < count; ++i) {
                if (watched[i].revents != 0) {
                    const ssize_t got = ::read(watched[i].fd, buffer, sizeof buffer);
                    if (got > 0)
                        received.bytes += got;
                    else
                        watched[i].events = 0;
                }
            }
        }
        written = ::write(result, &received, sizeof received);
        ::_exit(0);
    }

    pid_t m_process = -1;
    int m_stop = -1;
    int m_result = -1;
    bool m_listening = false;
    QByteArray m_path;
    Received m_received;
};

QStringList officeArguments(const QTemporaryDir& profile)
{
    return {QStringLiteral("--headless"), QStringLiteral("--invisible"),
            QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString()};
}

// An office of the test's own: LibreOffice's folder, a new profile, the arguments that start it without
// windows, and a folder for the documents it saves.
struct OwnOffice
{
    const QString programFolder = LibreOfficeCalc::findProgramFolder();
    QTemporaryDir profile;
    QTemporaryDir saves;
    const QStringList arguments = officeArguments(profile);
};

// The window's side of an export: what it prompts, its pointer and pump, and its output commands on them.
template <typename Pump> struct Window
{
    explicit Window(SpreadsheetApplication& spreadsheet)
        : commands(prompter, pointer, pump, nullptr, clipboard, spreadsheet)
    {}
    ScriptedPrompter prompter;
    PlainPointer pointer;
    Pump pump;
    FakeClipboard clipboard;
    OutputCommands commands;
};

// The files named in "... saved in the file "PATH"." messages.
QStringList savedFiles(const QStringList& messages)
{
    static const QRegularExpression saved(QStringLiteral("saved in the file \"(.+)\"\\.$"));
    QStringList files;
    for (const QString& message : messages) {
        if (const QRegularExpressionMatch match = saved.match(message); match.hasMatch())
            files.append(match.captured(1));
    }
    return files;
}

// Kills every process whose command line holds the marker.
void killProcesses(const QByteArray& marker)
{
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& process : processes) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(process));
        if (commandLine.open(QIODevice::ReadOnly) && commandLine.readAll().contains(marker))
            ::kill(process.toInt(), SIGKILL);
    }
}

// The niceness of the process whose command line holds the marker (-100: none found).
int officeNiceness(const QByteArray& marker)
{
    for (const QString& process : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(process));
        QFile status(QStringLiteral("/proc/%1/stat").arg(process));
        if (commandLine.open(QIODevice::ReadOnly) && commandLine.readAll().contains(marker) &&
            status.open(QIODevice::ReadOnly)) {
            const QByteArray line = status.readAll();
            return line.mid(line.lastIndexOf(')') + 2).split(' ').value(16).toInt(); // field 19 of the line
        }
    }
    return -100;
}

// The places another local user can read that hold the text: every process's command line and environment,
// and the files given. Read as the user "nobody" when the test runs as root, else as the test's user.
QStringList placesShowing(const QByteArray& text, QStringList files)
{
    for (const QString& process : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        files << QStringLiteral("/proc/%1/cmdline").arg(process) << QStringLiteral("/proc/%1/environ").arg(process);
    int found[2];
    if (::pipe2(found, O_CLOEXEC) != 0)
        return {QStringLiteral("(no pipe)")};
    const pid_t reader = ::fork();
    if (reader == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(1);
        static char contents[1 << 20];
        for (int i = 0; i < int(files.size()); ++i) {
            const int handle = ::open(QFile::encodeName(files[i]).constData(), O_RDONLY);
            const ssize_t size = handle < 0 ? 0 : ::read(handle, contents, sizeof contents);
            if (size > 0 && ::memmem(contents, size_t(size), text.constData(), size_t(text.size())) &&
                ::write(found[1], &i, sizeof i) != sizeof i)
                ::_exit(2);
            ::close(handle);
        }
        ::_exit(0);
    }
    ::close(found[1]);
    QStringList places;
    for (int i = 0; ::read(found[0], &i, sizeof i) == sizeof i;)
        places.append(files.value(i));
    ::close(found[0]);
    int status = -1;
    ::waitpid(reader, &status, 0);
    return status == 0 ? places : QStringList{QStringLiteral("(the reader failed)")};
}

} // namespace

class TestCalcEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!LibreOfficeCalc::findProgramFolder().isEmpty(),
                 "LibreOffice Calc is not installed (tools/install-deps.sh)");
    }

    // An office without windows cannot show the document: the export saves it as a spreadsheet file, says
    // where, and closes it, so that no hidden document is left in the office.
    void windowlessOfficeSavesTextCellsInTheirRowsWithFittedWidth()
    {
        const OwnOffice own;
        const QString pipe = QStringLiteral("quorvane-test-%1").arg(QCoreApplication::applicationPid());
        LibreOfficeCalc calcApplication(testfiles::applicationFolder() + QStringLiteral("/libquorvane_calc.so"), pipe,
                                        own.arguments, own.saves.filePath(QStringLiteral("Documents")));
        QVERIFY(calcApplication.isInstalled());

        const QString longText = QStringLiteral("a result long enough to need a much wider column than the default");
        const auto results = resultList({{{QStringLiteral("plain")}, true},
                                         {{QStringLiteral("=1+1")}, true},
                                         {{QStringLiteral("unchecked")}, false},
                                         {{longText}, true}});
        Window<TimeSlicedEventPump> window(calcApplication);
        window.commands.PushButton13_Click(*results);
        QCOMPARE(window.prompter.errorReports(), QStringList());
        const QStringList files = savedFiles(window.prompter.messages());
        QCOMPARE(window.prompter.messages().size(), 1);
        QCOMPARE(files.size(), 1);
        QVERIFY2(files.first().startsWith(own.saves.filePath(QStringLiteral("Documents/Quorvane results "))) &&
                     files.first().endsWith(QStringLiteral(".ods")),
                 qPrintable(files.first()));
        QCOMPARE(window.pointer.shape(), PointerShape::Default);
        // The office started at a lower priority than the window's, so that the window keeps answering.
        QVERIFY(officeNiceness(own.arguments.last().toUtf8()) > 0);

        // Whatever the checks say, the document is closed and this office ends.
        const OfficeEnding ending(CalcConnection{own.programFolder, pipe, own.arguments},
                                  own.arguments.last().toUtf8());
        // The pipe's name is nowhere another user can read it, and in the office's private settings.
        const QString settings = own.profile.filePath(QStringLiteral("user/registrymodifications.xcu"));
        QCOMPARE(placesShowing(pipe.toUtf8(), geteuid() == 0 ? QStringList{settings} : QStringList()), QStringList());
        QFile settingsFile(settings);
        QVERIFY(settingsFile.open(QIODevice::ReadOnly) && settingsFile.readAll().contains(pipe.toUtf8()));
        QCOMPARE(QFileInfo(own.profile.path()).permissions() & 0x77, QFile::Permissions()); // group and others
        // The new profile counts as run by this office before: no first-run work, such as rendering tests.
        QVERIFY(!QFile::exists(own.profile.filePath(QStringLiteral("user/GraphicsRenderTests.log"))));
        // The export let go of the office; this side joins it again through the same pipe.
        calc::UnoOffice office(CalcConnection{own.programFolder, pipe, own.arguments});
        QCOMPARE(calcDocuments(office).size(), 0); // the hidden document was closed
        const uno::Reference<sheet::XSpreadsheet> sheet = firstSheet(openDocument(office, files.first()));

        const SheetCell caption = cellAt(sheet, 0, 0);
        QCOMPARE(caption.text, QStringLiteral("Results"));
        QCOMPARE(cellAt(sheet, 0, 1).text, QStringLiteral("plain"));
        const SheetCell formulaLike = cellAt(sheet, 0, 2);
        QCOMPARE(formulaLike.type, table::CellContentType_TEXT); // text, not a formula
        QCOMPARE(formulaLike.text, QStringLiteral("=1+1"));
        QCOMPARE(cellAt(sheet, 0, 3).type, table::CellContentType_EMPTY);
        QCOMPARE(cellAt(sheet, 0, 4).text, longText);
        QCOMPARE(cellAt(sheet, 0, 5).type, table::CellContentType_EMPTY);
        QVERIFY2(columnWidth(sheet, 0) > columnWidth(sheet, 3) * 2,
                 qPrintable(QStringLiteral("%1 vs %2").arg(columnWidth(sheet, 0)).arg(columnWidth(sheet, 3))));

        // A later run of the program, on a pipe of its own, joins the office its profile's settings name.
        LibreOfficeCalc laterRun(testfiles::applicationFolder() + QStringLiteral("/libquorvane_calc.so"),
                                 pipe + QStringLiteral("-later"), own.arguments, own.saves.path());
        Window<TimeSlicedEventPump> laterWindow(laterRun);
        laterWindow.commands.PushButton13_Click(*results);
        QCOMPARE(laterWindow.prompter.errorReports(), QStringList());
        QCOMPARE(savedFiles(laterWindow.prompter.messages()).size(), 1);
    }

    // A second export started inside the first one's wait for the office, through the run's own pipe: each
    // gives its document from the one office they start, and a listener set up beforehand on the old,
    // predictable pipe name is never joined.
    void overlappingExportsEachGiveTheirDocumentAndNoGuessablePipeIsJoined()
    {
        const OwnOffice own;
        // The office's named pipes are sockets in /tmp named after the pipe, with or without the user's id.
        const QString oldName = QStringLiteral("quorvane-calc-%1").arg(getuid());
        const QStringList squatted{QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(getuid()).arg(oldName),
                                   QStringLiteral("/tmp/OSL_PIPE_%1").arg(oldName)};
        std::vector<std::unique_ptr<ListeningSocket>> squatters;
        for (const QString& path : squatted) {
            squatters.push_back(std::make_unique<ListeningSocket>(path));
            QVERIFY2(squatters.back()->isListening(), qPrintable(path));
        }

        LibreOfficeCalc calcApplication(testfiles::applicationFolder() + QStringLiteral("/libquorvane_calc.so"), {},
                                        own.arguments, own.saves.path());
        const QString pipe = calcApplication.pipeName();
        const OfficeEnding ending(CalcConnection{own.programFolder, pipe, own.arguments},
                                  own.arguments.last().toUtf8());
        const auto first = resultList({{{QStringLiteral("first export")}, true}});
        const auto second = resultList({{{QStringLiteral("second export")}, true}});
        Window<CountingEventPump> window(calcApplication);
        bool secondStarted = false;
        window.pump.onYield = [&](int) {
            if (!secondStarted) {
                secondStarted = true;
                window.commands.PushButton13_Click(*second);
            }
            QThread::msleep(2);
        };
        window.commands.PushButton13_Click(*first);
        QVERIFY(secondStarted);
        QCOMPARE(window.prompter.errorReports(), QStringList());
        const QStringList files = savedFiles(window.prompter.messages());
        QCOMPARE(files.size(), 2);
        QCOMPARE(calcApplication.pipeName(), pipe);

        calc::UnoOffice office(CalcConnection{own.programFolder, pipe, own.arguments});
        QCOMPARE(calcDocuments(office).size(), 0);
        QStringList texts;
        for (const QString& file : files)
            texts.append(cellAt(firstSheet(openDocument(office, file)), 0, 1).text);
        texts.sort();
        QCOMPARE(texts, (QStringList{QStringLiteral("first export"), QStringLiteral("second export")}));

        for (const auto& squatter : squatters)
            QCOMPARE(squatter->acceptedConnections(), 0);
        // The squatted paths are where an office on the old name would listen: the user's pipe lies beside them.
        const QStringList ownPipe =
            QDir(QStringLiteral("/tmp"))
                .entryList({QStringLiteral("OSL_PIPE_*") + pipe}, QDir::System | QDir::AllEntries);
        QVERIFY2(!ownPipe.isEmpty(), "the office's pipe was not found in /tmp");
        QCOMPARE(QStringLiteral("/tmp/") + ownPipe.first(), OfficePipe::socketPath(pipe));
        QVERIFY(squatted.contains(QStringLiteral("/tmp/") + QString(ownPipe.first()).replace(pipe, oldName)));
    }

    // Another local user who learnt the pipe's name (from the office's command line, or a run before) and
    // listens at its path first is refused before any connection is made, with a report; the run's next
    // export uses a new name and works.
    void listenerOfAnotherUserAtThePipeNeverReceivesAByte()
    {
        if (geteuid() != 0)
            QSKIP("listening as another user needs root");
        const OwnOffice own;
        LibreOfficeCalc calcApplication(testfiles::applicationFolder() + QStringLiteral("/libquorvane_calc.so"), {},
                                        own.arguments, own.saves.path());
        const QString squattedName = calcApplication.pipeName();
        ListenerOfAnotherUser listener(OfficePipe::socketPath(squattedName));
        QVERIFY(listener.isListening());

        const auto results = resultList({{{QStringLiteral("secret")}, true}});
        Window<TimeSlicedEventPump> window(calcApplication);
        window.commands.PushButton13_Click(*results);
        const QStringList reports = window.prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports.first().startsWith(QStringLiteral("The office's connection \"%1\" is not your own (it "
                                                           "belongs to another user)")
                                                .arg(OfficePipe::socketPath(squattedName))),
                 qPrintable(reports.first()));
        QVERIFY2(reports.first().contains(QStringLiteral("at line 110")), qPrintable(reports.first()));
        QCOMPARE(savedFiles(window.prompter.messages()).size(), 0);
        QVERIFY(calcApplication.pipeName() != squattedName);

        const QString pipe = calcApplication.pipeName();
        const OfficeEnding ending(CalcConnection{own.programFolder, pipe, own.arguments},
                                  own.arguments.last().toUtf8());
        window.commands.PushButton13_Click(*results);
        QCOMPARE(window.prompter.errorReports().size(), 1);
        QCOMPARE(savedFiles(window.prompter.messages()).size(), 1);

        const ListenerOfAnotherUser::Received received = listener.stop();
        QCOMPARE(received.connections, 0);
        QCOMPARE(received.bytes, 0LL);
    }

    // The race of a held-back connect: the socket at the pipe's path is the user's own file when it is checked,
    // but another user's process listens on it when the connection is made. The peer's credentials refuse it
    // before a byte is sent.
    void listenerOfAnotherUserBehindTheUsersOwnSocketFileNeverReceivesAByte()
    {
        if (geteuid() != 0)
            QSKIP("listening as another user needs root");
        const OwnOffice own;
        LibreOfficeCalc calcApplication(testfiles::applicationFolder() + QStringLiteral("/libquorvane_calc.so"), {},
                                        own.arguments, own.saves.path());
        const QString path = OfficePipe::socketPath(calcApplication.pipeName());
        ListenerOfAnotherUser listener(path);
        QVERIFY(listener.isListening());
        QCOMPARE(::chown(QFile::encodeName(path).constData(), geteuid(), getegid()), 0);
        QCOMPARE(OfficePipe::check(calcApplication.pipeName()), OfficePipe::State::Own);

        const auto results = resultList({{{QStringLiteral("secret")}, true}});
        Window<TimeSlicedEventPump> window(calcApplication);
        window.commands.PushButton13_Click(*results);
        const QStringList reports = window.prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports.first().contains(QStringLiteral("another user answered on it")), qPrintable(reports.first()));
        const ListenerOfAnotherUser::Received received = listener.stop();
        QCOMPARE(received.bytes, 0LL);
    }

    // The office dies in the middle of the block writes: the export reports it once and ends, and the program
    // lives on (a write to the broken connection is a failure, not a signal that ends the process).
    void officeKilledDuringTheWritesIsReportedAndTheProgramLivesOn()
    {
        const OwnOffice own;
        const QString pipe = QStringLiteral("quorvane-killed-%1").arg(QCoreApplication::applicationPid());
        const QByteArray marker = own.arguments.last().toUtf8();
        const OfficeEnding ending(CalcConnection{own.programFolder, pipe, own.arguments}, marker);
        const QStringList officeSockets =
            QDir(QStringLiteral("/tmp"))
                .entryList({QStringLiteral("OSL_PIPE_%1_SingleOfficeIPC_*").arg(geteuid())}, QDir::System);
        LibreOfficeCalc calcApplication(testfiles::applicationFolder() + QStringLiteral("/libquorvane_calc.so"), pipe,
                                        own.arguments, own.saves.path());
        calcApplication.addWorkbook(); // the office runs before the export starts

        TextListModel results(TextListModel::Marks::Checkable);
        results.setCaption(QStringLiteral("Results"));
        QStringList texts;
        for (int r = 0; r < 200000; ++r)
            texts.append(QStringLiteral("result%1").arg(r, 14, 10, QLatin1Char('0')));
        results.append(texts, true);
        Window<CountingEventPump> window(calcApplication);
        // Two yields a row: the office dies while the second block of rows is being gathered or written.
        bool killed = false;
        window.pump.onYield = [&](int yields) {
            if (!killed && yields > 3 * spreadsheetBlockCells) {
                killed = true;
                killProcesses(marker);
            }
        };
        window.commands.PushButton13_Click(results);
        QVERIFY(killed);
        const QStringList reports = window.prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(
            reports.first().contains(QStringLiteral("in Velmodra2021/08/31.Form1.PushButton13_Click at line 136")) &&
                reports.first().contains(QStringLiteral("LibreOffice ended before the export was done.")),
            qPrintable(reports.first()));
        QCOMPARE(savedFiles(window.prompter.messages()).size(), 0);
        QCOMPARE(window.pointer.shape(), PointerShape::Default);
        QVERIFY(QDir(own.saves.path()).isEmpty());
        // A killed office leaves its sockets behind.
        ::unlink(QFile::encodeName(OfficePipe::socketPath(pipe)).constData());
        for (const QString& socket :
             QDir(QStringLiteral("/tmp"))
                 .entryList({QStringLiteral("OSL_PIPE_%1_SingleOfficeIPC_*").arg(geteuid())}, QDir::System)) {
            if (!officeSockets.contains(socket))
                QFile::remove(QStringLiteral("/tmp/") + socket);
        }
    }
};

QTEST_GUILESS_MAIN(TestCalcEndToEnd)
#include "test_calc_endtoend.moc"
