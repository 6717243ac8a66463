// The Plot window in the real main window: shown from its Options item, fed by a module at
// the far end of a pseudo-terminal (text lines, and BGAPI scan responses with the BGAPI
// window shown), its pattern field, its table, its export, and the chart compared with a
// picture painted from the same points.
#include "PtyModule.h"
#include "WindowFixture.h"
#include "app/bgapi_window/Unit_bgapi.h"
#include "app/main_window/MainForm.h"
#include "app/plot_window/PlotChart.h"
#include "app/plot_window/PlotWindow.h"
#include "plot/PlotData.h"
#include "plot/SessionFeed.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

#include <cmath>

using zorvane::app::PlotChart;
using zorvane::plot::PlotData;
using zorvane::plot::Series;

namespace {

constexpr int kPort = 7;

// The clock the line store stamps lines with: moved by the test.
qint64 g_now = 1'796'000'000'000;
qint64 testClock()
{
    return g_now;
}

// A scan response from a device at `address` (least significant byte first) heard at `rssi`.
QByteArray scanResponse(qint8 rssi, const QByteArray &address)
{
    return QByteArray::fromHex("80 0B 06 00") + char(rssi) + '\0' + address +
           QByteArray::fromHex("00 FF 00");
}

QString cell(const QAbstractItemModel *model, int row, int column)
{
    return model->index(row, column).data().toString();
}

// The rows of an image a series' colour touches in column x: the topmost and the lowest.
std::pair<int, int> columnExtent(const QImage &image, int x, QRgb colour, const QRect &area)
{
    int top = -1;
    int bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        if (image.pixel(x, y) == colour) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    }
    return {top, bottom};
}

} // namespace

class TestPlotWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fx.setUp()); }

    void init()
    {
        m_fx.reset();
        QVERIFY(m_fx.openOn(kPort));
        m_fx.window->session.lines().setClock(&testClock);
        m_fx.window->Plot1->trigger();
        QVERIFY(plot().isVisible());
        QVERIFY(m_fx.window->Plot1->isChecked());
    }

    void cleanup() { m_fx.tearDown(); }

    // A broken expression marks the field and says where; mended, the mark goes.
    void brokenPatternIsMarked()
    {
        QPlainTextEdit *field = plot().Pattern;
        QCOMPARE(field->accessibleName(), QStringLiteral("Pattern"));
        const QColor normal = field->palette().color(QPalette::Base);
        field->setFocus();
        QTest::keyClicks(field, "T=(?<temp>\\d+");
        QVERIFY(field->palette().color(QPalette::Base) != normal);
        QVERIFY2(field->accessibleDescription().contains("line 1, position 14"),
                 qPrintable(field->accessibleDescription()));
        QCOMPARE(field->toolTip(), field->accessibleDescription());
        QTest::keyClicks(field, ")");
        QCOMPARE(field->palette().color(QPalette::Base), normal);
        QCOMPARE(field->accessibleDescription(), QString());
        QVERIFY(plot().feed().listensToLines());
    }

    // 600 lines at 100 a second: a series of 600 points holding what was sent, in the table
    // and in the exported file in order.
    void sixHundredLines()
    {
        TMain &w = *m_fx.window;
        plot().Pattern->setFocus();
        QTest::keyClicks(plot().Pattern, "T=(?<temp>-?\\d+\\.\\d+) H=(?<hum>\\d+)");
        const qint64 start = g_now;
        QList<double> sent;
        for (int n = 0; n < 600; ++n) {
            const double value = std::round((20 + 5 * std::sin(n / 30.0)) * 100) / 100;
            sent << value;
            g_now = start + 10 * n;
            const QByteArray line =
                "T=" + QByteArray::number(value, 'f', 2) + " H=" + QByteArray::number(40 + n % 7);
            QVERIFY(m_fx.module->write(line + "\r\n"));
            QVERIFY(tickUntil(w, [&] { return w.session.lines().size() >= n + 2; }));
            if (n % 50 == 49)
                w.session.showNewLines();
        }
        w.session.showNewLines();

        PlotData &data = plot().data();
        QCOMPARE(data.count(), 2);
        const Series &temp = data.at(0);
        QCOMPARE(temp.name(), QStringLiteral("temp"));
        QCOMPARE(temp.size(), 600);
        QCOMPARE(temp.last().value, sent.last());
        QCOMPARE(temp.minimum(), *std::min_element(sent.begin(), sent.end()));
        QCOMPARE(temp.maximum(), *std::max_element(sent.begin(), sent.end()));
        QCOMPARE(temp.last().ms, start + 10 * 599);

        const QAbstractItemModel *table = plot().SeriesTable->model();
        QCOMPARE(plot().SeriesTable->accessibleName(), QStringLiteral("Series"));
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(cell(table, 0, 0), QStringLiteral("temp"));
        QCOMPARE(cell(table, 0, 1), QStringLiteral("600"));
        QCOMPARE(cell(table, 0, 2).toDouble(), sent.last());
        // Drawn and described within a tenth of a second of the last value.
        QTRY_VERIFY(plot().Chart->accessibleDescription().startsWith("temp: 600 points, last "));

        QTest::mouseClick(plot().ExportCsv, Qt::LeftButton);
        const QStringList files =
            QDir(m_fx.docs).entryList({QStringLiteral("plot-*.csv")}, QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(QRegularExpression("^plot-\\d{8}-\\d{6}\\.csv$").match(files.first()).hasMatch());
        QVERIFY(plot().Status->currentMessage().contains(m_fx.docs + files.first()));
        QFile file(m_fx.docs + files.first());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = file.readAll().split('\n');
        QCOMPARE(rows.size(), 602); // header, 600 rows, nothing after the last CR LF
        QCOMPARE(rows.first(), QByteArray("time,temp,hum\r"));
        for (int n = 0; n < 600; ++n) {
            const QList<QByteArray> fields = rows[n + 1].trimmed().split(',');
            QCOMPARE(fields.size(), 3);
            QCOMPARE(fields[1].toDouble(), sent[n]);
            QCOMPARE(fields[2].toInt(), 40 + n % 7);
        }
        QFile::remove(file.fileName());

        QTest::mouseClick(plot().Copy, Qt::LeftButton);
        QVERIFY(QGuiApplication::clipboard()->text().startsWith("time,temp,hum\r\n"));
    }

    // Three devices heard with known strengths give a series each, with the responses counted.
    void scannedAddresses()
    {
        TMain &w = *m_fx.window;
        w.Show_BGAPI->trigger();
        QVERIFY(w.Form_BGAPI->isVisible());
        const QByteArray a = QByteArray::fromHex("3C 2B 1A 80 07 00");
        const QByteArray b = QByteArray::fromHex("01 02 03 04 05 06");
        const QByteArray c = QByteArray::fromHex("AA BB CC DD EE 02");
        QVERIFY(m_fx.module->write(scanResponse(-60, a) + scanResponse(-71, b) +
                                   scanResponse(-58, a) + scanResponse(-90, c) +
                                   scanResponse(-85, c) + scanResponse(-88, c) + "done\r"));
        QVERIFY(tickUntil(w, [&] {
            const auto &lines = w.session.lines();
            for (qsizetype n = 0; n < lines.size(); ++n)
                if (lines.text(n).contains("done"))
                    return true;
            return false;
        }));

        const PlotData &data = plot().data();
        QCOMPARE(data.count(), 3);
        const QAbstractItemModel *table = plot().SeriesTable->model();
        const QList<std::tuple<QString, int, double>> expected{{"00:07:80:1A:2B:3C", 2, -58},
                                                               {"06:05:04:03:02:01", 1, -71},
                                                               {"02:EE:DD:CC:BB:AA", 3, -88}};
        for (int row = 0; row < 3; ++row) {
            const auto &[address, count, last] = expected[row];
            QCOMPARE(data.at(row).name(), PlotData::rssiName(address));
            QCOMPARE(data.at(row).size(), count);
            QCOMPARE(data.at(row).last().value, last);
            QCOMPARE(cell(table, row, 6), address);
            QCOMPARE(cell(table, row, 7), QString::number(count));
        }
    }

    // The legend hides and shows a series, as does its check box in the table.
    void legendAndTableHideSeries()
    {
        PlotData &data = plot().data();
        data.setPatterns("a=(?<a>\\d+) b=(?<b>\\d+)");
        data.addLine(QByteArrayView("a=1 b=2"), g_now);
        data.addLine(QByteArrayView("a=3 b=4"), g_now + 100);
        data.finishBatch();
        PlotChart *chart = plot().Chart;
        QVERIFY(QTest::qWaitForWindowExposed(&plot()));
        chart->grab(); // painted, so the legend has its places
        QCOMPARE(chart->legend().size(), size_t(2));
        QTest::mouseClick(chart, Qt::LeftButton, {}, chart->legend()[1].first.center());
        QVERIFY(!data.at(1).visible);
        QVERIFY(chart->accessibleDescription().contains("b: 2 points, last 4, minimum 2, "
                                                        "maximum 4, hidden"));
        const QModelIndex name = plot().SeriesTable->model()->index(1, 0);
        QCOMPARE(name.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        // Space on the table's row toggles its check box back.
        plot().SeriesTable->setFocus();
        plot().SeriesTable->setCurrentIndex(name);
        QTest::keyClick(plot().SeriesTable, Qt::Key_Space);
        QVERIFY(data.at(1).visible);
    }

    // The chart's strokes against a picture painted from the same points through the scale and
    // span it reports: a sparse series must match pixel for pixel; a dense one (many points a
    // column, drawn as one stroke each) must cover in every column what the full line covers.
    void chartMatchesPaintedPoints_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("sparse") << 12 << 0;
        QTest::newRow("dense") << 200'000 << 1;
    }

    void chartMatchesPaintedPoints()
    {
        QFETCH(int, points);
        QFETCH(int, tolerance);
        PlotData &data = plot().data();
        data.setPatterns("v=(?<v>\\S+)");
        std::vector<std::pair<qint64, double>> fixture;
        for (int n = 0; n < points; ++n) {
            const double v = points < 100 ? double((n * 37) % 11) - 3
                                          : 50 * std::sin(n / 5000.0) + (n % 97) * 0.3;
            // Sparse: a point a second or so; dense: one a millisecond.
            fixture.emplace_back(g_now + (points < 100 ? qint64(n) * 997 : qint64(n)), v);
        }
        for (const auto &[ms, v] : fixture)
            data.addLine(QStringView(QStringLiteral("v=") + QString::number(v, 'g', 17)), ms);
        data.finishBatch();

        PlotChart *chart = plot().Chart;
        chart->resize(500, 300);
        const QImage shown = chart->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect area = chart->plotArea();
        const auto span = chart->timeSpan();
        const auto &scale = chart->scale(0);
        QCOMPARE(span.first, fixture.front().first);
        QCOMPARE(span.last, fixture.back().first);
        // The scale holds every value in view, with round ends.
        double low = fixture.front().second;
        double high = low;
        for (const auto &p : fixture) {
            low = std::min(low, p.second);
            high = std::max(high, p.second);
        }
        QVERIFY(scale.low <= low && scale.high >= high);
        QVERIFY(scale.high - scale.low < 3 * (high - low));

        // The same points, every one of them, joined by straight lines.
        QImage painted(shown.size(), QImage::Format_RGB32);
        painted.fill(Qt::white);
        QPainter painter(&painted);
        painter.setPen(QPen(PlotChart::seriesColour(0), 0));
        painter.setClipRect(area);
        const auto at = [&](const std::pair<qint64, double> &p) {
            const double x = area.left() + std::floor(double(p.first - span.first) * span.width /
                                                      double(span.last - span.first));
            const double y =
                area.top() + (area.height() - 1) -
                (p.second - scale.low) * (area.height() - 1) / (scale.high - scale.low);
            return QPointF(std::min(x, double(area.left() + span.width)), y);
        };
        for (size_t n = 1; n < fixture.size(); ++n)
            painter.drawLine(at(fixture[n - 1]), at(fixture[n]));
        painter.end();

        const QRgb colour = PlotChart::seriesColour(0).rgb();
        QRect compared = area.adjusted(1, 1, -1, -1);
        for (const auto &[entry, series] : chart->legend())
            compared.setTop(std::max(compared.top(), entry.bottom() + 1));
        int columnsWithLine = 0;
        for (int x = compared.left(); x <= compared.right(); ++x) {
            const auto want = columnExtent(painted, x, colour, compared);
            const auto got = columnExtent(shown, x, colour, compared);
            if (want.first >= 0)
                ++columnsWithLine;
            QVERIFY2(std::abs(want.first - got.first) <= tolerance &&
                         std::abs(want.second - got.second) <= tolerance,
                     qPrintable(QStringLiteral("column %1: painted %2..%3, chart %4..%5")
                                    .arg(x)
                                    .arg(want.first)
                                    .arg(want.second)
                                    .arg(got.first)
                                    .arg(got.second)));
        }
        QVERIFY(columnsWithLine > compared.width() * 9 / 10);
    }

    // Hidden, the window takes no lines and costs the receive path nothing; its mark follows.
    void hiddenWindowListensToNothing()
    {
        plot().Pattern->setFocus();
        QTest::keyClicks(plot().Pattern, "T=(?<temp>\\d+)");
        QVERIFY(plot().feed().listensToLines());
        m_fx.window->Plot1->trigger();
        QVERIFY(!plot().isVisible());
        QVERIFY(!m_fx.window->Plot1->isChecked());
        QVERIFY(!plot().feed().isActive());
        QVERIFY(!plot().feed().listensToLines());
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write("T=5\r\n"));
        QVERIFY(tickUntil(w, [&] { return w.session.lines().size() >= 2; }));
        w.session.showNewLines();
        QCOMPARE(plot().data().count(), 0);
        // Closed from its title bar, the mark goes too.
        m_fx.window->Plot1->trigger();
        QVERIFY(m_fx.window->Plot1->isChecked());
        plot().close();
        QVERIFY(!m_fx.window->Plot1->isChecked());
    }

    // Shown, its place and its patterns come back at the next start of the profile.
    void rememberedAcrossRuns()
    {
        // Shown, the window loads its settings (a new file: the Plot window hidden).
        m_fx.window->show();
        if (!plot().isVisible())
            m_fx.window->Plot1->trigger();
        QVERIFY(plot().isVisible());
        plot().Pattern->setFocus();
        QTest::keyClicks(plot().Pattern, "T=(?<temp>\\d+)");
        QTest::keyClick(plot().Pattern, Qt::Key_Return);
        QTest::keyClicks(plot().Pattern, "H=(\\d+)");
        plot().setGeometry(QRect(150, 120, 640, 480));
        const QRect place = plot().geometry();
        m_fx.window->close();
        m_fx.window.reset();

        auto again = m_fx.makeMain();
        again->show();
        QVERIFY(again->Plot1->isChecked());
        QVERIFY(again->Form_Plot->isVisible());
        QCOMPARE(again->Form_Plot->patternText(), QStringLiteral("T=(?<temp>\\d+)\nH=(\\d+)"));
        QCOMPARE(again->Form_Plot->geometry().size(), place.size());
        again->Plot1->trigger();
        again->close();
        again.reset();

        auto third = m_fx.makeMain();
        third->show();
        QVERIFY(!third->Plot1->isChecked());
        QVERIFY(!third->Form_Plot->isVisible());
    }

private:
    zorvane::app::PlotWindow &plot() { return *m_fx.window->Form_Plot; }

    WindowFixture m_fx;
};

QTEST_MAIN(TestPlotWindow)
#include "tst_plot_window.moc"
