#include "gui/app/verolaapplication.h"

#include "core/platform/errors.h"

#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>
#include <new>

namespace verola {

VerolaApplication::VerolaApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // No display name: the window system would append it to every window title.
    setApplicationName(QStringLiteral("verola"));
    installQtTranslations(*this, QLocale::system());
}

QString VerolaApplication::messageTitle()
{
    return QStringLiteral("Верола");
}

bool VerolaApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const EPlatformError& error) {
        QMessageBox::critical(activeWindow(), messageTitle(), error.message());
    } catch (const std::bad_alloc&) {
        QMessageBox::critical(activeWindow(), messageTitle(), outOfMemoryMessage(QStringLiteral("действие в окне")));
    } catch (const std::exception& error) {
        QMessageBox::critical(activeWindow(), messageTitle(), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        // Nothing may unwind through Qt's event loop; whatever was thrown, the window stays usable.
        QMessageBox::critical(activeWindow(), messageTitle(), QStringLiteral("Неизвестная ошибка"));
    }
    return false;
}

QTranslator* installQtTranslations(QCoreApplication& application, const QLocale& locale)
{
    auto* translator = new QTranslator(&application);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator; // never installed, so nothing else refers to it
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

} // namespace verola
