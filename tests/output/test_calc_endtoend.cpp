// Exports a small result list to a headless LibreOffice Calc of its own (own profile, own pipe) through the
// plugin, reads the cells back through UNO, then closes the document and ends only that office.
#include "OutputFakes.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "TestOffice.h"
#include "UnoOffice.h"
#include "core/EventPump.h"
#include "core/Pointer.h"
#include "output/OutputCommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
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

} // namespace

class TestCalcEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void exportedCellsAreTextInTheirRowsWithFittedWidth()
    {
        const QString programFolder = LibreOfficeCalc::findProgramFolder();
        QVERIFY2(!programFolder.isEmpty(), "LibreOffice Calc is not installed (tools/install-deps.sh)");
        QTemporaryDir profile;
        const QString pipe = QStringLiteral("quorvane-test-%1").arg(QCoreApplication::applicationPid());
        const QStringList arguments{QStringLiteral("--headless"), QStringLiteral("--invisible"),
                                    QStringLiteral("-env:UserInstallation=") +
                                        QUrl::fromLocalFile(profile.path()).toString()};
        LibreOfficeCalc calcApplication(testfiles::applicationFolder() + QStringLiteral("/libquorvane_calc.so"), pipe,
                                        arguments);
        QVERIFY(calcApplication.isInstalled());

        const QString longText = QStringLiteral("a result long enough to need a much wider column than the default");
        const auto results = resultList({{{QStringLiteral("plain")}, true},
                                         {{QStringLiteral("=1+1")}, true},
                                         {{QStringLiteral("unchecked")}, false},
                                         {{longText}, true}});
        ScriptedPrompter prompter;
        PlainPointer pointer;
        TimeSlicedEventPump pump;
        FakeClipboard clipboard;
        OutputCommands commands(prompter, pointer, pump, nullptr, clipboard, calcApplication);
        commands.PushButton13_Click(*results);
        QVERIFY2(prompter.shown().isEmpty(), qPrintable(prompter.shown().value(0).text));
        QCOMPARE(pointer.shape(), PointerShape::Default);

        // Whatever the checks say, the document is closed and this office ends.
        const OfficeEnding ending(CalcConnection{programFolder, pipe, arguments},
                                  QStringLiteral("name=%1;").arg(pipe).toUtf8());
        // The export let go of the office; this side joins it again through the same pipe.
        calc::UnoOffice office(CalcConnection{programFolder, pipe, arguments});
        const auto documents = calcDocuments(office);
        QCOMPARE(documents.size(), 1);
        const uno::Reference<sheet::XSpreadsheet> sheet = firstSheet(documents.first());

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
    }

    // A second export started inside the first one's wait for the office, through the user's own pipe: each
    // gives its document in the one office they start, and a listener set up beforehand on the old,
    // predictable pipe name is never joined.
    void overlappingExportsEachGiveTheirDocumentAndNoGuessablePipeIsJoined()
    {
        const QString programFolder = LibreOfficeCalc::findProgramFolder();
        QVERIFY2(!programFolder.isEmpty(), "LibreOffice Calc is not installed (tools/install-deps.sh)");
        QTemporaryDir profile;
        QTemporaryDir tokens;
        const QStringList arguments{QStringLiteral("--headless"), QStringLiteral("--invisible"),
                                    QStringLiteral("-env:UserInstallation=") +
                                        QUrl::fromLocalFile(profile.path()).toString()};
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
                                        arguments, tokens.path());
        const QString pipe = LibreOfficeCalc::userPipeName(tokens.path());
        const OfficeEnding ending(CalcConnection{programFolder, pipe, arguments},
                                  QStringLiteral("name=%1;").arg(pipe).toUtf8());
        const auto first = resultList({{{QStringLiteral("first export")}, true}});
        const auto second = resultList({{{QStringLiteral("second export")}, true}});
        ScriptedPrompter prompter;
        PlainPointer pointer;
        CountingEventPump pump;
        FakeClipboard clipboard;
        OutputCommands commands(prompter, pointer, pump, nullptr, clipboard, calcApplication);
        bool secondStarted = false;
        pump.onYield = [&](int) {
            if (!secondStarted) {
                secondStarted = true;
                commands.PushButton13_Click(*second);
            }
            QThread::msleep(2);
        };
        commands.PushButton13_Click(*first);
        QVERIFY(secondStarted);
        QVERIFY2(prompter.shown().isEmpty(), qPrintable(prompter.shown().value(0).text));

        calc::UnoOffice office(CalcConnection{programFolder, pipe, arguments});
        QStringList texts;
        for (const auto& document : calcDocuments(office))
            texts.append(cellAt(firstSheet(document), 0, 1).text);
        texts.sort();
        QCOMPARE(texts, (QStringList{QStringLiteral("first export"), QStringLiteral("second export")}));

        for (const auto& squatter : squatters)
            QCOMPARE(squatter->acceptedConnections(), 0);
        // The squatted paths are where an office on the old name would listen: the user's pipe lies beside them.
        const QStringList ownPipe =
            QDir(QStringLiteral("/tmp"))
                .entryList({QStringLiteral("OSL_PIPE_*") + pipe}, QDir::System | QDir::AllEntries);
        QVERIFY2(!ownPipe.isEmpty(), "the office's pipe was not found in /tmp");
        QVERIFY(squatted.contains(QStringLiteral("/tmp/") + QString(ownPipe.first()).replace(pipe, oldName)));
    }
};

QTEST_GUILESS_MAIN(TestCalcEndToEnd)
#include "test_calc_endtoend.moc"
