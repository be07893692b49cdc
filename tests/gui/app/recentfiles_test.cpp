#include "gui/app/recentfiles.h"
#include "core/platform/privateprofile.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

class RecentFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        exitItem = menu.addAction(QStringLiteral("Выход"));
        recent.SetMenu(&menu);
        recent.SetIniFileName(QStringLiteral("RuzUzo.ini"));
        recent.SetMaxFiles(9);
    }
    QStringList captions() const
    {
        QStringList result;
        for (const QAction* action : menu.actions())
            result.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        return result;
    }

    TempFolder system;
    ScopedSystemDirectory scope{system.path()};
    QMenu menu;
    QAction* exitItem = nullptr;
    TRecentFiles recent;
};

} // namespace

TEST_F(RecentFilesTest, AddingPutsTheFileOnTopAndRenumbers)
{
    recent.AddFile("/a.DES");
    recent.AddFile("/b.DES");
    EXPECT_EQ(captions(), (QStringList{"Выход", "-", "&1 /b.DES", "&2 /a.DES"}));
    recent.AddFile("/a.DES");
    EXPECT_EQ(captions(), (QStringList{"Выход", "-", "&1 /a.DES", "&2 /b.DES"}));
    recent.AddFile("/A.DES"); // paths compare with letter case
    EXPECT_EQ(recent.paths(), (QStringList{"/A.DES", "/a.DES", "/b.DES"}));
}

TEST_F(RecentFilesTest, TheTenthFileDropsTheOldest)
{
    for (int i = 1; i <= 10; ++i)
        recent.AddFile(QStringLiteral("/f%1.DES").arg(i));
    EXPECT_EQ(recent.paths().size(), 9);
    EXPECT_EQ(recent.paths().first(), QStringLiteral("/f10.DES"));
    EXPECT_EQ(recent.paths().last(), QStringLiteral("/f2.DES"));
    EXPECT_EQ(menu.actions().at(10)->text(), QStringLiteral("&9 /f2.DES"));
}

TEST_F(RecentFilesTest, MaxFilesIsCappedAndTrimsTheMenu)
{
    recent.SetMaxFiles(12);
    EXPECT_EQ(recent.MaxFiles(), 9);
    for (int i = 1; i <= 5; ++i)
        recent.AddFile(QStringLiteral("/f%1").arg(i));
    recent.SetMaxFiles(2);
    EXPECT_EQ(recent.paths(), (QStringList{"/f5", "/f4"}));
    recent.SetMaxFiles(0);
    EXPECT_EQ(captions(), QStringList{"Выход"});
    recent.AddFile("/g");
    EXPECT_EQ(captions(), QStringList{"Выход"});
}

TEST_F(RecentFilesTest, NothingHappensWithoutAMenuOrAPath)
{
    TRecentFiles detached;
    detached.SetMaxFiles(9);
    detached.AddFile("/x");
    EXPECT_TRUE(detached.paths().isEmpty());
    recent.AddFile(QString());
    EXPECT_EQ(captions(), QStringList{"Выход"});
}

TEST_F(RecentFilesTest, SavesAndLoadsTheListInTheSettingsFile)
{
    recent.AddFile("/old.DES");
    recent.AddFile("/new.DES");
    recent.SaveToIni();
    const PrivateProfile ini(QStringLiteral("RuzUzo.ini"));
    EXPECT_EQ(ini.readInteger("FileHistory", "MaxFiles", 0), 9);
    EXPECT_EQ(ini.readString("FileHistory", "File1", ""), QStringLiteral("/new.DES"));
    EXPECT_EQ(ini.readString("FileHistory", "File2", ""), QStringLiteral("/old.DES"));

    QMenu other;
    TRecentFiles loaded;
    loaded.SetMenu(&other);
    loaded.SetIniFileName(QStringLiteral("RuzUzo.ini"));
    loaded.SetMaxFiles(9);
    loaded.LoadFromIni();
    EXPECT_EQ(loaded.paths(), (QStringList{"/new.DES", "/old.DES"}));
    EXPECT_EQ(other.actions().at(1)->text(), QStringLiteral("&1 /new.DES"));

    // Saving again replaces the whole section: a shorter list leaves no stale keys.
    recent.SetMaxFiles(1);
    recent.SaveToIni();
    EXPECT_FALSE(ini.hasKey("FileHistory", "File2"));
    EXPECT_EQ(ini.readInteger("FileHistory", "MaxFiles", 0), 1);
}

TEST_F(RecentFilesTest, LoadingStopsAtTheFirstEmptyKeyAndHonoursMaxFiles)
{
    PrivateProfile ini(QStringLiteral("RuzUzo.ini"));
    ini.writeString("FileHistory", "MaxFiles", "12");
    ini.writeString("FileHistory", "File1", "/one");
    ini.writeString("FileHistory", "File2", "/two");
    ini.writeString("FileHistory", "File4", "/four");
    recent.AddFile("/stale");
    recent.LoadFromIni();
    EXPECT_EQ(recent.MaxFiles(), 9);
    EXPECT_EQ(recent.paths(), (QStringList{"/one", "/two"}));

    ini.writeString("FileHistory", "MaxFiles", "0");
    recent.LoadFromIni();
    EXPECT_EQ(captions(), QStringList{"Выход"});
}

TEST_F(RecentFilesTest, ChoosingAnEntrySignalsItsPath)
{
    QString chosen;
    QObject context;
    QObject::connect(&recent, &TRecentFiles::OnClick, &context, [&](const QString& path) { chosen = path; });
    recent.AddFile("/x/a.DES");
    recent.AddFile("/x/b.DES");
    menu.actions().at(3)->trigger();
    EXPECT_EQ(chosen, QStringLiteral("/x/a.DES"));
    EXPECT_EQ(recent.paths().first(), QStringLiteral("/x/b.DES")); // choosing does not reorder
}
