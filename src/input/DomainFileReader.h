#pragma once

#include "text/TextBlock.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>

namespace quorvane {

// How the names of a domain file are read.
enum class NameEncoding
{
    Windows1252,     // 8-bit text, no byte-order mark recognised (a mark's bytes become the first characters)
    Utf8UnlessMarked // UTF-8, unless a byte-order mark says UTF-16; a UTF-8 mark is skipped
};

// Reads the names of a domain file, one per line, chunk by chunk, in its NameEncoding.
class DomainFileReader final
{
public:
    static constexpr qsizetype defaultChunkBytes = 256 * 1024;
    // The longest line read as a name. The search takes at most 32,766 characters of a cleaned name; a line of
    // more than twice that is no name.
    static constexpr qsizetype maxNameLength = 64 * 1024;

    // Opens the file. Throws Failure when it cannot be opened.
    explicit DomainFileReader(const QString& path, qsizetype chunkBytes = defaultChunkBytes,
                              NameEncoding encoding = NameEncoding::Windows1252);
    // Reads from a device opened by the caller (standard input, for instance), which must outlive the
    // reader. `displayName` names it in failure descriptions.
    DomainFileReader(QIODevice& device, QString displayName, qsizetype chunkBytes = defaultChunkBytes,
                     NameEncoding encoding = NameEncoding::Windows1252);
    ~DomainFileReader();
    DomainFileReader(const DomainFileReader&) = delete;
    DomainFileReader& operator=(const DomainFileReader&) = delete;

    // Sets `name` to the next name and returns true, or returns false after the last one.
    bool readName(QString& name);
    // Appends the next name to `text` and returns true, or returns false after the last one, so that many
    // names can be read one after the other into one string.
    bool appendName(QString& text);

    // The descriptions of the lines skipped since the last call (invalid UTF-8), each with its line number.
    QStringList takeSkipped() { return std::exchange(m_skipped, {}); }
    // The bytes read from the file or device so far.
    qint64 bytesRead() const { return m_bytesRead; }

    // Every name of the file, in file order.
    static QStringList readAllNames(const QString& path);

    // Appends every name of the file to `names`, decoded straight into the block's buffer in one pass, reading
    // `pieceBytes` at a time so that memory holds the names and one piece. Throws Failure when the file cannot be
    // opened or read; the names read before a read error stay appended.
    static void appendAllNames(const QString& path, TextBlock& names, qsizetype pieceBytes = defaultChunkBytes);

    // Calls `consume(const QString& name)` for every name of the file, in file order, holding only one
    // name at a time.
    template <typename Consume> static void forEachName(const QString& path, Consume&& consume)
    {
        DomainFileReader reader(path);
        QString name;
        while (reader.readName(name))
            consume(name);
    }

private:
    bool fillBuffer();
    // Reads the next chunk into m_buffer; UTF-16 (after its mark) is turned into UTF-8 there.
    qint64 readChunk();
    // Appends the line's bytes [begin, end) as text; in UTF-8, keeps them until the line ends.
    void appendBytes(QString& text, const char* begin, const char* end);
    // The line has ended: in UTF-8 its bytes are decoded, or the line is skipped; false when it was.
    bool endLine(QString& text, qsizetype nameStart);
    // Takes the name begun at `nameStart` out of `text` again, ends the reading and throws the overflow failure.
    [[noreturn]] void overflow(QString& text, qsizetype nameStart);

    std::unique_ptr<QFile> m_ownedFile;
    QIODevice* m_device = nullptr;
    QString m_displayName;
    QByteArray m_buffer;
    qsizetype m_position = 0;
    qsizetype m_end = 0;
    bool m_skipLineFeed = false; // the last name ended with CR: an LF right after it belongs to it
    bool m_atEnd = false;
    qint64 m_names = 0; // handed out so far
    qint64 m_lines = 0; // read so far, skipped ones included
    qint64 m_bytesRead = 0;
    NameEncoding m_encoding;
    bool m_markChecked = false;
    std::optional<QStringDecoder> m_utf16; // after a UTF-16 mark
    QByteArray m_raw;                      // the bytes read, before they are turned into UTF-8
    QByteArray m_lineBytes;                // UTF-8: the bytes of the line so far
    QStringList m_skipped;
};

} // namespace quorvane
