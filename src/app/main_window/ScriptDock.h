#pragma once

#include <QDockWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace zorvane::script {
class ScriptEngine;
struct ScriptStep;
} // namespace zorvane::script

namespace zorvane::app {

// The "Script" dock: the running script's name, its state (running, waiting for what and how
// much longer, passed, failed with the script's file and line, stopped), its output lines
// and the steps as they end, and a Stop button.
class ScriptDock : public QDockWidget
{
    Q_OBJECT
public:
    // A script's output kept in the dock: the newest lines.
    static constexpr int kMaxOutputLines = 5000;

    ScriptDock(script::ScriptEngine &engine, QWidget *parent);

    QLabel *ScriptName = nullptr;
    QLabel *ScriptState = nullptr;
    QPlainTextEdit *ScriptOutput = nullptr;
    QPushButton *StopButton = nullptr;

    // The state as the label says it.
    static QString stateText(const script::ScriptEngine &engine);

signals:
    void stopClicked();

private:
    void showState();
    void stepEnded(const script::ScriptStep &step);

    script::ScriptEngine &m_engine;
    // Counts a wait down while one lasts.
    QTimer *m_countdown = nullptr;
    // The end of the run is written under its output once.
    bool m_ended = true;
};

} // namespace zorvane::app
