// The sensor logger's reading step: the sample taken from the answers since the last command,
// the SHT2x conversions with their limits, the mode each logger button leaves, and the
// user's decimal separator. Answers arrive as attribute value events through the decoder.
#include "bgapi/BgapiState.h"

#include <QTest>

using namespace zorvane::bgapi;
using zorvane::bgapi::commands::LoggerCommand;

Q_DECLARE_METATYPE(LoggerCommand)

namespace {

// An attribute value event from handle 0x000A carrying `value`.
QByteArray answer(const QByteArray &value)
{
    QByteArray packet = QByteArray::fromHex("80 00 04 05 00 0A 00 01");
    packet[1] = char(5 + value.size());
    packet += char(value.size()) + value;
    return packet;
}

// A value whose bytes 3 and 4 hold the sample.
QByteArray sampleValue(quint16 sample)
{
    return QByteArray(3, '\0') + char(sample & 0xFF) + char(sample >> 8);
}

AttributeValue decode(BgapiState &state, const QByteArray &packet)
{
    std::optional<Message> message;
    for (const char byte : packet) {
        message = state.bgapi_decode(quint8(byte));
        state.rx.takePacketDone();
    }
    if (!message || !std::holds_alternative<AttributeValue>(*message))
        qFatal("the answer was not decoded as an attribute value");
    return std::get<AttributeValue>(*message);
}

// Sends a logger command as its button does: the send empties the collection, then the
// button sets the mode.
void press(BgapiState &state, LoggerCommand command)
{
    state.commandSent();
    state.logger.commandGiven(command);
}

QString text(const std::optional<QString> &field)
{
    return field.value_or(QStringLiteral("(unchanged)"));
}

} // namespace

