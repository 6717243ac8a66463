// The plot's widget-free parts on values: which numbers the patterns take from a line, the
// series they fill, the CSV bytes of an export, the decimation into pixel columns and the
// round scales of the y axes.
#include "bgapi/Messages.h"
#include "plot/CsvExport.h"
#include "plot/Decimation.h"
#include "plot/PatternSet.h"
#include "plot/PlotData.h"
#include "plot/Scale.h"

#include <QCoreApplication>
#include <QTest>

#include <cmath>

using namespace zorvane::plot;

using Values = QList<QPair<QString, double>>;
Q_DECLARE_METATYPE(Values)

class TestPlotCore : public QObject
{
    Q_OBJECT

private slots:
    void patterns_data()
    {
        QTest::addColumn<QString>("patterns");
        QTest::addColumn<QString>("line");
        QTest::addColumn<Values>("values");

        QTest::newRow("named groups") << R"(T=(?<temp>-?\d+\.\d+) H=(?<hum>\d+))"
                                      << "T=21.37 H=40" << Values{{"temp", 21.37}, {"hum", 40}};
        QTest::newRow("negative value") << R"(T=(?<temp>-?\d+\.\d+))"
                                        << "T=-3.50 H=40" << Values{{"temp", -3.5}};
        QTest::newRow("numbered groups") << R"(^V (\S+) (\S+)$)"
                                         << "V 3.3 1e3" << Values{{"1", 3.3}, {"2", 1000}};
        QTest::newRow("no match") << R"(T=(?<temp>\d+))"
                                  << "H=40" << Values{};
        QTest::newRow("group not taking part") << R"(A=(\d+)|B=(\d+))"
                                               << "B=7" << Values{{"2", 7}};
        QTest::newRow("group that is no number") << R"(T=(?<temp>\S+) H=(?<hum>\d+))"
                                                 << "T=high H=40" << Values{{"hum", 40}};
        QTest::newRow("decimal comma") << R"(U=(?<u>[\d,]+))"
                                       << "U=3,30" << Values{{"u", 3.3}};
        QTest::newRow("no infinity") << R"(X=(?<x>\w+))"
                                     << "X=inf" << Values{};
        QTest::newRow("several patterns, one line each")
            << "T=(?<temp>\\d+)\n\nrssi (-\\d+)"
            << "rssi -70 T=21" << Values{{"temp", 21}, {"3:1", -70}};
        QTest::newRow("one name in two patterns")
            << "T=(?<temp>\\d+)\ntemp (?<temp>\\d+)"
            << "temp 5 T=6" << Values{{"temp", 6}, {"temp", 5}};
        QTest::newRow("broken pattern beside a good one") << "T=(?<temp>\\d+\nH=(?<hum>\\d+)"
                                                          << "T=21 H=40" << Values{{"hum", 40}};
    }

    void patterns()
    {
        QFETCH(QString, patterns);
        QFETCH(QString, line);
        QFETCH(Values, values);
        PatternSet set;
        set.setText(patterns);
        Values found;
        set.match(line, [&](qsizetype series, double value) {
            found.append({set.seriesNames()[series], value});
        });
        QCOMPARE(found, values);
    }

    void brokenPatternsSayWhere_data()
    {
        QTest::addColumn<QString>("patterns");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");

        QTest::newRow("open group") << "T=(\\d+" << 1 << 7;
        QTest::newRow("second line") << "T=(\\d+)\nH=[0-9" << 2 << 7;
        QTest::newRow("bad name") << "x(?<1a>y)" << 1 << 5;
    }

    void brokenPatternsSayWhere()
    {
        QFETCH(QString, patterns);
        QFETCH(int, line);
        QFETCH(int, column);
        PatternSet set;
        set.setText(patterns);
        QCOMPARE(set.errors().size(), 1);
        QCOMPARE(set.errors().first().line, line);
        QCOMPARE(set.errors().first().column, column);
        QVERIFY(set.errors().first().text().startsWith(
            QStringLiteral("line %1, position %2: ").arg(line).arg(column)));
    }

