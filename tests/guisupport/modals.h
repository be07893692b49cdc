#pragma once

// Answers the modal windows a widget test brings up, as a person would, on a timer that looks
// every 10 ms. Whatever happens, the timer gives up after a time limit and closes what is still
// open, so that a test whose dialog misbehaves fails instead of waiting for a person.

#include <QString>
#include <chrono>

namespace verola::test {

// The next modal window: a file dialog takes `file` (typed into its name field; an empty
// `file` takes what the dialog offers) and is accepted; a message box is closed, its text kept
// in `message`. A message box the file dialog itself puts up while it has not read its folder
// yet ("file not found") is closed and the file dialog is answered again.
void answerNextModal(const QString& file, QString* message = nullptr,
    std::chrono::milliseconds limit = std::chrono::seconds(20));

} // namespace verola::test
