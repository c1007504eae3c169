#include "files/file_io.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace vardex;

// Names are taken by creating the file: a name taken once is never handed out again,
// also to exports racing on other threads (a second window does the same in its own
// process; the exclusive creation is the kernel's, not ours).
TEST(ReserveFreeName, EveryTakerGetsItsOwnNameAndNoFileIsReplaced)
{
    QTemporaryDir dir;
    const QString wanted = dir.filePath(QStringLiteral("vardex-log-2026-12-08-1015.xlsx"));
    {
        QFile existing(wanted);
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("kept");
    }
    QDir(dir.path()).mkdir(QStringLiteral("vardex-log-2026-12-08-1015 (2).xlsx"));

    constexpr int kThreads = 4;
    constexpr int kEach = 25;
    std::vector<std::vector<QString>> taken(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                const files::FileResult r = files::reserveFreeName(wanted);
                if (r.ok)
                    taken[t].push_back(r.path);
            }
        });
    for (std::thread &t : threads)
        t.join();

    std::vector<QString> all;
    for (const auto &names : taken)
        all.insert(all.end(), names.begin(), names.end());
    ASSERT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    EXPECT_EQ(std::count(all.begin(), all.end(), wanted), 0);
    EXPECT_NE(std::find(all.begin(), all.end(),
                        dir.filePath(QStringLiteral("vardex-log-2026-12-08-1015 (3).xlsx"))),
              all.end());
    QFile existing(wanted);
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("kept"));
}

TEST(ReserveFreeName, AFolderThatCannotBeWrittenSaysWhy)
{
    const files::FileResult r =
        files::reserveFreeName(QStringLiteral("/nonexistent-vardex-folder/x.csv"));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.reason.isEmpty());
}

// A FIFO (or another special file) where a small file of ours is expected is refused at
// once: nothing ever writes into it, and an open or a read would wait for ever.
TEST(ReadBounded, OnlyARegularFileIsRead)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("x.sensors"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const files::ReadResult fromFifo = files::readBounded(fifo, 4096);
    EXPECT_FALSE(fromFifo.ok);
    EXPECT_FALSE(fromFifo.reason.isEmpty());

    const files::ReadResult fromDevice = files::readBounded(QStringLiteral("/dev/zero"), 16);
    EXPECT_FALSE(fromDevice.ok);

    const QString plain = dir.filePath(QStringLiteral("x.log"));
    QFile f(plain);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("0123456789");
    f.close();
    const files::ReadResult bounded = files::readBounded(plain, 4);
    ASSERT_TRUE(bounded.ok);
    EXPECT_EQ(bounded.bytes, QByteArray("0123"));
    EXPECT_EQ(bounded.fileSize, 10);
}
