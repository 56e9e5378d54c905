#include "SmallFileSystem.h"

#include <QFile>

#include <sys/mount.h>

namespace quorvane::testfiles {

namespace {

const char* const options = "size=64k";

} // namespace

SmallFileSystem::SmallFileSystem(const QString& folder) : m_folder(QFile::encodeName(folder))
{
    m_mounted = ::mount("tmpfs", m_folder.constData(), "tmpfs", 0, options) == 0;
}

SmallFileSystem::~SmallFileSystem()
{
    if (m_mounted)
        ::umount2(m_folder.constData(), MNT_DETACH);
}

bool SmallFileSystem::makeReadOnly() const
{
    return ::mount(nullptr, m_folder.constData(), nullptr, MS_REMOUNT | MS_RDONLY, options) == 0;
}

} // namespace quorvane::testfiles
