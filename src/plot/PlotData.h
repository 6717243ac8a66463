#pragma once

#include "bgapi/Messages.h"
#include "plot/PatternSet.h"
#include "plot/Series.h"

#include <QByteArrayView>
#include <QHash>
#include <QObject>

#include <memory>
#include <vector>

namespace zorvane::plot {

// Every series of the Plot window and the sources that fill them: the patterns over received
// lines, the sensor logger's readings and the signal strength of scanned devices. A series
// comes into being with its first value, so patterns half typed leave nothing behind.
class PlotData : public QObject
{
    Q_OBJECT
public:
    static const QString kTemperature; // "Temperature"
    static const QString kHumidity;    // "Humidity"

    explicit PlotData(QObject *parent = nullptr);
    ~PlotData() override;

    void setPatterns(const QString &text);
    const PatternSet &patterns() const { return m_patterns; }

    // One received line as the list shows it (Latin-1), arrived at `ms`.
    void addLine(QByteArrayView latin1, qint64 ms);
    void addLine(QStringView text, qint64 ms);
    // A decoded BGAPI message that arrived at `ms`: a logger reading or a scan response.
    void addMessage(const bgapi::Message &message, qint64 ms);
    // Tells the views once after a batch of additions.
    void finishBatch();

    qsizetype count() const { return qsizetype(m_series.size()); }
    Series &at(qsizetype n) { return *m_series[size_t(n)]; }
    const Series &at(qsizetype n) const { return *m_series[size_t(n)]; }
    std::vector<const Series *> all() const;
    std::vector<const Series *> visible() const;
    void setVisible(qsizetype n, bool visible);
    // Every series goes; the patterns stay.
    void clear();

    // "temp: 600 points, last 21.37, minimum 20.1, maximum 23.9" for each series, or that
    // there is nothing yet; for screen readers.
    QString summary() const;

    // "RSSI 00:07:80:1A:2B:3C"
    static QString rssiName(const QString &address);

signals:
    // Values were added since the last signal (once per batch).
    void valuesAdded();
    // Series came or went.
    void seriesChanged();
    // The series of that index was shown or hidden.
    void visibilityChanged(qsizetype series);

private:
    Series &series(const QString &name, Unit unit);
    void matchLine(QStringView text, qint64 ms, bool fromLatin1);

    PatternSet m_patterns;
    std::vector<std::unique_ptr<Series>> m_series;
    QHash<QString, Series *> m_byName;
    // The series of each name the patterns give, found once per pattern change.
    std::vector<Series *> m_patternSeries;
    QString m_line;
    bool m_added = false;
    bool m_newSeries = false;
};

} // namespace zorvane::plot
