// The settings binding on real files: how leaf texts read as integers, booleans and texts,
// which texts survive a write and a fresh parse, and how a rewrite treats the file itself.
#include "XmlCheck.h"
#include "settings/zv_settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace zorvane::settings;

namespace {

const QString kMissing = QStringLiteral("<missing>");

// One reader per leaf of the schema, by group and leaf name.
QVariant readLeaf(TXMLZVSettingsType &root, const QString &group, const QString &leaf)
{
    using Reader = std::function<QVariant(TXMLZVSettingsType &)>;
    static const QMap<QString, Reader> readers{
        {"Window/left", [](auto &r) { return r.Window().left(); }},
        {"Window/height", [](auto &r) { return r.Window().height(); }},
        {"COMPORT/com", [](auto &r) { return r.COMPORT().com(); }},
        {"COMPORT/baud", [](auto &r) { return r.COMPORT().baud(); }},
        {"Toolbars/spp", [](auto &r) { return r.Toolbars().spp(); }},
        {"Toolbars/GainSpan", [](auto &r) { return r.Toolbars().GainSpan(); }},
        {"Options/log", [](auto &r) { return r.Options().log(); }},
        {"Options/ResetOnConnect", [](auto &r) { return r.Options().ResetOnConnect(); }},
        {"Data/send1", [](auto &r) { return r.Data().send(1); }},
        {"Data/logdir", [](auto &r) { return r.Data().logdir(); }},
    };
    return readers.value(group + u'/' + leaf)(root);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestZvSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readValues_data();
    void readValues();
    void textSurvivesRewrite_data();
    void textSurvivesRewrite();
    void rewriteKeepsPermissions();

private:
    QTemporaryDir m_dir;
};

void TestZvSettings::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(xmlcheck::haveXmllint(), "xmllint (package libxml2-utils) is needed");
}

void TestZvSettings::readValues_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("leaf");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QVariant>("expected");

    auto row = [](const char *name, const char *group, const char *leaf, const QString &content,
                  const QVariant &expected) {
        QTest::newRow(name) << QString::fromLatin1(group) << QString::fromLatin1(leaf) << content
                            << expected;
    };
    row("int", "COMPORT", "baud", "9600", 9600);
    row("int negative", "Window", "left", "-8", -8);
    row("int zero", "COMPORT", "com", "0", 0);
    row("int padded by a hand edit", "Window", "left", "\n  42\n", 42);
    row("int empty", "Window", "left", "", 100);
    row("int missing", "Window", "height", kMissing, 400);
    row("int not a number", "COMPORT", "baud", "fast", 115200);
    row("int plus sign", "Window", "left", "+5", 100);
    row("int fraction", "Window", "left", "1.5", 100);
    row("int beyond range", "COMPORT", "baud", "99999999999", 115200);
    row("first of two counts", "Window", "left", "7</left><left>9", 7);
    row("bool upper", "Toolbars", "spp", "TRUE", true);
    row("bool mixed", "Toolbars", "spp", "True", true);
    row("bool lower", "Toolbars", "spp", "true", true);
    row("bool false mixed", "Options", "ResetOnConnect", "fAlSe", false);
    row("bool zero", "Options", "ResetOnConnect", "0", false);
    row("bool zeros", "Options", "ResetOnConnect", "000", false);
    row("bool one", "Toolbars", "GainSpan", "1", true);
    row("bool negative", "Toolbars", "GainSpan", "-1", true);
    row("bool long number", "Options", "log", "100000000000000000000", true);
    row("bool empty is new-file value", "Options", "ResetOnConnect", "", true);
    row("bool missing is new-file value", "Options", "log", kMissing, false);
    row("bool word", "Options", "ResetOnConnect", "yes", true);
    row("text escaped markup", "Data", "send1", "&lt;a&gt; &amp; b", "<a> & b");
    row("text character reference", "Data", "send1", "A&#66;C", "ABC");
    row("text CDATA space", "Data", "send1", "<![CDATA[ ]]>", " ");
    row("text empty", "Data", "send1", "", "");
    row("text missing", "Data", "logdir", kMissing, "");
}

