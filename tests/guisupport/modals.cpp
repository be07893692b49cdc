#include "modals.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace verola::test {

namespace {

void typeFileName(QFileDialog& dialog, const QString& file)
{
    if (file.isEmpty())
        return;
    dialog.selectFile(file);
    if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->setText(file);
}

} // namespace

void answerNextModal(const QString& file, QString* message, std::chrono::milliseconds limit)
{
    struct State {
        QPointer<QFileDialog> dialog; // the file dialog being answered, once seen
        bool seen = false;
        bool acceptPending = false;
        QDeadlineTimer deadline;
    };
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto state = std::make_shared<State>();
    state->deadline = QDeadlineTimer(limit);
    QObject::connect(timer, &QTimer::timeout, [timer, file, message, state] {
        const auto finish = [timer] {
            timer->stop();
            timer->deleteLater();
        };
        QWidget* modal = QApplication::activeModalWidget();
        if (state->deadline.hasExpired()) {
            if (modal)
                modal->close();
            if (state->dialog)
                state->dialog->reject();
            finish();
            return;
        }
        if (state->seen && (!state->dialog || !state->dialog->isVisible())) {
            finish(); // the file dialog took the file
            return;
        }
        if (!modal)
            return;
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            state->dialog = dialog;
            state->seen = true;
            if (state->acceptPending)
                return;
            typeFileName(*dialog, file);
            state->acceptPending = true;
            // Queued, so that a message box the dialog puts up is seen on a later look.
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            return;
        }
        if (state->seen && qobject_cast<QFileDialog*>(modal->parentWidget())) {
            modal->close(); // the file dialog's own complaint: answer it again
            state->acceptPending = false;
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal); box && message)
            *message = box->text();
        modal->close();
        finish();
    });
    timer->start();
}

} // namespace verola::test
