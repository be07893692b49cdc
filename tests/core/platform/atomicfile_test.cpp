#include "core/platform/atomicfile.h"
#include "core/platform/errors.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
        EXPECT_EQ(error.message(),
            QStringLiteral("Не удалось записать файл \"%1\": файл только для чтения").arg(readOnly));
    }
    EXPECT_EQ(readBytes(readOnly), QByteArray("kept"));

    const struct {
        QString path;
        const char* message;
    } failures[] = {
        {folder.file("no folder/table.x1"), "Не удалось записать файл \"%1\": нет такого файла или каталога"},
        {folder.path(), "Не удалось записать файл \"%1\": это каталог"},
    };
    for (const auto& failure : failures) {
        try {
            writeFileAtomically(failure.path, "x");
            ADD_FAILURE() << failure.path.toStdString();
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.message(), QString::fromUtf8(failure.message).arg(failure.path));
        }
    }

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

namespace {

// The temporary files of the folder: those a batch holds before it finishes.
QStringList temporariesIn(const TempFolder& folder)
{
    QStringList found;
    for (const QString& name : filesIn(folder))
        if (!temporaryFileTarget(name).isEmpty())
            found.append(folder.file(name));
    return found;
}

struct stat statusOf(const QString& path)
{
    struct stat status {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0) << path.toStdString();
    return status;
}

} // namespace

TEST(AtomicFile, ABatchRenamesNothingItDidNotWriteWhole)
{
    // Another program removed a temporary file (taking it for a killed save's), or put another
    // file in its place: no empty or foreign file takes the place of the real one.
    const struct {
        const char* what;
        bool replace;
    } cases[] = {{"removed", false}, {"replaced", true}};
    for (const auto& c : cases) {
        TempFolder folder;
        writeBytes(folder.file("a.x1"), "old a");
        writeBytes(folder.file("b.x1"), "old b");
        SyncBatch batch;
        writeFileAtomically(folder.file("a.x1"), "new a");
        writeFileAtomically(folder.file("b.x1"), "new b");
        const QStringList temporaries = temporariesIn(folder);
        ASSERT_EQ(temporaries.size(), 2);
        const QString victim = temporaries.first();
        ASSERT_TRUE(QFile::remove(victim));
        if (c.replace)
            writeBytes(victim, "other's");
        try {
            batch.finish();
            ADD_FAILURE() << c.what << ": the batch was put in place";
        } catch (const EInOutError& error) {
            EXPECT_TRUE(error.message().startsWith(QStringLiteral("Не удалось записать файл \"%1\"")
                                                       .arg(temporaryFileTarget(victim))))
                << error.message().toStdString();
            EXPECT_TRUE(error.message().contains(QStringLiteral("удалён или заменён другой программой")))
                << error.message().toStdString();
        }
        EXPECT_EQ(readBytes(folder.file("a.x1")), QByteArray("old a")) << c.what;
        EXPECT_EQ(readBytes(folder.file("b.x1")), QByteArray("old b")) << c.what;
        EXPECT_EQ(QFile::exists(victim), c.replace) << c.what << ": what is there is not the batch's to remove";
    }
}

TEST(AtomicFile, ABatchWithATargetThatCannotBeReplacedRenamesNothing)
{
    TempFolder folder;
    writeBytes(folder.file("a.x1"), "old a");
    // A folder that is there already fails the write; one that comes while the batch is written
    // fails the batch before anything is renamed.
    ASSERT_TRUE(QDir(folder.path()).mkdir("early.x1"));
    EXPECT_THROW(writeFileAtomically(folder.file("early.x1"), "x"), EInOutError);
    {
        SyncBatch batch;
        writeFileAtomically(folder.file("a.x1"), "new a");
        writeFileAtomically(folder.file("b.x1"), "new b");
        writeFileAtomically(folder.file("c.x1"), "new c");
        ASSERT_TRUE(QDir(folder.path()).mkdir("c.x1"));
        try {
            batch.finish();
            ADD_FAILURE() << "a folder was replaced";
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.message(),
                QStringLiteral("Не удалось заменить файл \"%1\": это каталог").arg(folder.file("c.x1")));
        }
    }
    EXPECT_EQ(readBytes(folder.file("a.x1")), QByteArray("old a"));
    EXPECT_EQ(filesIn(folder), QStringList{"a.x1"});
    EXPECT_TRUE(QFileInfo(folder.file("c.x1")).isDir());
}

TEST(AtomicFile, ARenameThatFailsHalfWayPutsTheEarlierFilesBack)
{
    // A file made immutable once the batch is written refuses its rename even to root, which no
    // check beforehand can see.
    TempFolder folder;
    for (const char* name : {"a.x1", "b.x1", "c.x1"})
        writeBytes(folder.file(name), QByteArray("old ") + name);
    const QString locked = folder.file("b.x1");
    struct Unlock {
        QString path;
        ~Unlock() { QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path}); }
    } unlock{locked};
    {
        SyncBatch batch;
        writeFileAtomically(folder.file("a.x1"), "new a");
        writeFileAtomically(folder.file("new.x1"), "new file");
        writeFileAtomically(locked, "new b");
        writeFileAtomically(folder.file("c.x1"), "new c");
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), locked}) != 0)
            GTEST_SKIP() << "the file system has no immutable files";
        try {
            batch.finish();
            ADD_FAILURE() << "an immutable file was replaced";
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.message(),
                QStringLiteral("Не удалось заменить файл \"%1\": операция не разрешена").arg(locked));
        }
        EXPECT_FALSE(batch.partlyPlaced());
    }
    for (const char* name : {"a.x1", "b.x1", "c.x1"})
        EXPECT_EQ(readBytes(folder.file(name)), QByteArray("old ") + name) << name;
    EXPECT_EQ(filesIn(folder), (QStringList{"a.x1", "b.x1", "c.x1"}));
}

TEST(AtomicFile, ABatchKeepsThePreviousFileWithoutCopyingIt)
{
    TempFolder folder;
    const QString table = folder.file("s.d0");
    const QString backup = folder.file("s.d0.bak");
    writeBytes(table, "unreadable old table");
    writeBytes(backup, "an older backup");
    const ino_t oldTable = statusOf(table).st_ino;
    {
        SyncBatch batch;
        batch.keepPreviousAs(table, backup);
        batch.keepPreviousAs(folder.file("missing.d1"), folder.file("missing.d1.bak")); // nothing to keep
        writeFileAtomically(table, "new table");
        writeFileAtomically(folder.file("missing.d1"), "first");
        EXPECT_EQ(readBytes(backup), QByteArray("an older backup")) << "kept only when the batch is put in place";
        batch.finish();
    }
    EXPECT_EQ(readBytes(table), QByteArray("new table"));
    EXPECT_EQ(readBytes(backup), QByteArray("unreadable old table"));
    EXPECT_EQ(statusOf(backup).st_ino, oldTable) << "the old file itself, not a copy";
    EXPECT_EQ(filesIn(folder), (QStringList{"missing.d1", "s.d0", "s.d0.bak"}));

    // A failing batch keeps nothing: the backup stays the one there was.
    {
        SyncBatch batch;
        batch.keepPreviousAs(table, backup);
        writeFileAtomically(table, "lost");
        writeFileAtomically(folder.file("d.x1"), "cannot");
        ASSERT_TRUE(QDir(folder.path()).mkdir("d.x1"));
        EXPECT_THROW(batch.finish(), EInOutError);
    }
    EXPECT_EQ(readBytes(table), QByteArray("new table"));
    EXPECT_EQ(readBytes(backup), QByteArray("unreadable old table"));
}
