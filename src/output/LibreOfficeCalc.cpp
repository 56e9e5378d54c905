#include "LibreOfficeCalc.h"

#include "core/Failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

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

LibreOfficeCalc::LibreOfficeCalc(QString pluginPath, QString pipeName, QStringList extraArguments)
    : m_pluginPath(std::move(pluginPath)), m_pipeName(std::move(pipeName)), m_extraArguments(std::move(extraArguments))
{
    if (m_pluginPath.isEmpty())
        m_pluginPath = QCoreApplication::applicationDirPath() + QStringLiteral("/libquorvane_calc.so");
    if (m_pipeName.isEmpty())
        m_pipeName = QStringLiteral("quorvane-calc-%1").arg(getuid());
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
