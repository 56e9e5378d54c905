#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace quorvane::testfiles {

// Writes the bytes to the path (creating or replacing the file); fails the test run on error.
void writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);
// `count` bytes from a generator seeded with `seed`: random-looking, and the same on every run.
QByteArray randomBytes(qsizetype count, quint32 seed);

// Files written into one temporary folder, each under a new name; the folder goes with the object.
class TemporaryFiles
{
public:
    // A file holding the bytes, under the name when one is given (replacing a file of that name), else a new one.
    QString withBytes(const QByteArray& bytes, const QString& name = QString());
    // A path inside the folder (nothing is created).
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    int m_counter = 0;
};

// What a run of a program gave: its exit code (-1 when it did not exit normally), standard output and error.
struct ProgramRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
// Runs the program with the arguments and `input` on its standard input; fails the test run when it cannot start
// or has not ended within a minute.
ProgramRun runProgram(const QString& program, const QStringList& arguments, const QByteArray& input);

// The build's application folder (executables and data files).
QString applicationFolder();
// The folder of the test fixtures in the source tree.
QString testDataFolder();

} // namespace quorvane::testfiles
