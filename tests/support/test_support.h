#pragma once

#include <QString>

#include <functional>

namespace vardex::test {

// Runs the event loop until pred() holds or timeoutMs passes; returns pred().
bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 3000);

// Runs the event loop for about ms milliseconds.
void spin(int ms);

// A temporary folder for files a test writes; removed with the process.
QString tempPath(const QString &fileName);

} // namespace vardex::test
