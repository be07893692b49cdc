#pragma once

#include "gui/guiexport.h"

#include <QApplication>
#include <QLocale>

class QTranslator;

namespace verola {

// Shows an error that escaped an event handler in a message box and keeps running.
class VEROLA_GUI_EXPORT VerolaApplication : public QApplication {
public:
    VerolaApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // The title of the program's message boxes.
    static QString messageTitle();
};

// Installs Qt's own translations (buttons and texts of Qt's dialogs) for a locale; null when
// Qt has none for it. The translator belongs to the application.
VEROLA_GUI_EXPORT QTranslator* installQtTranslations(QCoreApplication& application, const QLocale& locale);

} // namespace verola
