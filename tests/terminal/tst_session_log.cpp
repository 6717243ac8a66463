// The session log writer on real files: file names and stamps from a given moment, whatever
// the user's language; starting and restarting a file; appending the lines of an event in one
// write; a file deleted meanwhile; a folder that is gone; and a write that runs out of room.
#include "FileFaults.h"
#include "terminal/SessionLog.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using zorvane::terminal::SessionLog;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// True when the write succeeded; otherwise says why.
bool succeeded(const SessionLog::Failure &failure)
{
    if (failure)
        qWarning() << "log write failed:" << *failure;
    return !failure;
}

} // namespace

class TestSessionLog : public QObject
{
    Q_OBJECT

private slots:
    void fileNames_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("name");
        QTest::newRow("morning") << QDateTime(QDate(2027, 3, 5), QTime(9, 7, 45))
                                 << "05Mar2027-9h07.csv";
        QTest::newRow("afternoon")
            << QDateTime(QDate(2027, 12, 25), QTime(14, 30)) << "25Dec2027-14h30.csv";
        QTest::newRow("midnight") << QDateTime(QDate(2028, 1, 1), QTime(0, 0, 59))
                                  << "01Jan2028-0h00.csv";
    }

    void fileNames()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, name);
        QCOMPARE(SessionLog::fileName(when), name);
        // The month table does not follow the user's language.
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(SessionLog::fileName(when), name);
        QLocale::setDefault(saved);
    }

    void stamps_data()
    {
        QTest::addColumn<bool>("time");
        QTest::addColumn<bool>("date");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("stamped");
        QTest::newRow("none") << false << false << QByteArray("OK") << QByteArray("OK");
        QTest::newRow("time") << true << false << QByteArray("OK") << QByteArray("09:07:45,OK");
        QTest::newRow("date") << false << true << QByteArray("OK") << QByteArray("05-03-2027,OK");
        QTest::newRow("both") << true << true << QByteArray("OK")
                              << QByteArray("05-03-2027,09:07:45,OK");
        QTest::newRow("empty line, time")
            << true << false << QByteArray() << QByteArray("09:07:45,");
        QTest::newRow("bytes kept")
            << true << false << QByteArray("\xE9<07>") << QByteArray("09:07:45,\xE9<07>");
    }

    void stamps()
    {
        QFETCH(bool, time);
        QFETCH(bool, date);
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, stamped);
        SessionLog log;
        log.setClock([] { return QDateTime(QDate(2027, 3, 5), QTime(9, 7, 45)); });
        log.stamp(line, time, date);
        QCOMPARE(line, stamped);
    }

    void startAndAppend()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("05Mar2027-9h07.csv");
        SessionLog log;
        QVERIFY(succeeded(log.start(path)));
        QCOMPARE(contents(path), QByteArray(" \r\n"));

        log.queue("OK");
        log.queue("");
        log.queue("\xE9\xFF");
        QVERIFY(log.hasQueued());
        QVERIFY(succeeded(log.append(path)));
        QVERIFY(!log.hasQueued());
        QCOMPARE(contents(path), QByteArray(" \r\nOK\r\n\r\n\xE9\xFF\r\n"));

        // Deleted while logging: the next line starts the file again, alone.
        QVERIFY(QFile::remove(path));
        log.queue("next");
        QVERIFY(succeeded(log.append(path)));
        QCOMPARE(contents(path), QByteArray("next\r\n"));

        // Started again: the earlier lines are gone.
        QVERIFY(succeeded(log.start(path)));
        QCOMPARE(contents(path), QByteArray(" \r\n"));
    }

    void folderGone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("gone/05Mar2027-9h07.csv");
        SessionLog log;
        const SessionLog::Failure started = log.start(path);
        QVERIFY(started.has_value());
        QVERIFY(!started->isEmpty());
        log.queue("lost");
        QVERIFY(log.append(path).has_value());
        // A failed line is gone; it does not come back with the next write.
        QVERIFY(QDir(dir.path()).mkdir("gone"));
        log.queue("after");
        QVERIFY(succeeded(log.append(path)));
        QCOMPARE(contents(path), QByteArray("after\r\n"));
    }

    void writeRunsOutOfRoom()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("log.csv");
        SessionLog log;
        QVERIFY(succeeded(log.start(path)));
        log.queue("kept");
        QVERIFY(succeeded(log.append(path)));
        const QByteArray before = contents(path);

        QByteArray lines;
        for (int i = 0; i < 10; ++i) {
            const QByteArray line = QByteArray::number(i).repeated(20);
            log.queue(line);
            lines += line + "\r\n";
        }
        SessionLog::Failure failure;
        {
            // Room for two and a half of the ten lines.
            const FileSizeLimit limit(rlim_t(before.size() + 55));
            failure = log.append(path);
        }
        QVERIFY(failure.has_value());
        QVERIFY(!failure->isEmpty());
        // What was logged before stays; of the new lines only whole ones remain.
        QCOMPARE(contents(path), before + lines.left(44));
        QVERIFY(!log.hasQueued());
    }
};

QTEST_APPLESS_MAIN(TestSessionLog)
#include "tst_session_log.moc"
