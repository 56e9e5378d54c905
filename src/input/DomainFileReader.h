#pragma once

#include "text/TextBlock.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <memory>

namespace quorvane {

// Reads the names of a domain file, one per line, chunk by chunk.
class DomainFileReader final
{
public:
    static constexpr qsizetype defaultChunkBytes = 256 * 1024;
    // The longest line read as a name. The search takes at most 32,766 characters of a cleaned name; a line of
    // more than twice that is no name.
    static constexpr qsizetype maxNameLength = 64 * 1024;

    // Opens the file. Throws Failure when it cannot be opened.
    explicit DomainFileReader(const QString& path, qsizetype chunkBytes = defaultChunkBytes);
    // Reads from a device opened by the caller (standard input, for instance), which must outlive the
    // reader. `displayName` names it in failure descriptions.
    DomainFileReader(QIODevice& device, QString displayName, qsizetype chunkBytes = defaultChunkBytes);
    ~DomainFileReader();
    DomainFileReader(const DomainFileReader&) = delete;
    DomainFileReader& operator=(const DomainFileReader&) = delete;

    // Sets `name` to the next name and returns true, or returns false after the last one.
    bool readName(QString& name);
    // Appends the next name to `text` and returns true, or returns false after the last one, so that many
    // names can be read one after the other into one string.
    bool appendName(QString& text);

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
};

} // namespace quorvane
