// Reads a 200 MB word-list file of short lines in each of the three readings and prints the rate beside
// the raw read of the same bytes, and the peak memory beside the size of the decoded text.
#include "BenchSupport.h"
#include "text/TextFiles.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

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

void measure(const char* name, const QString& path, qint64 bytes)
{
    bench::Stopwatch raw;
    bench::readRaw(path);
    const double rawSeconds = raw.seconds();

    bench::resetPeakMemory();
    const double before = bench::currentMemoryMiB();
    bench::Stopwatch timer;
    const QStringList lines = readFileLines(path);
    const double seconds = timer.seconds();
    qint64 units = 0;
    for (const QString& line : lines)
        units += line.size();
    const double mb = static_cast<double>(bytes) / 1e6;
    std::printf("%-8s %8.1f MB  readFileLines %7.1f MB/s  raw %7.1f MB/s  ratio %.2f  lines %lld\n", name, mb,
                mb / seconds, mb / rawSeconds, rawSeconds / seconds, static_cast<long long>(lines.size()));
    std::printf("         decoded text %.1f MiB, peak memory above start %.1f MiB\n",
                static_cast<double>(units) * 2 / (1024.0 * 1024.0), bench::peakMemoryMiB() - before);
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
    std::printf("Reading a %.0f MB word list of short lines (pass a size in MB to change it)\n", target / 1e6);
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
