#include "app/main_window/ModemToolbar.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>

using namespace zorvane::serial;
using namespace zorvane::settings;

namespace zorvane::app {

namespace {

const QString kUnavailable = QStringLiteral("unavailable");

QToolButton *button(const QString &text, const QString &tip, QToolBar *bar)
{
    auto *b = new QToolButton(bar);
    b->setText(text);
    b->setAccessibleName(text);
    b->setToolTip(tip);
    bar->addWidget(b);
    return b;
}

// An indicator looks like a switch and says checked when its line is active, but nothing
// the user does changes it: no click lands on it, and Space or a press from a screen reader
// leaves its mark alone. Tab still reaches it, so its state can be heard.
class Indicator : public QToolButton
{
public:
    using QToolButton::QToolButton;

protected:
    bool hitButton(const QPoint &) const override { return false; }
    void nextCheckState() override {}
};

QToolButton *indicator(const QString &name, const QString &meaning, QToolBar *bar)
{
    QToolButton *b = new Indicator(bar);
    b->setText(name);
    b->setAccessibleName(name);
    b->setToolTip(meaning);
    bar->addWidget(b);
    b->setCheckable(true);
    b->setAttribute(Qt::WA_TransparentForMouseEvents);
    b->setProperty("meaning", meaning);
    return b;
}

QSpinBox *length(const QString &name, QToolBar *bar)
{
    auto *box = new QSpinBox(bar);
    box->setRange(1, kMaxPauseMs);
    box->setSuffix(QStringLiteral(" ms"));
    box->setAccessibleName(name);
    box->setToolTip(name);
    bar->addWidget(box);
    return box;
}

QComboBox *atOpen(const QString &name, QToolBar *bar)
{
    auto *box = new QComboBox(bar);
    // In the order of LineAtOpen.
    box->addItems({QStringLiteral("leave"), QStringLiteral("on"), QStringLiteral("off")});
    box->setAccessibleName(name);
    box->setToolTip(name + QStringLiteral(": left as the system sets it, raised or dropped"));
    bar->addWidget(box);
    return box;
}

// Shows a line's state: checked when it is active; where the device cannot tell, unchecked
// and saying so, rather than showing a state it does not know.
void showLine(QToolButton *b, std::optional<bool> active, const QString &meaning)
{
    b->setChecked(active.value_or(false));
    const QString state = !active   ? kUnavailable
                          : *active ? QStringLiteral("active")
                                    : QStringLiteral("inactive");
    b->setAccessibleDescription(state);
    b->setToolTip(meaning + QStringLiteral(": ") + state);
}

} // namespace

ModemToolbar::ModemToolbar(QWidget *parent) : QToolBar(QStringLiteral("Modem lines"), parent)
{
    setObjectName(QStringLiteral("ToolBar_ModemLines"));
    setAccessibleName(QStringLiteral("Modem lines"));
    setMovable(false);

    DtrSwitch = button(QStringLiteral("DTR"), QStringLiteral("Data Terminal Ready"), this);
    RtsSwitch = button(QStringLiteral("RTS"), QStringLiteral("Request To Send"), this);
    for (QToolButton *b : {DtrSwitch, RtsSwitch}) {
        b->setCheckable(true);
        b->setProperty("meaning", b->toolTip());
    }
    connect(DtrSwitch, &QToolButton::clicked, this,
            [this](bool on) { switchClick(ModemLine::Dtr, on); });
    connect(RtsSwitch, &QToolButton::clicked, this,
            [this](bool on) { switchClick(ModemLine::Rts, on); });
    addSeparator();
    Cts = indicator(QStringLiteral("CTS"), QStringLiteral("Clear To Send"), this);
    Dsr = indicator(QStringLiteral("DSR"), QStringLiteral("Data Set Ready"), this);
    Dcd = indicator(QStringLiteral("DCD"), QStringLiteral("Data Carrier Detect"), this);
    Ri = indicator(QStringLiteral("RI"), QStringLiteral("Ring Indicator"), this);
    addSeparator();

    Pulse =
        button(QStringLiteral("Pulse"), QStringLiteral("Turns the line over for a while"), this);
    PulseLine = new QComboBox(this);
    PulseLine->addItems({QStringLiteral("DTR"), QStringLiteral("RTS")});
    PulseLine->setAccessibleName(QStringLiteral("Pulse line"));
    PulseLine->setToolTip(PulseLine->accessibleName());
    addWidget(PulseLine);
    PulseLength = length(QStringLiteral("Pulse length"), this);
    Break = button(QStringLiteral("Break"), QStringLiteral("Holds the line in break"), this);
    BreakLength = length(QStringLiteral("Break length"), this);
    connect(Pulse, &QToolButton::clicked, this, &ModemToolbar::PulseClick);
    connect(Break, &QToolButton::clicked, this, &ModemToolbar::BreakClick);
    connect(PulseLength, &QSpinBox::valueChanged, this, [this](int v) { m_settings.pulseMs = v; });
    connect(BreakLength, &QSpinBox::valueChanged, this, [this](int v) { m_settings.breakMs = v; });
    addSeparator();

    DtrAtOpen = atOpen(QStringLiteral("DTR at open"), this);
    RtsAtOpen = atOpen(QStringLiteral("RTS at open"), this);
    ResetSequence = new QLineEdit(this);
    ResetSequence->setAccessibleName(QStringLiteral("Reset sequence"));
    ResetSequence->setPlaceholderText(QStringLiteral("Dr50R"));
    ResetSequence->setMaximumWidth(ResetSequence->fontMetrics().horizontalAdvance(u'D') * 16);
    addWidget(ResetSequence);
    ResetModule = button(QStringLiteral("Reset module"),
                         QStringLiteral("Plays the port's reset sequence"), this);
    connect(ResetModule, &QToolButton::clicked, this, &ModemToolbar::ResetModuleClick);
    for (QComboBox *box : {DtrAtOpen, RtsAtOpen})
        connect(box, &QComboBox::activated, this, &ModemToolbar::portChoiceChanged);
    connect(ResetSequence, &QLineEdit::textEdited, this, &ModemToolbar::portChoiceChanged);

    Status = new QLabel(this);
    Status->setAccessibleName(QStringLiteral("Modem lines status"));
    addWidget(Status);

    connect(&m_watch, &ModemLineWatch::changed, this, &ModemToolbar::showLines);
    connect(&m_runner, &ModemSequenceRunner::finished, this, [this](bool ok) {
        setStatus(ok ? m_running + QStringLiteral(" done")
                     : m_running + QStringLiteral(" failed: the device refused it"));
        m_running.clear();
        m_watch.refresh();
        showLines();
    });
    showSettings();
    showLines();
}

void ModemToolbar::setStatus(const QString &text)
{
    Status->setText(text);
    // A label offers screen readers its name only; the news goes in its description.
    Status->setAccessibleDescription(text);
}

bool ModemToolbar::linkOpen() const
{
    return m_link && m_link->isOpen();
}

void ModemToolbar::portOpened(int port, Link *link)
{
    m_link = link;
    m_watch.setLink(link);
    m_port = port;
    showSettings();
    setStatus(QString());
    const ModemLineChange change = m_settings.port(port).atOpen();
    if (linkOpen() && (change.dtr || change.rts) && !m_link->setOutputs(change))
        setStatus(QStringLiteral("DTR and RTS at open: the device cannot set them"));
    m_watch.refresh();
    showLines();
}

void ModemToolbar::showSettings()
{
    const QSignalBlocker quietPulse(PulseLength);
    const QSignalBlocker quietBreak(BreakLength);
    PulseLength->setValue(m_settings.pulseMs);
    BreakLength->setValue(m_settings.breakMs);
    const PortModemLines lines = m_settings.port(m_port);
    DtrAtOpen->setCurrentIndex(int(lines.dtr));
    RtsAtOpen->setCurrentIndex(int(lines.rts));
    ResetSequence->setText(lines.reset);
    for (QWidget *w : {static_cast<QWidget *>(DtrAtOpen), static_cast<QWidget *>(RtsAtOpen),
                       static_cast<QWidget *>(ResetSequence)})
        w->setEnabled(m_port > 0);
    portChoiceChanged();
}

void ModemToolbar::portChoiceChanged()
{
    const ParsedSequence parsed = parseModemSequence(ResetSequence->text());
    // A sequence that does not read turns the field pale red and says why.
    QPalette colours = ResetSequence->palette();
    colours.setColor(QPalette::Base,
                     parsed.ok() ? palette().color(QPalette::Base) : QColor(0xFF, 0xD0, 0xD0));
    ResetSequence->setPalette(colours);
    ResetSequence->setToolTip(
        parsed.ok() ? QStringLiteral("D / d raise / drop DTR, R / r raise / drop RTS, a number "
                                     "waits that many ms")
                    : QStringLiteral("Character %1: %2").arg(parsed.errorAt + 1).arg(parsed.error));
    ResetSequence->setAccessibleDescription(parsed.ok() ? QString() : ResetSequence->toolTip());
    if (m_port > 0) {
        m_settings.setPort(m_port, {LineAtOpen(DtrAtOpen->currentIndex()),
                                    LineAtOpen(RtsAtOpen->currentIndex()), ResetSequence->text()});
    }
    showLines();
}

void ModemToolbar::showLines()
{
    const bool open = linkOpen();
    const bool idle = !m_runner.isRunning();
    const auto in = open ? m_watch.inputs() : std::nullopt;
    const auto out = open ? m_watch.outputs() : std::nullopt;
    auto part = [](auto value, auto member) -> std::optional<bool> {
        if (!value)
            return std::nullopt;
        return (*value).*member;
    };
    showLine(DtrSwitch, part(out, &ModemOutputs::dtr), DtrSwitch->property("meaning").toString());
    showLine(RtsSwitch, part(out, &ModemOutputs::rts), RtsSwitch->property("meaning").toString());
    showLine(Cts, part(in, &ModemInputs::cts), Cts->property("meaning").toString());
    showLine(Dsr, part(in, &ModemInputs::dsr), Dsr->property("meaning").toString());
    showLine(Dcd, part(in, &ModemInputs::dcd), Dcd->property("meaning").toString());
    showLine(Ri, part(in, &ModemInputs::ri), Ri->property("meaning").toString());
    for (QToolButton *b : {DtrSwitch, RtsSwitch, Pulse, Break})
        b->setEnabled(open && idle);
    if (m_rtsByFlow) {
        RtsSwitch->setEnabled(false);
        const QString state =
            RtsSwitch->accessibleDescription() + QStringLiteral(", driven by RTS/CTS flow control");
        RtsSwitch->setAccessibleDescription(state);
        RtsSwitch->setToolTip(RtsSwitch->property("meaning").toString() + QStringLiteral(": ") +
                              state);
    }
    const bool sequenceReads = parseModemSequence(ResetSequence->text()).ok();
    ResetModule->setEnabled(open && idle && sequenceReads && !ResetSequence->text().isEmpty());
}

void ModemToolbar::setRtsByFlowControl(bool byFlow)
{
    m_rtsByFlow = byFlow;
    showLines();
}

void ModemToolbar::switchClick(ModemLine line, bool on)
{
    if (!linkOpen() || (line == ModemLine::Rts && m_rtsByFlow))
        return;
    ModemLineChange change;
    (line == ModemLine::Dtr ? change.dtr : change.rts) = on;
    const QString name = line == ModemLine::Dtr ? QStringLiteral("DTR") : QStringLiteral("RTS");
    setStatus(m_link->setOutputs(change)
                  ? QString()
                  : name + QStringLiteral(" failed: the device cannot set it"));
    // The switch shows what the device reads back, not what was asked.
    m_watch.refresh();
    showLines();
}

void ModemToolbar::PulseClick()
{
    const ModemLine line = PulseLine->currentIndex() == 0 ? ModemLine::Dtr : ModemLine::Rts;
    // Over from the state read back; a device that cannot tell is taken as the system leaves
    // a port after open, with both lines raised.
    const auto out = m_watch.outputs();
    const bool now = !out || (line == ModemLine::Dtr ? out->dtr : out->rts);
    play(pulseSteps(line, now, PulseLength->value()), QStringLiteral("Pulse"));
}

void ModemToolbar::BreakClick()
{
    play(breakSteps(BreakLength->value()), QStringLiteral("Break"));
}

void ModemToolbar::ResetModuleClick()
{
    const ParsedSequence parsed = parseModemSequence(ResetSequence->text());
    if (!parsed.ok())
        return;
    play(parsed.steps, QStringLiteral("Reset"));
}

void ModemToolbar::play(ModemSteps steps, const QString &what)
{
    m_running = what;
    if (!m_runner.start(m_link, std::move(steps))) {
        m_running.clear();
        return;
    }
    if (m_runner.isRunning())
        setStatus(what + QStringLiteral("..."));
    showLines();
}

} // namespace zorvane::app
