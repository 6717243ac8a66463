// The settings file through the real main window, offscreen: the first start, a table of
// files carried into the window and written back, damaged and read-only files, a file kept
// behind a link, and the shutdown order with a pseudo-terminal as the saved port.
#include "PtyModule.h"
#include "WholeFiles.h"
#include "WindowFixture.h"
#include "XmlCheck.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "settings/zv_settings.h"
#include "terminal/view/TerminalModel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDomElement>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <limits>
#include <memory>
#include <sys/stat.h>

using xmlcheck::Leaves;

namespace {

const QByteArray kResetLine("\rRESET\r\n\r");
const QString kDeclaration =
    QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>");

QString flag(bool on)
{
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

// Everything the settings drive, as key=value lines, so a difference names its setting.
QStringList stateOf(const TMain &w)
{
    QStringList s;
    // The place and size of the client area, as the file keeps them. A window never gets
    // narrower or lower than the smallest that shows every control; windowPlace() checks the
    // limits themselves.
    auto size = [](int value, int smallest) {
        return value == smallest ? QStringLiteral("smallest") : QString::number(value);
    };
    s << QStringLiteral("left=%1").arg(w.geometry().x())
      << QStringLiteral("top=%1").arg(w.geometry().y())
      << QStringLiteral("width=") + size(w.width(), w.minimumWidth())
      << QStringLiteral("height=") + size(w.height(), w.minimumHeight());
    int marked = 0;
    for (int port = 1; port <= 100; ++port) {
        if (w.com_items[static_cast<size_t>(port)]->isChecked())
            marked = port;
    }
    s << QStringLiteral("com=%1").arg(marked)
      << QStringLiteral("baud=%1").arg(w.session.connection().lineSettings().baudRate)
      << QStringLiteral("dataBits=%1").arg(w.session.connection().lineSettings().dataBits)
      << QStringLiteral("parity=%1").arg(w.session.connection().lineSettings().parity)
      << QStringLiteral("stopbits=%1").arg(w.session.connection().lineSettings().stopBits);
    auto toolbar = [&](const char *key, const QToolBar *bar, const QAction *item) {
        const bool shown = !bar->isHidden();
        s << QLatin1String(key) + u'=' + flag(shown) +
                 (item->isChecked() == shown ? QString() : QStringLiteral(" (menu mark differs)"));
    };
    toolbar("spp", w.ToolBar_SPP, w.SPP1);
    toolbar("BGIO", w.ToolBar_BGIO, w.BGIO1);
    toolbar("HID", w.ToolBar_HID, w.HID1);
    toolbar("GainSpan", w.ToolBar_GainSpan, w.GainSpan1);
    s << "echo=" + flag(w.Echo1->isChecked()) << "hexmoder=" + flag(w.HexMode->isChecked())
      << "hexmodew=" + flag(w.HexModeWrite1->isChecked())
      << "unreadable=" + flag(w.UnReadable1->isChecked())
      << "multiplex=" + flag(w.MUX1->isChecked())
      << "greenonblack=" + flag(w.GreenonBlack->isChecked())
      << "timestamp=" + flag(w.TimeStamp1->isChecked())
      << "datestamp=" + flag(w.DateStamp1->isChecked()) << "log=" + flag(w.Log1->isChecked())
      << "ResetOnConnect=" + flag(w.ResetonConnect->isChecked());
    for (int i = 0; i < w.SendString->count(); ++i)
        s << QStringLiteral("send%1=").arg(i + 1) + w.SendString->itemText(i);
    s << "shown=" + w.SendString->currentText() << "logdir=" + w.LogFileName;
    return s;
}

// The state a new file gives, with some keys changed.
QStringList expectedState(const QString &docs, const QStringList &changes = {})
{
    QStringList s{"left=100",
                  "top=100",
                  "width=smallest",
                  "height=400",
                  "com=1",
                  "baud=115200",
                  "dataBits=8",
                  "parity=0",
                  "stopbits=1",
                  "spp=false",
                  "BGIO=false",
                  "HID=false",
                  "GainSpan=false",
                  "echo=false",
                  "hexmoder=false",
                  "hexmodew=false",
                  "unreadable=false",
                  "multiplex=false",
                  "greenonblack=false",
                  "timestamp=false",
                  "datestamp=false",
                  "log=false",
                  "ResetOnConnect=true",
                  "send1=SET"};
    for (int n = 2; n <= 10; ++n)
        s << QStringLiteral("send%1= ").arg(n);
    s << "send11=SET"
      << "shown=SET"
      << "logdir=" + docs + "test.csv";
    for (const QString &change : changes) {
        const QString key = change.section(u'=', 0, 0) + u'=';
        const auto at = std::find_if(s.begin(), s.end(),
                                     [&](const QString &line) { return line.startsWith(key); });
        if (at == s.end())
            qWarning() << "no such setting" << key;
        else
            *at = change;
    }
    return s;
}

// A file as the program writes it: whitespace-only texts go in CDATA, which the parser keeps.
QString fileText(const QList<std::pair<QString, Leaves>> &groups)
{
    QString text = kDeclaration + u'\n' + xmlcheck::canonicalFile(groups);
    static const QRegularExpression blank(QStringLiteral(">([ \t\n]+)</"));
    return text.replace(blank, QStringLiteral("><![CDATA[\\1]]></"));
}

// The new file of `docs` with some leaf texts changed.
QString fileWith(const QString &docs, const QMap<QString, QString> &changes)
{
    auto groups = xmlcheck::newFileLeaves(docs);
    for (auto &[group, leaves] : groups) {
        for (auto &[leaf, text] : leaves)
            text = changes.value(leaf, text);
    }
    return fileText(groups);
}

} // namespace

class TestMainSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStart();
    void restoreAndSave_data();
    void restoreAndSave();
    void savedFileKeepsLayout();
    void damagedFile_data();
    void damagedFile();
    void noFileCanBeWritten();
    void readOnlyFile();
    void linkedFile();
    void linkToSomethingElse_data();
    void linkToSomethingElse();
    void shutdownSavesPortThenCloses_data();
    void shutdownSavesPortThenCloses();
    void restoredMuxAndLogSendNothing();
    void scrollbackMemoryLeaf_data();
    void scrollbackMemoryLeaf();
    void prunedSaveKeepsEveryLeaf();
    void somethingElseAtTheLock_data();
    void somethingElseAtTheLock();
    void closeShutsDownOnce();
    void childrenGoBeforeTheSession();
    void windowPlace_data();
    void windowPlace();

private:
    std::unique_ptr<TMain> startMain();
    QString settingsPath() const { return m_docs + QStringLiteral("zv_settings.xml"); }
    int savedCom();

