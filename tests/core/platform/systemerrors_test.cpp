#include "core/platform/systemerrors.h"
#include "testsupport.h"

#include <QDir>
#include <cerrno>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

TEST(SystemErrors, ReasonsAreRussianWhateverTheirSource)
{
    const struct {
        int error;
        const char* reason;
    } cases[] = {
        {ENOENT, "нет такого файла или каталога"},
        {EISDIR, "это каталог"},
        {EACCES, "нет прав доступа"},
        {EROFS, "файловая система только для чтения"},
        {ENOSPC, "нет места на диске"},
        {ENOTDIR, "часть пути не является каталогом"},
        {EIO, "ошибка ввода-вывода устройства"},
        {123456, "системная ошибка 123456"},
    };
    for (const auto& c : cases) {
        const QString expected = QString::fromUtf8(c.reason);
        EXPECT_EQ(systemErrorReason(c.error), expected) << c.error;
        EXPECT_EQ(systemErrorReason(std::error_code(c.error, std::generic_category())), expected) << c.error;
        EXPECT_EQ(fileErrorReason(QFileDevice::WriteError, c.error), expected) << c.error;
    }
    // std::filesystem reports through the system category.
    EXPECT_EQ(systemErrorReason(std::make_error_code(std::errc::read_only_file_system)),
        QStringLiteral("файловая система только для чтения"));
    EXPECT_EQ(systemErrorReason(std::error_code(EISDIR, std::system_category())), QStringLiteral("это каталог"));
    // Without an error number, the kind of the file's error.
    EXPECT_EQ(fileErrorReason(QFileDevice::ReadError), QStringLiteral("ошибка чтения"));
    EXPECT_EQ(fileErrorReason(QFileDevice::ResourceError),
        QStringLiteral("не хватает места на диске или других ресурсов"));
}

TEST(SystemErrors, WhyAFileCannotBeReadOrAFolderWritten)
{
    TempFolder folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir("study.o1b"));
    writeBytes(folder.file("study.o1a"), "line");
    EXPECT_EQ(readFailureReason(folder.file("study.o1b")), QStringLiteral("это каталог"));
    EXPECT_EQ(readFailureReason(folder.file("gone.o1b")), QStringLiteral("нет такого файла или каталога"));
    EXPECT_EQ(readFailureReason(folder.file("study.o1a")), QString());

    EXPECT_EQ(folderWriteFailureReason(folder.path()), QString());
    EXPECT_EQ(folderWriteFailureReason(folder.file("gone")), QStringLiteral("нет такого файла или каталога"));
    EXPECT_EQ(folderWriteFailureReason(folder.file("study.o1a")), QStringLiteral("часть пути не является каталогом"));
}
