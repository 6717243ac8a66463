// The modem-line settings in a real settings file: the ModemLines group that older files
// lack, what a port's leaves hold, values that do not read, and that the rest of the file
// keeps its elements and their order.
#include "WholeFiles.h"
#include "settings/ModemLineSettings.h"

#include <QTemporaryDir>
#include <QTest>

using namespace zorvane::settings;

class TestModemLineSettings : public QObject
{
    Q_OBJECT

private slots:
    void olderFileReadsDefaultsAndKeepsItsOrder();
    void roundTrip();
    void unreadableValues_data();
    void unreadableValues();
    void portBackToDefaultIsRewritten();

private:
    // Loads the file into a fresh document and returns its settings.
    ModemLineSettings loadFrom(const QString &path);
    void saveTo(const QString &path, const ModemLineSettings &lines);

    QTemporaryDir m_dir;
};

ModemLineSettings TestModemLineSettings::loadFrom(const QString &path)
{
    SettingsDocument doc;
    doc.FileName = path;
    auto root = OpenSettingsRoot(doc);
    ModemLineSettings lines;
    if (root)
        lines.load(*root);
    return lines;
}

void TestModemLineSettings::saveTo(const QString &path, const ModemLineSettings &lines)
{
    SettingsDocument doc;
    doc.FileName = path;
    auto root = OpenSettingsRoot(doc);
    QVERIFY(root);
    lines.save(*root);
    QVERIFY(doc.save(path));
}

void TestModemLineSettings::olderFileReadsDefaultsAndKeepsItsOrder()
{
    const QString path = m_dir.filePath(QStringLiteral("older.xml"));
    const QByteArray older = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                             "<ZVSettings><COMPORT><com>3</com></COMPORT>"
                             "<Data><send1>SET</send1></Data></ZVSettings>\n";
    QVERIFY(writeFile(path, older));
    const ModemLineSettings lines = loadFrom(path);
    QCOMPARE(lines.pulseMs, 100);
    QCOMPARE(lines.breakMs, 250);
    QVERIFY(lines.port(3).isDefault());
    QVERIFY(!lines.port(3).atOpen().dtr && !lines.port(3).atOpen().rts);

    // Nothing chosen: the file stays without the group.
    saveTo(path, lines);
    QVERIFY(!readFile(path).contains("ModemLines"));

    ModemLineSettings chosen = lines;
    chosen.breakMs = 300;
    saveTo(path, chosen);
    const QString written = QString::fromUtf8(readFile(path));
    // The group goes after everything that was there, holding the lengths and no port.
    const qsizetype data = written.indexOf(QStringLiteral("</Data>"));
    const qsizetype group = written.indexOf(QStringLiteral("<ModemLines>"));
    QVERIFY(data > 0 && group > data);
    QVERIFY(written.indexOf(QStringLiteral("<com>3</com>")) < data);
    QVERIFY(written.contains(QStringLiteral("<pulse>100</pulse>")));
    QVERIFY(written.contains(QStringLiteral("<break>300</break>")));
    QVERIFY(!written.contains(QStringLiteral("dtr")));
}

void TestModemLineSettings::roundTrip()
{
    const QString path = m_dir.filePath(QStringLiteral("round.xml"));
    QVERIFY(writeFile(path, "<ZVSettings/>"));
    ModemLineSettings lines;
    lines.pulseMs = 40;
    lines.breakMs = 1000;
    lines.setPort(1, {LineAtOpen::Off, LineAtOpen::On, QStringLiteral("Dr50R")});
    lines.setPort(100, {LineAtOpen::Leave, LineAtOpen::Off, QString()});
    lines.setPort(101, {LineAtOpen::On, LineAtOpen::On, QStringLiteral("D")}); // no such port
    saveTo(path, lines);

    const ModemLineSettings back = loadFrom(path);
    QCOMPARE(back.pulseMs, 40);
    QCOMPARE(back.breakMs, 1000);
    QCOMPARE(back.port(1).dtr, LineAtOpen::Off);
    QCOMPARE(back.port(1).rts, LineAtOpen::On);
    QCOMPARE(back.port(1).reset, QStringLiteral("Dr50R"));
    QCOMPARE(back.port(1).atOpen().dtr, std::optional<bool>(false));
    QCOMPARE(back.port(1).atOpen().rts, std::optional<bool>(true));
    QCOMPARE(back.port(100).rts, LineAtOpen::Off);
    QVERIFY(back.port(2).isDefault());
    QVERIFY(back.port(101).isDefault());
    QVERIFY(!readFile(path).contains("101"));
}

void TestModemLineSettings::unreadableValues_data()
{
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<int>("pulse");
    QTest::addColumn<int>("brk");
    QTest::addColumn<int>("dtr"); // of port 7

    QTest::newRow("words") << QByteArray("<pulse>long</pulse><break>x</break><dtr7>maybe</dtr7>")
                           << 100 << 250 << int(LineAtOpen::Leave);
    QTest::newRow("zero and too long")
        << QByteArray("<pulse>0</pulse><break>60001</break><dtr7>OFF</dtr7>") << 100 << 250
        << int(LineAtOpen::Off);
    QTest::newRow("first element counts")
        << QByteArray("<pulse>7</pulse><pulse>8</pulse><dtr7>on</dtr7><dtr7>off</dtr7>") << 7 << 250
        << int(LineAtOpen::On);
    QTest::newRow("port numbers out of range ignored")
        << QByteArray("<dtr0>on</dtr0><dtr101>on</dtr101><dtr007>on</dtr007>") << 100 << 250
        << int(LineAtOpen::Leave);
}

void TestModemLineSettings::unreadableValues()
{
    QFETCH(QByteArray, group);
    QFETCH(int, pulse);
    QFETCH(int, brk);
    QFETCH(int, dtr);
    const QString path = m_dir.filePath(QStringLiteral("bad.xml"));
    QVERIFY(writeFile(path, "<ZVSettings><ModemLines>" + group + "</ModemLines></ZVSettings>"));
    const ModemLineSettings lines = loadFrom(path);
    QCOMPARE(lines.pulseMs, pulse);
    QCOMPARE(lines.breakMs, brk);
    QCOMPARE(int(lines.port(7).dtr), dtr);
    QVERIFY(lines.port(0).isDefault());
}

void TestModemLineSettings::portBackToDefaultIsRewritten()
{
    // A choice taken back is written as the default, not left standing in the file.
    const QString path = m_dir.filePath(QStringLiteral("back.xml"));
    QVERIFY(writeFile(path, "<ZVSettings><ModemLines><rts4>off</rts4><reset4>r</reset4>"
                            "</ModemLines></ZVSettings>"));
    ModemLineSettings lines = loadFrom(path);
    QCOMPARE(lines.port(4).rts, LineAtOpen::Off);
    lines.setPort(4, {});
    saveTo(path, lines);
    QVERIFY(loadFrom(path).port(4).isDefault());
    QVERIFY(readFile(path).contains("<rts4>leave</rts4>"));
}

QTEST_GUILESS_MAIN(TestModemLineSettings)
#include "tst_modem_line_settings.moc"