    WindowFixture m_fx;
    QString &m_docs = m_fx.docs;
    QStringList &m_messages = m_fx.messages;
};

void TestMainSettings::initTestCase()
{
    QVERIFY(m_fx.setUp());
    QVERIFY2(xmlcheck::haveXmllint(), "xmllint (package libxml2-utils) is needed");
}

void TestMainSettings::init()
{
    // Every case starts without a settings file.
    QDir(m_docs).removeRecursively();
    QVERIFY(QDir().mkpath(m_docs));
    m_fx.reset();
}

void TestMainSettings::cleanup()
{
    m_fx.tearDown();
}

std::unique_ptr<TMain> TestMainSettings::startMain()
{
    auto w = m_fx.makeMain();
    w->show();
    return w;
}

int TestMainSettings::savedCom()
{
    zorvane::settings::SettingsDocument document;
    document.FileName = settingsPath();
    auto root = zorvane::settings::OpenSettingsRoot(document);
    return root ? root->COMPORT().com() : -1;
}

void TestMainSettings::firstStart()
{
    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 1));
    auto w = startMain();

    QCOMPARE(m_messages, QStringList());
    // The reset sent on connecting is the newest history entry by now.
    QCOMPARE(stateOf(*w),
             expectedState(m_docs, {"send1=RESET", "send2=SET", "send11= ", "shown=RESET"}));
    QCOMPARE(w->StatusBarPanel1->text(), "COM1 115200 8N1- Online");
    QCOMPARE(module.readAtLeast(kResetLine.size()), kResetLine);

    const QByteArray bytes = readFile(settingsPath());
    QVERIFY(bytes.startsWith(kDeclaration.toUtf8() + '\n'));
    QCOMPARE(xmlcheck::canonical(settingsPath()),
             xmlcheck::canonicalFile(xmlcheck::newFileLeaves(m_docs)));
}

