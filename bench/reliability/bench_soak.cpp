// Soak: 1,000,000 names through the window's "Start Splitting" with word list #2 and the display option on,
// then "Save Results As Text File", "Copy Results To Clipboard", closing, and a restart that restores the
// DomainList. Prints the time and peak memory of each stage and checks that nothing was lost: the rows
// against the engine run alone, the file's size and lines, the clipboard's lines, the restored entries.
// A second part loads a domain file with a line of 100 MB, splits it, closes and restarts; a third switches to
// a word list full of case duplicates.
// usage: bench_soak [NAMES]   (default 1000000), offscreen: QT_QPA_PLATFORM=offscreen
#include "BenchSupport.h"
#include "CollectedRows.h"
#include "MainWindow.h"
#include "Settings.h"
#include "app/WindowBench.h"
#include "core/EventPump.h"
#include "core/Prompter.h"
#include "engine/EntryProcessor.h"
#include "engine/WordDictionary.h"
#include "run/RowFormat.h"
#include "text/TextFiles.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

using namespace quorvane;
using quorvane::bench::Stopwatch;

namespace {

// Answers the save and open dialogs with the files of the soak; counts every box.
class SoakPrompter final : public Prompter
{
public:
    void message(const QString& text) override
    {
        messages.append(text);
        std::printf("  message: %s\n", qPrintable(text.left(160)));
    }
    void errorReport(const QString& text) override
    {
        ++reports;
        std::printf("  report: %s\n", qPrintable(text.left(160)));
    }
    QString inputBox(const QString&) override { return {}; }
    QStringList openFileNames(const FileDialogOptions&) override { return {openPath}; }
    QString saveFileName(const FileDialogOptions&) override { return savePath; }

