#include "LoggerReading.h"

#include "Formats.h"

#include <QLocale>

#include <algorithm>

namespace zorvane::bgapi {

namespace {
constexpr qsizetype kSampleLow = 3;
constexpr qsizetype kSampleHigh = 4;
} // namespace

LoggerReading::Shown LoggerReading::step(QByteArrayView value)
{
    m_valueData.append(value.first(std::min(value.size(), kKeptBytes - m_valueData.size())));
    Shown shown;
    // An answer too short to carry a sample converts nothing, whatever was collected before.
    if (value.size() <= kSampleHigh || m_valueData.size() <= kSampleHigh)
        return shown;
    const quint16 sample =
        quint16(quint8(m_valueData[kSampleHigh]) << 8 | quint8(m_valueData[kSampleLow]));
    shown.sample = sample;
    if (sample == 0)
        return shown;
    const QLocale locale;
    if (m_mode == Temperature)
        shown.temperature = fixed62(temperature(sample), locale) + QLatin1Char('C');
    else if (m_mode == Humidity)
        shown.humidity = fixed62(humidity(sample), locale) + QLatin1String("rH");
    return shown;
}

void LoggerReading::commandGiven(commands::LoggerCommand command)
{
    using commands::LoggerCommand;
    switch (command) {
    case LoggerCommand::RevisionRegister:
        m_mode = RevisionRegister;
        break;
    case LoggerCommand::TemperatureMeasure:
        m_mode = Temperature;
        break;
    case LoggerCommand::HumidityMeasure:
        m_mode = Humidity;
        break;
    case LoggerCommand::FlashBurst:
        m_mode = FlashBurst;
        break;
    case LoggerCommand::Reading:
        break;
    }
}

double LoggerReading::temperature(quint16 sample)
{
    const double celsius = -46.85 + 175.72 * double(sample) / 65536.0;
    return std::clamp(celsius, -40.0, 100.0);
}

double LoggerReading::humidity(quint16 sample)
{
    // The conversion never gives less than -6, so only the upper limit applies.
    return std::min(-6.0 + 125.0 * double(sample) / 65536.0, 100.0);
}

} // namespace zorvane::bgapi
