#pragma once

#include <QObject>
#include <QPointer>

class QSocketNotifier;
class QWidget;

namespace zorvane::app {

// Turns SIGTERM, SIGINT and SIGHUP into a normal close of the main window, so the settings
// are saved and the port released. The handler only writes a byte to a socket pair; the
// window is closed from the event loop. A second signal ends the program the hard way.
class SignalClose : public QObject
{
    Q_OBJECT
public:
    explicit SignalClose(QWidget *window);
    ~SignalClose() override;

private:
    void onSignal();

    QPointer<QWidget> m_window;
    QSocketNotifier *m_notifier = nullptr;
    int m_fds[2] = {-1, -1};
};

} // namespace zorvane::app