    QString openPath;
    QString savePath;
    QStringList messages;
    int reports = 0;
};

using quorvane::bench::MeasuringPump;

// Names as users load them: mostly one word of the list, some two or three, now and then a number, a dash,
// "www.", a scheme or a path, and a suffix.
QStringList soakNames(const QString& wordListPath, int count)
{
    QStringList words;
    for (const QString& line : readFileLines(wordListPath)) {
        if (line.size() >= 6 && line.size() <= 9)
            words.append(line);
    }
    QRandomGenerator generator(1000000);
    const auto word = [&] { return words[generator.bounded(static_cast<int>(words.size()))]; };
    const QStringList suffixes = {QStringLiteral(".com"), QStringLiteral(".net"), QStringLiteral(".co.uk"),
                                  QStringLiteral(".org"), QStringLiteral(".de")};
    QStringList names;
    names.reserve(count);
    for (int i = 0; i < count; ++i) {
        QString name;
        switch (i % 8) {
        case 0:
            name = QStringLiteral("www.");
            break;
        case 1:
            name = QStringLiteral("http://www.");
            break;
        default:
            break;
        }
        name += word();
        // Most names are one word; some two, a few three.
        if (i % 10 < 3)
            name += (i % 3 == 0 ? QStringLiteral("-") : QString()) + word();
        if (i % 50 == 0)
            name += word();
        if (i % 20 == 0)
            name += QString::number(generator.bounded(100));
        name += suffixes[i % suffixes.size()];
        if (i % 32 == 0)
            name += QStringLiteral("/") + word();
        names.append(name);
    }
    return names;
}

void stage(const char* name, const Stopwatch& timer)
{
    std::printf("%-44s %8.2f s   peak %7.0f MiB   now %7.0f MiB\n", name, timer.seconds(), bench::peakMemoryMiB(),
                bench::currentMemoryMiB());
    std::fflush(stdout);
}

bool check(bool holds, const char* what)
{
    std::printf("  %s: %s\n", holds ? "kept" : "LOST", what);
    return holds;
}

// A window on its own settings file, started and shown.
struct Window
{
    Window(const QString& settingsPath, SoakPrompter& prompter, MeasuringPump& pump,
           const QString& applicationFolder = QStringLiteral(QUORVANE_APP_DIR))
        : settings(settingsPath), window(bench::startWindow(applicationFolder, prompter, settings, &pump))
    {}
    Settings settings;
    std::unique_ptr<MainWindow> window;
};

bool soakMillion(const QTemporaryDir& temporary, int count)
{
    const QString settingsPath = temporary.filePath(QStringLiteral("settings.ini"));
    {
        Settings preset(settingsPath);
        preset.storeOption(2);
        preset.storeShowOriginal(true);
    }
    const QStringList names = soakNames(QStringLiteral(QUORVANE_APP_DIR "/google.col"), count);
    SoakPrompter prompter;
    prompter.savePath = temporary.filePath(QStringLiteral("results.txt"));
    MeasuringPump pump;
    bool kept = true;

    std::printf("Soak: %d names, word list #2, display option on\n", count);
    bench::resetPeakMemory();
    Stopwatch timer;
    auto first = std::make_unique<Window>(settingsPath, prompter, pump);
    MainWindow& window = *first->window;
    stage("start-up (list #2)", timer);

    timer.restart();
    window.domainList().append(names);
    stage("names added to the DomainList", timer);

    timer.restart();
    pump.reset();
    window.PushButton9_Click();
    stage("Start Splitting", timer);
    const qsizetype rows = window.resultList().count();
    std::printf("  %lld rows, longest stretch without a yield %.3f s\n", static_cast<long long>(rows),
                pump.longestSeconds());

    // The engine alone over the same names, for the rows the window must have listed.
    timer.restart();
    EntryProcessor engine(window.dictionary(), QStringLiteral(QUORVANE_APP_DIR));
    qsizetype expectedRows = 0;
    qsizetype widest = QStringLiteral("Results").size();
    for (const QString& name : names) {
        CollectedRows output(1 << 16);
        const qsizetype listed =
            RowFormat{}.write(engine, name, SplitOptions{true, Segmenter::defaultMaxCandidates}, output).rows;
        expectedRows += listed;
        const QByteArray bytes = output.bytes();
        for (const QByteArray& row : bytes.split('\n'))
            widest = std::max(widest, QString::fromUtf8(row).size());
    }
    stage("the engine alone, same names (no window)", timer);
    kept &= check(rows == expectedRows, "every row of every name in the ResultList");
    kept &=
        check(prompter.messages.value(prompter.messages.size() - 1) == QStringLiteral("Done."), "\"Done.\" at the end");

    timer.restart();
    pump.reset();
    window.PushButton4_Click();
    stage("Save Results As Text File", timer);
    std::printf("  longest stretch without a yield %.3f s\n", pump.longestSeconds());
    const qint64 fileSize = QFileInfo(prompter.savePath).size();
    std::printf("  %.1f MiB written\n", fileSize / 1048576.0);
    // Every line is the widest text's width, a TAB and CR LF: the header and one line per row.
    kept &= check(fileSize == (rows + 1) * (widest + 3), "every row in the file, aligned");

    timer.restart();
    pump.reset();
    window.PushButton5_Click();
    stage("Copy Results To Clipboard", timer);
    std::printf("  longest stretch without a yield %.3f s\n", pump.longestSeconds());
    // Counted in the bytes the clipboard holds and hands out, without decoding a second copy of them.
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    kept &=
        check(copied && copied->data(QStringLiteral("text/plain")).count("\r\n") == rows, "every row on the clipboard");

    timer.restart();
    window.close();
    first.reset();
    stage("closing (the DomainList stored)", timer);

    timer.restart();
    Window second(settingsPath, prompter, pump);
    stage("restart (the DomainList restored)", timer);
    kept &= check(second.window->domainList().texts() == names, "every name back in the DomainList");
    kept &= check(prompter.reports == 0, "no error report");
    return kept;
}

// A domain file with a line of 100 MB between two names: loaded, split (the long line is reported), stored
// and restored.
bool soakLongLine(const QTemporaryDir& temporary)
{
    const QString settingsPath = temporary.filePath(QStringLiteral("long.ini"));
    {
        Settings preset(settingsPath);
        preset.storeOption(3);
    }
    const QString path = temporary.filePath(QStringLiteral("long.txt"));
    constexpr qsizetype lineLength = 100 * 1000 * 1000;
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        const QByteArray piece = QByteArray("sunset.photos-").repeated(70000);
        file.write("before.com\r\n");
        for (qsizetype written = 0; written < lineLength; written += piece.size())
            file.write(piece.left(std::min(piece.size(), lineLength - written)));
        file.write("\r\nafter.com\r\n");
    }
    SoakPrompter prompter;
    prompter.openPath = path;
    MeasuringPump pump;
    bool kept = true;

