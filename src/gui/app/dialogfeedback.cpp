#include "gui/app/dialogfeedback.h"

#include "gui/app/verolaapplication.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QProgressDialog>

namespace verola {

DialogFeedback::DialogFeedback(QWidget* parent) : m_parent(parent) {}

DialogFeedback::~DialogFeedback()
{
    delete m_progress;
}

void DialogFeedback::message(const QString& text)
{
    QMessageBox::information(m_parent, VerolaApplication::messageTitle(), text);
}

bool DialogFeedback::question(const QString& text)
{
    return QMessageBox::question(m_parent, VerolaApplication::messageTitle(), text) == QMessageBox::Yes;
}

bool DialogFeedback::confirmDescription(const QStringList& lines)
{
    QMessageBox box(QMessageBox::NoIcon, VerolaApplication::messageTitle(), lines.join(u'\n'),
        QMessageBox::NoButton, m_parent);
    QAbstractButton* proceed = box.addButton(QStringLiteral("Продолжить"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Отказаться"), QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == proceed;
}

QStringList DialogFeedback::editDescription(const QStringList& lines)
{
    QDialog dialog(m_parent);
    dialog.setWindowTitle(QStringLiteral("Описание выборки"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QPlainTextEdit(lines.join(u'\n'), &dialog);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QStringLiteral("Продолжить"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Отказаться"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.exec();
    // Whichever button closed it, the text is kept.
    return text->toPlainText().split(u'\n');
}

void DialogFeedback::progressShow(const QString& caption, int maximum)
{
    if (!m_progress) {
        m_progress = new QProgressDialog(m_parent);
        m_progress->setCancelButton(nullptr);
        m_progress->setMinimumDuration(0);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
    }
    m_progress->setWindowTitle(caption);
    m_progress->setRange(0, maximum);
    m_progress->setValue(0);
    m_progress->show();
    QApplication::processEvents();
}

void DialogFeedback::progressCaption(const QString& caption)
{
    if (m_progress)
        m_progress->setWindowTitle(caption);
}

void DialogFeedback::progressMaximum(int maximum)
{
    if (m_progress)
        m_progress->setMaximum(maximum);
}

void DialogFeedback::progressPosition(int position)
{
    if (m_progress)
        m_progress->setValue(position);
}

void DialogFeedback::progressStep()
{
    if (m_progress)
        m_progress->setValue(m_progress->value() + 1);
}

void DialogFeedback::progressStatus(int, const QString& text)
{
    if (m_progress)
        m_progress->setLabelText(text);
}

void DialogFeedback::progressHide()
{
    if (m_progress)
        m_progress->hide();
}

void DialogFeedback::processEvents()
{
    QApplication::processEvents();
}

} // namespace verola
