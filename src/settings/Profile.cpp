#include "settings/Profile.h"

namespace zorvane::settings {

bool isValidProfileName(QStringView name)
{
    if (name.isEmpty() || name.size() > kMaxProfileNameLength)
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
                        (u >= u'0' && u <= u'9') || u == u'-' || u == u'_';
        if (!ok)
            return false;
    }
    return true;
}

QString settingsFileName(const QString &profile)
{
    if (profile.isEmpty())
        return QStringLiteral("zv_settings.xml");
    return QStringLiteral("zv_settings-%1.xml").arg(profile);
}

QString logFilePrefix(const QString &profile)
{
    return profile.isEmpty() ? QString() : profile + QLatin1Char('-');
}

} // namespace zorvane::settings
