#pragma once

#include "gui/guiexport.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace verola {

// "О программе": the system's title, its picture, the physical memory and the operating system.
class VEROLA_GUI_EXPORT TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent);

    // "65,536 KB" for 64 MiB with a comma as the thousands separator.
    static QString memoryText(qint64 bytes, const QLocale& locale);
    // The kernel or system name and its version, "Linux 6.1".
    static QString systemText();

    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* PhysMem;
    QLabel* OS;
    QPushButton* OKButton;
};

} // namespace verola
