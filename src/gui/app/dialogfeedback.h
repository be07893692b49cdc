#pragma once

#include "gui/guiexport.h"
#include "core/platform/feedback.h"

#include <QPointer>

class QProgressDialog;
class QWidget;

namespace verola {

// Message boxes, yes/no questions and a progress window for core operations.
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

private:
    QWidget* m_parent;
    QPointer<QProgressDialog> m_progress;
};

} // namespace verola
