// The simulator's ports/COMn link: made, refused over a device that exists, recovered after a
// killed run, removed at the end.
#include "PortLink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using zorvane::sim::PortLink;

class tst_PortLink : public QObject
{
    Q_OBJECT

private slots:
    void pinAndUnpin();
    void keepsALinkToADevice();
    void replacesWhatAKilledRunLeft_data();
    void replacesWhatAKilledRunLeft();

private:
    QTemporaryDir m_dir;
    QString docs() const { return m_dir.path() + QLatin1Char('/'); }
    QString link(int port) const { return docs() + QStringLiteral("ports/COM%1").arg(port); }
};

void tst_PortLink::pinAndUnpin()
{
    QString error;
    {
        PortLink pinned(docs(), 7);
        QVERIFY(pinned.pin(QStringLiteral("/dev/null"), &error));
        QCOMPARE(QFileInfo(link(7)).symLinkTarget(), QStringLiteral("/dev/null"));
        QCOMPARE(pinned.presentDevice(), QStringLiteral("/dev/null"));
    }
    QVERIFY(!QFileInfo(link(7)).isSymLink());
    QCOMPARE(QDir(docs() + QStringLiteral("ports"))
                 .entryList(QDir::Files | QDir::Hidden | QDir::System)
                 .size(),
             0);
}

void tst_PortLink::keepsALinkToADevice()
{
    QDir().mkpath(docs() + QStringLiteral("ports"));
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), link(8)));
    PortLink second(docs(), 8);
    QString error;
    QVERIFY(!second.pin(QStringLiteral("/dev/null"), &error));
    QVERIFY(error.contains(QStringLiteral("/dev/zero")));
    QCOMPARE(QFileInfo(link(8)).symLinkTarget(), QStringLiteral("/dev/zero"));
    QCOMPARE(second.presentDevice(), QStringLiteral("/dev/zero"));
    QFile::remove(link(8));
}

void tst_PortLink::replacesWhatAKilledRunLeft_data()
{
    QTest::addColumn<QString>("oldTarget");
    QTest::newRow("device gone") << QStringLiteral("/dev/pts/zorvane-no-such");
    // The kernel handed the old pseudo-terminal's number to someone else.
    QTest::newRow("device number reused") << QStringLiteral("/dev/zero");
}

void tst_PortLink::replacesWhatAKilledRunLeft()
{
    QFETCH(QString, oldTarget);
    QDir().mkpath(docs() + QStringLiteral("ports"));
    QFile::remove(link(9));
    QVERIFY(QFile::link(oldTarget, link(9)));
    // The note of a simulator whose process is gone (pid_max is far below this).
    QFile note(docs() + QStringLiteral("ports/.COM9.zorvane-sim"));
    QVERIFY(note.open(QIODevice::WriteOnly));
    note.write("2147483000 " + oldTarget.toLocal8Bit() + '\n');
    note.close();

    PortLink next(docs(), 9);
    QVERIFY(next.presentDevice().isEmpty());
    QString error;
    QVERIFY2(next.pin(QStringLiteral("/dev/null"), &error), qPrintable(error));
    QCOMPARE(QFileInfo(link(9)).symLinkTarget(), QStringLiteral("/dev/null"));
}

QTEST_APPLESS_MAIN(tst_PortLink)
#include "tst_port_link.moc"
