#include "support/test_support.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

using namespace vardex;

// Ctrl-C during a full log read of the demo controller: the program ends by itself,
// and the file holds the whole records read up to then.
TEST(CliInterrupt, CtrlCDuringALogReadKeepsTheRecordsRead)
{
    const QString program = QCoreApplication::applicationDirPath() + "/../vardex-cli";
    ASSERT_TRUE(QFileInfo::exists(program)) << program.toStdString();
    const QString path = test::tempPath("interrupted.log");

    QProcess child;
    child.start(program, {"--demo", "--json", "log", "read", path});
    ASSERT_TRUE(child.waitForStarted(5000));
    // The demo's 16384 records take far longer than this; a part is read by then.
    test::spin(2500);
    ASSERT_EQ(child.state(), QProcess::Running) << child.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(child.processId()), SIGINT);
    ASSERT_TRUE(child.waitForFinished(10000));

    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << "ended cleanly, not killed";
    EXPECT_EQ(child.exitCode(), 130);
    const QByteArray file = test::readFile(path);
    ASSERT_GT(file.size(), 0);
    EXPECT_EQ(file.size() % 84, 0);
    EXPECT_LT(file.size(), 16384 * 84);
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("\"records\": %1").arg(file.size() / 84)))
        << out.toStdString();
    EXPECT_TRUE(out.contains("\"interrupted\": true")) << out.toStdString();
}
