#include "app/main_window/ScriptDock.h"

#include "script/ScriptEngine.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace zorvane::app {

using script::ScriptEngine;

namespace {

constexpr int kCountdownMs = 100;

} // namespace

ScriptDock::ScriptDock(ScriptEngine &engine, QWidget *parent)
    : QDockWidget(QStringLiteral("Script"), parent), m_engine(engine)
{
    setObjectName(QStringLiteral("Script"));
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *top = new QHBoxLayout;
    ScriptName = new QLabel(body);
    ScriptName->setAccessibleName(QStringLiteral("Script name"));
    ScriptName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ScriptState = new QLabel(body);
    ScriptState->setAccessibleName(QStringLiteral("Script state"));
    ScriptState->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ScriptState->setWordWrap(true);
    StopButton = new QPushButton(QStringLiteral("Stop"), body);
    StopButton->setAccessibleName(QStringLiteral("Stop Script"));
    StopButton->setEnabled(false);
    top->addWidget(ScriptName);
    top->addWidget(ScriptState, 1);
    top->addWidget(StopButton);
    layout->addLayout(top);
    ScriptOutput = new QPlainTextEdit(body);
    ScriptOutput->setAccessibleName(QStringLiteral("Script output"));
    ScriptOutput->setReadOnly(true);
    ScriptOutput->setMaximumBlockCount(kMaxOutputLines);
    layout->addWidget(ScriptOutput);
    setWidget(body);

    m_countdown = new QTimer(this);
    m_countdown->setInterval(kCountdownMs);
    connect(m_countdown, &QTimer::timeout, this, &ScriptDock::showState);
    connect(StopButton, &QPushButton::clicked, this, &ScriptDock::stopClicked);
    connect(&engine, &ScriptEngine::stateChanged, this, &ScriptDock::showState);
    connect(&engine, &ScriptEngine::output, ScriptOutput, &QPlainTextEdit::appendPlainText);
    connect(&engine, &ScriptEngine::stepFinished, this, &ScriptDock::stepEnded);
    showState();
}

QString ScriptDock::stateText(const ScriptEngine &engine)
{
    switch (engine.state()) {
    case ScriptEngine::State::Idle:
        return QStringLiteral("No script has run");
    case ScriptEngine::State::Running:
        return QStringLiteral("Running");
    case ScriptEngine::State::Waiting: {
        const qint64 left = engine.waitRemainingMs();
        if (left < 0)
            return QStringLiteral("Waiting for %1").arg(engine.waitingFor());
        return QStringLiteral("Waiting for %1 (%2 s left)")
            .arg(engine.waitingFor())
            .arg(double(left) / 1000.0, 0, 'f', 1);
    }
    case ScriptEngine::State::Passed:
        return QStringLiteral("Passed");
    case ScriptEngine::State::Failed:
        return QStringLiteral("Failed: %1").arg(engine.message());
    case ScriptEngine::State::Stopped:
        return QStringLiteral("Stopped");
    }
    return {};
}

void ScriptDock::showState()
{
    const QString name = QFileInfo(m_engine.scriptPath()).fileName();
    if (ScriptName->text() != name)
        ScriptName->setText(name);
    const QString text = stateText(m_engine);
    if (ScriptState->text() != text) {
        ScriptState->setText(text);
        ScriptState->setAccessibleDescription(text);
    }
    const bool running = m_engine.isRunning();
    StopButton->setEnabled(running);
    if (m_engine.state() == ScriptEngine::State::Waiting) {
        if (!m_countdown->isActive())
            m_countdown->start();
    } else {
        m_countdown->stop();
    }
    if (!running && m_engine.state() != ScriptEngine::State::Idle && !m_ended) {
        m_ended = true;
        ScriptOutput->appendPlainText(QStringLiteral("-- ") + text);
    } else if (running) {
        m_ended = false;
    }
}

void ScriptDock::stepEnded(const script::ScriptStep &step)
{
    ScriptOutput->appendPlainText(
        step.passed ? QStringLiteral("PASS %1 (%2 s)").arg(step.name).arg(step.seconds, 0, 'f', 2)
                    : QStringLiteral("FAIL %1: %2").arg(step.name, step.message));
}

} // namespace zorvane::app
