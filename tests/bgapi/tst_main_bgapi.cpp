// The real main window's receive loop with the BGAPI decoder: bytes from the port are
// decoded only while the BGAPI window is visible, scan responses fill the address label and
// list, and each packet is taken once. The BGAPI window is shown and hidden through its
// Options item.
#include "PtyModule.h"
#include "WindowFixture.h"
#include "WindowText.h"
#include "app/bgapi_window/Unit_bgapi.h"
#include "app/main_window/MainForm.h"
#include "terminal/view/TerminalModel.h"

#include <QAction>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <functional>

namespace {

constexpr int kPort = 6;

const QByteArray kScanResponse =
    QByteArray::fromHex("80 0B 06 00 C4 00 3C 2B 1A 80 07 00 00 FF 00");
const QByteArray kOtherScanResponse =
    QByteArray::fromHex("80 0B 06 00 C0 00 01 02 03 04 05 06 00 FF 00");
const QByteArray kConnectResponse = QByteArray::fromHex("00 03 06 03 00 00 05");

} // namespace

class TestMainBgapi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fx.setUp()); }

    void init()
    {
        m_fx.reset();
        QVERIFY(m_fx.openOn(kPort));
        m_fx.window->Show_BGAPI->trigger();
        QVERIFY(m_fx.window->Form_BGAPI->isVisible());
    }

    void cleanup() { m_fx.tearDown(); }

    void scanResponsesFillTheAddressList()
    {
        TMain &w = *m_fx.window;
        QCOMPARE(comboEntries(w.MAC_Address), QStringList{"Unknown MAC"});
        QVERIFY(m_fx.module->write("OK\r\n" + kScanResponse + "x" + kScanResponse +
                                   kOtherScanResponse + "done\r"));
        QVERIFY(tickUntil(w, [&] { return listLines(w).join(QString()).contains("done"); }));

        QCOMPARE(comboEntries(w.MAC_Address),
                 (QStringList{"00:07:80:1A:2B:3C", "06:05:04:03:02:01"}));
        QCOMPARE(w.MAC_Address->currentIndex(), 1);
        QCOMPARE(w.MAC->text(), QStringLiteral("06:05:04:03:02:01"));
        QCOMPARE(w.Form_BGAPI->MAC_Addr->text(), QStringLiteral("06:05:04:03:02:01"));
        QCOMPARE(w.bgapi.addresses.bgapi_address_count(), 2);
        const auto raw = w.bgapi.addresses.rawAddressOf(QStringLiteral("00:07:80:1A:2B:3C"));
        QVERIFY(raw);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(raw->data()), 6),
                 QByteArray::fromHex("3C 2B 1A 80 07 00"));
        QVERIFY(w.bgapi.rx.bgapi_rx_buffer().size() <= 1);
    }

    // 0x1B is ESC to the terminal, which then reads three more bytes itself: those reach the
    // decoder once, and when they begin the next packet that packet is kept.
    void escapeByteNearAPacketEnd_data()
    {
        QTest::addColumn<QByteArray>("first");
        // The scan response with its data array holding 0x1B, bond 0x1B, address type 0x1B.
        QTest::newRow("last byte")
            << QByteArray::fromHex("80 0C 06 00 C4 00 3C 2B 1A 80 07 00 00 FF 01 1B");
        QTest::newRow("second-to-last byte")
            << QByteArray::fromHex("80 0B 06 00 C4 00 3C 2B 1A 80 07 00 00 1B 00");
        QTest::newRow("third-to-last byte")
            << QByteArray::fromHex("80 0B 06 00 C4 00 3C 2B 1A 80 07 00 1B FF 00");
    }

    void escapeByteNearAPacketEnd()
    {
        QFETCH(QByteArray, first);
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write(first + kOtherScanResponse + "done\r"));
        QVERIFY(tickUntil(w, [&] { return listLines(w).join(QString()).contains("done"); }));
        QCOMPARE(comboEntries(w.MAC_Address),
                 (QStringList{"00:07:80:1A:2B:3C", "06:05:04:03:02:01"}));
        QCOMPARE(w.bgapi.addresses.bgapi_address_count(), 2);
    }

    // Inquiry results and scan responses fill one list: an address either way is listed once,
    // and the last entry is selected.
    void inquiryResultsAndScanResponsesShareTheList()
    {
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write("INQUIRY 00:07:80:1A:2B:3C 20080 -57\r\n" + kScanResponse +
                                   kOtherScanResponse +
                                   "\r\nINQUIRY 06:05:04:03:02:01 20080 -57\r\ndone\r"));
        QVERIFY(tickUntil(w, [&] { return listLines(w).join(QString()).contains("done"); }));

        QCOMPARE(comboEntries(w.MAC_Address),
                 (QStringList{"00:07:80:1A:2B:3C", "06:05:04:03:02:01"}));
        QCOMPARE(w.MAC_Address->currentIndex(), 1);
        QCOMPARE(w.MAC->text(), QStringLiteral("06:05:04:03:02:01"));
    }

    void connectResponseSetsTheConnection()
    {
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write(kConnectResponse + "\r"));
        QVERIFY(tickUntil(w, [&] { return w.bgapi.bgapi_connection == 5; }));
        QCOMPARE(w.bgapi.bgapi_result, 0);
        QVERIFY(!w.bgapi.rx.bgapi_packet_done());
    }

    // Hidden, the BGAPI window hears nothing: the bytes only reach the terminal list, and the
    // buffer keeps what it held.
    void nothingIsDecodedWhileTheWindowIsHidden()
    {
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write(kConnectResponse.first(3)));
        QVERIFY(tickUntil(w, [&] { return w.bgapi.rx.bgapi_rx_buffer().size() == 3; }));
        w.Show_BGAPI->trigger();
        QVERIFY(!w.Form_BGAPI->isVisible());
        QVERIFY(m_fx.module->write(kScanResponse + "hidden\r"));
        QVERIFY(tickUntil(w, [&] { return listLines(w).join(QString()).contains("hidden"); }));
        QCOMPARE(comboEntries(w.MAC_Address), QStringList{"Unknown MAC"});
        QCOMPARE(w.bgapi.rx.bgapi_rx_buffer().toByteArray(), kConnectResponse.first(3));

        // Shown again, decoding goes on from what the buffer held.
        w.Show_BGAPI->trigger();
        QVERIFY(m_fx.module->write(kConnectResponse.sliced(3)));
        QVERIFY(tickUntil(w, [&] { return w.bgapi.bgapi_connection == 5; }));
    }

private:
    WindowFixture m_fx;
};

QTEST_MAIN(TestMainBgapi)
#include "tst_main_bgapi.moc"
