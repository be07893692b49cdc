#pragma once

#include "gui/guiexport.h"

#include <QWidget>

class QTextBrowser;
class QToolButton;

namespace verola {

// The program's own help window: the help page beside the program, with its pictures, and the
// pages its links lead to. It needs no browser.
class VEROLA_GUI_EXPORT HelpForm : public QWidget {
    Q_OBJECT
public:
    HelpForm(const QString& page, QWidget* parent);

    // Shows the page again (the start page when it was left), whether it was changed or not.
    void showPage();

    QTextBrowser* Browser;
    QToolButton* BackButton;
    QToolButton* HomeButton;

private:
    void followTitle();

    QString m_page;
};

} // namespace verola
