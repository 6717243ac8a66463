// The session log through the real main window, with a pseudo-terminal as its port and the
// log clock set by the test: file names, restarting within a minute, the four stamp
// combinations, a cut over-long line, the status panel, a "Log" restored from the settings,
// a file deleted or a folder made read-only while logging, a disk that fills up, a log
// file that cannot be created, lines that reach the port in pieces, a symbolic link put
// where the log lies, and a line left open when the port hangs up or the program ends.
#include "FileFaults.h"
#include "WindowFixture.h"
#include "WindowText.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "terminal/view/TerminalModel.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

constexpr int kPort = 1;
const QDateTime kMorning(QDate(2027, 3, 5), QTime(9, 7, 45));
const QString kMorningFile = QStringLiteral("05Mar2027-9h07.csv");

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray crlfLines(const QByteArrayList &lines)
{
    QByteArray text;
    for (const QByteArray &line : lines)
        text += line + "\r\n";
    return text;
}

} // namespace

class TestMainLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_fx.setUp());
        m_docs = m_fx.docs;
        // Answers as the fixture does, and can play a box the user leaves open for a while.
        zorvane::app::setMessageHandler([this](QWidget *, const QString &text) {
            m_fx.messages << text;
            if (m_whileBoxOpen)
                m_whileBoxOpen();
        });
    }

    void init()
    {
        m_fx.reset();
        for (const QString &log : QDir(m_docs).entryList({"*.csv"}, QDir::Files))
            QFile::remove(m_docs + log);
        QFile::remove(m_docs + "zv_settings.xml");
        m_now = kMorning;
        m_whileBoxOpen = nullptr;
        startWindow();
    }

    void cleanup()
    {
        QFile::setPermissions(m_docs, QFile::permissions(m_docs) | QFile::WriteOwner);
        m_fx.tearDown();
    }

    void fileNames_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("name");
        QTest::newRow("5 March, 9:07") << kMorning << kMorningFile;
        QTest::newRow("25 December, 14:30")
            << QDateTime(QDate(2027, 12, 25), QTime(14, 30, 5)) << "25Dec2027-14h30.csv";
    }

    void fileNames()
    {
        QFETCH(QDateTime, now);
        QFETCH(QString, name);
        m_now = now;
        m_fx.window->Log1->trigger();
        QVERIFY(m_fx.window->Log1->isChecked());
        QCOMPARE(m_fx.window->LogFileName, name);
        QCOMPARE(contents(m_docs + name), QByteArray(" \r\n"));
        QCOMPARE(QDir(m_docs).entryList({"*.csv"}), QStringList{name});
    }

    void restartWithinTheMinute()
    {
        TMain &w = *m_fx.window;
        QCOMPARE(w.StatusBarPanel4->text(), QStringLiteral("-"));
        w.Log1->trigger();
        receive("OK\r");
        QTRY_COMPARE(contents(m_docs + kMorningFile), QByteArray(" \r\nOK\r\n"));
        // On does not touch the panel; off shows one space, and on again leaves it so.
        QCOMPARE(w.StatusBarPanel4->text(), QStringLiteral("-"));
        w.Log1->trigger();
        QVERIFY(!w.Log1->isChecked());
        QCOMPARE(w.StatusBarPanel4->text(), QStringLiteral(" "));
        receive("not logged\r");
        QTRY_VERIFY(listLines(w).contains("not logged"));
        m_now = m_now.addSecs(10);
        w.Log1->trigger();
        QCOMPARE(w.StatusBarPanel4->text(), QStringLiteral(" "));
        receive("again\r");
        QTRY_COMPARE(contents(m_docs + kMorningFile), QByteArray(" \r\nagain\r\n"));
    }

    void stamps_data()
    {
        QTest::addColumn<bool>("time");
        QTest::addColumn<bool>("date");
        QTest::addColumn<QByteArray>("prefix");
        QTest::newRow("no stamp") << false << false << QByteArray();
        QTest::newRow("time") << true << false << QByteArray("09:07:45,");
        QTest::newRow("date") << false << true << QByteArray("05-03-2027,");
        QTest::newRow("date and time") << true << true << QByteArray("05-03-2027,09:07:45,");
    }

    void stamps()
    {
        QFETCH(bool, time);
        QFETCH(bool, date);
        QFETCH(QByteArray, prefix);
        TMain &w = *m_fx.window;
        if (time)
            w.TimeStamp1->trigger();
        if (date)
            w.DateStamp1->trigger();
        QCOMPARE(w.TimeStamp1->isChecked(), time);
        QCOMPARE(w.DateStamp1->isChecked(), date);
        w.Log1->trigger();
        w.Clear1->trigger();
        receive("OK\r\r\xE9\x07!\r");
        QTRY_COMPARE(contents(m_docs + kMorningFile),
                     " \r\n" + crlfLines({prefix + "OK", prefix, prefix + "<E9><07>!"}));
        // Finished lines show without their stamps.
        QCOMPARE(listLines(w), (QStringList{"OK", "", "<E9><07>!", ""}));
    }

    void overLongLineShowsItsStamps()
    {
        TMain &w = *m_fx.window;
        w.TimeStamp1->trigger();
        w.Log1->trigger();
        w.Clear1->trigger();
        // A burst longer than the window's width / 8 is cut, logged and then shown.
        const int wrap = w.width() / 8;
        const QByteArray burst(wrap + 1, 'x');
        receive(burst + "y\r");
        QTRY_COMPARE(contents(m_docs + kMorningFile),
                     " \r\n" + crlfLines({"09:07:45," + burst, "09:07:45,y"}));
        QCOMPARE(listLines(w), (QStringList{QString::fromLatin1("09:07:45," + burst), "y", ""}));
    }

    // A slow link hands a line over a few bytes at a time, each piece read in a receive event
    // of its own: the log and the inquiry capture still get the whole line as the list shows
    // it, stamped when it ended.
    void linesInPieces_data()
    {
        QTest::addColumn<int>("piece");
        QTest::addColumn<int>("gapMs");
        QTest::newRow("whole") << 0 << 0;
        QTest::newRow("1-byte pieces") << 1 << 10;
        QTest::newRow("3-byte pieces") << 3 << 6;
        QTest::newRow("2,400 baud") << 1 << 4;
        QTest::newRow("9,600 baud") << 1 << 1;
    }

    void linesInPieces()
    {
        QFETCH(int, piece);
        QFETCH(int, gapMs);
        TMain &w = *m_fx.window;
        w.TimeStamp1->trigger();
        w.Log1->trigger();
        const QByteArray bytes = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG, TWICE: OK\r\n"
                                 "INQUIRY 00:07:80:8A:BC:DE 240404\r\n"
                                 "bell \x07 and \xE9 \x1b[1m bold\r\n"
                                 "\r\n"
                                 "END OF TEXT\r\n";
        const QByteArrayList shown = {"THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG, TWICE: OK",
                                      "INQUIRY 00:07:80:8A:BC:DE 240404",
                                      "bell <07> and <E9> \x1b[1m bold", "", "END OF TEXT"};
        // The module writes from a thread of its own, as another process would: a read that
        // waits (the escape's) must see the next piece arrive meanwhile.
        std::atomic<bool> written = true;
        std::jthread module;
        if (piece == 0) {
            receive(bytes);
        } else {
            module = std::jthread([&] {
                for (qsizetype at = 0; at < bytes.size(); at += piece) {
                    written = written && m_fx.module->write(bytes.mid(at, piece));
                    std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
                }
            });
        }
        QTRY_VERIFY_WITH_TIMEOUT(listLines(w).contains("END OF TEXT"), 20000);
        QVERIFY(written);
        QByteArrayList stamped;
        for (const QByteArray &line : shown)
            stamped << "09:07:45," + line;
        QTRY_COMPARE(contents(m_docs + kMorningFile), " \r\n" + crlfLines(stamped));
        QStringList lines;
        for (const QByteArray &line : shown)
            lines << QString::fromLatin1(line);
        QCOMPARE(listLines(w), lines << "");
        QCOMPARE(w.MAC->text(), QStringLiteral("00:07:80:8A:BC:DE"));
        QCOMPARE(comboEntries(w.MAC_Address), QStringList{"00:07:80:8A:BC:DE"});
    }

    // A line the module leaves unfinished is logged as it stands when the port hangs up and
    // when the program ends.
    void openLineLogged_data()
    {
        QTest::addColumn<bool>("unplug");
        QTest::newRow("the port hangs up") << true;
        QTest::newRow("the program ends") << false;
    }

    void openLineLogged()
    {
        QFETCH(bool, unplug);
        TMain &w = *m_fx.window;
        w.Log1->trigger();
        receive("OK\r\nPARTIAL-XYZ");
        QTRY_VERIFY(listLines(w).contains("PARTIAL-XYZ"));
        if (unplug) {
            m_fx.module->unplug();
            QTRY_VERIFY_WITH_TIMEOUT(!w.serial.holdsDevice(), 10000);
        } else {
            m_fx.window.reset();
        }
        QTRY_COMPARE(contents(m_docs + kMorningFile), QByteArray(" \r\nOK\r\nPARTIAL-XYZ\r\n"));
    }

    // A link put where the log lies is not written through, whether it came while logging
    // or was there before: what it names keeps its content.
    void linkInPlaceOfTheLog_data()
    {
        QTest::addColumn<bool>("whileLogging");
        QTest::newRow("swapped in while logging") << true;
        QTest::newRow("there before logging starts") << false;
    }

    void linkInPlaceOfTheLog()
    {
        QFETCH(bool, whileLogging);
        TMain &w = *m_fx.window;
        const QString log = m_docs + kMorningFile;
        const QString unrelated = m_fx.homePath() + "/unrelated.txt";
        QFile::remove(unrelated);
        {
            QFile file(unrelated);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("mine\n");
        }
        if (whileLogging) {
            w.Log1->trigger();
            receive("first\r");
            QTRY_COMPARE(contents(log), QByteArray(" \r\nfirst\r\n"));
            QVERIFY(QFile::remove(log));
        }
        QVERIFY(QFile::link(unrelated, log));
        if (whileLogging) {
            receive("second\r");
            QTRY_COMPARE(m_fx.messages, QStringList{"???"});
            QVERIFY(w.Log1->isChecked());
        } else {
            w.Log1->trigger();
            QVERIFY(!w.Log1->isChecked());
            QCOMPARE(m_fx.messages.size(), 1);
            QVERIFY2(m_fx.messages[0].startsWith("Unable to create log file: " + log + " ("),
                     qPrintable(m_fx.messages[0]));
        }
        QCOMPARE(contents(unrelated), QByteArray("mine\n"));
        QVERIFY(QFileInfo(log).isSymLink());
        QFile::remove(log);
    }

    void restoredLogAppends()
    {
        m_fx.window->Log1->trigger();
        receive("before\r");
        QTRY_COMPARE(contents(m_docs + kMorningFile), QByteArray(" \r\nbefore\r\n"));
        // The next start restores "Log" and goes on with the same file, later as it may be.
        restartWindow();
        m_now = m_now.addDays(1);
        QVERIFY(m_fx.window->Log1->isChecked());
        QCOMPARE(m_fx.window->LogFileName, kMorningFile);
        receive("after\r");
        QTRY_COMPARE(contents(m_docs + kMorningFile), QByteArray(" \r\nbefore\r\nafter\r\n"));
        QCOMPARE(QDir(m_docs).entryList({"*.csv"}), QStringList{kMorningFile});
    }

    void restoredNameWithAFolder()
    {
        // A new settings file names "test.csv" with the whole folder: the log lies in the
        // documents folder under that name.
        QVERIFY(m_fx.window->LogFileName.endsWith("/test.csv"));
        m_fx.window.reset();
        QFile settings(m_docs + "zv_settings.xml");
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QByteArray xml = settings.readAll();
        settings.close();
        QVERIFY(xml.contains("<log>false</log>"));
        xml.replace("<log>false</log>", "<log>true</log>");
        QVERIFY(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
        settings.write(xml);
        settings.close();
        restartWindow();
        QVERIFY(m_fx.window->Log1->isChecked());
        receive("line\r");
        QTRY_COMPARE(contents(m_docs + "test.csv"), QByteArray("line\r\n"));
        QVERIFY(m_fx.messages.isEmpty());
    }

    void deletedWhileLogging()
    {
        m_fx.window->Log1->trigger();
        receive("first\r");
        QTRY_COMPARE(contents(m_docs + kMorningFile), QByteArray(" \r\nfirst\r\n"));
        QVERIFY(QFile::remove(m_docs + kMorningFile));
        receive("second\r");
        QTRY_COMPARE(contents(m_docs + kMorningFile), QByteArray("second\r\n"));
        QVERIFY(m_fx.messages.isEmpty());
    }

    void folderMadeReadOnly()
    {
        TMain &w = *m_fx.window;
        w.Log1->trigger();
        receive("first\r");
        QTRY_COMPARE(contents(m_docs + kMorningFile), QByteArray(" \r\nfirst\r\n"));
        QVERIFY(QFile::remove(m_docs + kMorningFile));
        const PermissionBitsApply asUser;
        QVERIFY(QFile::setPermissions(m_docs, QFile::ReadOwner | QFile::ExeOwner));

        // The box waits for the user as a modal box does: the receive loop runs under it
        // and its lines cannot be logged either, but no second box opens.
        m_whileBoxOpen = [&] {
            receive("under the box 1\runder the box 2\r");
            QVERIFY(QTest::qWaitFor([&] { return listLines(w).contains("under the box 2"); }));
            QTest::qWait(50);
        };
        receive("lost\r");
        QTRY_COMPARE(m_fx.messages, QStringList{"???"});
        m_whileBoxOpen = nullptr;
        QCOMPARE(listLines(w),
                 (QStringList{"first", "lost", "under the box 1", "under the box 2", ""}));

        QVERIFY(
            QFile::setPermissions(m_docs, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        receive("back\r");
        QTRY_COMPARE(contents(m_docs + kMorningFile), QByteArray("back\r\n"));
        QCOMPARE(m_fx.messages, QStringList{"???"});
    }

    void diskFills()
    {
        TMain &w = *m_fx.window;
        w.Log1->trigger();
        receive("logged\r");
        const QByteArray before = " \r\nlogged\r\n";
        QTRY_COMPARE(contents(m_docs + kMorningFile), before);

        QByteArrayList sent;
        QByteArray bytes;
        for (int i = 0; i < 40; ++i) {
            sent << QByteArray::number(100 + i).repeated(6).left(20);
            bytes += sent.last() + '\r';
        }
        {
            // Room for a few of the 40 lines: the disk fills while they arrive. The box
            // waits, as a modal one does, until the list has all of them.
            const FileSizeLimit limit(rlim_t(before.size() + 100));
            m_whileBoxOpen = [&] {
                QVERIFY(QTest::qWaitFor([&] { return listLines(w).size() >= 42; }));
                QTest::qWait(50);
            };
            receive(bytes);
            QTRY_VERIFY(listLines(w).size() >= 42);
            QTRY_COMPARE(m_fx.messages, QStringList{"???"});
            m_whileBoxOpen = nullptr;
        }
        // The list has every line; the file keeps what was logged and whole lines only.
        QCOMPARE(listLines(w).mid(1, 40).join("|").toLatin1(), sent.join("|"));
        const QByteArray after = contents(m_docs + kMorningFile);
        QVERIFY(after.startsWith(before));
        const QByteArray added = after.mid(before.size());
        QVERIFY2(crlfLines(sent).startsWith(added) && (added.isEmpty() || added.endsWith("\r\n")),
                 added.constData());
        QVERIFY(added.size() <= 100);
    }

    void cannotCreate_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("documents folder gone") << "gone";
        QTest::newRow("read-only folder") << "read-only";
        QTest::newRow("disk full") << "full";
    }

    void cannotCreate()
    {
        QFETCH(QString, fault);
        TMain &w = *m_fx.window;
        const QString before = w.LogFileName;
        const QString docs = QDir(m_docs).absolutePath();
        const QString moved = m_fx.homePath() + "/moved";
        std::unique_ptr<PermissionBitsApply> asUser;
        std::unique_ptr<FileSizeLimit> full;
        if (fault == "gone") {
            QVERIFY(QDir().rename(docs, moved));
        } else if (fault == "read-only") {
            asUser = std::make_unique<PermissionBitsApply>();
            QVERIFY(QFile::setPermissions(m_docs, QFile::ReadOwner | QFile::ExeOwner));
        } else {
            full = std::make_unique<FileSizeLimit>(0);
        }
        w.Log1->trigger();
        full.reset();
        asUser.reset();
        if (fault == "gone")
            QVERIFY(QDir().rename(moved, docs));

        QVERIFY(!w.Log1->isChecked());
        QCOMPARE(w.LogFileName, before);
        QCOMPARE(m_fx.messages.size(), 1);
        const QString prefix = "Unable to create log file: " + m_docs + kMorningFile + " (";
        QVERIFY2(m_fx.messages[0].startsWith(prefix) &&
                     m_fx.messages[0].size() > prefix.size() + 1 && m_fx.messages[0].endsWith(')'),
                 qPrintable(m_fx.messages[0]));
        receive("not logged\r");
        QTRY_COMPARE(listLines(w).value(0), QStringLiteral("not logged"));
        QCOMPARE(m_fx.messages.size(), 1);
    }

private:
    // The program started as a user starts it: shown, its settings loaded, its port (1 in a
    // new settings file) opened, the receive timer running.
    void startWindow()
    {
        m_fx.module = m_fx.plugIn(kPort);
        m_fx.window = m_fx.makeMain();
        m_fx.window->session.sessionLog().setClock([this] { return m_now; });
        m_fx.window->show();
        m_fx.window->Timer1->start();
        QVERIFY(m_fx.window->serial.holdsDevice());
        // Start-up sends a reset to the module; the test starts from an empty list.
        m_fx.window->Clear1->trigger();
    }

    // Closes the window, which saves its settings, and starts the program again.
    void restartWindow()
    {
        m_fx.window.reset();
        m_fx.module.reset();
        startWindow();
    }

    void receive(const QByteArray &bytes) { QVERIFY(m_fx.module->write(bytes)); }

    WindowFixture m_fx;
    QString m_docs;
    QDateTime m_now;
    std::function<void()> m_whileBoxOpen;
};

QTEST_MAIN(TestMainLog)
#include "tst_main_log.moc"
