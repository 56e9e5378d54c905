#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// Writes a Jet 4 (Access 2000) database file holding one table of words: ID (Long), Length (Integer) and
// Word (Text). The output depends on the words alone, so every build writes the same bytes.
namespace quorvane::mkmdb {

struct JetOptions
{
    QString tableName = QStringLiteral("words");
};

// A row per entry, in order: ID 1, 2, ...; Length is the word's length in UTF-16 code units; an entry without
// a value gives a row whose Length and Word are NULL. Throws std::invalid_argument naming the row when a word
// cannot be stored (empty, longer than 255 characters, holding U+0000 or a character beyond U+FFFF, or
// starting with U+FEFF) or when the table would not fit.
QByteArray writeWordDatabase(const std::vector<std::optional<QString>>& words, const JetOptions& options = {});

} // namespace quorvane::mkmdb