class TestBgapiLogger : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void convertsTheSample_data()
    {
        QTest::addColumn<LoggerCommand>("command");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("num");
        QTest::addColumn<QString>("temp");
        QTest::addColumn<QString>("hum");

        const QString none = QStringLiteral("(unchanged)");
        QTest::newRow("temperature 26000")
            << LoggerCommand::TemperatureMeasure << QByteArray::fromHex("00 00 00 90 65") << 26000
            << " 22.86C" << none;
        QTest::newRow("temperature clamped high")
            << LoggerCommand::TemperatureMeasure << sampleValue(60000) << 60000 << "100.00C"
            << none;
        QTest::newRow("temperature clamped low")
            << LoggerCommand::TemperatureMeasure << sampleValue(1000) << 1000 << "-40.00C" << none;
        QTest::newRow("humidity 30000")
            << LoggerCommand::HumidityMeasure << sampleValue(30000) << 30000 << none << " 51.22rH";
        QTest::newRow("humidity clamped high")
            << LoggerCommand::HumidityMeasure << sampleValue(60000) << 60000 << none << "100.00rH";
        QTest::newRow("humidity below zero")
            << LoggerCommand::HumidityMeasure << sampleValue(500) << 500 << none << " -5.05rH";
        QTest::newRow("longer answer, sample from bytes 3 and 4")
            << LoggerCommand::HumidityMeasure << sampleValue(30000) + "\x01\x02\x03" << 30000
            << none << " 51.22rH";
        QTest::newRow("sample 0 converts nothing")
            << LoggerCommand::TemperatureMeasure << sampleValue(0) << 0 << none << none;
        QTest::newRow("revision register converts nothing")
            << LoggerCommand::RevisionRegister << sampleValue(26000) << 26000 << none << none;
        QTest::newRow("flash burst converts nothing")
            << LoggerCommand::FlashBurst << sampleValue(26000) << 26000 << none << none;
        QTest::newRow("four value bytes change nothing")
            << LoggerCommand::TemperatureMeasure << QByteArray::fromHex("00 00 00 90") << -1 << none
            << none;
    }

    void convertsTheSample()
    {
        QFETCH(LoggerCommand, command);
        QFETCH(QByteArray, value);
        QFETCH(int, num);
        QFETCH(QString, temp);
        QFETCH(QString, hum);

        BgapiState state;
        press(state, command);
        const AttributeValue event = decode(state, answer(value));
        QCOMPARE(event.handle, quint16(0x0A));
        QCOMPARE(event.value, value);
        QCOMPARE(event.reading.sample.has_value(), num >= 0);
        if (num >= 0)
            QCOMPARE(int(*event.reading.sample), num);
        QCOMPARE(text(event.reading.temperature), temp);
        QCOMPARE(text(event.reading.humidity), hum);
    }

    // l reads with the conversion chosen last; before any choice a reading is a humidity.
    void modeFollowsTheLastChoosingButton()
    {
        BgapiState state;
        const QByteArray reading = answer(sampleValue(26000));
        QCOMPARE(state.logger.logger_mode(), int(LoggerReading::Humidity));
        press(state, LoggerCommand::Reading);
        QVERIFY(decode(state, reading).reading.humidity);

        const struct
        {
            LoggerCommand command;
            LoggerReading::Mode mode;
        } steps[] = {{LoggerCommand::TemperatureMeasure, LoggerReading::Temperature},
                     {LoggerCommand::Reading, LoggerReading::Temperature},
                     {LoggerCommand::RevisionRegister, LoggerReading::RevisionRegister},
                     {LoggerCommand::FlashBurst, LoggerReading::FlashBurst},
                     {LoggerCommand::Reading, LoggerReading::FlashBurst},
                     {LoggerCommand::HumidityMeasure, LoggerReading::Humidity}};
        for (const auto &step : steps) {
            press(state, step.command);
            QCOMPARE(state.logger.logger_mode(), int(step.mode));
        }
        press(state, LoggerCommand::TemperatureMeasure);
        press(state, LoggerCommand::Reading);
        const AttributeValue event = decode(state, reading);
        QCOMPARE(text(event.reading.temperature), QStringLiteral(" 22.86C"));
        QVERIFY(!event.reading.humidity);
    }

    // Bytes 3 and 4 come from the data collected since the last command, so later answers
    // repeat the first sample until a command starts a new collection.
    void sampleComesFromTheFirstAnswerSinceTheCommand()
    {
        BgapiState state;
        press(state, LoggerCommand::HumidityMeasure);
        QCOMPARE(*decode(state, answer(sampleValue(30000))).reading.sample, quint16(30000));
        QCOMPARE(*decode(state, answer(sampleValue(500))).reading.sample, quint16(30000));
        // A short first answer: the sample spans it and the next one.
        press(state, LoggerCommand::HumidityMeasure);
        QVERIFY(!decode(state, answer(QByteArray::fromHex("01 02 03 04"))).reading.sample);
        QCOMPARE(*decode(state, answer(QByteArray::fromHex("05 06 07 08 09"))).reading.sample,
                 quint16(0x0504));
        QCOMPARE(state.logger.bgapi_value_data().size(), 5);
    }

    // The decimal separator is the user's; the digits and the minus sign are not, whatever
    // the locale would write (Swedish has a typographic minus, Arabic its own digits).
    void usesTheLocaleDecimalSeparatorOnly_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<LoggerCommand>("command");
        QTest::addColumn<int>("sample");
        QTest::addColumn<QString>("shown");
        const QLocale german(QLocale::German, QLocale::Germany);
        const QLocale swedish(QLocale::Swedish, QLocale::Sweden);
        const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
        const auto temp = LoggerCommand::TemperatureMeasure;
        const auto hum = LoggerCommand::HumidityMeasure;
        QTest::newRow("German temperature") << german << temp << 26000 << " 22,86C";
        QTest::newRow("German humidity") << german << hum << 500 << " -5,05rH";
        QTest::newRow("Swedish lowest temperature") << swedish << temp << 1000 << "-40,00C";
        QTest::newRow("Swedish humidity") << swedish << hum << 500 << " -5,05rH";
        QTest::newRow("Swedish highest humidity") << swedish << hum << 60000 << "100,00rH";
        QTest::newRow("Arabic temperature")
            << arabic << temp << 26000 << QStringLiteral(" 22\u066B86C");
        QTest::newRow("Arabic lowest temperature")
            << arabic << temp << 1000 << QStringLiteral("-40\u066B00C");
    }

    void usesTheLocaleDecimalSeparatorOnly()
    {
        QFETCH(QLocale, locale);
        QFETCH(LoggerCommand, command);
        QFETCH(int, sample);
        QFETCH(QString, shown);
        QLocale::setDefault(locale);
        BgapiState state;
        press(state, command);
        const LoggerReading::Shown reading =
            decode(state, answer(sampleValue(quint16(sample)))).reading;
        QCOMPARE(text(command == LoggerCommand::TemperatureMeasure ? reading.temperature
                                                                   : reading.humidity),
                 shown);
    }
};

QTEST_APPLESS_MAIN(TestBgapiLogger)
#include "tst_bgapi_logger.moc"
