#include "app/main_window/ListArea.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMenu>

namespace zorvane::app {

namespace {

// The area's own children as Qt lists them (menus excluded), then its pop-up menu.
class ListAreaAccessible final : public QAccessibleWidget
{
public:
    explicit ListAreaAccessible(QWidget *area) : QAccessibleWidget(area, QAccessible::Grouping) {}

    int childCount() const override { return QAccessibleWidget::childCount() + (menu() ? 1 : 0); }

    QAccessibleInterface *child(int index) const override
    {
        if (QMenu *popup = menu(); popup && index == QAccessibleWidget::childCount())
            return QAccessible::queryAccessibleInterface(popup);
        return QAccessibleWidget::child(index);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child && child->object() && child->object() == menu())
            return QAccessibleWidget::childCount();
        return QAccessibleWidget::indexOfChild(child);
    }

private:
    QMenu *menu() const
    {
        return widget()->findChild<QMenu *>(QString(), Qt::FindDirectChildrenOnly);
    }
};

QAccessibleInterface *listAreaAccessible(const QString &, QObject *object)
{
    if (auto *area = qobject_cast<ListArea *>(object))
        return new ListAreaAccessible(area);
    return nullptr;
}

} // namespace

ListArea::ListArea(QWidget *parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(&listAreaAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace zorvane::app
