#pragma once

#include "serial/Link.h"
#include "settings/zv_settings.h"

#include <QString>
#include <QStringList>

#include <map>

namespace zorvane::settings {

// What an output line is set to right after a port opens: left as the system set it (Linux
// raises DTR and RTS), raised or dropped.
enum class LineAtOpen { Leave, On, Off };

// The modem-line choices of one port number.
struct PortModemLines
{
    LineAtOpen dtr = LineAtOpen::Leave;
    LineAtOpen rts = LineAtOpen::Leave;
    // A reset sequence as the user wrote it ("Dr50R"); empty for none.
    QString reset;

    // The change made right after open; names no line when both are left alone.
    serial::ModemLineChange atOpen() const;
    bool isDefault() const
    {
        return dtr == LineAtOpen::Leave && rts == LineAtOpen::Leave && reset.isEmpty();
    }
};

// The modem-line settings of every port number, plus the pulse and break lengths, kept in
// the settings file's ModemLines group, which files written before it existed lack. A port
// has leaves there (dtr3, rts3, reset3 for COM3) only once it was given a choice, so a file
// does not grow by three hundred leaves nobody set.
class ModemLineSettings
{
public:
    static constexpr int kPorts = 100;

    PortModemLines port(int n) const;
    void setPort(int n, const PortModemLines &lines);

    int pulseMs = 0;
    int breakMs = 0;

    ModemLineSettings();
    // Reads the group; missing or unreadable values are the defaults.
    void load(TXMLZVSettingsType &root);
    // Writes the lengths and every port that has a choice or had leaves in the file; nothing
    // while the file lacks the group and every value is the default.
    void save(TXMLZVSettingsType &root) const;

    // The group and every leaf name it may hold, for a save that keeps only known leaves.
    static QString groupName();
    static QStringList leafNames();

    static QString lineAtOpenText(LineAtOpen v);
    static LineAtOpen lineAtOpenFrom(const QString &text);

private:
    std::map<int, PortModemLines> m_ports;
};

} // namespace zorvane::settings
