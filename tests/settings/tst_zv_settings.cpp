// The settings binding on real files: how leaf texts read as integers, booleans and texts,
// which texts survive a write and a fresh parse, and how a rewrite treats the file itself: a
// full disk, links and files it did not read, files near the load's limits.
#include "FileFaults.h"
#include "WholeFiles.h"
#include "XmlCheck.h"
#include "settings/zv_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>

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

// Every leaf set, as the window does at exit.
void setEveryLeaf(TXMLZVSettingsType &root)
{
    root.Window().setLeft(1);
    root.Window().setTop(2);
    root.Window().setWidth(3);
    root.Window().setHeight(4);
    root.COMPORT().setCom(5);
    root.COMPORT().setBaud(9600);
    root.COMPORT().setDataBits(8);
    root.COMPORT().setParity(0);
    root.COMPORT().setStopbits(1);
    root.Toolbars().setSpp(true);
    root.Toolbars().setBGIO(false);
    root.Toolbars().setHID(false);
    root.Toolbars().setGainSpan(false);
    root.Options().setEcho(true);
    root.Options().setLog(false);
    root.Options().setResetOnConnect(true);
    root.Data().setMac(QStringLiteral("Unknown MAC"));
    for (int n = 1; n <= TXMLDataType::kSendEntries; ++n)
        root.Data().setSend(n, QStringLiteral("AT%1").arg(n));
    root.Data().setLogdir(QStringLiteral("x.csv"));
}

const QByteArray kSmallFile = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                              "<ZVSettings><Window><left>30</left></Window>"
                              "<COMPORT><com>4</com></COMPORT><Kept>mine</Kept></ZVSettings>\n";

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
    void fullDiskKeepsOldFile_data();
    void fullDiskKeepsOldFile();
    void writesOnlyWhatItRead_data();
    void writesOnlyWhatItRead();
    void damagedFileSetAside();
    void loadLimits_data();
    void loadLimits();
    void savedFileLoadsAgain_data();
    void savedFileLoadsAgain();

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

void TestZvSettings::fullDiskKeepsOldFile_data()
{
    QTest::addColumn<int>("room");
    QTest::newRow("no byte fits") << 0;
    QTest::newRow("a few bytes fit") << 100;
    QTest::newRow("all but the last byte fit") << -1;
}

void TestZvSettings::fullDiskKeepsOldFile()
{
    QFETCH(int, room);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zv_settings.xml"));
    QVERIFY(writeFile(path, kSmallFile));

    SettingsDocument document;
    document.FileName = path;
    auto root = OpenSettingsRoot(document);
    QVERIFY(root);
    setEveryLeaf(*root);
    const qsizetype needed = document.dom().toByteArray(2).size();
    QString why;
    bool saved = true;
    {
        const FileSizeLimit full(rlim_t(room < 0 ? needed + room : room));
        saved = document.save(path, &why);
    }
    QVERIFY(!saved);
    QVERIFY(!why.isEmpty());
    QCOMPARE(readFile(path), kSmallFile);
    // Nothing half written is left beside it either.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("zv_settings.xml")});

    // With room again the same document is written whole.
    QVERIFY2(document.save(path, &why), qPrintable(why));
    QVERIFY(xmlcheck::canonical(path).contains(QStringLiteral("<Kept>mine</Kept>")));
}

void TestZvSettings::writesOnlyWhatItRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("link to a text file") << "text" << true;
    QTest::newRow("link to a pipe") << "fifo" << true;
    QTest::newRow("link to a null device node") << "null" << true;
    QTest::newRow("link to a settings file never read") << "settings" << true;
    QTest::newRow("text file in place") << "text" << false;
    QTest::newRow("pipe in place") << "fifo" << false;
    QTest::newRow("null device node in place") << "null" << false;
}

void TestZvSettings::writesOnlyWhatItRead()
{
    QFETCH(QString, kind);
    QFETCH(bool, throughLink);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("elsewhere"));
    const QByteArray text = "user's notes\n";
    if (kind == u"text") {
        QVERIFY(writeFile(target, text));
    } else if (kind == u"settings") {
        QVERIFY(writeFile(target, kSmallFile));
    } else if (kind == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0644), 0);
    } else if (::mknod(QFile::encodeName(target).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        QSKIP("making a device node needs root");
    }
    const QString path = throughLink ? dir.filePath(QStringLiteral("zv_settings.xml")) : target;
    if (throughLink)
        QVERIFY(QFile::link(target, path));
    struct stat before{};
    QCOMPARE(::stat(QFile::encodeName(target).constData(), &before), 0);

    SettingsDocument document;
    document.FileName = path;
    // What the load refuses, or a document that never read this file, as the defaults are.
    if (kind == u"settings" || !OpenSettingsRoot(document)) {
        document.clear();
        document.adopt(newSettingsDom());
    }
    auto root = OpenSettingsRoot(document);
    QVERIFY(root);
    setEveryLeaf(*root);
    QString why;
    QVERIFY(!document.save(path, &why));
    QVERIFY2(why.endsWith(QStringLiteral("nothing was written")), qPrintable(why));

    struct stat after{};
    QCOMPARE(::stat(QFile::encodeName(target).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(QFileInfo(path).isSymLink(), throughLink);
    if (kind == u"text")
        QCOMPARE(readFile(target), text);
    if (kind == u"settings")
        QCOMPARE(readFile(target), kSmallFile);
}

void TestZvSettings::damagedFileSetAside()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zv_settings.xml"));
    QVERIFY(writeFile(path + QStringLiteral(".bad"), "an older one"));
    QVERIFY(writeFile(path, "left=100"));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));

    const auto mode = SettingsDocument::setAsideDamaged(path);
    QVERIFY(mode);
    QCOMPARE(*mode, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(readFile(path + QStringLiteral(".bad")), QByteArray("left=100"));

    // A link is the user's own: it stays, and so does what it names.
    QVERIFY(writeFile(dir.filePath(QStringLiteral("notes")), "notes"));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("notes")), path));
    QVERIFY(!SettingsDocument::setAsideDamaged(path));
    QVERIFY(QFileInfo(path).isSymLink());
    QCOMPARE(readFile(path + QStringLiteral(".bad")), QByteArray("left=100"));
}