void TestMainSettings::restoreAndSave_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("changes");

    QList<std::pair<QString, Leaves>> session{
        {"Window", {{"left", "30"}, {"top", "40"}, {"width", "700"}, {"height", "500"}}},
        {"COMPORT",
         {{"com", "3"}, {"baud", "9600"}, {"dataBits", "7"}, {"parity", "2"}, {"stopbits", "2"}}},
        {"Toolbars", {{"spp", "true"}, {"BGIO", "false"}, {"HID", "true"}, {"GainSpan", "true"}}},
        {"Options",
         {{"echo", "true"},
          {"hexmoder", "true"},
          {"hexmodew", "true"},
          {"unreadable", "true"},
          {"multiplex", "true"},
          {"greenonblack", "true"},
          {"timestamp", "true"},
          {"datestamp", "true"},
          {"log", "true"},
          {"ResetOnConnect", "false"}}},
        {"Data", {{"mac", "00:07:80:AA:BB:CC"}, {"logdir", "1402Mar5-9h07.csv"}}},
    };
    QStringList sessionState{"left=30",
                             "top=40",
                             "width=smallest",
                             "height=500",
                             "com=3",
                             "baud=9600",
                             "dataBits=7",
                             "parity=2",
                             "stopbits=2",
                             "spp=true",
                             "HID=true",
                             "GainSpan=true",
                             "echo=true",
                             "hexmoder=true",
                             "hexmodew=true",
                             "unreadable=true",
                             "multiplex=true",
                             "greenonblack=true",
                             "timestamp=true",
                             "datestamp=true",
                             "log=true",
                             "ResetOnConnect=false",
                             "logdir=1402Mar5-9h07.csv",
                             "send11=AT+1",
                             "shown=AT+1"};
    for (int n = 1; n <= 10; ++n) {
        session[4].second.insert(n,
                                 {QStringLiteral("send%1").arg(n), QStringLiteral("AT+%1").arg(n)});
        sessionState << QStringLiteral("send%1=AT+%1").arg(n);
    }
    QTest::newRow("a saved session") << fileText(session) << sessionState;

    auto reversed = session;
    std::reverse(reversed.begin(), reversed.end());
    for (auto &group : reversed)
        std::reverse(group.second.begin(), group.second.end());
    QTest::newRow("groups and leaves in another order") << fileText(reversed) << sessionState;

    QTest::newRow("window off the top left")
        << fileWith(m_docs, {{"left", "-8"}, {"top", "-8"}}) << QStringList{"left=-8", "top=-8"};

    QTest::newRow("booleans in any case or as numbers")
        << fileWith(m_docs, {{"spp", "TRUE"},
                             {"BGIO", "True"},
                             {"HID", "1"},
                             {"echo", "true"},
                             {"ResetOnConnect", "0"},
                             {"log", "FALSE"}})
        << QStringList{"spp=true", "BGIO=true", "HID=true", "echo=true", "ResetOnConnect=false"};

    QTest::newRow("markup in the history")
        << fileWith(m_docs, {{"send1", "<a href=\"x\"> & </a>"}, {"send2", "&amp;"}})
        << QStringList{"send1=<a href=\"x\"> & </a>", "send2=&amp;", "send11=<a href=\"x\"> & </a>",
                       "shown=<a href=\"x\"> & </a>"};

    QStringList emptyData{"send11=", "shown=", "logdir="};
    for (int n = 1; n <= 10; ++n)
        emptyData << QStringLiteral("send%1=").arg(n);
    QTest::newRow("only a root") << QStringLiteral("<ZVSettings/>") << emptyData;

    QTest::newRow("unusable numbers take new-file values")
        << fileWith(m_docs, {{"left", "x"},
                             {"top", ""},
                             {"width", "1e3"},
                             {"com", "+2"},
                             {"baud", "115200.0"},
                             {"ResetOnConnect", ""},
                             {"echo", "maybe"}})
        << QStringList{};
}

void TestMainSettings::restoreAndSave()
{
    QFETCH(QString, file);
    QFETCH(QStringList, changes);
    QVERIFY(writeFile(settingsPath(), file.toUtf8()));

    auto w = startMain();
    const QStringList restored = stateOf(*w);
    QCOMPARE(restored, expectedState(m_docs, changes));
    QVERIFY(!m_messages.join(u'\n').contains(QStringLiteral("Unable to open file")));
    QCOMPARE(w->StatusBarPanel2->text(), "-");
    w->MExit->trigger();
    QVERIFY(!xmlcheck::canonical(settingsPath()).isEmpty());
    w.reset();

    // What was written brings the same state back; the port, never found, is saved as 0.
    auto again = startMain();
    QStringList expected = restored;
    expected.replaceInStrings(QRegularExpression(QStringLiteral("^com=\\d+$")),
                              QStringLiteral("com=0"));
    QCOMPARE(stateOf(*again), expected);
}