    std::printf("\nA domain file with a line of 100 MB\n");
    bench::resetPeakMemory();
    Stopwatch timer;
    auto first = std::make_unique<Window>(settingsPath, prompter, pump);
    timer.restart();
    first->window->PushButton3_Click();
    first->window->repaint();
    stage("Load Domains From Text File, painted", timer);
    timer.restart();
    first->window->PushButton9_Click();
    stage("Start Splitting", timer);
    kept &= check(prompter.reports == 1, "the long line reported once");
    timer.restart();
    first->window->close();
    first.reset();
    stage("closing (the DomainList stored)", timer);
    timer.restart();
    Window second(settingsPath, prompter, pump);
    stage("restart (the DomainList restored)", timer);
    const QStringList& restored = second.window->domainList().texts();
    kept &= check(restored.size() == 3 && restored[1].size() == lineLength, "the long line whole");
    return kept;
}

// Word list #2 holding 10,000 words and each of them again in capitals: how long the click on "Word List #2"
// holds the window, and how many boxes the user has to close.
void soakDuplicates(const QTemporaryDir& temporary)
{
    const QString folder = temporary.filePath(QStringLiteral("app"));
    QDir().mkpath(folder);
    for (const char* file : {"dbWords.mdb", "mit.col", "suffix.lst"})
        QFile::link(QStringLiteral(QUORVANE_APP_DIR "/") + QLatin1String(file),
                    folder + QLatin1Char('/') + QLatin1String(file));
    QStringList lines;
    for (int i = 0; i < 10000; ++i)
        lines.append(QStringLiteral("word%1").arg(i));
    for (int i = 0; i < 10000; ++i)
        lines.append(QStringLiteral("WORD%1").arg(i));
    QFile list(folder + QStringLiteral("/google.col"));
    if (!list.open(QIODevice::WriteOnly) || list.write(lines.join(QStringLiteral("\r\n")).toLatin1()) < 0)
        qFatal("cannot write %s", qPrintable(list.fileName()));
    list.close();
    const QString settingsPath = temporary.filePath(QStringLiteral("duplicates.ini"));
    {
        Settings preset(settingsPath);
        preset.storeOption(3);
    }
    std::printf("\nWord list #2 with 10,000 case duplicates\n");
    SoakPrompter prompter;
    MeasuringPump pump;
    Window window(settingsPath, prompter, pump, folder);
    prompter.reports = 0;
    Stopwatch timer;
    window.window->findChild<QRadioButton*>(QStringLiteral("Option2"))->click();
    std::printf("%-44s %8.3f s   %d boxes, %lld words\n", "click on Word List #2 until the user can act",
                timer.seconds(), prompter.reports, static_cast<long long>(window.window->dictionary().size()));
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir temporary;
    Stopwatch total;
    bool kept = soakMillion(temporary, count);
    kept &= soakLongLine(temporary);
    soakDuplicates(temporary);
    std::printf("\nTotal %.1f s, peak %.0f MiB: %s\n", total.seconds(), bench::peakMemoryMiB(),
                kept ? "nothing lost" : "SOMETHING LOST");
    return kept ? 0 : 1;
}
