#pragma once

#include <QApplication>

namespace verola {

// Shows an error that escaped an event handler in a message box and keeps running.
class VerolaApplication : public QApplication {
public:
    VerolaApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace verola
