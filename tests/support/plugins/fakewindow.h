#pragma once

// The window of the test table and map libraries. With widgets it is a top-level window of the
// main window that, like the real ones, never closes itself: closing it, or pressing Escape in
// it, sends the main window the close or hide notification. Without widgets (the core's tests)
// it is a plain object of the handle.

#include "pluginlog.h"
#include "plugins/api/pluginhandles.h"

#include <QCoreApplication>
#include <QObject>

#if defined(FAKE_WITH_WIDGETS)
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QWidget>
#if defined(FAKE_WITH_CHART)
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QVBoxLayout>
#endif
#endif

namespace fake {

#if defined(FAKE_WITH_WIDGETS)
class Window : public QWidget {
public:
    Window(QWidget* owner, int closeNumber, int hideNumber)
        : QWidget(owner, Qt::Window), m_close(closeNumber), m_hide(hideNumber)
    {
        resize(320, 200);
#if defined(FAKE_WITH_CHART)
        // A chart, as the real table window has: its library must survive being unloaded.
        auto* series = new QLineSeries;
        series->append(0, 1);
        series->append(1, 3);
        auto* chart = new QChart;
        chart->addSeries(series);
        chart->createDefaultAxes();
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QChartView(chart, this));
#endif
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        verola::plugin::postNotification(parentWidget(), m_close);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape)
            verola::plugin::postNotification(parentWidget(), m_hide);
        else
            QWidget::keyPressEvent(event);
    }

private:
    int m_close;
    int m_hide;
};

inline bool withWidgets()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}
#endif

inline VerolaWindow create(VerolaHandle owner, int closeNumber, int hideNumber)
{
#if defined(FAKE_WITH_WIDGETS)
    if (withWidgets()) {
        QWidget* window = new Window(static_cast<QWidget*>(owner), closeNumber, hideNumber);
        window->show();
        return window;
    }
#else
    Q_UNUSED(closeNumber);
    Q_UNUSED(hideNumber);
#endif
    return new QObject(static_cast<QObject*>(owner));
}

inline void close(VerolaWindow window)
{
#if defined(FAKE_WITH_WIDGETS)
    if (withWidgets()) {
        delete static_cast<QWidget*>(window);
        return;
    }
#endif
    delete static_cast<QObject*>(window);
}

inline void hide(VerolaWindow window)
{
#if defined(FAKE_WITH_WIDGETS)
    if (withWidgets())
        static_cast<QWidget*>(window)->hide();
#else
    Q_UNUSED(window);
#endif
}

// The entries the table and map libraries share, recorded under each library's own names.
inline VerolaWindow createRecorded(const char* call, VerolaHandle application, int closeNumber, int hideNumber)
{
    verola::test::pluginLog().calls.append(QString::fromLatin1(call));
    verola::test::pluginLog().createdWith = application;
    return create(application, closeNumber, hideNumber);
}

inline void setTablesRecorded(const char* call, VerolaTable* table, VerolaTable* partner, int mode)
{
    verola::test::PluginLog& log = verola::test::pluginLog();
    log.calls.append(QString::fromLatin1(call));
    log.table = table;
    log.partner = partner;
    log.mode = mode;
}

inline void setDesRecorded(const char* name, const char* directory)
{
    verola::test::PluginLog& log = verola::test::pluginLog();
    log.calls.append(QStringLiteral("DllSetDes"));
    log.desName = verola::plugin::fromText(name);
    log.desDirectory = verola::plugin::fromText(directory);
}

} // namespace fake

#if !defined(FAKE_API_VERSION)
#define FAKE_API_VERSION VEROLA_PLUGIN_API_VERSION
#endif
