#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <unistd.h>

namespace quorvane::fuzz {

// A file of this process in the temporary folder that each input overwrites.
inline QString writeInput(const uint8_t* data, size_t size, const QString& name = QStringLiteral("input"))
{
    const QString path =
        QDir::temp().filePath(QStringLiteral("quorvane-fuzz-%1-%2").arg(QString::number(getpid()), name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        abort();
    if (file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
        abort();
    return path;
}

} // namespace quorvane::fuzz
