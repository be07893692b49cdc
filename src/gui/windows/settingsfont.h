#pragma once

class QWidget;

namespace verola {

// Gives a window the font of the settings file (General/FontName, General/FontSize); a face the
// system does not know leaves the platform's own.
void applySettingsFont(QWidget& window);

} // namespace verola
