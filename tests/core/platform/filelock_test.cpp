#include "core/platform/filelock.h"
#include "testsupport.h"

#include <QFile>
#include <QSysInfo>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace verola;
using namespace verola::test;
using namespace std::chrono_literals;

TEST(FileLock, OneHolderAtATimeInAProcess)
{
    TempFolder folder;
    const QString path = folder.file("study.lock");
    FileLock first(path);
    FileLock second(path);
    ASSERT_EQ(first.tryLock(), FileLock::Result::Locked);
    EXPECT_EQ(second.tryLock(20ms), FileLock::Result::HeldByOther);
    EXPECT_TRUE(second.holderText().contains(QStringLiteral("процесс %1").arg(::getpid())))
        << second.holderText().toStdString();
    first.unlock();
    EXPECT_FALSE(QFile::exists(path)) << "a lock let go leaves no file";
    EXPECT_EQ(second.tryLock(), FileLock::Result::Locked);

    FileLock nowhere(folder.file("gone/study.lock"));
    EXPECT_EQ(nowhere.tryLock(), FileLock::Result::Unavailable);
    EXPECT_EQ(nowhere.unavailableReason(), QStringLiteral("нет такого файла или каталога"));
}

TEST(FileLock, AnotherProcessHoldsItUntilItDies)
{
    TempFolder folder;
    const QString path = folder.file("study.lock");
    LockHolderProcess other(path);
    ASSERT_TRUE(other.holds());

    FileLock lock(path);
    EXPECT_EQ(lock.tryLock(50ms), FileLock::Result::HeldByOther);
    const QString holder = lock.holderText();
    EXPECT_TRUE(holder.contains(QStringLiteral("процесс %1").arg(other.pid()))) << holder.toStdString();
    EXPECT_TRUE(holder.contains(QStringLiteral("verola_test_lockholder"))) << holder.toStdString();
    EXPECT_TRUE(holder.contains(QSysInfo::machineHostName())) << holder.toStdString();

    // Killed, it cannot let go itself: its lock file stays, and is taken over.
    other.kill();
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(lock.tryLock(), FileLock::Result::Locked);
}
