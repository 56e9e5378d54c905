#include "OfficeProfile.h"

#include "core/Failure.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::calc {

namespace {

const QString profileArgument = QStringLiteral("-env:UserInstallation=");

// The office's setting that makes it accept connections at its start, in its settings file.
const QRegularExpression acceptSetting(
    QStringLiteral(
        R"(<item oor:path="/org.openoffice.Setup/Office"><prop oor:name="ooSetupConnectionURL".*?</item>\n?)"),
    QRegularExpression::DotMatchesEverythingOption);
const QRegularExpression acceptedPipe(QStringLiteral(R"(<value>pipe,name=([^;<]+);urp;)"));

QString acceptItem(const QString& name)
{
    return QStringLiteral(R"(<item oor:path="/org.openoffice.Setup/Office"><prop oor:name="ooSetupConnectionURL" )"
                          R"(oor:op="fuse"><value>pipe,name=%1;urp;StarOffice.ComponentContext</value></prop></item>)")
               .arg(name) +
           QLatin1Char('\n');
}

const QString settingsEnd = QStringLiteral("</oor:items>");

} // namespace

OfficeProfile::OfficeProfile(const CalcConnection& connection)
    : m_programFolder(connection.programFolder), m_arguments(connection.extraArguments)
{
    for (const QString& argument : connection.extraArguments) {
        if (argument.startsWith(profileArgument))
            m_folder = QUrl(argument.mid(profileArgument.size())).toLocalFile();
    }
    if (m_folder.isEmpty()) {
        m_folder =
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/quorvane/office");
        m_arguments.prepend(profileArgument + QUrl::fromLocalFile(m_folder).toString());
    }
    const QByteArray folder = QFile::encodeName(m_folder);
    struct stat status
    {};
    if (!QDir().mkpath(m_folder) || ::lstat(folder.constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::geteuid() || ::chmod(folder.constData(), 0700) != 0)
        throw Failure(
            QStringLiteral("The folder \"%1\" for LibreOffice's settings cannot be made private.").arg(m_folder));
    const QByteArray lockPath = QFile::encodeName(m_folder + QStringLiteral("/quorvane-start.lock"));
    m_lock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lock < 0)
        throw Failure(QStringLiteral("The folder \"%1\" cannot be written: %2").arg(m_folder, qt_error_string(errno)));
    while (::flock(m_lock, LOCK_EX) != 0 && errno == EINTR) {
    }
}

OfficeProfile::~OfficeProfile()
{
    ::close(m_lock); // lets go of the lock
}

QString OfficeProfile::settingsPath() const
{
    return m_folder + QStringLiteral("/user/registrymodifications.xcu");
}

QString OfficeProfile::recordedPipe() const
{
    QFile file(settingsPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString settings = QString::fromUtf8(file.readAll());
    const QRegularExpressionMatch item = acceptSetting.match(settings);
    return item.hasMatch() ? acceptedPipe.match(item.captured()).captured(1) : QString();
}

void OfficeProfile::recordPipe(const QString& name) const
{
    // The name goes where only the user can read it, never on a command line: another user who learnt it
    // before the office binds it could bind it first.
    QString settings;
    if (QFile file(settingsPath()); file.open(QIODevice::ReadOnly))
        settings = QString::fromUtf8(file.readAll());
    settings.remove(acceptSetting);
    if (!settings.contains(settingsEnd)) {
        // A new profile: no tips popping up over the exported document. And it counts as one this version of
        // the office has run on: else its first start does a new version's first-run work (the graphics
        // rendering tests against the display among it), which held up the window's answers for 70-210 ms.
        settings = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                  "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
                                  "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                                  "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
                                  "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop "
                                  "oor:name=\"ShowTipOfTheDay\" oor:op=\"fuse\"><value>false</value></prop></item>\n") +
                   lastVersionItem() + settingsEnd + QLatin1Char('\n');
    }
    settings.insert(settings.lastIndexOf(settingsEnd), acceptItem(name));
    QSaveFile file(settingsPath());
    if (!QDir().mkpath(m_folder + QStringLiteral("/user")) || !file.open(QIODevice::WriteOnly) ||
        file.write(settings.toUtf8()) < 0 || !file.commit())
        throw Failure(QStringLiteral("LibreOffice's settings \"%1\" cannot be written: %2")
                          .arg(settingsPath(), file.errorString()));
}

QString OfficeProfile::lastVersionItem() const
{
    QFile defaults(m_programFolder + QStringLiteral("/../share/registry/main.xcd"));
    if (!defaults.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression version(
        QStringLiteral(R"(<prop oor:name="ooSetupVersion">\s*<value>([0-9.]+)</value>)"));
    const QRegularExpressionMatch found = version.match(QString::fromUtf8(defaults.readAll()));
    if (!found.hasMatch())
        return {};
    return QStringLiteral(R"(<item oor:path="/org.openoffice.Setup/Product"><prop oor:name="ooSetupLastVersion" )"
                          R"(oor:op="fuse"><value>%1</value></prop></item>)")
               .arg(found.captured(1)) +
           QLatin1Char('\n');
}

} // namespace quorvane::calc
