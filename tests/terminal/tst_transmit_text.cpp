// The widget-free rules of the transmit side: the multiplexing frame and its echo line, the
// send history push, Hex Write's pieces, which key press sends which code, and text beyond
// one byte a character.
#include "terminal/KeyCodes.h"
#include "terminal/MuxFrame.h"
#include "terminal/SendHistory.h"
#include "terminal/WireText.h"

#include <QTest>

using namespace zorvane::terminal;

Q_DECLARE_METATYPE(QList<TerminalKey>)

class TestTransmitText : public QObject
{
    Q_OBJECT

private slots:
    void frame_data()
    {
        QTest::addColumn<int>("link");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("control link")
            << 255 << QByteArray("LIST") << QByteArray::fromHex("bfff00044c49535400");
        QTest::newRow("link 1") << 1 << QByteArray("AT\r")
                                << QByteArray::fromHex("bf0100034154 0dfe");
        QTest::newRow("empty") << 2 << QByteArray() << QByteArray::fromHex("bf020000fd");
        // Only the low 8 bits of a link go on the wire.
        QTest::newRow("link -1") << -1 << QByteArray("x") << QByteArray::fromHex("bfff00017800");
        QTest::newRow("link 256") << 256 << QByteArray("x") << QByteArray::fromHex("bf00000178ff");
    }

