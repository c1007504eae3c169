#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

// Independent readers for the files we write: a python3 child with a module of its
// own (openpyxl, zipfile) reads the file and prints what it found as JSON.
namespace vardex::test {

// The python3 that can import module, or empty when there is none.
inline QString pythonWith(const QString &module)
{
    for (const QString &candidate :
         {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess p;
        p.start(candidate, {QStringLiteral("-c"), QStringLiteral("import ") + module});
        if (p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return candidate;
    }
    return {};
}

// Runs script with args and parses what it printed; a failing child fails the test.
inline QJsonObject runPythonReader(const QString &python, const char *script,
                                   const QStringList &args)
{
    QProcess p;
    p.start(python, QStringList{QStringLiteral("-c"), QString::fromUtf8(script)} + args);
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

} // namespace vardex::test
