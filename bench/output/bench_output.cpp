// Saves and copies 1,000,000 checked result rows of 20 characters with the window's time-sliced yields on
// (and, for the save, a progress indicator as the window gives one), and prints each beside writing the same
// bytes with plain buffered I/O (the floor).
#include "BenchSupport.h"
#include "core/EventPump.h"
#include "core/ProgressIndicator.h"
#include "core/Prompter.h"
#include "model/TextListModel.h"
#include "output/AlignedTextExport.h"
#include "output/Clipboard.h"
#include "output/ClipboardCopy.h"
#include "text/Windows1252.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

using namespace quorvane;

namespace {

// Holds the text as the window's clipboard does: the bytes themselves, shared with the copy, not copied.
class HoldingClipboard final : public Clipboard
{
public:
    bool clear() override
    {
        held.clear();
        return true;
    }
    bool setUtf8Text(const QByteArray& text) override
    {
        held = text;
        return true;
    }
    QByteArray held;
};

// The window's progress bar without the widget: it keeps what it is told, as the bar would.
class KeptProgress final : public ProgressIndicator
{
public:
    void setValue(double percent) override
    {
        value = percent;
        ++reports;
    }
    void setText(const QString& text) override { caption = text; }
    double value = 0;
    QString caption;
    int reports = 0;
};

// Nothing on screen: every prompt would be a failure of the benchmark.
class SilentPrompter final : public Prompter
{
public:
    void message(const QString& text) override { std::printf("unexpected message: %s\n", qPrintable(text)); }
    void errorReport(const QString& text) override { std::printf("unexpected report: %s\n", qPrintable(text)); }
    QString inputBox(const QString&) override { return {}; }
    QStringList openFileNames(const FileDialogOptions&) override { return {}; }
    QString saveFileName(const FileDialogOptions&) override { return {}; }
};

// Writes the bytes with stdio in 64 KiB pieces; `sync` adds the fsync that replacing a file safely costs.
double writeFloor(const QString& path, const QByteArray& bytes, bool sync)
{
    bench::Stopwatch timer;
    std::FILE* file = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (!file)
        return -1;
    const qsizetype piece = 1 << 16;
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        std::fwrite(bytes.constData() + at, 1, static_cast<size_t>(std::min(piece, bytes.size() - at)), file);
    std::fflush(file);
    if (sync)
        fsync(fileno(file));
    std::fclose(file);
    return timer.seconds();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;

    TextListModel results(TextListModel::Marks::Checkable);
    results.setCaption(QStringLiteral("Results"));
    // The rows go into one block without a string each: a million strings freed just before the timing
    // would leave the allocator a million chunks to merge, a cost of the setup that the first large
    // allocation of whatever is timed next would pay.
    TextBlock texts;
    texts.reserve(rows, qsizetype(rows) * 20);
    QString text = QStringLiteral("result00000000000000"); // 20 characters, the row number at the end
    for (int r = 0; r < rows; ++r) {
        QChar* digit = text.data() + text.size();
        for (int rest = r; rest > 0; rest /= 10)
            *--digit = QLatin1Char(static_cast<char>('0' + rest % 10));
        texts.add(text);
    }
    results.append(texts, true);
    texts.clear();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.txt"));
    TimeSlicedEventPump pump;
    SilentPrompter prompter;
    KeptProgress progress;

    std::printf("%d checked rows of 20 characters, yields on (time-sliced event pump), progress reported\n", rows);

    bench::resetPeakMemory();
    double before = bench::currentMemoryMiB();
    bench::Stopwatch saveTimer;
    saveListviewProperlySpaced(results, path, &progress, pump, prompter);
    const double saveSeconds = saveTimer.seconds();
    const double saveMemory = bench::peakMemoryMiB() - before;
    QFile saved(path);
    saved.open(QIODevice::ReadOnly);
    const QByteArray fileBytes = saved.readAll();
    saved.close();
    const double fileFloor = writeFloor(dir.filePath(QStringLiteral("floor.txt")), fileBytes, false);
    const double fileFloorSynced = writeFloor(dir.filePath(QStringLiteral("floor2.txt")), fileBytes, true);
    std::printf("save text file   %7.3f s  (%.1f MB)  floor: stdio %.3f s -> %.2fx, stdio + fsync %.3f s -> %.2fx;"
                " peak memory +%.1f MiB; %d progress values\n",
                saveSeconds, fileBytes.size() / 1e6, fileFloor, saveSeconds / fileFloor, fileFloorSynced,
                saveSeconds / fileFloorSynced, saveMemory, progress.reports);

    HoldingClipboard clipboard;
    bench::resetPeakMemory();
    before = bench::currentMemoryMiB();
    bench::Stopwatch copyTimer;
    copyListviewToClipboard(results, clipboard, pump);
    const double copySeconds = copyTimer.seconds();
    const double copyMemory = bench::peakMemoryMiB() - before;
    // The floor writes the same text as the save does, in Windows-1252.
    const QByteArray clipboardBytes = windows1252::encode(QString::fromUtf8(clipboard.held));
    const double copyFloor = writeFloor(dir.filePath(QStringLiteral("floor3.txt")), clipboardBytes, false);
    std::printf("copy clipboard   %7.3f s  (%.1f MB of UTF-8)  floor: stdio %.3f s -> %.2fx;"
                " peak memory +%.1f MiB (text %.1f MiB)\n",
                copySeconds, clipboard.held.size() / 1e6, copyFloor, copySeconds / copyFloor, copyMemory,
                clipboard.held.size() / (1024.0 * 1024.0));
    // What any text of this size pays first: memory the process never used is brought in page by page.
    bench::Stopwatch freshTimer;
    QByteArray fresh(clipboard.held.size(), ' ');
    const double freshSeconds = freshTimer.seconds();
    std::printf("                 for reference, a fresh block of the text's size filled with blanks %.3f s\n",
                freshSeconds);
    return fresh.isEmpty() ? 1 : 0;
}
