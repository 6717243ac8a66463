// A file sent on a real module session to real receivers: lrzsz's rb, rx and rz, and
// python3-xmodem, each at the far end of the port as a fast line would carry it, and YMODEM
// through ser2net. What arrives is compared byte for byte.
#include "NetworkServers.h"
#include "PtyModule.h"
#include "ReceiverRelay.h"
#include "serial/PortNames.h"
#include "session/ModuleSession.h"
#include "transfer/FileSend.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using zorvane::session::ModuleSession;
using zorvane::session::SessionOptions;
using zorvane::transfer::FileSend;
using zorvane::transfer::Method;
using zorvane::transfer::TransferRequest;

Q_DECLARE_METATYPE(Method)

namespace {

constexpr int kPort = 9;
constexpr qsizetype kFileSize = 256 * 1024;

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList listed(const ModuleSession &session)
{
    QStringList lines;
    for (qsizetype row = 0; row < session.lines().size(); ++row) {
        if (!session.lines().text(row).isEmpty())
            lines << session.lines().text(row);
    }
    return lines;
}

} // namespace

class TestFileSend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void toReceivers_data();
    void toReceivers();
    void ymodemThroughSer2net();
    void userCancel();
    void receiverCancels();
    void portLostEndsTheSend();
    void unreadableFileSendsNothing_data();
    void unreadableFileSendsNothing();
    void textLinesWaitForPrompt();
    void textLinesFramedInMuxMode();

private:
    // Opens the session on `device` (a path, or a network address) as port kPort.
    bool openSession(const QString &target);
    QString writeFile(const QString &name, const QByteArray &bytes);
    bool runToEnd(FileSend &send, int timeoutMs);

    QTemporaryDir m_home;
    QString m_docs;
    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<ModuleSession> m_session;
};

void TestFileSend::initTestCase()
{
    QVERIFY(m_home.isValid());
    m_docs = useTemporaryHome(m_home.path());
    isolatePorts(m_docs);
}

void TestFileSend::init()
{
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
    m_session = std::make_unique<ModuleSession>();
    m_session->serial().setDocumentsFolder(m_docs);
}

void TestFileSend::cleanup()
{
    m_session.reset();
    m_work.reset();
}

bool TestFileSend::openSession(const QString &target)
{
    const QString link = zorvane::serial::overrideLinkPath(m_docs, kPort);
    QDir().mkpath(QFileInfo(link).absolutePath());
    QFile::remove(link);
    if (!QFile::link(target, link))
        return false;
    if (!m_session->serial().c_open(kPort, 115200, 8, 0, 1))
        return false;
    m_session->start();
    return true;
}