    // Series appear with their first value, keep their values across a pattern change and
    // hold the figures the table shows.
    void linesFillSeries()
    {
        PlotData data;
        data.setPatterns(R"(T=(?<temp>-?\d+\.\d+) H=(?<hum>\d+))");
        QCOMPARE(data.count(), 0);
        data.addLine(QByteArrayView("T=21.37 H=40"), 1000);
        data.addLine(QByteArrayView("noise"), 1010);
        data.addLine(QByteArrayView("T=19.5 H=41"), 1020);
        data.setPatterns(R"(T=(?<temp>-?\d+\.\d+))");
        data.addLine(QByteArrayView("T=22.25 H=42"), 1030);

        QCOMPARE(data.count(), 2);
        const Series &temp = data.at(0);
        QCOMPARE(temp.name(), QStringLiteral("temp"));
        QCOMPARE(temp.size(), 3);
        QCOMPARE(temp.last().value, 22.25);
        QCOMPARE(temp.last().ms, 1030);
        QCOMPARE(temp.minimum(), 19.5);
        QCOMPARE(temp.maximum(), 22.25);
        QCOMPARE(data.at(1).name(), QStringLiteral("hum"));
        QCOMPARE(data.at(1).size(), 2);
    }

    // A logger's readings become two series, each scanned address one series of its own.
    void bgapiMessagesFillSeries()
    {
        using namespace zorvane::bgapi;
        PlotData data;
        const RawAddress a{0x3C, 0x2B, 0x1A, 0x80, 0x07, 0x00};
        const RawAddress b{0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
        data.addMessage(ScanResponse{a, -60}, 1);
        data.addMessage(ScanResponse{b, -75}, 2);
        data.addMessage(ScanResponse{a, -58}, 3);
        LoggerReading::Shown temperature;
        temperature.sample = 0x6000;
        temperature.temperature = QStringLiteral(" 19.05C");
        data.addMessage(AttributeValue{0x11, {}, {}, temperature}, 4);
        LoggerReading::Shown humidity;
        humidity.sample = 0x8000;
        humidity.humidity = QStringLiteral(" 56.50rH");
        data.addMessage(AttributeValue{0x11, {}, {}, humidity}, 5);
        data.addMessage(AttributeValue{0x11, {}, {}, {}}, 6);

        QCOMPARE(data.count(), 4);
        QCOMPARE(data.at(0).name(), QStringLiteral("RSSI 00:07:80:1A:2B:3C"));
        QCOMPARE(data.at(0).address(), QStringLiteral("00:07:80:1A:2B:3C"));
        QCOMPARE(data.at(0).responses(), 2);
        QCOMPARE(data.at(0).minimum(), -60.0);
        QCOMPARE(data.at(0).last().value, -58.0);
        QCOMPARE(data.at(1).responses(), 1);
        QCOMPARE(data.at(2).name(), PlotData::kTemperature);
        QCOMPARE(data.at(2).last().value, LoggerReading::temperature(0x6000));
        QCOMPARE(data.at(3).name(), PlotData::kHumidity);
        QCOMPARE(data.at(3).last().value, 56.5);
    }

    // The scan response's first payload byte is the signal strength, signed.
    void scanResponseCarriesRssi()
    {
        const auto message = zorvane::bgapi::interpret(
            QByteArray::fromHex("80 0B 06 00 C4 00 3C 2B 1A 80 07 00 00 FF 00"));
        QVERIFY(message);
        const auto *scan = std::get_if<zorvane::bgapi::ScanResponse>(&*message);
        QVERIFY(scan);
        QCOMPARE(scan->rssi, qint8(-60));
    }

    // Two series with values at shared and separate times, a value the clock put earlier,
    // and a name that needs quotes.
    void csvBytes()
    {
        Series temp(QStringLiteral("temp"));
        Series hum(QStringLiteral("hum, %"));
        const qint64 t0 = 1'796'000'000'000; // 2026-11-30 00:53:20 UTC
        temp.append(t0, 21.37);
        hum.append(t0, 40);
        temp.append(t0 + 10, -0.5);
        temp.append(t0 + 10, 1e21);
        hum.append(t0 + 25, 41.25);
        temp.append(t0 + 5, 3); // the clock went back: kept at the newest time so far

        QCOMPARE(csvText({&temp, &hum}), QByteArray("time,temp,\"hum, %\"\r\n"
                                                    "2026-11-30 00:53:20.000,21.37,40\r\n"
                                                    "2026-11-30 00:53:20.010,-0.5,\r\n"
                                                    "2026-11-30 00:53:20.010,1e+21,\r\n"
                                                    "2026-11-30 00:53:20.010,3,\r\n"
                                                    "2026-11-30 00:53:20.025,,41.25\r\n"));
        QCOMPARE(csvText({}), QByteArray("time\r\n"));
        QCOMPARE(
            csvFileName(QStringLiteral("central-"), QDateTime(QDate(2027, 3, 5), QTime(9, 7, 45))),
            QStringLiteral("central-plot-20270305-090745.csv"));
    }

    // The decimal point stays '.' whatever the user's locale says.
    void csvIgnoresTheLocale()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
        Series s(QStringLiteral("v"));
        s.append(0, 1234.5);
        const QByteArray text = csvText({&s});
        QLocale::setDefault(before);
        QVERIFY2(text.endsWith(",1234.5\r\n"), text.constData());
    }

