#include "gui/app/navigatorform.h"
#include "gui/app/recentfiles.h"
#include "core/platform/privateprofile.h"
#include "testsupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

TEST(NavigatorForm, StartsWithTitleFileMenuAndRecentFiles)
{
    TempFolder system;
    ScopedSystemDirectory scope(system.path());
    TempFolder configurations; // choosing the recent file opens it
    const QString study = configurations.file("study.DES");
    PrivateProfile ini(QStringLiteral("RuzUzo.ini"));
    ini.writeString("FileHistory", "File1", study);
    ProcessState state;
    {
        TNavigatorForm form(state, QStringLiteral("/opt/verola/verola"));
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Система обработки информации \"Верола\""));
        EXPECT_EQ(form.menuBar()->actions().first()->text(), QStringLiteral("&Файл"));
        QStringList captions;
        for (QAction* action : form.FileItem->actions())
            captions.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        EXPECT_EQ(captions, (QStringList{"&Открыть", "&Сохранить", "Сохранить &как", "Выход &без сохранения",
                                "&Выход с сохранением", "-", "&1 " + study}));
        EXPECT_EQ(state.DataDirectory, QStringLiteral("/opt/verola/eco/work"));
        EXPECT_EQ(state.ActiveBlock, kConcBlock);

        QString chosen;
        QObject::connect(&form, &TNavigatorForm::configurationChosen, [&](const QString& path) { chosen = path; });
        form.FileItem->actions().at(6)->trigger();
        EXPECT_EQ(chosen, study);
        EXPECT_EQ(state.ConfigName, QStringLiteral("study"));
        EXPECT_EQ(state.ConfigDirectory, configurations.path());
        EXPECT_FALSE(QFile::exists(configurations.file("study.o1b"))) << "opening writes nothing";
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
    EXPECT_EQ(ini.readString("FileHistory", "File2", ""), study);
    EXPECT_EQ(ini.readInteger("FileHistory", "MaxFiles", 0), 9);
    EXPECT_FALSE(ini.hasKey("General", "DataDirectory"));
    EXPECT_EQ(state.StagingTab, nullptr);
}

TEST(NavigatorForm, ExitWithSavingThatFailsKeepsTheOpenedConfiguration)
{
    TempFolder system;
    ScopedSystemDirectory scope(system.path());
    TempFolder configurations;
    ProcessState state;
    TNavigatorForm form(state, QStringLiteral("/opt/verola/verola"));
    state.ConfigDirectory = configurations.path();
    state.ConfigName = QStringLiteral("study");
    state.DataDirectory = configurations.file("no such folder");
    QString reported;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            reported = box->text();
            box->close();
        }
    });
    form.ExitItemClick();
    EXPECT_FALSE(reported.isEmpty()) << "the failed save is reported";
    EXPECT_EQ(state.ConfigDirectory, configurations.path());
    EXPECT_EQ(state.ConfigName, QStringLiteral("study"));
}

TEST(NavigatorForm, SaveWithoutAConfigurationAsksForANameFirst)
{
    TempFolder system;
    ScopedSystemDirectory scope(system.path());
    TempFolder data;
    ProcessState state;
    TNavigatorForm form(state, QStringLiteral("/opt/verola/verola"));
    state.DataDirectory = data.path();
    state.ConfigDirectory = data.path();
    ASSERT_TRUE(state.ConfigName.isEmpty());
    QString asked;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QFileDialog*>(modal))
            asked = dialog->windowTitle();
        if (modal)
            modal->close(); // whatever it is, the test goes on
    });
    form.SaveItem->trigger();
    EXPECT_EQ(asked, QStringLiteral("Сохранение конфигурации"));
    EXPECT_TRUE(QDir(data.path()).entryList(QDir::Files | QDir::Hidden).isEmpty())
        << QDir(data.path()).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString();
}
