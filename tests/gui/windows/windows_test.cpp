// The auxiliary windows: settings viewer, description window, progress window and about box.
#include "gui/windows/aboutbox.h"
#include "gui/windows/desform.h"
#include "gui/windows/gaugeform.h"
#include "gui/windows/showinifiledlg.h"
#include "core/platform/feedback.h"
#include "modals.h"
#include "testsupport.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace verola;
using namespace verola::test;

namespace {

QStringList treeTexts(QTreeWidgetItem* item, int depth = 0)
{
    QStringList texts{QString(depth, u'>') + item->text(0)};
    for (int i = 0; i < item->childCount(); ++i)
        texts += treeTexts(item->child(i), depth + 1);
    return texts;
}

// The environment variable set for the scope of a test, restored afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

TEST(SettingsViewer, ChangeOpensTheChosenFileInTheEditorAndShowsItAgain)
{
    TempFolder system;
    ScopedSystemDirectory scope(system.path());
    TempFolder folder;
    writeBytes(folder.file("models.ini"), "[Model]\r\nName=A\r\n");
    const QString editor = folder.file("editor.sh");
    writeBytes(editor, "#!/bin/sh\nprintf 'Added=1\\r\\n' >> \"$1\"\n");
    QFile::setPermissions(editor, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ScopedEnvironment visual("VISUAL", QByteArray());
    ScopedEnvironment editorVariable("EDITOR", editor.toLocal8Bit());

    TShowIniFileDlg dialog(folder.path(), "study", folder.path(), nullptr);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    answerNextModal(folder.file("models.ini"));
    QTest::mouseClick(dialog.OthersButton, Qt::LeftButton);
    QTest::qWait(100); // the viewer is active again after the file dialog
    ASSERT_TRUE(dialog.EditButton->isEnabled()) << "a file was opened: it can be edited";
    QTest::mouseClick(dialog.EditButton, Qt::LeftButton);
    EXPECT_EQ(treeTexts(dialog.Tree->topLevelItem(0)), (QStringList{"models.ini", ">[Model]", ">>Name=A", ">>Added=1"}));
    EXPECT_TRUE(dialog.EditButton->isEnabled());

    // An editor that cannot be started is named, with the file.
    ScopedEnvironment missing("EDITOR", folder.file("no-such-editor").toLocal8Bit());
    QString message;
    answerNextModal(QString(), &message);
    QTest::mouseClick(dialog.EditButton, Qt::LeftButton);
    EXPECT_TRUE(message.contains(QStringLiteral("Не могу открыть файл"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("models.ini"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("no-such-editor"))) << message.toStdString();
}

TEST(SettingsViewer, ShowsAFileAsSectionsAndKeys)
{
    TempFolder system;
    ScopedSystemDirectory scope(system.path());
    TempFolder folder;
    writeBytes(folder.file("Local.Ini"), "[General]\r\n   DataDirectory=D:\\data  \r\n\r\n[Visible]\r\n\tPol=1\r\n;note\r\n");
    TShowIniFileDlg dialog(folder.path(), "study", folder.path(), nullptr);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ПОКАЗ  ИНИЦИАЛИЗАЦИЙ"));
    EXPECT_FALSE(dialog.EditButton->isEnabled());
    ASSERT_TRUE(dialog.showFile(folder.file("Local.Ini")));
    EXPECT_EQ(treeTexts(dialog.Tree->topLevelItem(0)),
        (QStringList{"Local.Ini", ">[General]", ">>DataDirectory=D:\\data", ">[Visible]", ">>Pol=1", ">>;note"}));
    EXPECT_TRUE(dialog.EditButton->isEnabled());
    EXPECT_EQ(dialog.currentFile(), folder.file("Local.Ini"));
    EXPECT_EQ(dialog.ProgramButton->toolTip(), QStringLiteral("Файл установок программы"));
    EXPECT_EQ(dialog.ReturnButton->text(), QStringLiteral("Возврат"));
}

TEST(SettingsViewer, AFileThatIsNotATreeKeepsWhatCameBeforeAndIsNotCurrent)
{
    TempFolder folder;
    writeBytes(folder.file("bad.ini"), "Key=1\r\n[Section]\r\n");
    TShowIniFileDlg dialog(folder.path(), "study", folder.path(), nullptr);
    QString reported;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            reported = box->text();
            box->close();
        }
    });
    EXPECT_FALSE(dialog.showFile(folder.file("bad.ini")));
    EXPECT_FALSE(reported.isEmpty());
    EXPECT_EQ(dialog.Tree->topLevelItemCount(), 1) << "the file name before the faulty line";
    EXPECT_TRUE(dialog.currentFile().isEmpty());
    EXPECT_FALSE(dialog.EditButton->isEnabled());
}

TEST(DescriptionWindow, ContinueAcceptsAndRefuseRejects)
{
    TempFolder folder;
    writeBytes(folder.file("study.DES"), "\xCF\xE5\xF0\xE2\xE0\xFF\r\n\xC2\xF2\xEE\xF0\xE0\xFF\r\n"); // cp1251
    for (bool proceed : {true, false}) {
        TDesForm form(folder.path(), "study", nullptr);
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Текст описания конфигурации"));
        EXPECT_EQ(form.lines(), (QStringList{"Первая", "Вторая"}));
        QTimer::singleShot(0, [&] { QTest::mouseClick(proceed ? form.ContinueButton : form.RefuseButton, Qt::LeftButton); });
        EXPECT_EQ(form.exec(), proceed ? QDialog::Accepted : QDialog::Rejected);
    }
    TDesForm missing(folder.path(), "none", nullptr);
    EXPECT_EQ(missing.lines(), QStringList{QString()});
}

TEST(ProgressWindow, AClickOrClosingAsksTheOperationToStopAndTheWindowStays)
{
    SilentFeedback operation;
    TGaugeForm form(operation, nullptr);
    EXPECT_EQ(form.StatusPanel(0)->text(), QStringLiteral("Принято: 0"));
    EXPECT_EQ(form.StatusPanel(1)->text(), QStringLiteral("Всего: 0"));
    form.show();
    QTest::mouseClick(&form, Qt::LeftButton);
    EXPECT_FALSE(operation.continueFlag());
    operation.setContinueFlag(true);
    form.close();
    EXPECT_FALSE(operation.continueFlag());
    EXPECT_TRUE(form.isVisible());
}

TEST(AboutBox, ShowsTitlePictureMemoryAndSystem)
{
    TAboutBox box(nullptr);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("О программе"));
    EXPECT_EQ(box.ProductName->text(), QStringLiteral("Система обработки информации \"Верола\""));
    ASSERT_FALSE(box.ProgramIcon->pixmap().isNull()) << "the JPEG picture was read";
    EXPECT_TRUE(box.OKButton->isDefault());
    EXPECT_EQ(TAboutBox::memoryText(64LL * 1024 * 1024, QLocale(QLocale::English)), QStringLiteral("65,536 KB"));
    EXPECT_FALSE(TAboutBox::systemText().isEmpty());
    QTimer::singleShot(0, [&] { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(box.exec(), QDialog::Rejected);
}