    // Every column holds the minimum, maximum, first and last of the points that fall in it;
    // the points just outside the span stay as columns outside it.
    void decimation()
    {
        Series s(QStringLiteral("s"));
        const QList<QPair<qint64, double>> points{{-20, 9}, {0, 1},   {3, 5},   {9, 2},  {10, 7},
                                                  {35, 4},  {39, -1}, {100, 8}, {150, 6}};
        for (const auto &[ms, v] : points)
            s.append(ms, v);
        const std::vector<Column> columns = decimate(s, TimeSpan{0, 40, 4});
        QCOMPARE(columns.size(), size_t(5));
        const auto check = [&](size_t n, int x, double min, double max, double first, double last) {
            QCOMPARE(columns[n].x, x);
            QCOMPARE(columns[n].min, min);
            QCOMPARE(columns[n].max, max);
            QCOMPARE(columns[n].first, first);
            QCOMPARE(columns[n].last, last);
        };
        check(0, -1, 9, 9, 9, 9);
        check(1, 0, 1, 5, 1, 2);
        check(2, 1, 7, 7, 7, 7);
        check(3, 3, -1, 4, 4, -1);
        check(4, 4, 8, 8, 8, 8);
        QVERIFY(decimate(s, TimeSpan{0, 40, 0}).empty());
        QVERIFY(decimate(Series(QStringLiteral("empty")), TimeSpan{0, 40, 4}).empty());
    }

