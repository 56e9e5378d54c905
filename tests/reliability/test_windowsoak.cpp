// Random sequences of the window's commands with failures injected, and commands started inside other
// commands' yields, as an impatient user would. After every command: nothing crashed, the DomainList holds
// exactly what the commands put there, a run's rows are all there, a saved file is the old one or the whole
// new one, the clipboard holds the whole copy, and the sheet every cell but the refused ones.
// A short run with a fixed seed in CTest; QUORVANE_SOAK_STEPS and QUORVANE_SOAK_SEED for longer ones.
#include "../output/OutputFakes.h"
#include "ReferenceRows.h"
#include "WindowHarness.h"
#include "core/Pointer.h"
#include "engine/EntryProcessor.h"
#include "engine/NameCleaner.h"

#include <QCheckBox>
#include <QDir>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QTableView>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::testing;
using namespace quorvane::testwindow;

namespace {

enum class Command
{
    Add,
    Load,
    LoadVanishing,
    Samples,
    DeleteDomain,
    DeleteResult,
    Uncheck,
    Run,
    ClearList,
    ClearResults,
    Save,
    SaveUnwritable,
    Copy,
    Export,
    Count,
};

const char* const commandNames[] = {
    "add", "load",       "load (file vanishes)", "samples", "delete entry",      "delete result", "uncheck",
    "run", "clear list", "clear results",        "save",    "save (unwritable)", "copy",          "export"};

// The commands started inside another one's yield: those that leave the ResultList alone.
constexpr Command nestedCommands[] = {Command::Add, Command::Load, Command::Samples, Command::DeleteDomain,
                                      Command::Copy};

const QStringList words{QStringLiteral("best"),   QStringLiteral("cheap"), QStringLiteral("flights"),
                        QStringLiteral("online"), QStringLiteral("red"),   QStringLiteral("box"),
                        QStringLiteral("sun"),    QStringLiteral("set"),   QStringLiteral("zq")};

class Soak
{
public:
    explicit Soak(quint32 seed) : m_random(seed)
    {
        harness.clipboard = &clipboard;
        harness.spreadsheet = &spreadsheet;
        m_window = &harness.load();
        m_window->show();
        m_out = harness.temporaryPath(QStringLiteral("out"));
        QDir().mkpath(m_out);
        testfiles::writeBytes(harness.temporaryPath(QStringLiteral("blocker")), "a file, not a folder");
        harness.prompter.onShown = [this](const ScriptedPrompter::Shown& shown) {
            if (shown.kind == ScriptedPrompter::Kind::OpenFiles && !m_vanishing.isEmpty())
                QFile::remove(std::exchange(m_vanishing, QString()));
        };
        harness.pump.onYield = [this](int) {
            // Now and then another command, inside this one's yield.
            if (m_depth == 0 && m_random.bounded(40) == 0) {
                const Command nested = nestedCommands[m_random.bounded(int(std::size(nestedCommands)))];
                // A run shows the busy pointer only after its first yield: an entry removed there shifts the
                // entries under the run, which then reads past the end, as it is meant to.
                if (nested == Command::DeleteDomain && m_top == Command::Run)
                    return;
                ++m_depth;
                perform(nested);
                --m_depth;
            }
        };
        m_processor = std::make_unique<EntryProcessor>(m_window->dictionary(), testfiles::applicationFolder());
    }

    void step(int number)
    {
        const auto command = Command(m_random.bounded(int(Command::Count)));
        m_where = QStringLiteral("step %1 (%2)").arg(number).arg(QLatin1String(commandNames[int(command)]));
        harness.prompter.clear();
        m_top = command;
        perform(command);
        // Whatever ran, the DomainList is exactly what the commands made of it.
        QVERIFY2(m_window->domainList().texts() == m_mirror, qPrintable(m_where));
        QVERIFY2(!m_window->pointer().isBusy(), qPrintable(m_where));
        m_reports += int(harness.prompter.errorReports().size());
    }

    // How often each command ran (nested ones included), for the log.
    QString tally() const
    {
        QStringList parts;
        for (int c = 0; c < int(Command::Count); ++c)
            parts.append(QStringLiteral("%1 %2").arg(QLatin1String(commandNames[c])).arg(m_counts[c]));
        return parts.join(QStringLiteral(", ")) +
               QStringLiteral("; %1 inside another's yield, %2 error reports").arg(m_nested).arg(m_reports);
    }

    WindowHarness harness;
    FakeClipboard clipboard;
    FakeSpreadsheetApplication spreadsheet;

private:
    QString randomName()
    {
        QString name;
        const int count = 1 + m_random.bounded(4);
        for (int i = 0; i < count; ++i)
            name += words[m_random.bounded(int(words.size()))];
        if (m_random.bounded(2))
            name += QStringLiteral(".com");
        return name;
    }

