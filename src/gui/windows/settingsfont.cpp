#include "gui/windows/settingsfont.h"

#include "core/app/settings.h"

#include <QFont>
#include <QFontDatabase>
#include <QWidget>

namespace verola {

void applySettingsFont(QWidget& window)
{
    const FontSettings settings = LoadFontSettings();
    QFont font = window.font();
    if (QFontDatabase::hasFamily(settings.face))
        font.setFamily(settings.face);
    if (settings.pointSize > 0)
        font.setPointSize(settings.pointSize);
    window.setFont(font);
}

} // namespace verola
