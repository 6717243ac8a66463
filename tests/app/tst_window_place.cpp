// Windows placed where a person can reach them: the rules on tables of screens, then the real
// main window restored from a place on a monitor that is gone and the BGAPI window shown
// beside it, on two virtual screens (a small one at the origin, a larger one to its right).
#include "WindowFixture.h"
#include "app/bgapi_window/Unit_bgapi.h"
#include "app/main_window/MainForm.h"
#include "app/main_window/WindowPlace.h"
#include "settings/zv_settings.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using zorvane::app::keepOnScreen;
using zorvane::app::reachablePlace;

namespace {

const QRect kSmall(0, 0, 1024, 768);
const QRect kLarge(1024, 0, 1920, 1080);
constexpr int kTitleBar = 30;

std::unique_ptr<QTemporaryDir> g_screensDir;

} // namespace

class TestWindowPlace : public QObject
{
    Q_OBJECT

public:
    // Runs before the application exists: the offscreen platform is given two screens.
    static void initMain()
    {
        g_screensDir = std::make_unique<QTemporaryDir>();
        const QString path = g_screensDir->filePath(QStringLiteral("screens.json"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the screens file");
        file.write(R"({"screens": [
            {"name": "small", "x": 0, "y": 0, "width": 1024, "height": 768},
            {"name": "large", "x": 1024, "y": 0, "width": 1920, "height": 1080}]})");
        file.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + path.toLocal8Bit());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fx.setUp());
        QCOMPARE(QGuiApplication::screens().size(), 2);
    }

    void init() { m_fx.reset(); }
    void cleanup() { m_fx.tearDown(); }

    void restoredPlace_data()
    {
        QTest::addColumn<QRect>("saved");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QRect>("placed");
        const QSize small(400, 300);
        QTest::newRow("on the small screen")
            << QRect(30, 40, 700, 450) << small << QRect(30, 40, 700, 450);
        QTest::newRow("across both screens")
            << QRect(800, 100, 700, 450) << small << QRect(800, 100, 700, 450);
        QTest::newRow("partly off the top left")
            << QRect(-8, -8, 700, 450) << small << QRect(-8, -8, 700, 450);
        // Exactly a title bar's height and enough width to drag it by is left in view.
        QTest::newRow("title bar's worth at the bottom")
            << QRect(500, 1050, 700, 450) << small << QRect(500, 1050, 700, 450);
        QTest::newRow("a narrow window wholly in the corner")
            << QRect(2904, 1050, 40, 30) << QSize(10, 10) << QRect(2904, 1050, 40, 30);
        // Less than that, and it comes onto the screen it peeks into.
        QTest::newRow("a sliver at the bottom")
            << QRect(500, 1060, 700, 450) << small << QRect(1024, 630, 700, 450);
        QTest::newRow("only a corner at the right")
            << QRect(2900, 200, 700, 450) << small << QRect(2244, 200, 700, 450);
        QTest::newRow("above every screen")
            << QRect(100, -600, 700, 450) << small << QRect(100, 30, 700, 450);
        // A monitor that is gone: the nearest screen takes it, made to fit.
        QTest::newRow("far right, below the large screen")
            << QRect(4000, 1200, 700, 450) << small << QRect(2244, 630, 700, 450);
        QTest::newRow("far left of the small screen")
            << QRect(-3000, 300, 700, 450) << small << QRect(0, 300, 700, 450);
        QTest::newRow("larger than the small screen it is nearest to")
            << QRect(-3000, 0, 1900, 1000) << small << QRect(0, 30, 1024, 738);
        QTest::newRow("the minimum wins over the screen")
            << QRect(-3000, 0, 1900, 1000) << QSize(1100, 800) << QRect(0, 30, 1100, 800);
    }

    void restoredPlace()
    {
        QFETCH(QRect, saved);
        QFETCH(QSize, minimum);
        QFETCH(QRect, placed);
        QCOMPARE(reachablePlace(saved, {kSmall, kLarge}, kTitleBar, minimum), placed);
        QCOMPARE(reachablePlace(saved, {}, kTitleBar, minimum), saved);
    }

    void besideTheMainWindow_data()
    {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QPoint>("placed");
        QTest::newRow("fits on the large screen") << QRect(1300, 50, 851, 660) << QPoint(1300, 50);
        QTest::newRow("fits on the small screen") << QRect(100, 50, 851, 660) << QPoint(100, 50);
        QTest::newRow("past the small screen's right edge")
            << QRect(250, 0, 851, 660) << QPoint(173, 0);
        QTest::newRow("past the small screen's bottom")
            << QRect(100, 300, 851, 660) << QPoint(100, 108);
        QTest::newRow("past the large screen's right edge")
            << QRect(2500, 100, 851, 660) << QPoint(2093, 100);
        QTest::newRow("taller than the small screen") << QRect(50, 100, 851, 900) << QPoint(50, 0);
        QTest::newRow("off every screen") << QRect(5000, 3000, 851, 660) << QPoint(2093, 420);
    }

    void besideTheMainWindow()
    {
        QFETCH(QRect, wanted);
        QFETCH(QPoint, placed);
        QCOMPARE(keepOnScreen(wanted, {kSmall, kLarge}), placed);
        QCOMPARE(keepOnScreen(wanted, {}), wanted.topLeft());
    }

    // A window without a place of its own steps aside once for each other instance's window
    // that opened where it would.
    void besideOtherInstances_data()
    {
        QTest::addColumn<QList<QPoint>>("others");
        QTest::addColumn<QPoint>("placed");
        QTest::newRow("alone") << QList<QPoint>{} << QPoint(100, 100);
        QTest::newRow("another elsewhere") << QList<QPoint>{{400, 300}} << QPoint(100, 100);
        QTest::newRow("another there") << QList<QPoint>{{100, 100}} << QPoint(130, 130);
        // The second opened beside the first, but its file still holds the place it was given.
        QTest::newRow("two there, one elsewhere")
            << QList<QPoint>{{100, 100}, {400, 300}, {100, 100}} << QPoint(160, 160);
    }

    void besideOtherInstances()
    {
        QFETCH(QList<QPoint>, others);
        QFETCH(QPoint, placed);
        QCOMPARE(zorvane::app::besideOtherInstances(QPoint(100, 100), others), placed);
    }

    // A window left on a monitor that is gone starts on a screen, and is saved where it is.
    void mainWindowFromAGoneMonitor()
    {
        const QString settings = m_fx.docs + QStringLiteral("zv_settings.xml");
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<ZVSettings><Window><left>4000</left><top>1500</top><width>1000</width>"
                   "<height>600</height></Window></ZVSettings>");
        file.close();
        m_fx.window = m_fx.makeMain();
        m_fx.window->show();
        const QRect placed = m_fx.window->geometry();
        QVERIFY2(kLarge.contains(placed), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                         .arg(placed.x())
                                                         .arg(placed.y())
                                                         .arg(placed.width())
                                                         .arg(placed.height())));
        QCOMPARE(placed.size(), QSize(1000, 600));
        m_fx.window.reset();

        zorvane::settings::SettingsDocument document;
        document.FileName = settings;
        auto root = zorvane::settings::OpenSettingsRoot(document);
        QVERIFY(root);
        auto saved = root->Window();
        QCOMPARE(QRect(saved.left(), saved.top(), saved.width(), saved.height()), placed);
    }

    // The BGAPI window opens 250 right of the main window where that fits, and inside the
    // screen where it does not; it moves only sideways, keeping its own height.
    void bgapiWindowStaysOnScreen_data()
    {
        QTest::addColumn<QPoint>("main");
        QTest::addColumn<bool>("offset");
        QTest::newRow("room on the large screen") << QPoint(1100, 40) << true;
        QTest::newRow("small screen") << QPoint(0, 0) << false;
        QTest::newRow("near the large screen's right edge") << QPoint(2600, 300) << false;
    }

    void bgapiWindowStaysOnScreen()
    {
        QFETCH(QPoint, main);
        QFETCH(bool, offset);
        m_fx.window = m_fx.makeMain();
        TMain &w = *m_fx.window;
        w.show();
        w.move(main);
        QCOMPARE(w.pos(), main);
        const int top = w.Form_BGAPI->pos().y();
        // The main window's top is not the one taken.
        QVERIFY(!offset || top != main.y());
        w.Show_BGAPI->trigger();
        TForm_BGAPI *form = w.Form_BGAPI;
        QVERIFY(QTest::qWaitForWindowExposed(form));
        const QRect frame = form->frameGeometry();
        const QRect screen = kLarge.contains(main) ? kLarge : kSmall;
        QVERIFY(frame.width() <= screen.width());
        QVERIFY2(screen.contains(frame), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                        .arg(frame.x())
                                                        .arg(frame.y())
                                                        .arg(frame.width())
                                                        .arg(frame.height())));
        QCOMPARE(frame.x() == main.x() + 250, offset);
        if (offset)
            QCOMPARE(frame.y(), top);
    }

private:
    WindowFixture m_fx;
};

QTEST_MAIN(TestWindowPlace)
#include "tst_window_place.moc"
