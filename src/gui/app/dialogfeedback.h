#pragma once

#include "gui/guiexport.h"
#include "core/platform/feedback.h"

#include <QPointer>

class QWidget;

namespace verola {

class TGaugeForm;

// Message boxes, yes/no questions, the description window and the progress window for core
// operations. A click on the progress window asks the running operation to stop. Status texts
// go to the progress window while it is shown, else to the main window's status bar.
class VEROLA_GUI_EXPORT DialogFeedback : public Feedback {
public:
    explicit DialogFeedback(QWidget* parent);
    ~DialogFeedback() override;

    // The window the dialogs belong to, when it exists only after the feedback.
    void setParentWindow(QWidget* parent) { m_parent = parent; }
    // Messages said while the program starts wait until its window is shown: held, they are
    // shown by releaseMessages() over the window, without stopping the program.
    void holdMessages() { m_holding = true; }
    void releaseMessages();
    // The same, each message waiting for its OK: a window that comes next (the description of
    // the configuration named on the command line) would hide it.
    void releaseMessagesAndWait();

    void message(const QString& text) override;
    bool question(const QString& text) override;
    bool confirmDescription(const QStringList& lines) override;
    QStringList editDescription(const QStringList& lines) override;
    void progressShow(const QString& caption, int maximum) override;
    void progressCaption(const QString& caption) override;
    void progressMaximum(int maximum) override;
    void progressPosition(int position) override;
    void progressStep() override;
    void progressStatus(int panel, const QString& text) override;
    void progressHide() override;
    void processEvents() override;
    // The progress window while an operation shows one; null before the first.
    TGaugeForm* progressWindow() const;

private:
    QWidget* m_parent;
    QPointer<TGaugeForm> m_progress;
    bool m_holding = false;
    QStringList m_held;
};

class TNavigatorForm;

// What the program does once its main window is shown: the messages held during the start, then
// the configuration the command line names (arguments as QCoreApplication::arguments()).
VEROLA_GUI_EXPORT void finishStart(TNavigatorForm& navigator, DialogFeedback& feedback, const QStringList& arguments);

} // namespace verola
