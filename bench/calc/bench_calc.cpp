// The spreadsheet export through the real LibreOffice Calc, end to end through the plugin, of 135,000 and
// 1,000,000 checked result rows (or the counts given as arguments), into an office of its own (a profile of its
// own), first while that office starts, then with it running. A second thread pings the window's thread every 5 ms
// through its event queue, as the desktop pings a window, and the longest stretch without an answer is
// printed beside the total time (goal: at most 50 ms). Each size runs twice in the same office:
//   window thread: the export's calls (new document, blocks of 8,192 rows, fitting, showing or saving) made on
//                  the window's thread, as the export made them before they moved to a thread of their own;
//   export:        the export itself, as the window runs it.
// Then 2,000 rows written one cell per call, for the worth of the blocks. Ends the office afterwards.
#include "BenchSupport.h"
#include "TestOffice.h"
#include "UnoOffice.h"
#include "core/EventPump.h"
#include "core/Pointer.h"
#include "core/Prompter.h"
#include "model/TextListModel.h"
#include "output/Clipboard.h"
#include "output/LibreOfficeCalc.h"
#include "output/OutputCommands.h"
#include "output/SpreadsheetExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

using namespace quorvane;

namespace {

class PrintingPrompter final : public Prompter
{
public:
    void message(const QString& text) override { std::printf("  message: %s\n", qPrintable(text)); }
    void errorReport(const QString& text) override { std::printf("  error report: %s\n", qPrintable(text)); }
    QString inputBox(const QString&) override { return {}; }
    QStringList openFileNames(const FileDialogOptions&) override { return {}; }
    QString saveFileName(const FileDialogOptions&) override { return {}; }
};

class NoClipboard final : public Clipboard
{
public:
    bool clear() override { return true; }
    bool setUtf8Text(const QByteArray&) override { return true; }
};

// Pings the thread that made it every 5 ms through its event queue; a ping is answered when that thread
// next takes its events.
class PingProbe
{
public:
    using Clock = std::chrono::steady_clock;

    PingProbe()
        : m_thread([this] {
              while (!m_stop) {
                  const std::size_t index = record(Clock::now());
                  QMetaObject::invokeMethod(
                      &m_receiver, [this, index] { answer(index, Clock::now()); }, Qt::QueuedConnection);
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              }
          })
    {}
    ~PingProbe()
    {
        m_stop = true;
        m_thread.join();
    }

    // The longest wait of a ping sent since `from` (one not answered yet counts until now), in milliseconds.
    double longestStretchSince(Clock::time_point from)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const Clock::time_point now = Clock::now();
        double longest = 0;
        for (const Ping& ping : m_pings) {
            if (ping.sent >= from) {
                const Clock::time_point answered = ping.answered == Clock::time_point{} ? now : ping.answered;
                longest = std::max(longest, std::chrono::duration<double, std::milli>(answered - ping.sent).count());
            }
        }
        return longest;
    }

private:
    struct Ping
    {
        Clock::time_point sent;
        Clock::time_point answered;
    };

    std::size_t record(Clock::time_point sent)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_pings.push_back({sent, {}});
        return m_pings.size() - 1;
    }
    void answer(std::size_t index, Clock::time_point at)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_pings[index].answered = at;
    }

    QObject m_receiver; // lives on the thread that made the probe
    std::mutex m_mutex;
    std::vector<Ping> m_pings;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The export's calls in the order the export makes them, all on this thread.
