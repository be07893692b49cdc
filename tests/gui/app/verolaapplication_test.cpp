#include "gui/app/recentfiles.h"
#include "gui/app/verolaapplication.h"

#include <QCoreApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>
#include <new>

using namespace verola;

namespace {

// An object whose events throw what they are given.
template <typename Thrown>
class Thrower : public QObject {
public:
    explicit Thrower(Thrown thrown) : m_thrown(thrown) {}
    bool event(QEvent*) override { throw m_thrown; }

private:
    Thrown m_thrown;
};

// Sends an event to a thrower and returns the text of the message box that reports it.
template <typename Thrown>
QString reportedText(Thrown thrown)
{
    Thrower<Thrown> thrower(thrown);
    QString reported;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            reported = box->windowTitle() + u'|' + box->text();
            box->close();
        }
    });
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &event));
    return reported;
}

} // namespace

TEST(VerolaApplication, AnythingThrownFromAnEventIsShownAndTheProgramGoesOn)
{
    EXPECT_EQ(reportedText(std::runtime_error("disk gone")), QStringLiteral("Верола|disk gone"));
    EXPECT_EQ(reportedText(42), QStringLiteral("Верола|Неизвестная ошибка"));
    EXPECT_EQ(reportedText(std::bad_alloc()),
        QStringLiteral("Верола|Недостаточно памяти: операция \"действие в окне\" не выполнена"));
}

TEST(VerolaApplication, WindowTitlesGetNothingAppended)
{
    // Qt appends a display name, when one is set, to the title of every window.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    QMenu menu;
    TRecentFiles recent;
    recent.SetMenu(&menu);
    recent.SetMaxFiles(9);
    recent.AddFile(QStringLiteral("/x/a.DES"));
    ASSERT_TRUE(recent.separator()->isSeparator());
    EXPECT_TRUE(recent.separator()->text().isEmpty()); // a separator with a text shows it in some styles
}

TEST(VerolaApplication, QtsOwnDialogsSpeakRussian)
{
    QTranslator* translator = installQtTranslations(*QCoreApplication::instance(), QLocale(QLocale::Russian));
    ASSERT_NE(translator, nullptr) << "Qt's Russian translations are not installed";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}
