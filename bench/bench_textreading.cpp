// Reads a 200 MB word-list file of short lines in each of the three readings and prints the rate beside
// the raw read of the same bytes, and the peak memory beside the size of the decoded text. Then loads a
// 1,000,000-line domain file with each decoding (plain, SSE2), which is what decides whether the SSE2
// decoding pays. (Reading the file ahead on a second thread was measured here too and was slower than reading
// it in turn, so it was removed.)
#include "BenchSupport.h"
#include "text/LineDecoder.h"
#include "text/TextFiles.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace quorvane;

namespace {

QByteArray makeBody(qint64 targetBytes, bool utf16)
{
    static const char* const words[] = {"apple", "garden", "blue", "sky", "network", "zebra", "quantum", "map"};
    QByteArray body;
    body.reserve(targetBytes + 64);
    QString text;
    int i = 0;
    if (!utf16) {
        while (body.size() < targetBytes) {
            body.append(words[i % 8]);
            body.append(QByteArray::number(i % 1000));
            body.append("\r\n");
            ++i;
        }
        return body;
    }
    while (body.size() < targetBytes) {
        const QString line = QString::fromLatin1(words[i % 8]) + QString::number(i % 1000) + QStringLiteral("\r\n");
        body.append(reinterpret_cast<const char*>(line.utf16()), line.size() * 2);
        ++i;
    }
    return body;
}

// Best of three runs each for the raw read and for readFileLines, with the slowest beside the best.
void measure(const char* name, const QString& path, qint64 bytes)
{
    constexpr int runs = 3;
    double rawBest = 1e9, rawWorst = 0, best = 1e9, worst = 0, peak = 0, decodedMiB = 0;
    bool narrow = false;
    qsizetype lineCount = 0;
    for (int run = 0; run < runs; ++run) {
        bench::Stopwatch raw;
        bench::readRaw(path);
        const double rawSeconds = raw.seconds();
        rawBest = std::min(rawBest, rawSeconds);
        rawWorst = std::max(rawWorst, rawSeconds);

        bench::resetPeakMemory();
        const double before = bench::currentMemoryMiB();
        bench::Stopwatch timer;
        const TextBlock lines = readFileLines(path);
        const double seconds = timer.seconds();
        best = std::min(best, seconds);
        worst = std::max(worst, seconds);
        peak = std::max(peak, bench::peakMemoryMiB() - before);
        decodedMiB = static_cast<double>(lines.memoryBytes()) / (1024.0 * 1024.0);
        narrow = lines.isNarrow();
        lineCount = lines.count();
    }
    // What the result's memory alone costs: new pages, cleared by the system, then written once.
    const qint64 resultBytes = qint64(decodedMiB * 1024 * 1024);
    // The file's bytes read whole into memory of their own, as a reader that keeps them must.
    double wholeBest = 1e9;
    for (int run = 0; run < runs; ++run) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(path));
        bench::Stopwatch timer;
        const QByteArray whole = file.readAll();
        wholeBest = std::min(wholeBest, timer.seconds());
        if (whole.size() != bytes)
            qFatal("read %lld bytes", static_cast<long long>(whole.size()));
    }
    double floorBest = 1e9;
    for (int run = 0; run < runs; ++run)
        floorBest = std::min(floorBest, bench::freshMemorySeconds(resultBytes));
    const double mb = static_cast<double>(bytes) / 1e6;
    std::printf("%-8s %8.1f MB  readFileLines %7.1f MB/s (slowest %7.1f)  raw %7.1f MB/s (slowest %7.1f)  "
                "ratio %.2f  lines %lld\n",
                name, mb, mb / best, mb / worst, mb / rawBest, mb / rawWorst, rawBest / best,
                static_cast<long long>(lineCount));
    std::printf("         goal a third of the raw rate: %s; decoded text %.1f MiB (%s, line ends included), peak "
                "memory above start %.1f MiB\n",
                rawBest / best >= 1.0 / 3 ? "met" : "NOT met", decodedMiB, narrow ? "one byte per character" : "UTF-16",
                peak);
    std::printf("         reading the bytes whole into new memory (readAll): %7.1f MB/s, ratio %.2f\n", mb / wholeBest,
                wholeBest / best);
    std::printf("         taking and writing the result's %.1f MiB of new memory alone: %.1f ms (%.0f MB/s of file, "
                "ratio %.2f)\n",
                double(resultBytes) / (1024.0 * 1024.0), floorBest * 1000, mb / floorBest, rawBest / floorBest);
}

// The domain file of bench_domainlist, loaded with every decoding; best of `runs`, rounds
// interleaved so that a busy moment of a shared machine does not fall on one variant alone.
void compareDecodings(const QString& path)
{
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        QByteArray bytes;
        for (int i = 0; i < 1000000; ++i)
            bytes += "www.example-name-" + QByteArray::number(i) + (i % 3 ? ".com\r\n" : ".co.uk\r\n");
        file.write(bytes);
    }
    struct Variant
    {
        const char* name;
        Decoding decoding;
        double best = 1e9;
    } variants[] = {
        {"plain", Decoding::Plain},
        {"SSE2", Decoding::Sse2},
    };
    constexpr int runs = 7;
    for (int run = 0; run < runs; ++run) {
        for (Variant& variant : variants) {
            if (variant.decoding == Decoding::Sse2 && LineDecoder::bestDecoding() != Decoding::Sse2)
                continue;
            TextBlock names;
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                qFatal("cannot read %s", qPrintable(path));
            bench::Stopwatch timer;
            linedecoder_detail::appendDeviceLines(file, path, TextEncoding::Ansi, LineBreaks::CrLfCrOrLf, names,
                                                  256 * 1024, variant.decoding);
            variant.best = std::min(variant.best, timer.seconds());
            if (names.count() != 1000000)
                qFatal("read %lld names", static_cast<long long>(names.count()));
        }
    }
    std::printf("Loading a 1,000,000-line domain file (%.1f MB), best of %d:\n", QFile(path).size() / 1e6, runs);
    for (const Variant& variant : variants) {
        if (variant.best < 1e9)
            std::printf("  %-22s %7.1f ms\n", variant.name, variant.best * 1000);
    }
    QFile::remove(path);
}

} // namespace

int main(int argc, char** argv)
{
    const qint64 target = argc > 1 ? QByteArray(argv[1]).toLongLong() * 1000000 : 200000000;
    QTemporaryDir dir;
    struct Variant
    {
        const char* name;
        QByteArray mark;
        bool utf16;
    } variants[] = {
        {"ANSI", QByteArray(), false},
        {"UTF-8", QByteArray("\xEF\xBB\xBF"), false},
        {"UTF-16", QByteArray("\xFF\xFE"), true},
    };
    compareDecodings(dir.filePath(QStringLiteral("domains.txt")));
    if (target == 0)
        return 0;
    std::printf("Reading a %.0f MB word list of short lines (pass a size in MB to change it, 0 for none)\n",
                target / 1e6);
    for (const Variant& variant : variants) {
        const QString path = dir.filePath(QString::fromLatin1(variant.name));
        {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly))
                return 1;
            file.write(variant.mark);
            file.write(makeBody(target, variant.utf16));
        }
        measure(variant.name, path, QFile(path).size());
        QFile::remove(path);
    }
    return 0;
}
