// Whether stderr is the journal's stream: systemd names the stream's device and inode in
// JOURNAL_STREAM, and only a stderr with exactly those gets structured entries (a child
// that inherited the variable but writes elsewhere must print plain lines).
#include "platform/systemd_outlets.h"

#include <QByteArray>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

class JournalStream : public testing::Test {
protected:
    void SetUp() override { m_saved = qgetenv("JOURNAL_STREAM"); }
    void TearDown() override
    {
        if (m_saved.isNull())
            qunsetenv("JOURNAL_STREAM");
        else
            qputenv("JOURNAL_STREAM", m_saved);
    }

    static QByteArray stderrStream(long long inodeOffset = 0)
    {
        struct stat st = {};
        fstat(STDERR_FILENO, &st);
        return QByteArray::number(qulonglong(st.st_dev)) + ':' +
               QByteArray::number(qulonglong(st.st_ino) + inodeOffset);
    }

private:
    QByteArray m_saved;
};

TEST_F(JournalStream, OnlyTheStreamStderrIsCounts)
{
    qunsetenv("JOURNAL_STREAM");
    EXPECT_FALSE(vardex::platform::stderrIsJournal());
    qputenv("JOURNAL_STREAM", stderrStream());
    EXPECT_TRUE(vardex::platform::stderrIsJournal());
    qputenv("JOURNAL_STREAM", stderrStream(1));
    EXPECT_FALSE(vardex::platform::stderrIsJournal());
    qputenv("JOURNAL_STREAM", "garbage");
    EXPECT_FALSE(vardex::platform::stderrIsJournal());
}

} // namespace
