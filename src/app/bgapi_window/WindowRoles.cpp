#include "app/bgapi_window/WindowRoles.h"

#include "app/bgapi_window/Unit_bgapi.h"

#include <QAccessibleWidget>
#include <QFrame>

namespace zorvane::app {

namespace {

QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    if (className == QLatin1String(TForm_BGAPI::staticMetaObject.className())) {
        if (auto *form = qobject_cast<TForm_BGAPI *>(object))
            return new QAccessibleWidget(form, QAccessible::Window);
    } else if (className == QLatin1String("QFrame")) {
        auto *panel = qobject_cast<QFrame *>(object);
        if (panel && qobject_cast<TForm_BGAPI *>(panel->parent()))
            return new QAccessibleWidget(panel, QAccessible::Grouping);
    }
    return nullptr;
}

} // namespace

void installBgapiWindowRoles()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFor);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace zorvane::app
