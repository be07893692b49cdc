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

TEST(AtomicFile, ReplacesTheFileKeepingItsPermissionsAndLinks)
{
    TempFolder folder;
    const QString real = folder.file("table.x1");
    writeBytes(real, "old");
    QFile::setPermissions(real, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    const QString link = folder.file("link.x1");
    ASSERT_TRUE(QFile::link(real, link));

    writeFileAtomically(link, "new contents");

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readBytes(real), QByteArray("new contents"));
    EXPECT_EQ(QFile::permissions(real),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadUser
            | QFileDevice::WriteUser);
    EXPECT_EQ(filesIn(folder), (QStringList{"link.x1", "table.x1"}));
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
