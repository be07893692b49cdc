#pragma once

#include "gui/guiexport.h"
#include "core/platform/feedback.h"

#include <QPointer>

class QWidget;

namespace verola {

class TGaugeForm;

// Message boxes, yes/no questions, the description window and the progress window for core
// operations. A click on the progress window asks the running operation to stop.
class VEROLA_GUI_EXPORT DialogFeedback : public Feedback {
public:
    explicit DialogFeedback(QWidget* parent);
    ~DialogFeedback() override;

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
};

} // namespace verola
