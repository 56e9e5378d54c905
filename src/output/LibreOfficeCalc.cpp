#include "LibreOfficeCalc.h"

#include "OfficePipe.h"
#include "core/Failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <mutex>
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

// The pipe name is read by the window and changed by an export's thread.
std::mutex& pipeNameLock()
{
    static std::mutex lock;
    return lock;
}

} // namespace

LibreOfficeCalc::LibreOfficeCalc(QString pluginPath, QString pipeName, QStringList extraArguments, QString saveFolder)
    : m_pluginPath(std::move(pluginPath)), m_ownPipeName(pipeName.isEmpty()), m_pipeName(std::move(pipeName)),
      m_extraArguments(std::move(extraArguments)), m_saveFolder(std::move(saveFolder))
{
    if (m_pluginPath.isEmpty())
        m_pluginPath = QCoreApplication::applicationDirPath() + QStringLiteral("/libquorvane_calc.so");
    if (m_ownPipeName)
        m_pipeName = OfficePipe::newName();
    if (m_saveFolder.isEmpty())
        m_saveFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString LibreOfficeCalc::pipeName() const
{
    const std::lock_guard<std::mutex> lock(pipeNameLock());
    return m_pipeName;
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
    CalcConnection connection{findProgramFolder(), pipeName(), m_extraArguments, 60, m_saveFolder};
    if (connection.programFolder.isEmpty())
        throw Failure(QStringLiteral("LibreOffice Calc was not found."));
    try {
        OfficePipe::check(connection.pipeName);
        return addWorkbook(connection);
    } catch (const Failure&) {
        // Someone else may hold the name, or may take it once the office that was started on it ends: the
        // next export of this run starts or joins the office on a new one.
        if (m_ownPipeName) {
            const std::lock_guard<std::mutex> nameLock(pipeNameLock());
            m_pipeName = OfficePipe::newName();
        }
        throw;
    }
}

void LibreOfficeCalc::endAbandoned()
{
    // Without the lock of addWorkbook(): an export may hold it while its office does not answer. The plugin is
    // loaded before any export has a document, and stays loaded.
    if (!m_plugin.isLoaded())
        return;
    if (const auto end = reinterpret_cast<CalcEndStartedOffice>(m_plugin.resolve("quorvane_calc_end_started_office")))
        end();
}

std::unique_ptr<Spreadsheet> LibreOfficeCalc::addWorkbook(const CalcConnection& connection)
{
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
