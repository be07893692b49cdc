#include "gui/app/verolaapplication.h"

#include "core/platform/errors.h"

#include <QMessageBox>

namespace verola {

VerolaApplication::VerolaApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("verola"));
    setApplicationDisplayName(QStringLiteral("Верола"));
}

bool VerolaApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const EPlatformError& error) {
        QMessageBox::critical(activeWindow(), applicationDisplayName(), error.message());
    } catch (const std::exception& error) {
        QMessageBox::critical(activeWindow(), applicationDisplayName(), QString::fromLocal8Bit(error.what()));
    }
    return false;
}

} // namespace verola
