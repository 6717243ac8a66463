#include "plot/PlotData.h"

#include "bgapi/Formats.h"
#include "bgapi/Overloaded.h"
#include "plot/CsvExport.h"

namespace zorvane::plot {

const QString PlotData::kTemperature = QStringLiteral("Temperature");
const QString PlotData::kHumidity = QStringLiteral("Humidity");

PlotData::PlotData(QObject *parent) : QObject(parent) {}

PlotData::~PlotData() = default;

void PlotData::setPatterns(const QString &text)
{
    m_patterns.setText(text);
    // Found when their first value comes.
    m_patternSeries.assign(size_t(m_patterns.seriesNames().size()), nullptr);
}

void PlotData::addLine(QByteArrayView latin1, qint64 ms)
{
    if (m_patterns.isEmpty())
        return;
    // Widened into one buffer kept from line to line: no allocation per line.
    m_line.resize(latin1.size());
    QChar *to = m_line.data();
    for (qsizetype n = 0; n < latin1.size(); ++n)
        to[n] = QChar(uchar(latin1[n]));
    matchLine(QStringView(m_line), ms, true);
}

void PlotData::addLine(QStringView text, qint64 ms)
{
    matchLine(text, ms, false);
}

void PlotData::matchLine(QStringView text, qint64 ms, bool fromLatin1)
{
    m_patterns.match(
        text,
        [this, ms](qsizetype index, double value) {
            Series *&target = m_patternSeries[size_t(index)];
            if (!target)
                target = &series(m_patterns.seriesNames()[index], Unit::None);
            target->append(ms, value);
            m_added = true;
        },
        fromLatin1);
}

void PlotData::addMessage(const bgapi::Message &message, qint64 ms)
{
    std::visit(bgapi::Overloaded{
                   [&](const bgapi::ScanResponse &scan) {
                       const QString address = bgapi::addressText(scan.address);
                       Series &s = series(rssiName(address), Unit::Dbm);
                       s.setAddress(address);
                       s.append(ms, scan.rssi);
                       m_added = true;
                   },
                   [&](const bgapi::AttributeValue &value) {
                       const auto &reading = value.reading;
                       if (!reading.sample)
                           return;
                       if (reading.temperature) {
                           series(kTemperature, Unit::Celsius)
                               .append(ms, bgapi::LoggerReading::temperature(*reading.sample));
                           m_added = true;
                       } else if (reading.humidity) {
                           series(kHumidity, Unit::RelativeHumidity)
                               .append(ms, bgapi::LoggerReading::humidity(*reading.sample));
                           m_added = true;
                       }
                   },
                   [](const auto &) {},
               },
               message);
}

void PlotData::finishBatch()
{
    if (m_newSeries) {
        m_newSeries = false;
        emit seriesChanged();
    }
    if (m_added) {
        m_added = false;
        emit valuesAdded();
    }
}

std::vector<const Series *> PlotData::all() const
{
    std::vector<const Series *> out;
    for (const auto &s : m_series)
        out.push_back(s.get());
    return out;
}

std::vector<const Series *> PlotData::visible() const
{
    std::vector<const Series *> out;
    for (const auto &s : m_series) {
        if (s->visible)
            out.push_back(s.get());
    }
    return out;
}

void PlotData::setVisible(qsizetype n, bool visible)
{
    if (n < 0 || n >= count() || at(n).visible == visible)
        return;
    at(n).visible = visible;
    emit visibilityChanged(n);
}

void PlotData::clear()
{
    m_series.clear();
    m_byName.clear();
    m_patternSeries.assign(m_patternSeries.size(), nullptr);
    m_added = false;
    m_newSeries = false;
    emit seriesChanged();
}

QString PlotData::summary() const
{
    if (m_series.empty())
        return QStringLiteral("No values yet");
    QStringList parts;
    for (const auto &s : m_series) {
        QString part = s->name() + QStringLiteral(": ") + QString::number(s->size()) +
                       (s->size() == 1 ? QStringLiteral(" point") : QStringLiteral(" points"));
        if (!s->isEmpty())
            part += QStringLiteral(", last %1, minimum %2, maximum %3")
                        .arg(QString::fromLatin1(numberText(s->last().value)),
                             QString::fromLatin1(numberText(s->minimum())),
                             QString::fromLatin1(numberText(s->maximum())));
        if (!s->visible)
            part += QStringLiteral(", hidden");
        parts << part;
    }
    return parts.join(QStringLiteral("; "));
}

QString PlotData::rssiName(const QString &address)
{
    return QStringLiteral("RSSI ") + address;
}

Series &PlotData::series(const QString &name, Unit unit)
{
    if (Series *found = m_byName.value(name))
        return *found;
    m_series.push_back(std::make_unique<Series>(name, unit));
    Series *made = m_series.back().get();
    m_byName.insert(name, made);
    m_newSeries = true;
    return *made;
}

} // namespace zorvane::plot
