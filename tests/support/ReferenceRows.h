#pragma once

#include "core/Failure.h"
#include "engine/EntryProcessor.h"
#include "engine/NameCleaner.h"

#include <QStringList>

namespace quorvane {

// The rows of an entry built the plain way, one string at a time: the entry cleaned, its splits taken from the
// plain search (or the ranked one) and each row made of the trimmed entry and " - " (when shown) and the pieces
// with a blank between. The reference that the row writers are compared with; not part of the program.
struct ReferenceRows
{
    QStringList rows;
    bool cut = false;
    QStringList failures;

    ReferenceRows(EntryProcessor& processor, const QString& applicationFolder, QStringView entry,
                  const SplitOptions& options)
    {
        QString text;
        try {
            NameCleaner(applicationFolder).cleanForSearch(entry, text);
        } catch (const Failure& failure) {
            failures.append(failure.description());
            return;
        }
        const QString start = options.showOriginal ? trimBlanks(entry).toString() + QStringLiteral(" - ") : QString();
        try {
            cut = processor.forEachSplit(text, options, false, ExtraPieces::applyTo(text, options.guesses),
                                         [&](const qint32* ends, qsizetype pieces, qsizetype, qint64) {
                                             QString row = start;
                                             for (qsizetype k = 0; k < pieces; ++k) {
                                                 const qint32 from = k == 0 ? 0 : ends[k - 1];
                                                 if (k > 0)
                                                     row += QLatin1Char(' ');
                                                 row += QStringView(text).mid(from, ends[k] - from);
                                             }
                                             rows.append(row);
                                             return true;
                                         });
        } catch (const Failure& failure) {
            failures.append(failure.description());
        }
    }

    QByteArray bytes() const
    {
        QByteArray bytes;
        for (const QString& row : rows)
            bytes += row.toUtf8() + '\n';
        return bytes;
    }
};

} // namespace quorvane
