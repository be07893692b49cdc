#pragma once

#include "core/coreexport.h"

#include <QString>
#include <QStringList>

#include <atomic>

namespace verola {

// What a long operation reports while it runs, and how it learns that the user wants it to
// stop. An operation that only needs this takes a ProgressFeedback.
class VEROLA_CORE_EXPORT ProgressFeedback {
public:
    virtual ~ProgressFeedback() = default;

    virtual void progressShow(const QString& caption, int maximum) = 0;
    virtual void progressCaption(const QString& caption) = 0;
    virtual void progressMaximum(int maximum) = 0;
    virtual void progressPosition(int position) = 0;
    virtual void progressStep() = 0;
    virtual void progressStatus(int panel, const QString& text) = 0;
    virtual void progressHide() = 0;
    // Lets pending window events run (a no-op away from a window).
    virtual void processEvents() = 0;

    // Cleared when the user asks a running operation to stop. The flag is a lock-free atomic, so
    // requestStop() may be called from another thread or from a signal handler.
    bool continueFlag() const { return m_continue.load(std::memory_order_relaxed); }
    void setContinueFlag(bool value) { m_continue.store(value, std::memory_order_relaxed); }
    void requestStop() { setContinueFlag(false); }

private:
    static_assert(std::atomic<bool>::is_always_lock_free);
    std::atomic<bool> m_continue{true};
};

// What core code says to the user and asks of the user, besides progress. The GUI answers with
// dialogs and a progress window, the CLI with the terminal, tests with a recorder.
class VEROLA_CORE_EXPORT Feedback : public ProgressFeedback {
public:
    virtual void message(const QString& text) = 0;
    virtual bool question(const QString& text) = 0;
    // The configuration's description before it is read: true to continue, false to refuse.
    virtual bool confirmDescription(const QStringList& lines) = 0;
    // The description of a configuration being saved under a new name, as the user leaves it.
    virtual QStringList editDescription(const QStringList& lines) { return lines; }
};

// Says nothing, agrees to every question and shows no progress.
class VEROLA_CORE_EXPORT SilentFeedback : public Feedback {
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
    void processEvents() override {}
};

} // namespace verola