void TestMainSettings::savedFileKeepsLayout()
{
    const QByteArray declaration("<?xml version='1.0' encoding='UTF-8' standalone='no' ?>");
    QVERIFY(writeFile(settingsPath(), "\xEF\xBB\xBF" + declaration +
                                          "\n<!-- kept -->\n"
                                          "<ZVSettings>\n"
                                          "  <Extra a=\"1\"><b>me</b><c/></Extra>\n"
                                          "  <Data><send1>old</send1><note>n</note>"
                                          "<mac>m</mac></Data>\n"
                                          "  <Window><top>10</top><left>20</left><!-- c -->"
                                          "<width>640</width><height>480</height>"
                                          "<Monitor>2</Monitor></Window>\n"
                                          "</ZVSettings>\n"));
    auto w = startMain();
    QCOMPARE(w->LogFileName, QString());
    w->setGeometry(QRect(QPoint(25, 15), w->size()));
    const QString size =
        QStringLiteral("<width>%1</width><height>%2</height>").arg(w->width()).arg(w->height());
    w.reset();

    const QByteArray written = readFile(settingsPath());
    QVERIFY2(written.startsWith(declaration + '\n'), written.constData());
    QString data = QStringLiteral("<Data><send1>old</send1><note>n</note><mac>Unknown MAC</mac>");
    for (int n = 2; n <= 10; ++n)
        data += QStringLiteral("<send%1></send%1>").arg(n);
    data += QStringLiteral("<logdir></logdir></Data>");
    auto groups = xmlcheck::newFileLeaves(m_docs);
    groups[1].second[0].second = QStringLiteral("0"); // COM1 was not found
    // The groups the file lacked, appended in order; the Plot window's group last.
    const QString appended = xmlcheck::canonicalFile({groups[1], groups[2], groups[3], groups[5]})
                                 .remove(QStringLiteral("<ZVSettings>"))
                                 .remove(QStringLiteral("</ZVSettings>"));
    QCOMPARE(xmlcheck::canonical(settingsPath()),
             QStringLiteral("<!-- kept -->\n<ZVSettings><Extra a=\"1\"><b>me</b><c></c></Extra>") +
                 data +
                 QStringLiteral("<Window><top>15</top><left>25</left><!-- c -->"
                                "%1<Monitor>2</Monitor>"
                                "</Window>")
                     .arg(size) +
                 appended + QStringLiteral("</ZVSettings>"));
}

void TestMainSettings::damagedFile_data()
{
    using P = QFileDevice;
    const P::Permissions rw = P::ReadOwner | P::WriteOwner;
    const P::Permissions usual = rw | P::ReadGroup | P::ReadOther;
    const P::Permissions readOnly = P::ReadOwner | P::ReadGroup | P::ReadOther;
    QTest::addColumn<QByteArray>("bytes");
    // The file's permission bits before the start and those of its replacement.
    QTest::addColumn<P::Permissions>("mode");
    QTest::addColumn<P::Permissions>("replacedMode");
    QTest::newRow("not XML") << QByteArray("left=100\ntop=100\n") << usual << usual;
    QTest::newRow("empty") << QByteArray() << usual << usual;
    QTest::newRow("cut short") << QByteArray("<ZVSettings><Window><left>1</left>") << usual
                               << usual;
    QTest::newRow("wrong root") << QByteArray(
                                       "<Settings><Window><left>1</left></Window></Settings>")
                                << usual << usual;
    QTest::newRow("invalid UTF-8")
        << QByteArray("<ZVSettings><Data><send1>\xC3\x28\xFF</send1></Data></ZVSettings>") << usual
        << usual;
    QByteArray deep = "<ZVSettings>" + QByteArray("<a>").repeated(100000) +
                      QByteArray("</a>").repeated(100000) + "</ZVSettings>";
    QTest::newRow("nested 100000 deep") << deep << usual << usual;
    QTest::newRow("50 MB") << "<ZVSettings><Data><send1>" + QByteArray(50 << 20, 'x') +
                                  "</send1></Data></ZVSettings>"
                           << usual << usual;
    // Root reads any file, so the content is damaged too, wherever the test runs.
    QTest::newRow("write-only (0200)") << QByteArray("left") << P::Permissions(P::WriteOwner) << rw;
    QTest::newRow("no bits at all (0000)") << QByteArray("left") << P::Permissions() << rw;
    QTest::newRow("read-only stays read-only (0444)") << QByteArray("left") << readOnly << readOnly;
}

void TestMainSettings::damagedFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QFileDevice::Permissions, mode);
    QFETCH(QFileDevice::Permissions, replacedMode);
    QVERIFY(writeFile(settingsPath(), bytes));
    QVERIFY(QFile::setPermissions(settingsPath(), mode));

    auto w = startMain();
    QCOMPARE(m_messages,
             QStringList({"Unable to open file: " + settingsPath(), "Unable to Open Port COM1"}));
    QCOMPARE(stateOf(*w), expectedState(m_docs));
    QCOMPARE(xmlcheck::canonical(settingsPath()),
             xmlcheck::canonicalFile(xmlcheck::newFileLeaves(m_docs)));
    // The owner, group and other bits; the "user" bits are only the process's own access.
    constexpr QFileDevice::Permissions kModeBits = QFileDevice::Permissions(0x7077);
    QCOMPARE(QFile::permissions(settingsPath()) & kModeBits, replacedMode);
    // The damaged file is kept beside the new one, byte for byte.
    QCOMPARE(readFile(settingsPath() + QStringLiteral(".bad")), bytes);
}

