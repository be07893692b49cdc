#include "app/navigatorform.h"
#include "app/recentfiles.h"
#include "platform/privateprofile.h"
#include "testsupport.h"

#include <QAction>
#include <QFile>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

TEST(NavigatorForm, StartsWithTitleFileMenuAndRecentFiles)
{
    TempFolder system;
    ScopedSystemDirectory scope(system.path());
    PrivateProfile ini(QStringLiteral("RuzUzo.ini"));
    ini.writeString("FileHistory", "File1", "/work/study.DES");
    ProcessState state;
    {
        TNavigatorForm form(state, QStringLiteral("/opt/verola/verola"));
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Система обработки информации \"Верола\""));
        EXPECT_EQ(form.menuBar()->actions().first()->text(), QStringLiteral("&Файл"));
        QStringList captions;
        for (QAction* action : form.FileItem->actions())
            captions.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        EXPECT_EQ(captions, (QStringList{"&Открыть", "&Сохранить", "Сохранить &как", "Выход &без сохранения",
                                "&Выход с сохранением", "-", "&1 /work/study.DES"}));
        EXPECT_EQ(state.DataDirectory, QStringLiteral("/opt/verola/eco/work"));
        EXPECT_EQ(state.ActiveBlock, kConcBlock);

        QString chosen;
        QObject::connect(&form, &TNavigatorForm::configurationChosen, [&](const QString& path) { chosen = path; });
        form.FileItem->actions().at(6)->trigger();
        EXPECT_EQ(chosen, QStringLiteral("/work/study.DES"));
        form.RecentFiles->AddFile("/work/other.DES");

        TempFolder data; // exit with saving writes the "temp" file set into the data directory
        writeBytes(data.file("Default.map"), "map\r\n");
        const QString dataDirectory = state.DataDirectory;
        state.DataDirectory = data.path();
        form.ExitItemClick();
        EXPECT_TRUE(QFile::exists(data.file("temp.x1")));
        EXPECT_TRUE(QFile::exists(data.file("temp.map")));
        EXPECT_EQ(state.ConfigName, QStringLiteral("temp"));
        EXPECT_EQ(state.ConfigDirectory, state.DataDirectory);
        state.DataDirectory = dataDirectory;
    }
    // Destruction writes the recent files, but not the default data directory.
    EXPECT_EQ(ini.readString("FileHistory", "File1", ""), QStringLiteral("/work/other.DES"));
    EXPECT_EQ(ini.readString("FileHistory", "File2", ""), QStringLiteral("/work/study.DES"));
    EXPECT_EQ(ini.readInteger("FileHistory", "MaxFiles", 0), 9);
    EXPECT_FALSE(ini.hasKey("General", "DataDirectory"));
    EXPECT_EQ(state.StagingTab, nullptr);
}
