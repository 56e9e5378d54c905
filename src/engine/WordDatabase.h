#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace quorvane {

// The word database "dbWords.mdb", checked and read through libmdb.
class WordDatabase final
{
public:
    // Reads and checks the file. Throws Failure naming the file when it is missing, cannot be read, is not an
    // Access database, or is damaged where libmdb cannot read it safely.
    explicit WordDatabase(const QString& path);
    ~WordDatabase();
    WordDatabase(const WordDatabase&) = delete;
    WordDatabase& operator=(const WordDatabase&) = delete;

    const QString& path() const { return m_path; }

    // The third field (index 2) of every row of table "words" as text, in table order; no value for a row
    // whose third field is NULL. Either every row or a Failure: throws when there is no table "words", when it
    // has fewer than three fields, when it is damaged, or when fewer (or more) rows could be read than its
    // definition counts.
    std::vector<std::optional<QString>> readWords();

private:
    struct Handle;

    QString m_path;
    std::unique_ptr<Handle> m_handle;
};

namespace worddatabase_detail {
// A value of a Text field as a Jet 4 or ACE row stores it: UTF-16LE, or, after the mark FF FE, "compressed"
// text that starts with one byte per character (Latin-1) and switches between that and UTF-16LE at each 00.
QString decodeJet4Text(const unsigned char* bytes, int length);
} // namespace worddatabase_detail

} // namespace quorvane