void TestMainSettings::linkToSomethingElse_data()
{
    QTest::addColumn<bool>("pipe");
    QTest::newRow("link to a text file") << false;
    QTest::newRow("link to a pipe") << true;
}

void TestMainSettings::linkToSomethingElse()
{
    QFETCH(bool, pipe);
    const QString target = QDir(m_fx.homePath()).filePath(QStringLiteral("notes.txt"));
    const QByteArray notes = "not settings\n";
    QFile::remove(target);
    if (pipe)
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0644), 0);
    else
        QVERIFY(writeFile(target, notes));
    QVERIFY(QFile::link(target, settingsPath()));

    auto w = startMain();
    QCOMPARE(m_messages, QStringList({"Unable to open file: " + settingsPath(),
                                      "Unable to create xml file: zv_settings.xml",
                                      "Unable to Open Port COM1"}));
    QCOMPARE(stateOf(*w), expectedState(m_docs));
    m_messages.clear();
    w.reset();

    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].startsWith("Unable to write file: " + settingsPath()),
             qPrintable(m_messages[0]));
    QVERIFY(QFileInfo(settingsPath()).isSymLink());
    QVERIFY(!QFileInfo::exists(settingsPath() + QStringLiteral(".bad")));
    if (pipe)
        QVERIFY(!QFileInfo(target).isFile());
    else
        QCOMPARE(readFile(target), notes);
}

void TestMainSettings::noFileCanBeWritten()
{
    // A folder where the file belongs: neither read nor written, even by root.
    QVERIFY(QDir().mkpath(settingsPath()));
    auto w = startMain();
    QCOMPARE(m_messages, QStringList({"Unable to open file: " + settingsPath(),
                                      "Unable to create xml file: zv_settings.xml",
                                      "Unable to Open Port COM1"}));
    QCOMPARE(stateOf(*w), expectedState(m_docs));

    m_messages.clear();
    w->MExit->trigger();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].startsWith("Unable to write file: " + settingsPath()),
             qPrintable(m_messages[0]));
    QVERIFY(QFileInfo(settingsPath()).isDir());
}

void TestMainSettings::readOnlyFile()
{
    QVERIFY(
        writeFile(settingsPath(), fileWith(m_docs, {{"left", "30"}, {"send1", "ro"}}).toUtf8()));
    QVERIFY(QFile::setPermissions(settingsPath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                                      QFileDevice::ReadOther));
    const QDateTime old = QDateTime::currentDateTime().addDays(-30);
    {
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    const QByteArray before = readFile(settingsPath());
    const QDateTime modified = QFileInfo(settingsPath()).lastModified();

    auto w = startMain();
    QCOMPARE(stateOf(*w), expectedState(m_docs, {"left=30", "send1=ro", "send11=ro", "shown=ro"}));
    w->move(50, 60);
    w->Echo1->setChecked(true);
    m_messages.clear();
    w.reset();

    QCOMPARE(m_messages, QStringList{"zv_settings.xml file read only - settings not saved"});
    QCOMPARE(readFile(settingsPath()), before);
    QCOMPARE(QFileInfo(settingsPath()).lastModified(), modified);
}

void TestMainSettings::linkedFile()
{
    // The user keeps the file with other configuration and links it into the folder.
    const QString target = QDir(m_fx.homePath()).filePath(QStringLiteral("config/zorvane.xml"));
    QVERIFY(QDir().mkpath(QFileInfo(target).path()));
    QVERIFY(writeFile(target, fileWith(m_docs, {{"left", "30"}}).toUtf8()));
    QVERIFY(QFile::link(target, settingsPath()));

    auto w = startMain();
    QCOMPARE(w->geometry().x(), 30);
    w->setGeometry(QRect(QPoint(70, 80), w->size()));
    w.reset();

    QVERIFY(QFileInfo(settingsPath()).isSymLink());
    const QString written = xmlcheck::canonical(target);
    QVERIFY2(written.contains(QStringLiteral("<left>70</left><top>80</top>")), qPrintable(written));
}

void TestMainSettings::shutdownSavesPortThenCloses_data()
{
    QTest::addColumn<QString>("com");
    QTest::addColumn<bool>("unplug");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("saved");
    QTest::newRow("exit while open") << "1" << false << "COM1 115200 8N1- Online" << 1;
    QTest::newRow("exit after the port was lost") << "1" << true << "COM1 115200 8N1- Online" << 0;
    QTest::newRow("no port saved") << "0" << false << "AutoDetect - OffLine" << 0;
}

void TestMainSettings::shutdownSavesPortThenCloses()
{
    QFETCH(QString, com);
    QFETCH(bool, unplug);
    QFETCH(QString, status);
    QFETCH(int, saved);
    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 1));
    QVERIFY(writeFile(settingsPath(), fileWith(m_docs, {{"com", com}}).toUtf8()));

    auto w = startMain();
    QCOMPARE(w->StatusBarPanel1->text(), status);
    QCOMPARE(w->windowTitle(), "Zorvane " + status);
    QCOMPARE(m_messages, QStringList());
    if (com == u"1")
        QCOMPARE(module.readAtLeast(kResetLine.size()), kResetLine);
    else
        QCOMPARE(module.readAvailable(), QByteArray());
    if (unplug) {
        module.unplug();
        for (int tick = 0; tick < 200 && w->serial.com_port != 0; ++tick)
            w->Timer1Timer();
        QCOMPARE(w->serial.com_port, 0);
    }

    w->MExit->trigger();
    QCOMPARE(savedCom(), saved);
    QVERIFY(!w->serial.holdsDevice());
    QCOMPARE(m_messages, QStringList());
}

