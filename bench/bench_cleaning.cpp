// The per-name work of quorvane-split outside the search, in nanoseconds per name (fastest of several runs):
// reading the names of a file, cleaning them for the search with the shipped suffix list, and the two
// together, on the names of the split quality corpus as bench_engine makes them.
// usage: bench_cleaning [CORPUS] [NAMES] [RUNS]   (CORPUS: default $QUORVANE_CORPUS, else as bench_engine)
#include "BenchSupport.h"
#include "engine/NameCleaner.h"
#include "input/DomainFileReader.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quorvane;

namespace {

double fastestSeconds(int runs, const std::function<void()>& body)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        bench::Stopwatch watch;
        body();
        best = std::min(best, watch.seconds());
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QString corpus = bench::corpusPath(argc > 1 ? argv[1] : nullptr);
    const qsizetype wanted = argc > 2 ? QByteArray(argv[2]).toLongLong() : 1000000;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
    const QString appDir = QStringLiteral(QUORVANE_APP_DIR);

    const QStringList names = bench::corpusNames(corpus, wanted);
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("names.txt"));
    {
        QFile file(input);
        if (names.isEmpty() || !file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray bytes;
        for (const QString& name : names)
            bytes += name.toLatin1() + '\n';
        file.write(bytes);
    }
    const auto perName = [&](double seconds) { return seconds * 1e9 / static_cast<double>(names.size()); };
    std::printf("%lld names from %s, suffix list of %s; fastest of %d runs\n", static_cast<long long>(names.size()),
                qPrintable(corpus), qPrintable(appDir), runs);

    qsizetype units = 0;
    const double reading = fastestSeconds(runs, [&] {
        DomainFileReader reader(input);
        QString name;
        units = 0;
        while (reader.readName(name))
            units += name.size();
    });
    std::printf("reading the names            %6.1f ns per name (%lld characters)\n", perName(reading),
                static_cast<long long>(units));

    NameCleaner cleaner(appDir);
    QString text;
    const double cleaning = fastestSeconds(runs, [&] {
        units = 0;
        for (const QString& name : names) {
            cleaner.cleanForSearch(name, text);
            units += text.size();
        }
    });
    std::printf("cleaning for the search      %6.1f ns per name (%lld characters left)\n", perName(cleaning),
                static_cast<long long>(units));

    const double both = fastestSeconds(runs, [&] {
        DomainFileReader reader(input);
        QString name;
        units = 0;
        while (reader.readName(name)) {
            cleaner.cleanForSearch(name, text);
            units += text.size();
        }
    });
    std::printf("reading and cleaning         %6.1f ns per name\n", perName(both));
    return 0;
}
