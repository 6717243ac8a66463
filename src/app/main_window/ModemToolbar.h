#pragma once

#include "serial/ModemLineWatch.h"
#include "serial/ModemSequenceRunner.h"
#include "settings/ModemLineSettings.h"

#include <QPointer>
#include <QToolBar>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QToolButton;

namespace zorvane::app {

// The "Modem lines" toolbar: DTR and RTS switches that show what the device reads back, the
// CTS, DSR, DCD and RI indicators, a pulse, a break and the port's reset sequence, and the
// port's choices for DTR and RTS right after open. It drives whatever link the window gives
// it and knows nothing of the window.
class ModemToolbar : public QToolBar
{
    Q_OBJECT
public:
    explicit ModemToolbar(QWidget *parent = nullptr);

    // A port was opened on `link`: its choices are shown and its DTR and RTS set as chosen.
    void portOpened(int port, serial::Link *link);

    settings::ModemLineSettings &lineSettings() { return m_settings; }
    // Whether the input lines are being polled: only while a port is open.
    bool isPolling() const { return m_watch.isPolling(); }
    // Shows what the settings hold; after they were loaded.
    void showSettings();
    // With RTS/CTS flow control the driver drives RTS: the switch shows it and is not offered.
    void setRtsByFlowControl(bool byFlow);

    QToolButton *DtrSwitch = nullptr;
    QToolButton *RtsSwitch = nullptr;
    QToolButton *Cts = nullptr;
    QToolButton *Dsr = nullptr;
    QToolButton *Dcd = nullptr;
    QToolButton *Ri = nullptr;
    QComboBox *PulseLine = nullptr;
    QSpinBox *PulseLength = nullptr;
    QToolButton *Pulse = nullptr;
    QSpinBox *BreakLength = nullptr;
    QToolButton *Break = nullptr;
    QComboBox *DtrAtOpen = nullptr;
    QComboBox *RtsAtOpen = nullptr;
    QLineEdit *ResetSequence = nullptr;
    QToolButton *ResetModule = nullptr;
    // What the last action came to, in words.
    QLabel *Status = nullptr;

private:
    void switchClick(serial::ModemLine line, bool on);
    void PulseClick();
    void BreakClick();
    void ResetModuleClick();
    void portChoiceChanged();
    void showLines();
    void play(serial::ModemSteps steps, const QString &what);
    bool linkOpen() const;
    void setStatus(const QString &text);

    // Each open brings a new link; one that is gone reads as closed.
    QPointer<serial::Link> m_link;
    serial::ModemLineWatch m_watch;
    serial::ModemSequenceRunner m_runner;
    settings::ModemLineSettings m_settings;
    // The port whose choices the controls show; 0 before any was opened.
    int m_port = 0;
    QString m_running;
    bool m_rtsByFlow = false;
};

} // namespace zorvane::app
