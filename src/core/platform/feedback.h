#pragma once

#include <QString>
#include <QStringList>

namespace verola {

// What core code says to the user and asks of the user. The GUI answers with
// dialogs and a progress window, the CLI with the terminal, tests with a recorder.
class Feedback {
public:
    virtual ~Feedback() = default;

    virtual void message(const QString& text) = 0;
    virtual bool question(const QString& text) = 0;
    // The configuration's description before it is read: true to continue, false to refuse.
    virtual bool confirmDescription(const QStringList& lines) = 0;
    // The description of a configuration being saved under a new name, as the user leaves it.
    virtual QStringList editDescription(const QStringList& lines) { return lines; }

    virtual void progressShow(const QString& caption, int maximum) = 0;
    virtual void progressCaption(const QString& caption) = 0;
    virtual void progressMaximum(int maximum) = 0;
    virtual void progressPosition(int position) = 0;
    virtual void progressStep() = 0;
    virtual void progressStatus(int panel, const QString& text) = 0;
    virtual void progressHide() = 0;
    // Cleared when the user asks a running operation to stop.
    virtual bool continueFlag() const = 0;
    virtual void setContinueFlag(bool value) = 0;
    virtual void processEvents() = 0;
};

// Says nothing, agrees to every question and never stops an operation.
class SilentFeedback : public Feedback {
public:
    void message(const QString&) override {}
    bool question(const QString&) override { return true; }
    bool confirmDescription(const QStringList&) override { return true; }
    void progressShow(const QString&, int) override {}
    void progressCaption(const QString&) override {}
    void progressMaximum(int) override {}
    void progressPosition(int) override {}
    void progressStep() override {}
    void progressStatus(int, const QString&) override {}
    void progressHide() override {}
    bool continueFlag() const override { return m_continue; }
    void setContinueFlag(bool value) override { m_continue = value; }
    void processEvents() override {}

private:
    bool m_continue = true;
};

} // namespace verola