    // A million points over 800 columns come down to at most one column per pixel (and
    // one on each side), with the extremes kept.
    void decimationKeepsExtremes()
    {
        Series s(QStringLiteral("s"));
        for (int n = 0; n < 1'000'000; ++n)
            s.append(n, n == 123'456 ? 1e6 : n == 654'321 ? -1e6 : std::sin(n / 1000.0));
        const std::vector<Column> columns = decimate(s, TimeSpan{0, 999'999, 800});
        QVERIFY(columns.size() <= 801);
        double low = 0;
        double high = 0;
        for (const Column &c : columns) {
            low = std::min(low, c.min);
            high = std::max(high, c.max);
        }
        QCOMPARE(low, -1e6);
        QCOMPARE(high, 1e6);
    }

    // Runs found column by column give what placing each point in its column gives, for
    // spans and widths whose column edges fall between whole milliseconds.
    void decimationByRunsMatchesEachPoint_data()
    {
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("last");
        QTest::addColumn<int>("width");
        QTest::newRow("wider than the points") << qint64(0) << qint64(99) << 700;
        QTest::newRow("uneven edges") << qint64(13) << qint64(9'973) << 333;
        QTest::newRow("span inside the points") << qint64(2'000) << qint64(3'000) << 7;
        QTest::newRow("one column") << qint64(0) << qint64(10'000) << 1;
    }

    void decimationByRunsMatchesEachPoint()
    {
        QFETCH(qint64, first);
        QFETCH(qint64, last);
        QFETCH(int, width);
        std::vector<Point> points;
        quint32 seed = 12345;
        qint64 ms = 0;
        for (int n = 0; n < 5'000; ++n) {
            seed = seed * 1103515245 + 12345;
            ms += (seed >> 16) % 4; // repeated times too
            points.push_back({ms, double(seed % 1000)});
        }
        const TimeSpan span{first, last, width};
        std::vector<Column> runs;
        decimate(points.data(), points.data() + points.size(), span, runs);
        std::vector<Column> each;
        for (const Point &p : points) {
            const int x = span.column(p.ms);
            if (!each.empty() && each.back().x == x) {
                each.back().min = std::min(each.back().min, p.value);
                each.back().max = std::max(each.back().max, p.value);
                each.back().last = p.value;
            } else {
                each.push_back({x, p.value, p.value, p.value, p.value});
            }
        }
        QCOMPARE(runs.size(), each.size());
        for (size_t n = 0; n < runs.size(); ++n) {
            QCOMPARE(runs[n].x, each[n].x);
            QCOMPARE(runs[n].min, each[n].min);
            QCOMPARE(runs[n].max, each[n].max);
            QCOMPARE(runs[n].first, each[n].first);
            QCOMPARE(runs[n].last, each[n].last);
        }
    }

    void scales_data()
    {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("scaleLow");
        QTest::addColumn<double>("scaleHigh");
        QTest::addColumn<double>("step");

        QTest::newRow("temperatures") << 19.3 << 23.9 << 19.0 << 24.0 << 1.0;
        QTest::newRow("rssi") << -83.0 << -41.0 << -90.0 << -40.0 << 10.0;
        QTest::newRow("small values") << 0.0012 << 0.0041 << 0.001 << 0.005 << 0.001;
        QTest::newRow("constant") << 40.0 << 40.0 << 36.0 << 44.0 << 2.0;
        QTest::newRow("zero") << 0.0 << 0.0 << -1.0 << 1.0 << 0.5;
        QTest::newRow("reversed") << 10.0 << 0.0 << 0.0 << 10.0 << 2.0;
    }

    void scales()
    {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(double, scaleLow);
        QFETCH(double, scaleHigh);
        QFETCH(double, step);
        const Scale scale = niceScale(low, high);
        QCOMPARE(scale.step, step);
        QVERIFY(std::abs(scale.low - scaleLow) < step * 1e-9);
        QVERIFY(std::abs(scale.high - scaleHigh) < step * 1e-9);
        QVERIFY(scale.low <= std::min(low, high) && scale.high >= std::max(low, high));
        QCOMPARE(scale.ticks.size(), qsizetype(std::llround((scale.high - scale.low) / step)) + 1);
        QCOMPARE(tickText(scale.ticks.first(), step).toDouble(), scale.ticks.first());
    }

    // Values an order of magnitude apart, or of another unit, go to the right-hand axis.
    void axes()
    {
        Series count(QStringLiteral("count"));
        Series volts(QStringLiteral("volts"));
        Series more(QStringLiteral("more"));
        Series rssi(QStringLiteral("rssi"), Unit::Dbm);
        const std::vector<int> sides = assignAxes({&count, &volts, &more, &rssi},
                                                  {{100, 900}, {3.1, 3.4}, {50, 400}, {-80, -40}});
        QCOMPARE(sides, (std::vector<int>{0, 1, 0, 1}));
    }
};

int main(int argc, char **argv)
{
    // The export writes local times: the expected bytes are written for UTC.
    qputenv("TZ", "UTC");
    QCoreApplication app(argc, argv);
    TestPlotCore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_plot_core.moc"
