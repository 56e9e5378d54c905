#include "TestFiles.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

namespace quorvane::testfiles {

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file %s", qPrintable(path));
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read test file %s", qPrintable(path));
    return file.readAll();
}

QString TemporaryFiles::withBytes(const QByteArray& bytes, const QString& name)
{
    const QString file = path(name.isEmpty() ? QStringLiteral("f%1.txt").arg(++m_counter) : name);
    writeBytes(file, bytes);
    return file;
}

QByteArray randomBytes(qsizetype count, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(count, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

QString applicationFolder()
{
    return qEnvironmentVariable("QUORVANE_APP_DIR");
}

QString testDataFolder()
{
    return qEnvironmentVariable("QUORVANE_TEST_DATA");
}

ProgramRun runProgram(const QString& program, const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted())
        qFatal("cannot start %s", qPrintable(program));
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        qFatal("%s did not finish", qPrintable(program));
    ProgramRun result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

} // namespace quorvane::testfiles
