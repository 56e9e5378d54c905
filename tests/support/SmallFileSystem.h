#pragma once

#include <QByteArray>
#include <QString>

namespace quorvane::testfiles {

// A tmpfs of 64 KiB mounted on an existing folder for the life of the object, so that writes into it run out
// of room; mounting needs the right to (root), and mounted() tells whether it was granted.
class SmallFileSystem
{
public:
    explicit SmallFileSystem(const QString& folder);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return m_mounted; }
    // Mounts it again read-only; false when that is not allowed.
    bool makeReadOnly() const;

private:
    QByteArray m_folder;
    bool m_mounted = false;
};

} // namespace quorvane::testfiles