void exportOnThisThread(SpreadsheetApplication& calc, const QStringList& texts, Prompter& prompter)
{
    std::unique_ptr<Spreadsheet> sheet = calc.addWorkbook();
    sheet->setTexts(0, 0, {{QStringLiteral("Results")}});
    sheet->autofitColumn(0);
    for (qsizetype first = 0; first < texts.size(); first += spreadsheetBlockCells) {
        QList<QStringList> block;
        const qsizetype end = std::min<qsizetype>(first + spreadsheetBlockCells, texts.size());
        for (qsizetype r = first; r < end; ++r)
            block.append(QStringList{texts[r]});
        sheet->setTexts(static_cast<int>(first) + 1, 0, block);
        QCoreApplication::processEvents(); // the window's turn between blocks
    }
    sheet->autofitAllColumns();
    if (const QString saved = sheet->show(); !saved.isEmpty())
        prompter.message(QStringLiteral("saved in \"%1\"").arg(saved));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    // The window-thread runs call the office from this thread, whose writes to an office that restarts itself
    // (as one with a new profile does once) would end the benchmark; the export's own thread is safe anyway.
    std::signal(SIGPIPE, SIG_IGN);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.append(QByteArray(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = {135000, 1000000};
    const QString programFolder = LibreOfficeCalc::findProgramFolder();
    if (programFolder.isEmpty()) {
        std::printf("LibreOffice Calc is not installed\n");
        return 1;
    }
    QTemporaryDir profile;
    QTemporaryDir saves;
    const QString pipe = QStringLiteral("quorvane-bench-%1").arg(QCoreApplication::applicationPid());
    const QStringList arguments{QStringLiteral("--headless"), QStringLiteral("--invisible"),
                                QStringLiteral("-env:UserInstallation=") +
                                    QUrl::fromLocalFile(profile.path()).toString()};
    // Ends the office at the end, and waits for it to write its profile before the folder goes.
    const testoffice::OfficeEnding ending(CalcConnection{programFolder, pipe, arguments}, arguments.last().toUtf8());
    LibreOfficeCalc calc(QStringLiteral(QUORVANE_APP_DIR "/libquorvane_calc.so"), pipe, arguments, saves.path());

    PrintingPrompter prompter;
    PlainPointer pointer;
    TimeSlicedEventPump pump;
    NoClipboard clipboard;
    OutputCommands commands(prompter, pointer, pump, nullptr, clipboard, calc);
    PingProbe probe;

    for (const int rows : sizes) {
        TextListModel results(TextListModel::Marks::Checkable);
        results.setCaption(QStringLiteral("Results"));
        QStringList texts;
        texts.reserve(rows);
        for (int r = 0; r < rows; ++r)
            texts.append(QStringLiteral("result%1").arg(r, 14, 10, QLatin1Char('0')));
        results.append(texts, true);
        QCoreApplication::processEvents();

        if (rows == sizes.front()) {
            // The first export starts the office, which competes with the window for the processors.
            const auto starting = PingProbe::Clock::now();
            bench::Stopwatch firstExport;
            commands.PushButton13_Click(results);
            const double firstSeconds = firstExport.seconds();
            QCoreApplication::processEvents();
            std::printf("%9d rows, export, office starting:   %6.2f s, longest stretch without an answer %6.0f ms\n",
                        rows, firstSeconds, probe.longestStretchSince(starting));
        }

        const auto before = PingProbe::Clock::now();
        bench::Stopwatch windowThread;
        exportOnThisThread(calc, texts, prompter);
        const double windowThreadSeconds = windowThread.seconds();
        QCoreApplication::processEvents();
        std::printf("%9d rows, calls on the window thread: %6.2f s, longest stretch without an answer %6.0f ms\n", rows,
                    windowThreadSeconds, probe.longestStretchSince(before));

        const auto during = PingProbe::Clock::now();
        bench::Stopwatch exportTimer;
        commands.PushButton13_Click(results);
        const double exportSeconds = exportTimer.seconds();
        QCoreApplication::processEvents();
        std::printf("%9d rows, export:                     %6.2f s, longest stretch without an answer %6.0f ms\n", rows,
                    exportSeconds, probe.longestStretchSince(during));
        for (const QString& file : QDir(saves.path()).entryList(QDir::Files))
            QFile::remove(saves.filePath(file));
    }

    const int perCellRows = 2000;
    auto sheet = calc.addWorkbook();
    bench::Stopwatch perCell;
    for (int r = 0; r < perCellRows; ++r)
        sheet->setTexts(r + 1, 0, {{QStringLiteral("result%1").arg(r, 14, 10, QLatin1Char('0'))}});
    const double perCellSeconds = perCell.seconds();
    sheet->abandon();
    sheet.reset();
    std::printf("one cell per call: %d rows in %.2f s (%.0f us a cell)\n", perCellRows, perCellSeconds,
                perCellSeconds / perCellRows * 1e6);
    return 0;
}