void TestMainSettings::restoredMuxAndLogSendNothing()
{
    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 1));
    QVERIFY(writeFile(settingsPath(), fileWith(m_docs, {{"multiplex", "true"},
                                                        {"log", "true"},
                                                        {"echo", "true"},
                                                        {"ResetOnConnect", "false"},
                                                        {"logdir", "0101Jan1-0h00.csv"}})
                                          .toUtf8()));

    auto w = startMain();
    QVERIFY(w->MUX1->isChecked());
    QVERIFY(w->Log1->isChecked());
    QCOMPARE(w->StatusBarPanel1->text(), "COM1 115200 8N1- Online");
    QCOMPARE(sentSoFar(w->serial, module), QByteArray());
    QCOMPARE(w->LogFileName, "0101Jan1-0h00.csv");
    QCOMPARE(QDir(m_docs).entryList({"*.csv"}, QDir::Files), QStringList());
    // The echo mark alone, without its click, leaves the status field as it was.
    QCOMPARE(w->StatusBarPanel2->text(), "-");
}

void TestMainSettings::scrollbackMemoryLeaf_data()
{
    QTest::addColumn<QString>("text"); // empty: a file from before the leaf, without it
    QTest::addColumn<int>("budgetMB");
    QTest::addColumn<QString>("saved");

    QTest::newRow("older file without it") << QString() << 256 << "256";
    QTest::newRow("a budget of its own") << "12" << 12 << "12";
    QTest::newRow("0 keeps every line in memory") << "0" << 0 << "0";
    QTest::newRow("negative") << "-5" << 256 << "256";
    QTest::newRow("not a number") << "lots" << 256 << "256";
}

void TestMainSettings::scrollbackMemoryLeaf()
{
    QFETCH(QString, text);
    QFETCH(int, budgetMB);
    QFETCH(QString, saved);
    QString file = fileWith(m_docs, {{"scrollbackmemory", text}});
    // A file from the time of this leaf: the leaves added after it are not there yet.
    file.remove(QRegularExpression(QStringLiteral("<(lineend|sendbytes|hexdump)>[^<]*</\\1>")));
    if (text.isEmpty())
        file.remove(QStringLiteral("<scrollbackmemory></scrollbackmemory>"));
    QVERIFY(!text.isEmpty() || !file.contains(QStringLiteral("scrollbackmemory")));
    QVERIFY(writeFile(settingsPath(), file.toUtf8()));

    auto w = startMain();
    QCOMPARE(w->ListModel->lines().spillMegabytes(), budgetMB);
    w.reset();
    const QString written = xmlcheck::canonical(settingsPath());
    // Written after the leaves that were there before it, before those added after it.
    QVERIFY2(written.contains(QStringLiteral("<arrivaltimes>0</arrivaltimes><scrollbackmemory>") +
                              saved + QStringLiteral("</scrollbackmemory><lineend>")),
             qPrintable(written));
}

