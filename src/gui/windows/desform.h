#pragma once

#include "gui/guiexport.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace verola {

// The description text of a configuration, with "Продолжить" (OK) and "Отказаться" (Cancel).
// The text is read-only unless its user makes it editable.
class VEROLA_GUI_EXPORT TDesForm : public QDialog {
    Q_OBJECT
public:
    // Shows the description of the configuration in the directory and name given; one empty
    // line when it cannot be read.
    TDesForm(const QString& configDirectory, const QString& configName, QWidget* parent);
    // Shows the lines given.
    TDesForm(const QStringList& lines, QWidget* parent);

    QStringList lines() const;

    QPlainTextEdit* Memo;
    QPushButton* ContinueButton;
    QPushButton* RefuseButton;
};

} // namespace verola
