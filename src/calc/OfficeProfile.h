#pragma once

#include "output/LibreOfficeCalc.h"

#include <QString>
#include <QStringList>

namespace quorvane::calc {

// The profile folder of the office the export starts, private to the user, held for one start at a time.
class OfficeProfile
{
public:
    // The profile that the office's arguments name (-env:UserInstallation=), else the program's own in the
    // user's cache folder. Makes the folder the user's alone (mode 0700) and waits until no other process of
    // the program starts or joins an office of it. Throws Failure when the folder cannot be made private.
    explicit OfficeProfile(const CalcConnection& connection);
    ~OfficeProfile();
    OfficeProfile(const OfficeProfile&) = delete;
    OfficeProfile& operator=(const OfficeProfile&) = delete;

    // The office's arguments with this profile in them.
    QStringList arguments() const { return m_arguments; }

    // The pipe that the office of this profile was last started on, empty when none.
    QString recordedPipe() const;
    // Makes the office's next start of this profile accept connections on the pipe `name`. Throws Failure.
    void recordPipe(const QString& name) const;

private:
    QString settingsPath() const;
    // The setting that marks the profile as last run by the installed office, empty when its version is unknown.
    QString lastVersionItem() const;

    QString m_programFolder;
    QString m_folder;
    QStringList m_arguments;
    int m_lock = -1;
};

} // namespace quorvane::calc
