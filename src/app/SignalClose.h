#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace zorvane::app {

// Turns SIGTERM, SIGINT and SIGHUP into a normal close of the main window, so the settings
// are saved and the port released. The signals arrive through a self-pipe; the window is
// closed from the event loop. A second signal ends the program the hard way.
class SignalClose : public QObject
{
    Q_OBJECT
public:
    explicit SignalClose(QWidget *window);
    ~SignalClose() override;

private:
    void onSignal();

    QPointer<QWidget> m_window;
};

} // namespace zorvane::app
