#include "core/platform/atomicfile.h"
#include "core/platform/errors.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

QStringList filesIn(const TempFolder& folder)
{
    return QDir(folder.path()).entryList(QDir::Files | QDir::System, QDir::Name);
}

} // namespace

TEST(AtomicFile, ReplacesTheFileKeepingItsPermissions)
{
    TempFolder folder;
    const QString real = folder.file("table.x1");
    writeBytes(real, "old");
    QFile::setPermissions(real, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);

    writeFileAtomically(real, "new contents");

    EXPECT_EQ(readBytes(real), QByteArray("new contents"));
    EXPECT_EQ(QFile::permissions(real),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadUser
            | QFileDevice::WriteUser);
    EXPECT_EQ(filesIn(folder), (QStringList{"table.x1"}));
}

// Following a link would write wherever it points, outside the folder too; a link whose file is
// read-only would even stop the save.
TEST(AtomicFile, ReplacesALinkItselfAndNeverTheFileItNames)
{
    TempFolder folder;
    TempFolder elsewhere;
    const QString real = elsewhere.file("victim.x1");
    writeBytes(real, "not ours");
    QFile::setPermissions(real, QFileDevice::ReadOwner | QFileDevice::ReadUser);
    const QString dangling = elsewhere.file("created.x1");
    const struct {
        const char* name;
        QString target;
    } cases[] = {{"link.x1", real}, {"dangling.x1", dangling}};
    for (const auto& c : cases) {
        const QString link = folder.file(c.name);
        ASSERT_TRUE(QFile::link(c.target, link));
        writeFileAtomically(link, "new contents");
        EXPECT_FALSE(QFileInfo(link).isSymLink()) << c.name;
        EXPECT_EQ(readBytes(link), QByteArray("new contents")) << c.name;
    }
    EXPECT_EQ(readBytes(real), QByteArray("not ours"));
    EXPECT_FALSE(QFileInfo::exists(dangling));
    EXPECT_EQ(filesIn(folder), (QStringList{"dangling.x1", "link.x1"}));
}

TEST(AtomicFile, FailuresLeaveTheOldFileAndNoTemporaryFile)
{
    TempFolder folder;
    const QString readOnly = folder.file("locked.x1");
    writeBytes(readOnly, "kept");
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    try {
        writeFileAtomically(readOnly, "lost?");
        ADD_FAILURE() << "a read-only file was replaced";
    } catch (const EInOutError& error) {
        EXPECT_TRUE(error.message().contains(readOnly)) << error.message().toStdString();
    }
    EXPECT_EQ(readBytes(readOnly), QByteArray("kept"));

    EXPECT_THROW(writeFileAtomically(folder.file("no folder/table.x1"), "x"), EInOutError);

    const QString abandoned = folder.file("abandoned.x1");
    writeBytes(abandoned, "before");
    {
        AtomicFile file(abandoned);
        file.open();
        file.write("half", 4);
    } // never committed
    EXPECT_EQ(readBytes(abandoned), QByteArray("before"));
    EXPECT_EQ(filesIn(folder), (QStringList{"abandoned.x1", "locked.x1"}));
}

namespace {

// Watches what reaches the disk while it lives.
class DiskSyncRecorder {
public:
    explicit DiskSyncRecorder(std::function<void(const QString&)> onSync)
    {
        setDiskSyncObserver(std::move(onSync));
    }
    ~DiskSyncRecorder() { setDiskSyncObserver({}); }
};

} // namespace

TEST(AtomicFile, TheNewContentsReachTheDiskBeforeTheyReplaceTheFile)
{
    TempFolder folder;
    const QString target = folder.file("table.x1");
    writeBytes(target, "old");
    QStringList synced;
    QByteArray targetAtSync;
    QByteArray temporaryAtSync;
    {
        DiskSyncRecorder recorder([&](const QString& path) {
            synced.append(path);
            targetAtSync = readBytes(target);
            temporaryAtSync = readBytes(path);
        });
        writeFileAtomically(target, "new contents");
    }
    ASSERT_EQ(synced.size(), 1);
    EXPECT_EQ(temporaryFileTarget(synced.first()), target);
    EXPECT_EQ(temporaryAtSync, QByteArray("new contents"));
    EXPECT_EQ(targetAtSync, QByteArray("old")) << "synced only after the rename";
    EXPECT_EQ(readBytes(target), QByteArray("new contents"));

    synced.clear();
    {
        DiskSyncRecorder recorder([&](const QString& path) { synced.append(path); });
        syncFolder(folder.path());
    }
    EXPECT_EQ(synced, QStringList{folder.path()});
}