    QTableView* view(const char* name) { return m_window->findChild<QTableView*>(QLatin1String(name)); }

    void pressDelete(QTableView* list, TextListModel& model, QStringList* mirror)
    {
        if (model.isEmpty())
            return;
        const int row = m_random.bounded(model.count());
        list->setCurrentIndex(model.index(row, 0));
        // Removal does nothing while the pointer is busy (a run or a save under way).
        const bool removes = !m_window->pointer().isBusy();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QCoreApplication::sendEvent(list, &press);
        if (removes && mirror)
            mirror->removeAt(row);
    }

    QStringList expectedRows(const QStringList& entries)
    {
        const bool showOriginal = m_window->findChild<QCheckBox*>(QStringLiteral("Check5"))->isChecked();
        QStringList rows;
        for (const QString& entry : entries)
            rows += ReferenceRows(*m_processor, m_window->applicationFolder(), entry, SplitOptions{showOriginal}).rows;
        return rows;
    }

    QByteArray expectedFile()
    {
        const TextListModel& results = m_window->resultList();
        qsizetype width = QStringLiteral("Results").size();
        for (int r = 0; r < results.count(); ++r)
            width = std::max(width, results.text(r).size());
        const auto line = [&](const QString& text) {
            return text.toLatin1() + QByteArray(width - text.size(), ' ') + "\t\r\n";
        };
        QByteArray file = line(QStringLiteral("Results"));
        for (int r = 0; r < results.count(); ++r) {
            if (results.isChecked(r))
                file += line(results.text(r));
        }
        return file;
    }

