#include "gui/app/dialogfeedback.h"

#include "gui/app/navigatorform.h"
#include "gui/app/verolaapplication.h"

#include "gui/windows/desform.h"
#include "gui/windows/gaugeform.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QWindow>
#include <utility>

namespace verola {

namespace {

// The window system maps a new window a little later: until it does, what is painted is lost and
// the window stays blank through an operation that does not return to the event loop.
void waitUntilShown(QWidget& window)
{
    QElapsedTimer waited;
    waited.start();
    QApplication::processEvents();
    while (window.windowHandle() && !window.windowHandle()->isExposed() && waited.elapsed() < 500)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    window.repaint();
}

} // namespace

DialogFeedback::DialogFeedback(QWidget* parent) : m_parent(parent) {}

DialogFeedback::~DialogFeedback()
{
    delete m_progress;
}

void DialogFeedback::message(const QString& text)
{
    if (m_holding) {
        m_held.append(text);
        return;
    }
    QMessageBox::information(m_parent, VerolaApplication::messageTitle(), text);
}

void DialogFeedback::releaseMessages()
{
    m_holding = false;
    for (const QString& text : std::as_const(m_held)) {
        auto* box = new QMessageBox(QMessageBox::Information, VerolaApplication::messageTitle(), text,
            QMessageBox::Ok, m_parent);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
        box->activateWindow(); // Return closes it, as it would a modal box
        if (QWidget* window = m_parent)
            QObject::connect(box, &QMessageBox::finished, window, [window] { window->activateWindow(); });
    }
    m_held.clear();
}

void DialogFeedback::releaseMessagesAndWait()
{
    m_holding = false;
    const QStringList held = std::exchange(m_held, {});
    for (const QString& text : held)
        QMessageBox::information(m_parent, VerolaApplication::messageTitle(), text);
}

void finishStart(TNavigatorForm& navigator, DialogFeedback& feedback, const QStringList& arguments)
{
    if (arguments.size() < 2) {
        feedback.releaseMessages();
        return;
    }
    feedback.releaseMessagesAndWait();
    navigator.openConfiguration(arguments.at(1));
}

bool DialogFeedback::question(const QString& text)
{
    // A question asked for the window the person works in (the map window's "В выборку")
    // comes up over that window; one asked while the progress window runs, over the main window.
    QWidget* active = QApplication::activeWindow();
    QWidget* parent = active && active != m_progress.data() ? active : m_parent;
    return QMessageBox::question(parent, VerolaApplication::messageTitle(), text) == QMessageBox::Yes;
}

bool DialogFeedback::confirmDescription(const QStringList& lines)
{
    TDesForm form(lines, m_parent);
    form.Memo->setReadOnly(true);
    return form.exec() == QDialog::Accepted;
}

QStringList DialogFeedback::editDescription(const QStringList& lines)
{
    TDesForm form(lines, m_parent);
    form.Memo->setReadOnly(false);
    form.exec();
    // Whichever button closed it, the text is kept.
    return form.lines();
}

void DialogFeedback::progressShow(const QString& caption, int maximum)
{
    if (!m_progress)
        m_progress = new TGaugeForm(*this, m_parent);
    m_progress->setWindowTitle(caption);
    m_progress->Gauge->setRange(0, maximum);
    m_progress->Gauge->setValue(0);
    m_progress->show();
    waitUntilShown(*m_progress);
}

void DialogFeedback::progressCaption(const QString& caption)
{
    if (m_progress)
        m_progress->setWindowTitle(caption);
}

void DialogFeedback::progressMaximum(int maximum)
{
    if (m_progress)
        m_progress->Gauge->setMaximum(maximum);
}

void DialogFeedback::progressPosition(int position)
{
    if (m_progress)
        m_progress->Gauge->setValue(position);
}

void DialogFeedback::progressStep()
{
    if (m_progress) {
        m_progress->Gauge->setValue(m_progress->Gauge->value() + 1);
        m_progress->Gauge->repaint(); // the operation does not return to the event loop meanwhile
    }
}

void DialogFeedback::progressStatus(int panel, const QString& text)
{
    if (m_progress && m_progress->isVisible()) {
        m_progress->StatusPanel(panel)->setText(text);
        return;
    }
    auto* navigator = qobject_cast<TNavigatorForm*>(m_parent);
    if (navigator && panel >= 0 && panel < 3)
        navigator->StatusPanel(panel)->setText(text);
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

TGaugeForm* DialogFeedback::progressWindow() const
{
    return m_progress;
}

} // namespace verola
