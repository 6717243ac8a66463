// The address list behind the address box: after every kind of edit made through a real box it
// answers as the box's own search does, and knows the first entry.
#include "session/AddressList.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QTest>

using zorvane::session::AddressList;

class TestAddressList : public QObject
{
    Q_OBJECT

private slots:
    // Edits: "+X" adds X, "^X" puts X first, "-N" removes entry N, "=N X" gives entry N the
    // text X, "clear" and "sort". The box starts with the placeholder, as the window's does.
    void staysInStepWithTheBox_data()
    {
        QTest::addColumn<QStringList>("edits");
        QTest::newRow("placeholder replaced by addresses") << QStringList{"clear", "+A", "+B"};
        QTest::newRow("one of two equal entries removed") << QStringList{"+A", "+A", "-1", "-0"};
        QTest::newRow("removed from the middle") << QStringList{"+A", "+B", "+C", "-2", "-1"};
        QTest::newRow("text changed in place") << QStringList{"+A", "=1 C", "=0 C", "-0"};
        QTest::newRow("put first") << QStringList{"+A", "^B", "-0"};
        QTest::newRow("cleared and filled again") << QStringList{"+A", "+B", "clear", "+B"};
        QTest::newRow("sorted") << QStringList{"+B", "+A", "sort", "-0"};
    }

    void staysInStepWithTheBox()
    {
        QFETCH(QStringList, edits);

        // The box edits the list through the model it shows, as the window's address box does.
        AddressList index;
        QComboBox box;
        box.setModel(&index);
        box.addItem(QStringLiteral("Unknown MAC"));
        QStringList probes{QStringLiteral("Unknown MAC"), QStringLiteral("never listed")};
        for (const QString &edit : edits) {
            const QString text = edit.mid(1).section(QLatin1Char(' '), -1);
            if (edit == QLatin1String("clear"))
                box.clear();
            else if (edit == QLatin1String("sort"))
                box.model()->sort(0);
            else if (edit.startsWith(QLatin1Char('-')))
                box.removeItem(text.toInt());
            else if (edit.startsWith(QLatin1Char('+')))
                box.addItem(text);
            else if (edit.startsWith(QLatin1Char('^')))
                box.insertItem(0, text);
            else if (edit.startsWith(QLatin1Char('=')))
                box.setItemText(edit.mid(1).section(QLatin1Char(' '), 0, 0).toInt(), text);
            else
                QFAIL(qPrintable(QStringLiteral("unknown edit ") + edit));
            if (QStringLiteral("+^=").contains(edit.front()))
                probes << text;

            QCOMPARE(index.isEmpty(), box.count() == 0);
            QCOMPARE(index.first(), box.itemText(0));
            for (const QString &probe : std::as_const(probes))
                QVERIFY2(index.contains(probe) == (box.findText(probe) >= 0),
                         qPrintable(QStringLiteral("after %1: %2").arg(edit, probe)));
        }
    }
};

QTEST_MAIN(TestAddressList)
#include "tst_address_list.moc"
