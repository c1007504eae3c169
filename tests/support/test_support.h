#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace vardex::test {

// Runs the event loop until pred() holds or timeoutMs passes; returns pred().
bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 3000);

// Runs the event loop for about ms milliseconds.
void spin(int ms);

// The whole content of a test file (empty when it cannot be read).
QByteArray readFile(const QString &path);
// Writes a test file; a failure fails the running test.
void writeFile(const QString &path, const QByteArray &bytes);

// A temporary folder for files a test writes; removed with the process.
QString tempPath(const QString &fileName);

} // namespace vardex::test