// A file crowded with unknown content up to the load's limit: the save, which gives every
// leaf its text, must drop that content, and keeps every leaf the program reads as a save
// without it writes it, the newer leaves and groups too.
void TestMainSettings::prunedSaveKeepsEveryLeaf()
{
    const QMap<QString, QStringList> leaves = TMain::settingsLeafNames();
    // Every leaf present and empty: the load reads each as its new-file value.
    QByteArray body;
    int nodes = 1; // the root
    for (auto group = leaves.begin(); group != leaves.end(); ++group) {
        body += '<' + group.key().toUtf8() + '>';
        for (const QString &name : group.value())
            body += '<' + name.toUtf8() + "/>";
        body += "</" + group.key().toUtf8() + '>';
        nodes += 1 + int(group.value().size());
    }
    const int junk = zorvane::settings::SettingsDocument::kMaxNodes - nodes - 1;
    const QByteArray head = kDeclaration.toUtf8() + "\n<ZVSettings>" + body;
    const QByteArray plain = head + "</ZVSettings>\n";
    const QByteArray crowded =
        head + "<Junk>" + QByteArray("<x/>").repeated(junk) + "</Junk></ZVSettings>\n";

    auto savedFrom = [this](const QByteArray &file) {
        QDomDocument saved;
        if (!writeFile(settingsPath(), file))
            return saved;
        m_messages.clear();
        startMain().reset();
        for (const QString &message : std::as_const(m_messages)) {
            if (message.contains(QStringLiteral("file")))
                qWarning() << "settings message:" << message;
        }
        if (!saved.setContent(readFile(settingsPath())))
            saved.clear();
        return saved;
    };
    const QDomDocument whole = savedFrom(plain);
    const QDomDocument pruned = savedFrom(crowded);
    QVERIFY(!whole.isNull());
    QVERIFY(!pruned.isNull());
    QVERIFY(!QFileInfo::exists(settingsPath() + QStringLiteral(".bad")));
    // The crowded file was read, and the save had to prune it.
    QVERIFY(pruned.documentElement().firstChildElement(QStringLiteral("Junk")).isNull());
    for (auto group = leaves.begin(); group != leaves.end(); ++group) {
        for (const QString &name : group.value()) {
            const QString where = group.key() + u'/' + name;
            const QDomElement kept =
                whole.documentElement().firstChildElement(group.key()).firstChildElement(name);
            const QDomElement after =
                pruned.documentElement().firstChildElement(group.key()).firstChildElement(name);
            QVERIFY2(!kept.isNull(), qPrintable(where + QStringLiteral(" is not saved at all")));
            QVERIFY2(!after.isNull(), qPrintable(where + QStringLiteral(" lost to the pruning")));
            QCOMPARE(after.text(), kept.text());
        }
    }
}

// What stands where the settings lock belongs is never opened or followed: a pipe or a link
// (to nothing, or to a file of the user's) gives way to the lock; a folder is reported with
// its path and left alone. Either way the start goes on and the settings are saved.
void TestMainSettings::somethingElseAtTheLock_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("reported");
    QTest::newRow("a named pipe") << "fifo" << false;
    QTest::newRow("a link to nothing") << "dangling" << false;
    QTest::newRow("a link to a file of the user's") << "link" << false;
    QTest::newRow("a folder") << "folder" << true;
}

void TestMainSettings::somethingElseAtTheLock()
{
    QFETCH(QString, kind);
    QFETCH(bool, reported);
    const QString lock = settingsPath() + QStringLiteral(".lock");
    const QString mine = m_docs + QStringLiteral("mine.txt");
    QVERIFY(writeFile(mine, "mine\n"));
    if (kind == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0600), 0);
    else if (kind == u"dangling")
        QVERIFY(QFile::link(m_docs + QStringLiteral("gone"), lock));
    else if (kind == u"link")
        QVERIFY(QFile::link(mine, lock));
    else
        QVERIFY(QDir().mkpath(lock + QStringLiteral("/inside")));

    auto w = startMain();
    QVERIFY(w->savesSettings());
    QVERIFY(!w->windowTitle().contains(QStringLiteral("settings not saved")));
    const QStringList aboutTheLock = m_messages.filter(lock);
    if (reported) {
        QCOMPARE(aboutTheLock.size(), 1);
        QVERIFY2(aboutTheLock.first().contains(QStringLiteral("remove or rename")),
                 qPrintable(aboutTheLock.first()));
    } else {
        QCOMPARE(aboutTheLock, QStringList());
        const QFileInfo held(lock);
        QVERIFY(held.isFile() && !held.isSymLink());
    }
    w.reset();

    QVERIFY(readFile(settingsPath()).contains("<Window>"));
    QCOMPARE(readFile(mine), QByteArray("mine\n"));
    QCOMPARE(QFileInfo(lock).isDir(), reported);
    QVERIFY(!reported || QFileInfo::exists(lock + QStringLiteral("/inside")));
}

