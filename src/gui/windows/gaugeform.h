#pragma once

#include "gui/guiexport.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QStatusBar;

namespace verola {

class ProgressFeedback;

// The progress window of long operations: a gauge, the caption its user sets and two status
// texts. A click on it, or closing it, asks the running operation to stop; the window stays until
// its user hides it.
class VEROLA_GUI_EXPORT TGaugeForm : public QDialog {
    Q_OBJECT
public:
    TGaugeForm(ProgressFeedback& operation, QWidget* parent);

    QProgressBar* Gauge;
    QStatusBar* StatusBar;
    // The two status texts, "Принято: 0" and "Всего: 0" at creation.
    QLabel* StatusPanel(int index) const { return m_panels[index == 0 ? 0 : 1]; }

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    ProgressFeedback& m_operation;
    QLabel* m_panels[2];
};

} // namespace verola
