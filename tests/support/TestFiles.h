#pragma once

#include <QByteArray>
#include <QString>

namespace quorvane::testfiles {

// Writes the bytes to the path (creating or replacing the file); fails the test run on error.
void writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);

// The build's application folder (executables and data files).
QString applicationFolder();
// The folder of the test fixtures in the source tree.
QString testDataFolder();

} // namespace quorvane::testfiles
