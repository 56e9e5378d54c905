#include "LibreOfficeCalc.h"

#include "core/Failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quorvane {

namespace {

bool isComplete(const QString& folder)
{
    static const char* const required[] = {
        "soffice",         "libuno_cppu.so.3", "libuno_cppuhelpergcc3.so.3",
        "libuno_sal.so.3", "types.rdb",        "types/offapi.rdb",
        "fundamentalrc",   "libsclo.so",
    };
    const QDir dir(folder);
    for (const char* name : required) {
        if (!QFileInfo(dir.filePath(QLatin1String(name))).isFile())
            return false;
    }
    return true;
}

} // namespace

LibreOfficeCalc::LibreOfficeCalc(QString pluginPath, QString pipeName, QStringList extraArguments, QString tokenFolder)
    : m_pluginPath(std::move(pluginPath)), m_pipeName(std::move(pipeName)), m_extraArguments(std::move(extraArguments)),
      m_tokenFolder(std::move(tokenFolder))
{
    if (m_pluginPath.isEmpty())
        m_pluginPath = QCoreApplication::applicationDirPath() + QStringLiteral("/libquorvane_calc.so");
}

QString LibreOfficeCalc::defaultTokenFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

namespace {

constexpr int tokenBytes = 16;

// The token of the file when it is the user's own plain file that nobody else can read or write, else empty.
QByteArray readToken(const QByteArray& path)
{
    const int file = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (file < 0)
        return {};
    QByteArray token(2 * tokenBytes + 1, '\0');
    struct stat info
    {};
    ssize_t got = -1;
    if (::fstat(file, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        (info.st_mode & (S_IRWXG | S_IRWXO)) == 0)
        got = ::read(file, token.data(), token.size());
    ::close(file);
    if (got != 2 * tokenBytes)
        return {};
    token.truncate(got);
    for (const char c : std::as_const(token)) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
    }
    return token;
}

} // namespace

QString LibreOfficeCalc::userPipeName(const QString& folder)
{
    const auto name = [](const QByteArray& token) { return QStringLiteral("quorvane-calc-") + QLatin1String(token); };
    if (!QDir().mkpath(folder))
        throw Failure(QStringLiteral("Cannot create the folder \"%1\".").arg(folder));
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/office-pipe"));
    if (const QByteArray kept = readToken(path); !kept.isEmpty())
        return name(kept);

    quint32 random[tokenBytes / 4];
    QRandomGenerator::system()->fillRange(random);
    const QByteArray token = QByteArray(reinterpret_cast<const char*>(random), tokenBytes).toHex();
    // Written whole under a name of its own, then linked into place: a file that another run linked there
    // first wins, and both runs use its token.
    const QByteArray fresh = path + '.' + QByteArray::number(QCoreApplication::applicationPid());
    ::unlink(fresh.constData());
    const int file = ::open(fresh.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file < 0)
        throw Failure(QStringLiteral("Cannot create \"%1\": %2").arg(QFile::decodeName(fresh), qt_error_string(errno)));
    const bool written = ::write(file, token.constData(), size_t(token.size())) == token.size();
    ::close(file);
    if (!written) {
        ::unlink(fresh.constData());
        throw Failure(QStringLiteral("Cannot write \"%1\".").arg(QFile::decodeName(fresh)));
    }
    if (::link(fresh.constData(), path.constData()) != 0) {
        // A file of a bad kind, or one another run made meanwhile.
        if (const QByteArray kept = readToken(path); !kept.isEmpty()) {
            ::unlink(fresh.constData());
            return name(kept);
        }
        ::rename(fresh.constData(), path.constData());
    }
    ::unlink(fresh.constData());
    if (readToken(path) != token)
        throw Failure(QStringLiteral("Cannot keep the office's pipe name in \"%1\".").arg(QFile::decodeName(path)));
    return name(token);
}

QString LibreOfficeCalc::findProgramFolder()
{
    QStringList candidates;
    for (const char* name : {"soffice", "libreoffice"}) {
        const QString found = QStandardPaths::findExecutable(QLatin1String(name));
        if (!found.isEmpty()) {
            // Resolves the links of /usr/bin into the program folder; a dangling link gives nothing.
            const QString resolved = QFileInfo(found).canonicalFilePath();
            if (!resolved.isEmpty())
                candidates.append(QFileInfo(resolved).absolutePath());
        }
    }
    candidates.append(QStringLiteral("/usr/lib/libreoffice/program"));
    for (const QString& folder : candidates) {
        if (isComplete(folder))
            return folder;
    }
    return {};
}

bool LibreOfficeCalc::isInstalled()
{
    return !findProgramFolder().isEmpty() && QFileInfo(m_pluginPath).isFile();
}

std::unique_ptr<Spreadsheet> LibreOfficeCalc::addWorkbook()
{
    // Each export starts on a worker thread of its own, and a second export can start while the first one
    // waits for the office. One at a time loads the plugin and reaches the office: the second then joins
    // the office the first one started, instead of both setting up the UNO runtime and starting an office at
    // once. The lock is the process's, as the plugin and the runtime are.
    static std::mutex oneAtATime;
    const std::lock_guard<std::mutex> lock(oneAtATime);
    if (m_pipeName.isEmpty())
        m_pipeName = userPipeName(m_tokenFolder.isEmpty() ? defaultTokenFolder() : m_tokenFolder);
    CalcConnection connection{findProgramFolder(), m_pipeName, m_extraArguments};
    if (connection.programFolder.isEmpty())
        throw Failure(QStringLiteral("LibreOffice Calc was not found."));
    if (!m_plugin.isLoaded()) {
        // The plugin carries no search path of its own: the UNO runtime is loaded first from LibreOffice's
        // folder, where its libraries find theirs, and the plugin then uses these loaded ones.
        for (const char* name : {"libuno_sal.so.3", "libuno_cppu.so.3", "libuno_cppuhelpergcc3.so.3"}) {
            QLibrary runtime(connection.programFolder + QLatin1Char('/') + QLatin1String(name));
            if (!runtime.load())
                throw Failure(runtime.errorString());
        }
        m_plugin.setFileName(m_pluginPath);
        if (!m_plugin.load())
            throw Failure(m_plugin.errorString());
    }
    const auto addWorkbook = reinterpret_cast<CalcAddWorkbook>(m_plugin.resolve("quorvane_calc_add_workbook"));
    if (!addWorkbook)
        throw Failure(m_plugin.errorString());
    QString error;
    std::unique_ptr<Spreadsheet> document(addWorkbook(&connection, &error));
    if (!document)
        throw Failure(error);
    return document;
}

} // namespace quorvane