void TestZvSettings::readValues()
{
    QFETCH(QString, group);
    QFETCH(QString, leaf);
    QFETCH(QString, content);
    QFETCH(QVariant, expected);

    const QString leafText =
        content == kMissing ? QString() : QStringLiteral("<%1>%2</%1>").arg(leaf, content);
    QString inner =
        group == u"Window"
            ? QStringLiteral("<Window>%1<top>5</top></Window>").arg(leafText)
            : QStringLiteral("<%1>%2</%1><Window><top>5</top></Window>").arg(group, leafText);
    const QString path = m_dir.filePath(QStringLiteral("read.xml"));
    QVERIFY(
        writeFile(path, "<?xml version=\"1.0\"?><ZVSettings>" + inner.toUtf8() + "</ZVSettings>"));

    SettingsDocument document;
    document.FileName = path;
    auto root = OpenSettingsRoot(document);
    QVERIFY(root);
    const QVariant value = readLeaf(*root, group, leaf);
    QCOMPARE(value, expected);
    // A neighbour leaf is unaffected by the one under test.
    QCOMPARE(root->Window().top(), 5);
}

void TestZvSettings::textSurvivesRewrite_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("markup") << QStringLiteral("<b> & \"c\" ]]>");
    QTest::newRow("one space") << QStringLiteral(" ");
    QTest::newRow("spaces, tab, line feed") << QStringLiteral("  \t\n ");
    QTest::newRow("padded") << QStringLiteral("  AT  ");
    QTest::newRow("carriage return") << QStringLiteral("a\r\nb\r");
    QTest::newRow("escape character") << QStringLiteral("\x1b"
                                                        "AT+X\x1b");
    QString bytes;
    for (int c = 0; c < 256; ++c)
        bytes += QChar(c);
    QTest::newRow("every byte value") << bytes;
    QTest::newRow("beyond Latin-1") << QStringLiteral("é€\U0001F600");
}

void TestZvSettings::textSurvivesRewrite()
{
    QFETCH(QString, text);
    const QString path = m_dir.filePath(QStringLiteral("text.xml"));
    QFile::remove(path);
    {
        SettingsDocument document;
        document.adopt(newSettingsDom());
        auto root = OpenSettingsRoot(document);
        QVERIFY(root);
        root->Data().setSend(2, text);
        root->Window().setLeft(-8);
        QCOMPARE(root->Data().send(2), text);
        QString why;
        QVERIFY2(document.save(path, &why), qPrintable(why));
    }
    // Another parser accepts the file as well-formed XML.
    const QString canonical = xmlcheck::canonical(path);
    QVERIFY2(!canonical.isEmpty(), "xmllint rejects the written file");
    QVERIFY(canonical.contains(QStringLiteral("<left>-8</left>")));

    SettingsDocument reread;
    reread.FileName = path;
    auto root = OpenSettingsRoot(reread);
    QVERIFY(root);
    QCOMPARE(root->Data().send(2), text);
    QCOMPARE(root->Window().left(), -8);
}

void TestZvSettings::rewriteKeepsPermissions()
{
    const QString path = m_dir.filePath(QStringLiteral("perm.xml"));
    QVERIFY(writeFile(path, "<ZVSettings/>"));
    const auto permissions =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(path, permissions));

    SettingsDocument document;
    document.FileName = path;
    auto root = OpenSettingsRoot(document);
    QVERIFY(root);
    root->COMPORT().setCom(7);
    QVERIFY(document.save(path));
    // The User flags repeat the Owner ones for the file's owner.
    const auto userFlags = QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    QCOMPARE(QFile::permissions(path) & ~userFlags, permissions);
    QVERIFY(xmlcheck::canonical(path).contains(QStringLiteral("<com>7</com>")));
    QVERIFY(!SettingsDocument::isReadOnly(path));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    QVERIFY(SettingsDocument::isReadOnly(path));
}

QTEST_GUILESS_MAIN(TestZvSettings)
#include "tst_zv_settings.moc"