namespace {

QByteArray settingsWith(const QByteArray &inside, const QByteArray &rootAttributes = {})
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<ZVSettings" +
           rootAttributes + "><COMPORT><com>4</com></COMPORT>" + inside + "</ZVSettings>\n";
}

QByteArray attributes(int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += " a" + QByteArray::number(i) + "='>'";
    return out;
}

} // namespace

void TestZvSettings::loadLimits_data()
{
    constexpr int nodes = SettingsDocument::kMaxNodes;
    constexpr int attrs = SettingsDocument::kMaxAttributes;
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("attributes on the root at the limit") << settingsWith({}, attributes(attrs))
                                                         << true;
    QTest::newRow("one attribute more") << settingsWith({}, attributes(attrs + 1)) << false;
    QTest::newRow("100,000 attributes on the root")
        << settingsWith({}, attributes(100'000)) << false;
    QTest::newRow("attribute signs in comments, texts and CDATA")
        << settingsWith("<!--" + QByteArray(1000, '=') + "--><u>" + QByteArray(1000, '=') +
                        "<![CDATA[<a " + QByteArray(1000, '=') + ">]]></u>")
        << true;
    QTest::newRow("unknown elements under the node limit")
        << settingsWith(QByteArray("<u/>").repeated(nodes - 10)) << true;
    QTest::newRow("900,000 unknown elements, under 4 MB")
        << settingsWith(QByteArray("<u/>").repeated(900'000)) << false;
    QTest::newRow("whitespace between elements is not counted")
        << settingsWith(QByteArray("<u/>\n  ").repeated(nodes - 10)) << true;
    QTest::newRow("ampersands in a long history text")
        << settingsWith("<Data><send1>" + QByteArray("&amp;").repeated(20'000) +
                        QByteArray(1'000'000, 'x') + "</send1></Data>")
        << false;
    QTest::newRow("ampersands in a short history text")
        << settingsWith("<Data><send1>" + QByteArray("&amp;&lt;").repeated(10'000) +
                        "</send1></Data>")
        << true;
}

void TestZvSettings::loadLimits()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    SettingsDocument document;
    document.FileName = dir.filePath(QStringLiteral("zv_settings.xml"));
    QVERIFY(writeFile(document.FileName, bytes));
    QString why;
    auto root = OpenSettingsRoot(document, &why);
    QVERIFY2(root.has_value() == accepted, qPrintable(why));
    if (accepted)
        QCOMPARE(root->COMPORT().com(), 4);
}

void TestZvSettings::savedFileLoadsAgain_data()
{
    QTest::addColumn<QByteArray>("bytes");
    // How many unknown elements the saved file still holds.
    QTest::addColumn<int>("keptUnknown");
    constexpr int nodes = SettingsDocument::kMaxNodes;
    // Deep inside unknown elements, indentation would make the file many times bigger.
    const QByteArray deep = QByteArray("<d>").repeated(200) + QByteArray("<u/>").repeated(20'000) +
                            QByteArray("</d>").repeated(200);
    QTest::newRow("indented too big: written without indentation") << settingsWith(deep) << 20'000;
    // The leaves the save adds carry it over the node limit.
    QTest::newRow("over the node limit once saved: unknown content dropped")
        << settingsWith(QByteArray("<u/>").repeated(nodes - 10)) << 0;
    QTest::newRow("within every limit: all kept")
        << settingsWith(QByteArray("<u/>").repeated(1000)) << 1000;
}

void TestZvSettings::savedFileLoadsAgain()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, keptUnknown);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zv_settings.xml"));
    QVERIFY(writeFile(path, bytes));
    {
        SettingsDocument document;
        document.FileName = path;
        auto root = OpenSettingsRoot(document);
        QVERIFY(root);
        setEveryLeaf(*root);
        QString why;
        QVERIFY2(document.save(path, &why), qPrintable(why));
    }
    SettingsDocument reread;
    reread.FileName = path;
    QString why;
    auto root = OpenSettingsRoot(reread, &why);
    QVERIFY2(root, qPrintable(why));
    QCOMPARE(root->COMPORT().com(), 5);
    QCOMPARE(root->Data().send(10), QStringLiteral("AT10"));
    QCOMPARE(reread.dom().elementsByTagName(QStringLiteral("u")).size(), keptUnknown);
}

QTEST_GUILESS_MAIN(TestZvSettings)
#include "tst_zv_settings.moc"
