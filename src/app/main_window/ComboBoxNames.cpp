#include "app/main_window/ComboBoxNames.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace zorvane::app {

namespace {

class ComboBoxAccessible : public QAccessibleWidget
{
public:
    explicit ComboBoxAccessible(QComboBox *box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QComboBox *comboBox() const { return static_cast<QComboBox *>(object()); }

    // The drop-down list, then the edit field of an editable box.
    int childCount() const override { return comboBox()->isEditable() ? 2 : 1; }

    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(comboBox()->view());
        if (index == 1 && comboBox()->isEditable())
            return QAccessible::queryAccessibleInterface(comboBox()->lineEdit());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child->object() == comboBox()->view())
            return 0;
        if (comboBox()->isEditable() && child->object() == comboBox()->lineEdit())
            return 1;
        return -1;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QLineEdit *edit = comboBox()->lineEdit();
        if (edit && edit->rect().contains(edit->mapFromGlobal(QPoint(x, y))))
            return child(1);
        return nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && !widget()->accessibleName().isEmpty())
            return widget()->accessibleName();
        if (t == QAccessible::Name || t == QAccessible::Value)
            return comboBox()->isEditable() ? comboBox()->lineEdit()->text()
                                            : comboBox()->currentText();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }

    void doAction(const QString &actionName) override
    {
        if (actionName != showMenuAction() && actionName != pressAction())
            return;
        if (comboBox()->view()->isVisible())
            comboBox()->hidePopup();
        else
            comboBox()->showPopup();
    }

    QStringList keyBindingsForAction(const QString &) const override { return {}; }
};

QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    if (className == QLatin1String(QComboBox::staticMetaObject.className())) {
        if (auto *box = qobject_cast<QComboBox *>(object))
            return new ComboBoxAccessible(box);
    }
    return nullptr;
}

} // namespace

void installComboBoxNames()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFor);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace zorvane::app