TEST(AtomicFile, TemporaryNamesAreRecognisedExactly)
{
    const struct {
        const char* name;
        const char* target;
    } cases[] = {
        {"study.x1.~0a1b2c3d", "study.x1"},
        {"/data/study.o1b.~ffffffff", "/data/study.o1b"},
        {"study.x1.bak.~00000000", "study.x1.bak"},
        {"study.x1.~0a1b2c3", ""},   // seven digits
        {"study.x1.~0a1b2c3d4", ""}, // nine
        {"study.x1.~0A1B2C3D", ""},  // the suffix is written in lower case
        {"study.x1~0a1b2c3d", ""},
        {"study.x1.~0a1b2c3g", ""},
        {"study.x1", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(temporaryFileTarget(QString::fromLatin1(c.name)), QString::fromLatin1(c.target)) << c.name;

    // The temporary files AtomicFile really makes are recognised.
    TempFolder folder;
    QString seen;
    {
        DiskSyncRecorder recorder([&](const QString& path) { seen = path; });
        writeFileAtomically(folder.file("t.d0"), "x");
    }
    EXPECT_EQ(temporaryFileTarget(seen), folder.file("t.d0"));
}

TEST(AtomicFile, CopyReplacesTheTargetOrLeavesIt)
{
    TempFolder folder;
    const QString source = folder.file("table.x1");
    const QString copy = folder.file("table.x1.bak");
    QByteArray big(3 * 1024 * 1024 + 5, 'a'); // more than one chunk
    big[0] = 'b';
    big[big.size() - 1] = 'z';
    writeBytes(source, big);
    writeBytes(copy, "an older backup");
    copyFileAtomically(source, copy);
    EXPECT_EQ(readBytes(copy), big);
    EXPECT_EQ(readBytes(source), big);

    EXPECT_THROW(copyFileAtomically(folder.file("missing.x1"), copy), EInOutError);
    EXPECT_EQ(readBytes(copy), big);
    EXPECT_EQ(filesIn(folder), (QStringList{"table.x1", "table.x1.bak"}));
}

TEST(AtomicFile, ABatchPutsItsFilesInPlaceOnlyWhenFinished)
{
    TempFolder folder;
    writeBytes(folder.file("a.x1"), "old a");
    {
        SyncBatch batch;
        writeFileAtomically(folder.file("a.x1"), "new a");
        writeFileAtomically(folder.file("b.x1"), "new b");
        EXPECT_EQ(readBytes(folder.file("a.x1")), QByteArray("old a")); // not yet replaced
        EXPECT_FALSE(QFile::exists(folder.file("b.x1")));
        QStringList synced;
        setDiskSyncObserver([&](const QString& path) { synced.append(QFileInfo(path).fileName()); });
        batch.finish();
        setDiskSyncObserver({});
        ASSERT_EQ(synced.size(), 2);
        EXPECT_EQ(temporaryFileTarget(synced.at(0)), QStringLiteral("a.x1"));
        EXPECT_EQ(temporaryFileTarget(synced.at(1)), QStringLiteral("b.x1"));
    }
    EXPECT_EQ(readBytes(folder.file("a.x1")), QByteArray("new a"));
    EXPECT_EQ(readBytes(folder.file("b.x1")), QByteArray("new b"));
    EXPECT_EQ(filesIn(folder), (QStringList{"a.x1", "b.x1"}));

    // A batch that goes away unfinished (its save failed) leaves the old files and no temporaries.
    {
        SyncBatch batch;
        writeFileAtomically(folder.file("a.x1"), "lost");
    }
    EXPECT_EQ(readBytes(folder.file("a.x1")), QByteArray("new a"));
    EXPECT_EQ(filesIn(folder), (QStringList{"a.x1", "b.x1"}));

    // Without a batch a file is in place as soon as it is committed.
    writeFileAtomically(folder.file("a.x1"), "at once");
    EXPECT_EQ(readBytes(folder.file("a.x1")), QByteArray("at once"));
}
