#include "gui/windows/gaugeform.h"

#include "gui/windows/settingsfont.h"
#include "core/platform/feedback.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

namespace verola {

TGaugeForm::TGaugeForm(ProgressFeedback& operation, QWidget* parent) : QDialog(parent), m_operation(operation)
{
    setObjectName(QStringLiteral("GaugeForm"));
    applySettingsFont(*this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Gauge = new QProgressBar(this);
    Gauge->setTextVisible(false);
    Gauge->setValue(0);
    Gauge->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: lime; }"));
    layout->addWidget(Gauge, 1);
    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setFixedHeight(29);
    m_panels[0] = new QLabel(QStringLiteral("Принято: 0"), StatusBar);
    m_panels[1] = new QLabel(QStringLiteral("Всего: 0"), StatusBar);
    StatusBar->addWidget(m_panels[0], 1);
    StatusBar->addWidget(m_panels[1], 1);
    layout->addWidget(StatusBar);
    setFixedSize(601, 50);
}

void TGaugeForm::showEvent(QShowEvent* event)
{
    // Centred on the screen, wherever the window that runs the operation is.
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TGaugeForm::mousePressEvent(QMouseEvent* event)
{
    m_operation.requestStop();
    QDialog::mousePressEvent(event);
}

void TGaugeForm::closeEvent(QCloseEvent* event)
{
    m_operation.requestStop();
    event->ignore();
}

} // namespace verola
