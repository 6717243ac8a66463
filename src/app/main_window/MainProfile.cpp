// Profiles of the main window: which settings file the instance uses, whether it may write
// it at exit, and how the caption and the status bar tell the user.
#include "app/main_window/MainForm.h"

#include "app/MessageBoxes.h"
#include "settings/Profile.h"

#include <QLabel>
#include <QStatusBar>

using zorvane::settings::SettingsLock;

void TMain::useProfile(const QString &profile)
{
    m_profile = profile;
    serial.setProfile(profile);
}

QString TMain::settingsFileName() const
{
    return zorvane::settings::settingsFileName(m_profile);
}

void TMain::takeSettingsLock()
{
    m_settingsLock = std::make_unique<SettingsLock>(DocumentsFolder + settingsFileName());
    const SettingsLock::State state = m_settingsLock->acquire();
    if (!m_settingsLock->problem().isEmpty())
        zorvane::app::showMessage(this, m_settingsLock->problem());
    if (state != SettingsLock::State::HeldElsewhere)
        return;
    // Told once, and kept in view for the whole run rather than in a box to click away.
    SettingsNotice = new QLabel(
        QStringLiteral("Settings not saved: another Zorvane uses ") + settingsFileName(), this);
    SettingsNotice->setObjectName(QStringLiteral("SettingsNotice"));
    SettingsNotice->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SettingsNotice->setContentsMargins(2, 0, 2, 0);
    statusBar()->addPermanentWidget(SettingsNotice);
}

bool TMain::savesSettings() const
{
    return !m_settingsLock || m_settingsLock->state() != SettingsLock::State::HeldElsewhere;
}

QString TMain::captionSuffix() const
{
    QString suffix;
    if (!m_profile.isEmpty())
        suffix += QStringLiteral(" - ") + m_profile;
    if (!savesSettings())
        suffix += QStringLiteral(" - settings not saved");
    return suffix;
}
