// cleanDomainName with a fuzzed suffix list: the input is a suffix list, a NUL byte, then names separated
// by NUL bytes (all Windows-1252). Every name must clean without a crash, and the result never holds a
// separator or an outer blank.
#include "FuzzFile.h"
#include "core/Failure.h"
#include "engine/NameCleaner.h"
#include "text/Windows1252.h"

#include <QDir>

#include <cstdint>

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = bytes.indexOf('\0');
    const QByteArrayView suffixes = split < 0 ? bytes : bytes.first(split);
    const QByteArrayView names = split < 0 ? QByteArrayView() : bytes.sliced(split + 1);

    static const QString folder = [] {
        const QString path = QDir::temp().filePath(QStringLiteral("quorvane-fuzz-clean-%1").arg(getpid()));
        QDir().mkpath(path);
        return path;
    }();
    {
        QFile file(QDir(folder).filePath(QStringLiteral("suffix.lst")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(suffixes.toByteArray()) < 0)
            abort();
    }
    NameCleaner cleaner(folder);
    for (const QByteArray& raw : names.toByteArray().split('\0')) {
        try {
            const QString cleaned = cleaner.cleanDomainName(windows1252::decode(raw));
            if (cleaned.contains(u'.') || cleaned.contains(u'/') || cleaned.contains(u'-'))
                abort();
            if (cleaned.startsWith(u' ') || cleaned.endsWith(u' '))
                abort();
        } catch (const Failure&) {
            // Only a suffix list that is too long may fail.
            if (suffixes.count("\r\n") < NameCleaner::maxSuffixLines - 1)
                abort();
        }
    }
    return 0;
}
