#include "app/main_window/ClickFirstCheckBox.h"

#include <QAccessibleWidget>

namespace zorvane::app {

namespace {

// What a screen reader or an automation tool sees of the box: its caption, its state, and
// the toggle and press actions, both of which click it as the mouse does.
class ClickFirstCheckBoxAccessible : public QAccessibleWidget
{
public:
    explicit ClickFirstCheckBoxAccessible(ClickFirstCheckBox *box)
        : QAccessibleWidget(box, QAccessible::CheckBox)
    {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && box()->accessibleName().isEmpty())
            return QString(box()->text()).remove(u'&');
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = box()->isChecked();
        return s;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (box()->isEnabled())
            names << toggleAction() << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &name) override
    {
        if (name == toggleAction() || name == pressAction()) {
            if (box()->isEnabled())
                box()->click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

private:
    ClickFirstCheckBox *box() const { return static_cast<ClickFirstCheckBox *>(widget()); }
};

QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    if (className != QLatin1String(ClickFirstCheckBox::staticMetaObject.className()))
        return nullptr;
    auto *box = qobject_cast<ClickFirstCheckBox *>(object);
    return box ? new ClickFirstCheckBoxAccessible(box) : nullptr;
}

} // namespace

ClickFirstCheckBox::ClickFirstCheckBox(const QString &text, QWidget *parent)
    : QCheckBox(text, parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFor);
        return true;
    }();
    Q_UNUSED(installed);
}

void ClickFirstCheckBox::nextCheckState()
{
    emit clickedBeforeToggle();
    QCheckBox::nextCheckState();
}

} // namespace zorvane::app
