// The BGAPI window on a module at the far end of a pseudo-terminal, used as a person uses it:
// the Options item shows it, clicks on its buttons send their exact packets, keys typed into
// the connection field choose the connection, and the module's answers, split at awkward
// points, fill its fields. Also its layout with a larger font and its accessible names.
#include "PtyModule.h"
#include "WindowFixture.h"
#include "WindowText.h"
#include "app/bgapi_window/Unit_bgapi.h"
#include "app/main_window/MainForm.h"
#include "serial/LinePause.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

constexpr int kPort = 7;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// The module answers in pieces: each piece is on the program's side before the receive loop
// runs, so the decoder sees the packet split where the piece ends.
void answerInPieces(TMain &window, PtyModule &module, const QByteArray &bytes,
                    std::initializer_list<int> cuts)
{
    int from = 0;
    QList<int> ends(cuts);
    ends << int(bytes.size());
    for (const int end : ends) {
        QVERIFY(module.write(bytes.mid(from, end - from)));
        QVERIFY(module.waitUntilProgramCanRead());
        for (int i = 0; i < 3; ++i)
            window.Timer1Timer();
        from = end;
    }
}

void typeInto(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

} // namespace

class TestBgapiWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fx.setUp()); }

    void init()
    {
        m_fx.reset();
        QVERIFY(m_fx.openOn(kPort));
        m_fx.window->Show_BGAPI->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(m_fx.window->Form_BGAPI));
        m_pauses.clear();
        zorvane::serial::setLinePauseHandler([this](int ms) { m_pauses << ms; });
    }

    void cleanup()
    {
        zorvane::serial::setLinePauseHandler({});
        m_fx.tearDown();
    }

    void showAndClose()
    {
        TMain &w = *m_fx.window;
        TForm_BGAPI *form = w.Form_BGAPI;
        QVERIFY(form->isVisible());
        QVERIFY(w.Show_BGAPI->isChecked());
        QCOMPARE(form->windowTitle(), QStringLiteral("BGAPI Interface"));
        // Beside the main window, kept on the screen (the details: tst_window_place).
        QVERIFY(form->screen()->availableGeometry().contains(form->pos()));

        // The title bar's close hides it and clears the mark; one choice shows it again.
        QVERIFY(form->close());
        QVERIFY(!form->isVisible());
        QVERIFY(!w.Show_BGAPI->isChecked());
        w.Show_BGAPI->trigger();
        QVERIFY(form->isVisible());
        QVERIFY(w.Show_BGAPI->isChecked());
        w.Show_BGAPI->trigger();
        QVERIFY(!form->isVisible());
        QVERIFY(!w.Show_BGAPI->isChecked());

        // Shown, command lines go out without their CR; hidden, the CR is back.
        w.c_puts(QStringLiteral("AT"));
        w.Show_BGAPI->trigger();
        w.c_puts(QStringLiteral("AT"));
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray("AT\rAT"));
    }

    void buttonsSendTheirPackets_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("chan");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("cleared");
        QTest::addColumn<int>("loggerMode");

        const QByteArray zeros9(9, '\0');
        const QByteArray zeros16(16, '\0');
        const QByteArray logger = hex("00 15 04 05 2C 08 00 11");
        QTest::newRow("disconnect 1") << "btn_ble_cmd_connection_disconnect"
                                      << "1" << hex("00 01 03 00 01") << QStringList{} << 0;
        QTest::newRow("disconnect 300") << "btn_ble_cmd_connection_disconnect"
                                        << "300" << hex("00 01 03 00 2C") << QStringList{} << 0;
        QTest::newRow("set mode") << "gap_set_mode"
                                  << "0" << hex("00 02 06 01 00 00") << QStringList{} << 0;
        QTest::newRow("end procedure") << "gap_end_procedure"
                                       << "0" << hex("00 00 06 04") << QStringList{} << 0;
        QTest::newRow("scan parameters")
            << "gap_set_scan_parameters"
            << "0" << hex("00 05 06 07 C8 00 C8 00 00") << QStringList{} << 0;
        QTest::newRow("discover") << "gap_discover"
                                  << "0" << hex("00 01 06 02 02") << QStringList{} << 0;
        QTest::newRow("reset") << "btn_reset"
                               << "0" << hex("00 01 00 00 00") << QStringList{} << 0;
        QTest::newRow("system info")
            << "System_Info"
            << "0" << hex("00 00 00 08") << QStringList{"edit_system_info"} << 0;
        QTest::newRow("read by group, 300")
            << "Attr_Read_by_Group"
            << "300" << hex("00 08 04 01 2C 01 00 FF FF 02 00 28")
            << QStringList{"edit_start", "edit_end", "edit_uuid"} << 0;
        QTest::newRow("find information, 5")
            << "Attr_Find_Information"
            << "5" << hex("00 05 04 03 05 06 00 FF FF")
            << QStringList{"edit_handle", "edit_char", "edit_uid"} << 0;
        QTest::newRow("attribute write, 2")
            << "Attr_Write"
            << "2" << hex("00 04 04 05 02 0A 00 02")
            << QStringList{"edit_result", "edit_ahandle", "edit_attr"} << 0;
        QTest::newRow("All")
            << "All"
            << "1"
            << hex("00 01 03 00 01  00 02 06 01 00 00  00 00 06 04  00 05 06 07 C8 00 C8 00 00"
                   "  00 01 06 02 02")
            << QStringList{} << 0;
        QTest::newRow("d. Revision Register")
            << "d_Revision_Register"
            << "300" << logger + hex("60") + zeros16 << QStringList{"edit_attr", "edit_num"} << 2;
        QTest::newRow("j. SHT temp meas")
            << "j_SHT_temp_meas"
            << "300" << logger + hex("40 01 00 00 00 00 01 AA") + zeros9
            << QStringList{"edit_attr", "edit_num"} << 1;
        QTest::newRow("k. Humidity Meas")
            << "k_Humidity_Meas"
            << "300" << logger + hex("40 02 00 00 00 00 01 AA") + zeros9
            << QStringList{"edit_attr", "edit_num"} << 0;
        QTest::newRow("l. SHT reading") << "l_SHT_reading"
                                        << "300" << logger + hex("40 03 00 00 00 00 01 AA") + zeros9
                                        << QStringList{"edit_attr", "edit_num"} << 0;
        QTest::newRow("u. Flash Burst")
            << "u_Flash_Burst"
            << "300" << logger + hex("28") + zeros16 << QStringList{"edit_attr", "edit_num"} << 3;
    }

    void buttonsSendTheirPackets()
    {
        QFETCH(QString, button);
        QFETCH(QString, chan);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, cleared);
        QFETCH(int, loggerMode);

        TMain &w = *m_fx.window;
        TForm_BGAPI *form = w.Form_BGAPI;
        typeInto(form->edit_chan, chan);
        QCOMPARE(w.bgapi.bgapi_connection, quint16(chan.toInt()));
        QTest::mouseClick(form->findChild<QPushButton *>(button), Qt::LeftButton);

        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '), bytes.toHex(' '));
        const QList<QLineEdit *> fields = form->findChildren<QLineEdit *>();
        for (const QLineEdit *field : fields) {
            const QString name = field->objectName();
            if (cleared.contains(name))
                QVERIFY2(field->text().isEmpty(), qPrintable(name));
            else if (name != "edit_chan" && name != "edit_error" && !field->text().isEmpty())
                QVERIFY2(field->text() == "-", qPrintable(name));
        }
        QCOMPARE(w.bgapi.logger.logger_mode(), loggerMode);
        const QList<int> pauses = button == "All" ? QList<int>{10, 10, 10, 10} : QList<int>();
        QCOMPARE(m_pauses, pauses);
        QVERIFY(m_fx.messages.isEmpty());
    }

    // The answers come back split at awkward points and fill the fields.
    void answersFillTheFields()
    {
        TMain &w = *m_fx.window;
        TForm_BGAPI *form = w.Form_BGAPI;
        QCOMPARE(form->Timer1->interval(), 100);
        QVERIFY(form->Timer1->isActive());
        QTRY_COMPARE(form->edit_error->text(), QStringLiteral("No Error"));

        QTest::mouseClick(form->System_Info, Qt::LeftButton);
        answerInPieces(w, *m_fx.module, hex("00 0C 00 08 01 00 03 00 02 00 7A 00 02 00 01 01"),
                       {1, 2, 9});
        QVERIFY(tickUntil(w, [&] { return !form->edit_system_info->text().isEmpty(); }));
        QCOMPARE(form->edit_system_info->text(), QStringLiteral("ver 1.3.2.122.2.1.1"));

        // A disconnection after a stray byte, then a connect response with handle 5.
        answerInPieces(w, *m_fx.module, hex("41 80 03 03 04 00 16 02"), {2, 7});
        QTRY_COMPARE(form->edit_error->text(), QStringLiteral("Term. by local host"));
        answerInPieces(w, *m_fx.module, hex("00 03 06 03 00 00 05"), {1, 6});
        QVERIFY(tickUntil(w, [&] { return form->edit_chan->text() == "5"; }));
        QCOMPARE(w.bgapi.bgapi_connection, quint16(5));
        QTRY_COMPARE(form->edit_error->text(), QStringLiteral("No Error"));

        // A scan response: the address list and the window's address; Connect goes to it.
        answerInPieces(w, *m_fx.module, hex("80 0B 06 00 C4 00 3C 2B 1A 80 07 00 00 FF 00"),
                       {3, 11});
        QVERIFY(
            tickUntil(w, [&] { return w.MAC_Address->count() == 1 && w.MAC->text() != "MAC"; }));
        QCOMPARE(comboEntries(w.MAC_Address), QStringList{"00:07:80:1A:2B:3C"});
        QCOMPARE(form->MAC_Addr->text(), QStringLiteral("00:07:80:1A:2B:3C"));
        form->MAC_Addr->clear();
        sentSoFar(w.serial, *m_fx.module);
        QTest::mouseClick(form->Connect, Qt::LeftButton);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '),
                 hex("00 0F 06 03 3C 2B 1A 80 07 00 00 06 00 10 00 00 01 00 00").toHex(' '));
        QCOMPARE(form->MAC_Addr->text(), QStringLiteral("00:07:80:1A:2B:3C"));
        QVERIFY(form->connect_note->text().isEmpty());

        // Group and descriptor found, a procedure completed.
        answerInPieces(w, *m_fx.module,
                       hex("80 08 04 02 05 01 00 0B 00 02 00 28"
                           "80 06 04 04 05 2A 00 02 00 28"
                           "80 05 04 01 05 00 00 0A 00"),
                       {5, 13, 21, 30});
        QVERIFY(tickUntil(w, [&] { return form->edit_ahandle->text() == "10"; }));
        QCOMPARE(form->edit_start->text(), QStringLiteral("1"));
        QCOMPARE(form->edit_end->text(), QStringLiteral("11"));
        QCOMPARE(form->edit_uuid->text(), QStringLiteral("0028"));
        QCOMPARE(form->edit_handle->text(), QStringLiteral("5"));
        QCOMPARE(form->edit_char->text(), QStringLiteral("42"));
        QCOMPARE(form->edit_uid->text(), QStringLiteral("2800"));
        QCOMPARE(form->edit_result->text(), QStringLiteral("0"));
    }

    void loggerAnswersShowReadings()
    {
        TMain &w = *m_fx.window;
        TForm_BGAPI *form = w.Form_BGAPI;
        const QString point = QLocale().decimalPoint();
        const QByteArray sample26000 = hex("80 0A 04 05 05 08 00 01 05 00 00 00 90 65");

        QTest::mouseClick(form->j_SHT_temp_meas, Qt::LeftButton);
        answerInPieces(w, *m_fx.module, sample26000, {9, 12});
        QVERIFY(tickUntil(w, [&] { return form->edit_num->text() == "26000"; }));
        QCOMPARE(form->edit_temp->text(), QStringLiteral(" 22") + point + QStringLiteral("86C"));
        QCOMPARE(form->edit_attr->text(), QStringLiteral(" 00 00 00 144 101"));
        QCOMPARE(form->edit_handle->text(), QStringLiteral("8"));

        // Humidity: 30000 is 51.22 %; a short answer after it changes no reading.
        QTest::mouseClick(form->k_Humidity_Meas, Qt::LeftButton);
        answerInPieces(w, *m_fx.module,
                       hex("80 0A 04 05 05 08 00 01 05 00 00 00 30 75 80 09 04 05 05 08 00 01 "
                           "04 01 02 03 04"),
                       {14, 20});
        QVERIFY(tickUntil(w, [&] { return form->edit_attr->text().endsWith(" 04"); }));
        QCOMPARE(form->edit_num->text(), QStringLiteral("30000"));
        QCOMPARE(form->edit_hum->text(), QStringLiteral(" 51") + point + QStringLiteral("22rH"));
        QCOMPARE(form->edit_temp->text(), QStringLiteral(" 22") + point + QStringLiteral("86C"));
    }

    void echoShowsEachPacket_data()
    {
        QTest::addColumn<bool>("hexWrite");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("raw") << false
                             << QStringList{QStringLiteral("TX=> ") +
                                            QString::fromLatin1(hex("00 01 06 02 02"))};
        QTest::newRow("hex") << true << QStringList{"TX=> 00 01 06 02 02 "};
    }

    void echoShowsEachPacket()
    {
        QFETCH(bool, hexWrite);
        QFETCH(QStringList, lines);
        TMain &w = *m_fx.window;
        w.Echo1->setChecked(true);
        w.HexModeWrite1->setChecked(hexWrite);
        const int before = int(listLines(w).size());
        QTest::mouseClick(w.Form_BGAPI->gap_discover, Qt::LeftButton);
        QCOMPARE(listLines(w).mid(before), lines);
    }

    // Connect needs an entry with a raw address; without one it sends nothing and says so.
    void connectWithoutAnAddressSendsNothing_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::newRow("placeholder") << "Unknown MAC";
        QTest::newRow("inquiry result") << "00:07:80:11:22:33";
        QTest::newRow("no selection") << "";
    }

    void connectWithoutAnAddressSendsNothing()
    {
        QFETCH(QString, entry);
        TMain &w = *m_fx.window;
        TForm_BGAPI *form = w.Form_BGAPI;
        if (entry != "Unknown MAC")
            w.MAC_Address->clear();
        if (!entry.isEmpty()) {
            w.MAC_Address->addItem(entry);
            w.MAC_Address->setCurrentIndex(w.MAC_Address->count() - 1);
        }
        QTest::mouseClick(form->Connect, Qt::LeftButton);
        QVERIFY(sentSoFar(w.serial, *m_fx.module).isEmpty());
        QVERIFY(!form->connect_note->text().isEmpty());
        QVERIFY(form->MAC_Addr->text().isEmpty());
        QVERIFY(m_fx.messages.isEmpty());
    }

    // A connection field that holds no number keeps the connection, sends no disconnect (nor
    // the All sequence that starts with one) and is marked, with no message box.
    void badConnectionNumberIsMarked()
    {
        TMain &w = *m_fx.window;
        TForm_BGAPI *form = w.Form_BGAPI;
        typeInto(form->edit_chan, "7");
        QCOMPARE(w.bgapi.bgapi_connection, quint16(7));
        QVERIFY(form->edit_chan->accessibleDescription().isEmpty());

        typeInto(form->edit_chan, "7x");
        QCOMPARE(w.bgapi.bgapi_connection, quint16(7));
        QVERIFY(!form->edit_chan->accessibleDescription().isEmpty());
        QTest::mouseClick(form->btn_ble_cmd_connection_disconnect, Qt::LeftButton);
        QVERIFY(sentSoFar(w.serial, *m_fx.module).isEmpty());
        // The others still go to connection 7.
        QTest::mouseClick(form->Attr_Find_Information, Qt::LeftButton);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), hex("00 05 04 03 07 06 00 FF FF"));
        // All opens with that disconnect: it sends nothing at all, and the field stays marked.
        QTest::mouseClick(form->All, Qt::LeftButton);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray());
        QVERIFY(!form->edit_chan->accessibleDescription().isEmpty());
        QVERIFY(!form->edit_chan->styleSheet().isEmpty());
        QVERIFY(m_fx.messages.isEmpty());

        typeInto(form->edit_chan, "8");
        QVERIFY(form->edit_chan->accessibleDescription().isEmpty());
        QCOMPARE(w.bgapi.bgapi_connection, quint16(8));
    }

    // The dongle pulled out with the window open and put back: nothing the window or the
    // shared state held is lost, and the window works on the reopened port.
    void unplugAndQuietReopenKeepState()
    {
        TMain &w = *m_fx.window;
        TForm_BGAPI *form = w.Form_BGAPI;
        answerInPieces(w, *m_fx.module,
                       hex("80 0B 06 00 C4 00 3C 2B 1A 80 07 00 00 FF 00 00 03 06 03 00 00 05"),
                       {15});
        QVERIFY(tickUntil(w, [&] { return form->edit_chan->text() == "5"; }));

        m_fx.module->unplug();
        QVERIFY(tickUntil(
            w, [&] { return !w.serial.holdsDevice(); }, 30000));
        m_fx.module = m_fx.plugIn(kPort);
        QVERIFY(tickUntil(
            w, [&] { return w.serial.holdsDevice(); }, 60000));
        m_fx.module->readAvailable();

        QVERIFY(form->isVisible());
        QCOMPARE(w.bgapi.bgapi_connection, quint16(5));
        QCOMPARE(form->MAC_Addr->text(), QStringLiteral("00:07:80:1A:2B:3C"));
        QCOMPARE(comboEntries(w.MAC_Address), QStringList{"00:07:80:1A:2B:3C"});
        QTest::mouseClick(form->Connect, Qt::LeftButton);
        QTest::mouseClick(form->Attr_Write, Qt::LeftButton);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module).toHex(' '),
                 hex("00 0F 06 03 3C 2B 1A 80 07 00 00 06 00 10 00 00 01 00 00"
                     "00 04 04 05 05 0A 00 02")
                     .toHex(' '));
        QVERIFY(m_fx.messages.isEmpty());
    }

    void everyControlHasAnAccessibleName()
    {
        const QList<QWidget *> controls = m_fx.window->Form_BGAPI->findChildren<QWidget *>();
        int named = 0;
        for (const QWidget *control : controls) {
            if (control->objectName().isEmpty() || control->objectName().startsWith("qt_"))
                continue;
            QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
            ++named;
        }
        QCOMPARE(named, 37);

        // A screen reader meets a window holding two groups, not a filler and two windows.
        const auto roleOf = [](QObject *object) {
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(object);
            return accessible ? accessible->role() : QAccessible::NoRole;
        };
        QCOMPARE(roleOf(m_fx.window->Form_BGAPI), QAccessible::Window);
        QCOMPARE(roleOf(m_fx.window->Form_BGAPI->Panel1), QAccessible::Grouping);
        QCOMPARE(roleOf(m_fx.window->Form_BGAPI->Panel2), QAccessible::Grouping);
    }

    // With the user's font half as large again, every caption and field text still fits, no
    // two controls overlap and all stay inside their panel and the window.
    void layoutHoldsWithALargerFont_data()
    {
        QTest::addColumn<double>("factor");
        QTest::newRow("own font") << 1.0;
        QTest::newRow("1.5x font") << 1.5;
    }

    void layoutHoldsWithALargerFont()
    {
        QFETCH(double, factor);
        TForm_BGAPI *form = m_fx.window->Form_BGAPI;
        QFont font = QApplication::font();
        font.setPointSizeF(font.pointSizeF() * factor);
        form->setFont(font);

        const QRect client = form->rect();
        for (QFrame *panel : {form->Panel1, form->Panel2}) {
            QVERIFY(client.contains(panel->geometry()));
            const QList<QWidget *> controls =
                panel->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
            for (QWidget *control : controls) {
                const QString name = control->objectName();
                QVERIFY2(panel->rect().contains(control->geometry()), qPrintable(name));
                const QFontMetrics metrics(control->font());
                QVERIFY2(control->height() >= metrics.height(), qPrintable(name));
                QString text;
                if (auto *button = qobject_cast<QPushButton *>(control))
                    text = button->text();
                else if (auto *label = qobject_cast<QLabel *>(control))
                    text = label->text();
                QVERIFY2(metrics.horizontalAdvance(text) < control->width(), qPrintable(name));
                for (QWidget *other : controls) {
                    if (other != control)
                        QVERIFY2(!control->geometry().intersects(other->geometry()),
                                 qPrintable(name + " overlaps " + other->objectName()));
                }
            }
        }
        // Grown as a whole: the design's proportions hold.
        const double scale = form->width() / 851.0;
        QVERIFY(scale >= factor - 0.01);
        QVERIFY(qAbs(form->Connect->x() - 10 * scale) <= 1);
        QVERIFY(qAbs(form->Connect->y() - 192 * scale) <= 1);
        QVERIFY(qAbs(form->Panel2->y() - 400 * scale) <= 1);
    }

private:
    WindowFixture m_fx;
    QList<int> m_pauses;
};

QTEST_MAIN(TestBgapiWindow)
#include "tst_bgapi_window.moc"