QString TestFileSend::writeFile(const QString &name, const QByteArray &bytes)
{
    QDir(m_work->path()).mkpath(QStringLiteral("out"));
    const QString path = m_work->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

bool TestFileSend::runToEnd(FileSend &send, int timeoutMs)
{
    QSignalSpy finished(&send, &FileSend::finished);
    if (!send.isRunning())
        return false;
    return finished.wait(timeoutMs) || finished.count() > 0;
}

void TestFileSend::toReceivers_data()
{
    QTest::addColumn<Method>("method");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    // Where the receiver writes: a name in its folder "out".
    QTest::addColumn<QString>("received");
    // Whether padding may follow the file (XMODEM knows no size).
    QTest::addColumn<bool>("padded");

    const QString pythonReceiver = QStringLiteral(XMODEM_RECEIVE);
    QTest::newRow("ymodem to rb") << Method::Ymodem << "rb" << QStringList{"-b", "-y", "-q"}
                                  << "firmware.bin" << false;
    QTest::newRow("xmodem-crc to rx -c")
        << Method::Xmodem << "rx" << QStringList{"-c", "-b", "-q", "got.bin"} << "got.bin" << true;
    QTest::newRow("xmodem-1k to rx -c")
        << Method::Xmodem1K << "rx" << QStringList{"-c", "-b", "-q", "got.bin"} << "got.bin"
        << true;
    QTest::newRow("zmodem to rz") << Method::Zmodem << "rz" << QStringList{"-b", "-y", "-q"}
                                  << "firmware.bin" << false;
    QTest::newRow("xmodem-crc to python3-xmodem")
        << Method::Xmodem << "/usr/bin/python3"
        << QStringList{pythonReceiver, "@DEVICE@", "got.bin", "crc"} << "got.bin" << true;
    QTest::newRow("xmodem checksum to python3-xmodem")
        << Method::Xmodem << "/usr/bin/python3"
        << QStringList{pythonReceiver, "@DEVICE@", "got.bin", "checksum"} << "got.bin" << true;
}

void TestFileSend::toReceivers()
{
    QFETCH(Method, method);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, received);
    QFETCH(bool, padded);

    const QByteArray file = randomBytes(kFileSize);
    const QString path = writeFile(QStringLiteral("firmware.bin"), file);
    QVERIFY(!path.isEmpty());
    ReceiverRelay relay;
    QVERIFY(relay.isValid());
    QVERIFY(openSession(relay.portDevice()));
    const QString out = m_work->filePath(QStringLiteral("out"));
    // python3-xmodem opens the device itself.
    arguments.replaceInStrings(QStringLiteral("@DEVICE@"), relay.receiverDevice());
    QVERIFY2(relay.start(program, arguments, out), qPrintable(program));

    FileSend send(*m_session);
    QString why;
    QVERIFY2(send.start({path, method}, &why), qPrintable(why));
    QVERIFY2(runToEnd(send, 120'000), "the send did not end");
    QVERIFY2(relay.waitForReceiver(20'000), "the receiver did not end");
    QVERIFY2(relay.receiver().exitCode() == 0, relay.receiver().readAllStandardError());

    const QByteArray got = readAll(QDir(out).filePath(received));
    if (padded) {
        QVERIFY(got.size() >= file.size());
        QCOMPARE(sha256(got.left(file.size())), sha256(file));
        QCOMPARE(got.mid(file.size()), QByteArray(got.size() - file.size(), 0x1A));
    } else {
        QCOMPARE(got.size(), file.size());
        QCOMPARE(sha256(got), sha256(file));
    }
    // The list held the start and the end, and none of the receiver's answers.
    const QStringList lines = listed(*m_session);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].endsWith(QLatin1String(": sending firmware.bin, 262,144 bytes")),
             qPrintable(lines[0]));
    QVERIFY2(lines[1].contains(QLatin1String("firmware.bin sent, done in")), qPrintable(lines[1]));
    QVERIFY(!m_session->diverting());
}

// The same YMODEM through ser2net's telnet port: 0xFF in a block is escaped on the way.
void TestFileSend::ymodemThroughSer2net()
{
    QByteArray file = randomBytes(kFileSize);
    file.replace(1000, 64, QByteArray(64, '\xFF'));
    const QString path = writeFile(QStringLiteral("firmware.bin"), file);
    ReceiverRelay relay;
    QVERIFY(relay.isValid());
    NetworkServer server;
    QVERIFY2(server.startSer2net(QStringLiteral("telnet(rfc2217),tcp"), relay.portDevice()),
             qPrintable(server.output()));
    QVERIFY(openSession(server.url(QStringLiteral("rfc2217"))));
    const QString out = m_work->filePath(QStringLiteral("out"));
    QVERIFY(relay.start(QStringLiteral("rb"), {"-b", "-y", "-q"}, out));

    FileSend send(*m_session);
    QString why;
    QVERIFY2(send.start({path, Method::Ymodem}, &why), qPrintable(why));
    QVERIFY2(runToEnd(send, 120'000), "the send did not end");
    QVERIFY(relay.waitForReceiver(20'000));
    QCOMPARE(relay.receiver().exitCode(), 0);
    const QByteArray got = readAll(QDir(out).filePath(QStringLiteral("firmware.bin")));
    QCOMPARE(got.size(), file.size());
    QCOMPARE(sha256(got), sha256(file));
}

// Cancelled halfway: the receiver hears CAN CAN and gives up, and nothing follows them.
void TestFileSend::userCancel()
{
    const QString path = writeFile(QStringLiteral("firmware.bin"), randomBytes(kFileSize));
    ReceiverRelay relay;
    QVERIFY(relay.isValid());
    QVERIFY(openSession(relay.portDevice()));
    const QString out = m_work->filePath(QStringLiteral("out"));
    QVERIFY(relay.start(QStringLiteral("rb"), {"-b", "-y"}, out));

    FileSend send(*m_session);
    QVERIFY(send.start({path, Method::Ymodem}));
    QTRY_VERIFY_WITH_TIMEOUT(send.progress().done > 32 * 1024, 30'000);
    QSignalSpy finished(&send, &FileSend::finished);
    send.cancel();
    // Within a second, the block in flight answered first.
    QVERIFY(finished.count() == 1 || finished.wait(1500));
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QVERIFY(!m_session->diverting());
    const bool ended = relay.waitForReceiver(20'000);
    const QByteArray said = relay.receiver().readAllStandardError();
    QVERIFY2(ended, said.right(2000).constData());
    QVERIFY(relay.receiver().exitCode() != 0);
    // rb throws away what it received of a cancelled file.
    QVERIFY2(said.contains("removed"), said.constData());
    QVERIFY(relay.programWrote().endsWith("\x18\x18"));
    QTest::qWait(300);
    QVERIFY(relay.programWrote().endsWith("\x18\x18"));
    // The end line; what the receiver says after it is shown as usual.
    const QString list = listed(*m_session).join(u'\n');
    QVERIFY2(list.contains(QLatin1String("YMODEM: firmware.bin not sent: cancelled")),
             qPrintable(list));
}

// A receiver stopped halfway cancels with CANs of its own; the send ends saying so.
void TestFileSend::receiverCancels()
{
    const QString path = writeFile(QStringLiteral("firmware.bin"), randomBytes(kFileSize));
    ReceiverRelay relay;
    QVERIFY(relay.isValid());
    QVERIFY(openSession(relay.portDevice()));
    const QString out = m_work->filePath(QStringLiteral("out"));
    QVERIFY(relay.start(QStringLiteral("rb"), {"-b", "-y"}, out));

    FileSend send(*m_session);
    QVERIFY(send.start({path, Method::Ymodem}));
    QTRY_VERIFY_WITH_TIMEOUT(send.progress().done > 32 * 1024, 30'000);
    ::kill(pid_t(relay.receiver().processId()), SIGINT);
    QVERIFY(runToEnd(send, 20'000));
    QVERIFY2(send.lastEndLine().contains(QLatin1String("the receiver cancelled")),
             qPrintable(send.lastEndLine()));
}

// An adapter pulled out halfway: the send ends saying so instead of waiting for answers.
void TestFileSend::portLostEndsTheSend()
{
    PtyModule module;
    QVERIFY(module.isValid());
    QVERIFY(openSession(module.slavePath()));
    const QString path = writeFile(QStringLiteral("firmware.bin"), randomBytes(4096));

    FileSend send(*m_session);
    QVERIFY(send.start({path, Method::Xmodem}));
    QVERIFY(module.write("C"));
    QCOMPARE(module.readAtLeast(133).size(), 133);
    module.unplug();
    QVERIFY(runToEnd(send, 5000));
    QVERIFY2(send.lastEndLine().contains(QLatin1String("not sent: the port was closed")),
             qPrintable(send.lastEndLine()));
    QVERIFY(!m_session->diverting());
}

void TestFileSend::unreadableFileSendsNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing") << "nothing-here.bin"
                             << "does not exist";
    QTest::newRow("folder") << "out"
                            << "is a folder";
    QTest::newRow("no permission") << "secret.bin"
                                   << "cannot be read";
    QTest::newRow("empty path") << ""
                                << "No file chosen";
}

void TestFileSend::unreadableFileSendsNothing()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);

    if (name == QLatin1String("secret.bin") && ::geteuid() == 0)
        QSKIP("root reads any file");
    PtyModule module;
    QVERIFY(module.isValid());
    QVERIFY(openSession(module.slavePath()));
    QString path = writeFile(QStringLiteral("secret.bin"), "x");
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    path = name.isEmpty() ? QString() : m_work->filePath(name);

    FileSend send(*m_session);
    QString why;
    QVERIFY(!send.start({path, Method::Xmodem}, &why));
    QVERIFY2(why.contains(reason), qPrintable(why));
    QVERIFY(!send.isRunning());
    QVERIFY(!m_session->diverting());
    QCOMPARE(sentSoFar(m_session->serial(), module), QByteArray());
    QVERIFY(listed(*m_session).isEmpty());
}

// Each line waits for the module's prompt; what the module says still reaches the list.
void TestFileSend::textLinesWaitForPrompt()
{
    PtyModule module;
    QVERIFY(module.isValid());
    QVERIFY(openSession(module.slavePath()));
    const QString path = writeFile(QStringLiteral("setup.txt"), "AT\nAT+NAME=lab\n");

    FileSend send(*m_session);
    TransferRequest request{path, Method::TextLines};
    request.waitFor = QStringLiteral(">");
    QVERIFY(send.start(request));
    QCOMPARE(module.readAtLeast(3), QByteArray("AT\r"));
    QTest::qWait(200);
    QCOMPARE(module.readAvailable(), QByteArray());
    QVERIFY(module.write("OK\r\n>"));
    QCOMPARE(module.readAtLeast(12), QByteArray("AT+NAME=lab\r"));
    QVERIFY(runToEnd(send, 5000) || !send.isRunning());
    QTRY_VERIFY(listed(*m_session).contains(QStringLiteral("OK")));
}

void TestFileSend::textLinesFramedInMuxMode()
{
    PtyModule module;
    QVERIFY(module.isValid());
    QVERIFY(openSession(module.slavePath()));
    SessionOptions options;
    options.muxMode = true;
    m_session->setOptions(options);
    m_session->setMuxLink(1);
    const QString path = writeFile(QStringLiteral("setup.txt"), "AT\n");

    FileSend send(*m_session);
    QVERIFY(send.start({path, Method::TextLines}));
    // Start byte, link, flags, length, data and the inverted link.
    QCOMPARE(module.readAtLeast(8), QByteArray::fromHex("BF 01 00 03 41 54 0D FE"));
}

QTEST_GUILESS_MAIN(TestFileSend)
#include "tst_file_send.moc"
