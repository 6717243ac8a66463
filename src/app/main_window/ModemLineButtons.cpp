#include "app/main_window/ModemLineButtons.h"

#include <QAccessibleWidget>

namespace zorvane::app {

namespace {

// What a screen reader sees of a line's button: its name, its description (the line's
// state), checked when the line is active, and for a switch the Toggle and Press actions,
// both of which click it as the mouse does. An indicator offers neither.
class LineButtonAccessible : public QAccessibleWidget
{
public:
    explicit LineButtonAccessible(QToolButton *button, bool isSwitch)
        : QAccessibleWidget(button, QAccessible::Button), m_switch(isSwitch)
    {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && button()->accessibleName().isEmpty())
            return button()->text();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        s.readOnly = !m_switch;
        return s;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (m_switch && button()->isEnabled())
            names << toggleAction() << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &name) override
    {
        if (name == toggleAction() || name == pressAction()) {
            if (m_switch && button()->isEnabled())
                button()->click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QToolButton *button() const { return static_cast<QToolButton *>(widget()); }
    bool m_switch;
};

QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    if (className == QLatin1String(LineSwitch::staticMetaObject.className())) {
        if (auto *b = qobject_cast<LineSwitch *>(object))
            return new LineButtonAccessible(b, true);
    }
    if (className == QLatin1String(LineIndicator::staticMetaObject.className())) {
        if (auto *b = qobject_cast<LineIndicator *>(object))
            return new LineButtonAccessible(b, false);
    }
    return nullptr;
}

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFor);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

LineSwitch::LineSwitch(QWidget *parent) : QToolButton(parent)
{
    installAccessibility();
    setCheckable(true);
}

LineIndicator::LineIndicator(QWidget *parent) : QToolButton(parent)
{
    installAccessibility();
    setCheckable(true);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

} // namespace zorvane::app
