// The stored DomainList ("Zip Codes"). The first byte chooses the mode:
// - even: the rest is a list of entries separated by NUL bytes (UTF-8); it is stored, read back through a new
//   settings object, and must come back whole, then restore into the entries that hold no ";" and are not
//   empty, each split at its ";";
// - odd: the rest is a settings file as found on disk (perhaps damaged); reading every key must not crash.
#include "FuzzFile.h"
#include "Settings.h"
#include "core/Failure.h"

#include <QStringList>

#include <cstdint>

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if (data[0] % 2 == 1) {
        const QString path = fuzz::writeInput(data + 1, size - 1, QStringLiteral("settings.conf"));
        Settings settings(path);
        (void)settings.option();
        (void)settings.showOriginal();
        (void)settings.domainList();
        return 0;
    }

    QStringList entries;
    for (const QByteArray& piece : rest.toByteArray().split('\0'))
        entries.append(QString::fromUtf8(piece));
    const QString joined = entries.join(QLatin1Char(';'));
    const QString path = fuzz::writeInput(nullptr, 0, QStringLiteral("stored.conf"));
    try {
        Settings(path).storeDomainList(joined);
    } catch (const Failure&) {
        abort(); // a writable temporary file always takes the value
    }
    const QString stored = Settings(path).domainList();
    if (stored != joined)
        abort();
    QStringList expected;
    for (const QString& entry : entries) {
        for (const QString& piece : entry.split(QLatin1Char(';'))) {
            if (!piece.isEmpty())
                expected.append(piece);
        }
    }
    if (stored.split(QLatin1Char(';'), Qt::SkipEmptyParts) != expected)
        abort();
    return 0;
}
