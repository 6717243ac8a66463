#pragma once

#include "Commands.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace zorvane::bgapi {

// The sensor logger's reading step: collects the value bytes of the answers since the last
// command, takes the 16-bit sample from bytes 3 and 4, and converts it as the last logger
// command chose (SHT2x temperature or humidity).
class LoggerReading
{
public:
    // logger_mode: how a sample is converted.
    enum Mode { Humidity = 0, Temperature = 1, RevisionRegister = 2, FlashBurst = 3 };

    // What one answer changes; an empty field stays as it is.
    struct Shown
    {
        std::optional<quint16> sample;      // edit_num
        std::optional<QString> temperature; // edit_temp, "%6.2fC"
        std::optional<QString> humidity;    // edit_hum, "%6.2frH"
    };

    // One attribute value answer's value bytes, converted with the user's locale.
    Shown step(QByteArrayView value);
    // A BGAPI command went out: the answers to come start a new collection.
    void commandSent() { m_valueData.clear(); }
    // A logger button was used: the reading command keeps the mode, the others set it.
    void commandGiven(commands::LoggerCommand command);

    int logger_mode() const { return m_mode; }
    // bgapi_value_data, up to the bytes the sample is taken from.
    QByteArrayView bgapi_value_data() const { return m_valueData; }

    static double temperature(quint16 sample);
    static double humidity(quint16 sample);

private:
    // Bytes 3 and 4 are all that is ever read, so no more are kept: a logger that keeps
    // notifying cannot grow the collection without end.
    static constexpr qsizetype kKeptBytes = 5;

    QByteArray m_valueData;
    int m_mode = Humidity;
};

} // namespace zorvane::bgapi