// The list's model and the address box keep references into the module session: at the end
// they go before it.
void TestMainSettings::childrenGoBeforeTheSession()
{
    auto w = startMain();
    QStringList gone;
    connect(w->ListModel, &QObject::destroyed, this, [&] { gone << QStringLiteral("model"); });
    connect(w->MAC_Address, &QObject::destroyed, this,
            [&] { gone << QStringLiteral("address box"); });
    connect(&w->session, &QObject::destroyed, this, [&] { gone << QStringLiteral("session"); });
    w.reset();
    QCOMPARE(gone.size(), 3);
    QCOMPARE(gone.last(), QStringLiteral("session"));
}

void TestMainSettings::closeShutsDownOnce()
{
    PtyModule module;
    QVERIFY(module.linkAs(m_docs, 1));
    auto w = startMain();
    QVERIFY(w->serial.holdsDevice());

    // Removed while the program ran: written anew at shutdown.
    QVERIFY(QFile::remove(settingsPath()));
    w->close();
    QVERIFY(!w->serial.holdsDevice());
    auto groups = xmlcheck::newFileLeaves(m_docs);
    groups[4].second[0].second = QStringLiteral("Unknown MAC"); // the list's selected entry
    groups[4].second[1].second = QStringLiteral("RESET");       // sent on connecting
    groups[4].second[2].second = QStringLiteral("SET");
    // The new file's width is below the smallest window.
    groups[0].second[2].second = QString::number(w->width());
    QCOMPARE(xmlcheck::canonical(settingsPath()), xmlcheck::canonicalFile(groups));

    // The window closed once: destroying it now writes nothing more.
    QVERIFY(QFile::remove(settingsPath()));
    w.reset();
    QVERIFY(!QFileInfo::exists(settingsPath()));
    QCOMPARE(m_messages, QStringList());
}

void TestMainSettings::windowPlace_data()
{
    QTest::addColumn<QString>("window");    // the Window group as the file holds it
    QTest::addColumn<QList<int>>("wanted"); // left, top, width, height before the limits
    const auto leaves = [](const QString &l, const QString &t, const QString &w, const QString &h) {
        return QStringLiteral("<left>%1</left><top>%2</top><width>%3</width><height>%4</height>")
            .arg(l, t, w, h);
    };
    QTest::newRow("as left") << leaves("30", "40", "700", "450") << QList<int>{30, 40, 700, 450};
    QTest::newRow("partly off the top left")
        << leaves("-8", "-8", "700", "450") << QList<int>{-8, -8, 700, 450};
    const QString huge = QString::number(std::numeric_limits<int>::max());
    QTest::newRow("absurd size") << leaves("100", "100", huge, huge)
                                 << QList<int>{100, 100, std::numeric_limits<int>::max(),
                                               std::numeric_limits<int>::max()};
    QTest::newRow("too small") << leaves("100", "100", "10", "-5") << QList<int>{100, 100, 10, -5};
    QTest::newRow("no leaves, appended in order") << QString() << QList<int>{100, 100, 600, 400};
}

// The window comes back where it was left, its size limited to the screens' room and kept
// above the smallest window that shows every control; what is saved is what was shown.
void TestMainSettings::windowPlace()
{
    QFETCH(QString, window);
    QFETCH(QList<int>, wanted);
    QVERIFY(writeFile(settingsPath(),
                      ("<ZVSettings><Window>" + window + "</Window></ZVSettings>").toUtf8()));
    auto w = startMain();
    const QSize minimum = w->minimumSize();
    const QSize room = w->screen()->availableVirtualSize();
    QVERIFY(minimum.width() > 0 && minimum.height() > 0);
    const QRect expected(wanted[0], wanted[1],
                         std::max(std::min(wanted[2], room.width()), minimum.width()),
                         std::max(std::min(wanted[3], room.height()), minimum.height()));
    QCOMPARE(w->geometry(), expected);
    w.reset();

    zorvane::settings::SettingsDocument document;
    document.FileName = settingsPath();
    auto root = zorvane::settings::OpenSettingsRoot(document);
    QVERIFY(root);
    QStringList order;
    for (QDomElement e =
             document.dom().documentElement().firstChildElement("Window").firstChildElement();
         !e.isNull(); e = e.nextSiblingElement())
        order << e.tagName();
    QCOMPARE(order, QStringList({"left", "top", "width", "height"}));
    auto saved = root->Window();
    QCOMPARE(QRect(saved.left(), saved.top(), saved.width(), saved.height()), expected);
}

QTEST_MAIN(TestMainSettings)
#include "tst_main_settings.moc"