    void frame()
    {
        QFETCH(int, link);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, expected);
        QCOMPARE(MuxFrame::frames(link, data).toHex(' '), expected.toHex(' '));
    }

    void longDataIsSplitIntoFullFrames()
    {
        QByteArray data(300, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>(i);
        const QByteArray bytes = MuxFrame::frames(2, data);
        QCOMPARE(bytes.size(), 300 + 2 * 5);
        QCOMPARE(bytes.first(4), QByteArray::fromHex("bf0200ff"));
        QCOMPARE(bytes.mid(4, 255), data.first(255));
        QCOMPARE(quint8(bytes[259]), quint8(0xFD));
        QCOMPARE(bytes.mid(260, 4), QByteArray::fromHex("bf02002d"));
        QCOMPARE(bytes.mid(264, 45), data.mid(255));
        QCOMPARE(quint8(bytes.back()), quint8(0xFD));
        // Exactly one frame's worth stays one frame.
        QCOMPARE(MuxFrame::frames(2, QByteArray(255, 'a')).size(), 260);
    }

    void echoLine_data()
    {
        QTest::addColumn<int>("link");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("LIST") << 255 << "LIST"
                              << "TX=><0xbf><FF><0x00><04>LIST<00>";
        QTest::newRow("link 2") << 2 << "SELECT 2"
                                << "TX=><0xbf><02><0x00><08>SELECT 2<FD>";
        // Text that looks like a format or holds lower-case hex stays as it is.
        QTest::newRow("verbatim") << 0 << "%1 ab\r"
                                  << "TX=><0xbf><00><0x00><06>%1 ab\r<FF>";
        QTest::newRow("long") << 10 << QString(200, u'x')
                              << "TX=><0xbf><0A><0x00><C8>" + QString(200, u'x') + "<F5>";
    }

    void echoLine()
    {
        QFETCH(int, link);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(MuxFrame::echoLine(link, text), expected);
    }

    void historyPush()
    {
        const QStringList full{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
        // A twelfth text drops the oldest; the count never changes.
        QCOMPARE(pushedHistory(full, {"new"}),
                 (QStringList{"new", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
        // Several pushes at once equal pushing them one after the other.
        QStringList stepwise = full;
        const QStringList texts{"a", "b", "c"};
        for (const QString &text : texts)
            stepwise = pushedHistory(stepwise, {text});
        QCOMPARE(pushedHistory(full, texts), stepwise);
        QStringList many;
        for (int i = 0; i < 100000; ++i)
            many << QString::number(i);
        QCOMPARE(pushedHistory(full, many).first(), QStringLiteral("99999"));
        QCOMPARE(pushedHistory(full, many).last(), QStringLiteral("99989"));
        QCOMPARE(pushedHistory(full, many).size(), 11);
        // Duplicates and empty texts are pushed like any other.
        QCOMPARE(pushedHistory(full, {"", ""}).first(3), (QStringList{"", "", "0"}));
    }

    void hexWritePieces()
    {
        QCOMPARE(hexWritePiece(65), QStringLiteral("41 "));
        QCOMPARE(hexWritePiece(13), QStringLiteral(" D "));
        QCOMPARE(hexWritePiece(0), QStringLiteral(" 0 "));
        QCOMPARE(hexWritePiece(255), QStringLiteral("FF "));
        QCOMPARE(hexWritePiece(0x20AC), QStringLiteral("20AC "));
        // The bytes of a whole text are its pieces one after the other.
        const QString text = QStringLiteral("A\r\x00\xFF\x10\x0F z\u20AC");
        QString pieces;
        for (const QChar ch : text)
            pieces += hexWritePiece(ch.unicode());
        QCOMPARE(QString::fromLatin1(hexWriteBytes(text)), pieces);
        QCOMPARE(hexWriteBytes(u"A\r"), QByteArray("41  D "));
    }

    void keys_data()
    {
        using Kind = TerminalKey::Kind;
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QList<TerminalKey>>("expected");
        const int none = Qt::NoModifier;
        const int ctrl = Qt::ControlModifier;
        const auto byte = [](int code) { return QList<TerminalKey>{{Kind::Byte, code}}; };
        QTest::newRow("a") << int(Qt::Key_A) << "a" << none << byte(97);
        QTest::newRow("A") << int(Qt::Key_A) << "A" << int(Qt::ShiftModifier) << byte(65);
        QTest::newRow("Enter") << int(Qt::Key_Return) << "\r" << none << byte(13);
        QTest::newRow("keypad Enter")
            << int(Qt::Key_Enter) << "\r" << int(Qt::KeypadModifier) << byte(13);
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << "\b" << none << byte(8);
        QTest::newRow("Escape") << int(Qt::Key_Escape) << "\x1b" << none << byte(27);
        QTest::newRow("Up") << int(Qt::Key_Up) << "" << none
                            << QList<TerminalKey>{{Kind::HistoryUp, 38}};
        QTest::newRow("Down") << int(Qt::Key_Down) << "" << none
                              << QList<TerminalKey>{{Kind::HistoryDown, 40}};
        // The characters that share the arrow keys' numbers are sent like any other.
        QTest::newRow("&") << int(Qt::Key_Ampersand) << "&" << int(Qt::ShiftModifier) << byte(38);
        QTest::newRow("(") << int(Qt::Key_ParenLeft) << "(" << int(Qt::ShiftModifier) << byte(40);
        QTest::newRow("Ctrl+A") << int(Qt::Key_A) << "\x01" << ctrl << byte(1);
        QTest::newRow("Ctrl+C") << int(Qt::Key_C) << "\x03" << ctrl << byte(3);
        QTest::newRow("Ctrl+Z") << int(Qt::Key_Z) << "\x1a" << ctrl << byte(26);
        QTest::newRow("Ctrl+[") << int(Qt::Key_BracketLeft) << "\x1b" << ctrl << byte(27);
        QTest::newRow("e acute") << int(Qt::Key_Eacute) << "\u00e9" << none << byte(0xE9);
        // Beyond one byte: the '?' the list shows, not the code's low byte.
        QTest::newRow("euro") << 0 << "\u20ac" << none << byte('?');
        QTest::newRow("emoji, one character in two units")
            << 0 << QString::fromUtf8("\xf0\x9f\x98\x80") << none << byte('?');
        // Keys that produce no character send nothing.
        for (const auto &[name, key] : {std::pair{"Left", Qt::Key_Left},
                                        {"Right", Qt::Key_Right},
                                        {"Home", Qt::Key_Home},
                                        {"End", Qt::Key_End},
                                        {"F1", Qt::Key_F1},
                                        {"Shift", Qt::Key_Shift},
                                        {"Control", Qt::Key_Control},
                                        {"Delete", Qt::Key_Delete}})
            QTest::newRow(name) << int(key) << (key == Qt::Key_Delete ? "\x7f" : "") << none
                                << QList<TerminalKey>{};
        QTest::newRow("Ctrl alone") << int(Qt::Key_Control) << "" << ctrl << QList<TerminalKey>{};
        QTest::newRow("Ctrl+Shift+A")
            << int(Qt::Key_A) << "\x01" << int(Qt::ControlModifier | Qt::ShiftModifier)
            << QList<TerminalKey>{};
        // Ctrl+Shift chords are the window's commands; Ctrl+F alone still goes to the module.
        QTest::newRow("Ctrl+F") << int(Qt::Key_F) << "\x06" << ctrl << byte(6);
        for (const auto &[name, key] : {std::pair{"Ctrl+Shift+F", Qt::Key_F},
                                        {"Ctrl+Shift+C", Qt::Key_C},
                                        {"Ctrl+Shift+T", Qt::Key_T},
                                        {"Ctrl+Shift+@", Qt::Key_At}})
            QTest::newRow(name) << int(key) << "" << int(Qt::ControlModifier | Qt::ShiftModifier)
                                << QList<TerminalKey>{};
        QTest::newRow("Ctrl+Up") << int(Qt::Key_Up) << "" << ctrl << QList<TerminalKey>{};
        QTest::newRow("Alt+F") << int(Qt::Key_F) << "f" << int(Qt::AltModifier)
                               << QList<TerminalKey>{};
    }

    void wireText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("wire");
        const QString latin1 = QString::fromUtf8("a\r\n\xc3\xa9\xc3\xbf");
        QTest::newRow("Latin-1 stays") << latin1 << latin1;
        QTest::newRow("quote, euro, emoji") << QString::fromUtf8("A\xe2\x80\x99"
                                                                 "B\xe2\x82\xac"
                                                                 "C\xf0\x9f\x98\x80"
                                                                 "D")
                                            << "A?B?C?D";
        // A pair, then a low and a high half on their own: a '?' each.
        const QChar high(0xD83D);
        const QChar low(0xDE00);
        QTest::newRow("pair and lone halves")
            << QString(QChar(u'x')) + high + low + low + high << "x???";
        QTest::newRow("empty") << QString() << QString();
    }

    void wireText()
    {
        QFETCH(QString, text);
        QFETCH(QString, wire);
        QCOMPARE(zorvane::terminal::wireText(text), wire);
    }

    void keys()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(int, modifiers);
        QFETCH(QList<TerminalKey>, expected);
        const QList<TerminalKey> actual =
            terminalKeys(key, text, Qt::KeyboardModifiers::fromInt(modifiers));
        QCOMPARE(actual.size(), expected.size());
        for (qsizetype i = 0; i < actual.size(); ++i) {
            QCOMPARE(int(actual[i].kind), int(expected[i].kind));
            QCOMPARE(actual[i].code, expected[i].code);
        }
    }
};

QTEST_APPLESS_MAIN(TestTransmitText)
#include "tst_transmit_text.moc"