    void perform(Command command)
    {
        ++m_counts[int(command)];
        m_nested += m_depth;
        MainWindow& window = *m_window;
        TextListModel& results = window.resultList();
        switch (command) {
        case Command::Add: {
            const QString name = randomName();
            harness.prompter.inputAnswers.enqueue(name);
            window.PushButton6_Click();
            m_mirror.append(name + QLatin1Char(' ')); // one word: it is followed by a blank
            break;
        }
        case Command::Load:
        case Command::LoadVanishing: {
            const QString path = m_out + QStringLiteral("/names%1.txt").arg(m_files++);
            QStringList names;
            const int count = m_random.bounded(30);
            QByteArray bytes;
            for (int i = 0; i < count; ++i) {
                names.append(randomName());
                bytes += names.last().toLatin1() + "\r\n";
            }
            testfiles::writeBytes(path, bytes);
            harness.prompter.openAnswers.enqueue({path});
            if (command == Command::LoadVanishing)
                m_vanishing = path;
            window.PushButton3_Click();
            if (command == Command::Load)
                m_mirror += names;
            else
                QVERIFY2(harness.prompter.messages().contains(QStringLiteral("File not found")), qPrintable(m_where));
            QFile::remove(path);
            break;
        }
        case Command::Samples:
            window.PushButton7_Click();
            m_mirror += sampleDomainsShown();
            break;
        case Command::DeleteDomain:
            pressDelete(view("ListView1"), window.domainList(), &m_mirror);
            break;
        case Command::DeleteResult:
            pressDelete(view("ListView2"), results, nullptr);
            break;
        case Command::Uncheck:
            if (!results.isEmpty())
                results.setChecked(m_random.bounded(results.count()), false);
            break;
        case Command::Run: {
            const QStringList entries = m_mirror;
            window.PushButton9_Click();
            if (entries.isEmpty())
                break;
            // Every row of every entry that was there when the run started, none lost, none doubled.
            QCOMPARE(results.texts(), expectedRows(entries));
            QVERIFY2(harness.prompter.errorReports().isEmpty(), qPrintable(m_where));
            break;
        }
        case Command::ClearList:
            window.PushButton1_Click();
            m_mirror.clear();
            break;
        case Command::ClearResults:
            window.PushButton2_Click();
            QVERIFY2(results.isEmpty(), qPrintable(m_where));
            break;
        case Command::Save: {
            const QString path = m_out + QStringLiteral("/results.txt");
            const QByteArray before = QFile::exists(path) ? testfiles::readBytes(path) : QByteArray();
            const int rowsBefore = results.count();
            harness.prompter.saveAnswers.enqueue(path);
            window.PushButton4_Click();
            const QByteArray after = testfiles::readBytes(path);
            QVERIFY2(after == before || after == expectedFile(), qPrintable(m_where));
            QVERIFY2(after == expectedFile(), qPrintable(m_where)); // nothing failed, so it was written
            QVERIFY2(results.count() == rowsBefore, qPrintable(m_where));
            QVERIFY2(harness.prompter.errorReports().isEmpty(), qPrintable(m_where));
            break;
        }
        case Command::SaveUnwritable: {
            // A folder that is a file, or a target that is a folder: neither can be written, even by root.
            const QString path =
                m_random.bounded(2) ? harness.temporaryPath(QStringLiteral("blocker/results.txt")) : m_out;
            const QStringList filesBefore = QDir(m_out).entryList(QDir::Files);
            harness.prompter.saveAnswers.enqueue(path);
            window.PushButton4_Click();
            QVERIFY2(harness.prompter.errorReports().size() == 1, qPrintable(m_where));
            QVERIFY2(testfiles::readBytes(harness.temporaryPath(QStringLiteral("blocker"))) == "a file, not a folder",
                     qPrintable(m_where));
            QVERIFY2(QDir(m_out).entryList(QDir::Files) == filesBefore, qPrintable(m_where));
            break;
        }
        case Command::Copy: {
            const QString before = clipboard.content;
            window.PushButton5_Click();
            QString expected;
            for (int r = 0; r < results.count(); ++r) {
                if (results.isChecked(r)) {
                    QString text = results.text(r);
                    while (text.endsWith(QLatin1Char(' ')))
                        text.chop(1);
                    expected += text + QStringLiteral("\r\n");
                }
            }
            QVERIFY2(clipboard.content == (results.isEmpty() ? before : expected), qPrintable(m_where));
            break;
        }
        case Command::Export: {
            spreadsheet.document = {};
            spreadsheet.refusedCells.clear();
            spreadsheet.failAtCall = -1;
            const bool gone = m_random.bounded(8) == 0;
            if (gone)
                spreadsheet.failAtCall = m_random.bounded(4);
            const int refused = results.isEmpty() ? 0 : m_random.bounded(4);
            for (int i = 0; i < refused; ++i)
                spreadsheet.refusedCells.insert({1 + m_random.bounded(results.count()), 0});
            window.PushButton13_Click();
            if (results.isEmpty())
                break;
            const QStringList reports = harness.prompter.errorReports();
            QVERIFY2(reports.size() <= 1, qPrintable(m_where + QLatin1Char(' ') + reports.join(u'|')));
            if (gone && spreadsheet.document.calls.size() == spreadsheet.failAtCall)
                break; // the application stopped answering: one report, nothing more to check
            QVERIFY2(spreadsheet.document.shown, qPrintable(m_where));
            for (int r = 0; r < results.count(); ++r) {
                const QPair<int, int> cell{r + 1, 0};
                const bool written = results.isChecked(r) && !spreadsheet.refusedCells.contains(cell);
                QVERIFY2(spreadsheet.document.cells.value(cell) == (written ? results.text(r) : QString()),
                         qPrintable(m_where));
            }
            break;
        }
        case Command::Count:
            break;
        }
    }

    static QStringList sampleDomainsShown()
    {
        return {QStringLiteral("BlueOceanTravelGuide.com"), QStringLiteral("sunsetphotos.com"),
                QStringLiteral("http://www.bookstore.com"), QStringLiteral("www.musicfestival.com")};
    }

    QRandomGenerator m_random;
    MainWindow* m_window = nullptr;
    std::unique_ptr<EntryProcessor> m_processor;
    QStringList m_mirror; // what the DomainList must hold
    QString m_out;
    QString m_vanishing; // the file that goes once the open dialog shows
    QString m_where;
    int m_files = 0;
    int m_depth = 0;
    Command m_top = Command::Count;
    int m_counts[int(Command::Count)] = {};
    int m_nested = 0;
    int m_reports = 0;
};

} // namespace

class TestWindowSoak : public QObject
{
    Q_OBJECT

private slots:
    void randomCommandsWithFailures()
    {
        const int steps = qEnvironmentVariableIsSet("QUORVANE_SOAK_STEPS")
                              ? qEnvironmentVariableIntValue("QUORVANE_SOAK_STEPS")
                              : 600;
        const quint32 seed = qEnvironmentVariableIsSet("QUORVANE_SOAK_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("QUORVANE_SOAK_SEED"))
                                 : 20261207;
        qInfo("seed %u, %d steps", seed, steps);
        Soak soak(seed);
        for (int number = 0; number < steps; ++number) {
            soak.step(number);
            if (QTest::currentTestFailed())
                return;
        }
        qInfo("%s", qPrintable(soak.tally()));
    }
};

QTEST_MAIN(TestWindowSoak)
#include "test_windowsoak.moc"
