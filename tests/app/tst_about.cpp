// The Help menu of the real main window: the About box (its title, where it opens, the
// check mark of its menu item) and the start of the updater.
#include "PtyModule.h"
#include "WindowFixture.h"
#include "app/About.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Answers the modal About box: every time it opens, `onShown` runs inside its event loop
// and must close it.
class AboutDriver : public QObject
{
public:
    explicit AboutDriver(TAbout_Form *form) : m_form(form) { form->installEventFilter(this); }

    std::function<void(TAbout_Form &)> onShown;
    int shows = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_form && event->type() == QEvent::Show && !event->spontaneous()) {
            ++shows;
            // Queued, so the box has finished opening when it is looked at.
            QTimer::singleShot(0, m_form, [this] {
                onShown(*m_form);
                if (m_form->isVisible()) {
                    qWarning("the About box was left open");
                    m_form->reject();
                }
            });
        }
        return false;
    }

private:
    TAbout_Form *m_form;
};

bool writeUpdater(const QString &path, const QString &marker)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The pause lets the test see that the call did not wait for the updater.
    file.write(QStringLiteral("#!/bin/sh\nsleep 1\ntouch '%1'\n").arg(marker).toUtf8());
    file.close();
    return file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    // The saved port is absent at start-up; its message is recorded, not tested here.
    void initTestCase() { QVERIFY(m_fx.setUp()); }

    void init()
    {
        m_fx.reset();
        m_window = m_fx.makeMain();
        m_window->show();
        m_driver = std::make_unique<AboutDriver>(m_window->About_Form);
    }

    void cleanup()
    {
        m_driver.reset();
        m_window.reset();
        m_fx.tearDown();
    }

    void titleAndLayout()
    {
        QString title;
        QString caption;
        QSize size;
        m_driver->onShown = [&](TAbout_Form &form) {
            title = form.AboutTitle->text();
            caption = form.windowTitle();
            size = form.size();
            form.Button1->click();
        };
        m_window->About->trigger();
        QCOMPARE(m_driver->shows, 1);
        QCOMPARE(title, QStringLiteral("Zorvane V1.16"));
        QCOMPARE(caption, QStringLiteral("About"));
        QCOMPARE(size, QSize(622, 282));
        QVERIFY(m_window->About_Form->isWindow());
    }

    void centredOverMainWindow_data()
    {
        // Outer edges on both sides. Offscreen windows carry a 2-pixel frame, so the box is
        // 626 x 286 outside: its halves are 313 and 143.
        QTest::addColumn<QRect>("main");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("design size") << QRect(100, 50, 838, 615) << QPoint(206, 214);
        QTest::newRow("odd sizes round the halves down")
            << QRect(0, 0, 1001, 401) << QPoint(187, 57);
        QTest::newRow("above and left of the screen")
            << QRect(-500, -300, 834, 611) << QPoint(-396, -138);
        QTest::newRow("negative and odd") << QRect(-1, -7, 1001, 777) << QPoint(186, 238);
        // The main window is never narrower than its toolbar row, wider than the box.
        QTest::newRow("lower than the box") << QRect(10, 10, 1001, 201) << QPoint(197, -33);
    }

    void centredOverMainWindow()
    {
        QFETCH(QRect, main);
        QFETCH(QPoint, expected);
        TMain &w = *m_window;
        const QMargins frame(w.geometry().left() - w.frameGeometry().left(),
                             w.geometry().top() - w.frameGeometry().top(),
                             w.frameGeometry().right() - w.geometry().right(),
                             w.frameGeometry().bottom() - w.geometry().bottom());
        w.setGeometry(main.marginsRemoved(frame));
        QCOMPARE(w.frameGeometry(), main);

        QRect placed;
        m_driver->onShown = [&](TAbout_Form &form) {
            placed = form.frameGeometry();
            form.Button1->click();
        };
        w.About->trigger();
        QCOMPARE(placed, QRect(expected, QSize(626, 286)));
    }

    void checkMarkFollowsHowTheBoxCloses_data()
    {
        // Each letter is one choice of "About": B the box opens and Close shuts it, T it
        // opens and its title bar shuts it, E it opens and Escape shuts it, - it does not
        // open. `marks` holds the item's mark after each choice.
        QTest::addColumn<QString>("choices");
        QTest::addColumn<QString>("marks");
        QTest::newRow("Close clears the mark") << u"BB"_s << u"00"_s;
        QTest::newRow("title bar keeps it; the next choice only clears it")
            << u"T-T-B"_s << u"10100"_s;
        QTest::newRow("Escape is no Close either") << u"E-B"_s << u"100"_s;
    }

    void checkMarkFollowsHowTheBoxCloses()
    {
        QFETCH(QString, choices);
        QFETCH(QString, marks);
        TMain &w = *m_window;
        QChar way;
        m_driver->onShown = [&](TAbout_Form &form) {
            if (way == u'B')
                form.Button1->click();
            else if (way == u'T')
                form.close();
            else if (way == u'E')
                QTest::keyClick(&form, Qt::Key_Escape);
            else
                QFAIL("the About box opened on a choice that only clears the mark");
        };
        int expectedShows = 0;
        for (qsizetype i = 0; i < choices.size(); ++i) {
            way = choices[i];
            w.About->trigger();
            if (way != u'-') {
                ++expectedShows;
                QCOMPARE(w.About_Form->result(),
                         way == u'B' ? QDialog::Accepted : QDialog::Rejected);
            }
            QCOMPARE(m_driver->shows, expectedShows);
            QCOMPARE(w.About->isChecked(), marks[i] == u'1');
            QVERIFY(!w.About_Form->isVisible());
        }
    }

    void updaterStartsFromStartFolder()
    {
        // The program was started in one folder and has since moved to another: the
        // updater is the one in the start folder.
        QTemporaryDir start;
        QTemporaryDir later;
        QVERIFY(start.isValid() && later.isValid());
        const QString marker = start.filePath(QStringLiteral("updater-ran"));
        QVERIFY(writeUpdater(start.filePath(QStringLiteral("Updater")), marker));
        QVERIFY(writeUpdater(later.filePath(QStringLiteral("Updater")),
                             later.filePath(QStringLiteral("wrong-updater-ran"))));
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(start.path()));
        auto w = std::make_unique<TMain>();
        w->Timer1->stop();
        QVERIFY(QDir::setCurrent(later.path()));

        w->CheckForUpdates->trigger();
        // Returned at once, while the updater still sleeps.
        QVERIFY(!QFile::exists(marker));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 10000);
        QVERIFY(!QFile::exists(later.filePath(QStringLiteral("wrong-updater-ran"))));

        // Without an updater nothing happens and nothing is said.
        QVERIFY(QFile::remove(start.filePath(QStringLiteral("Updater"))));
        QStringList messages;
        zorvane::app::setMessageHandler([&](QWidget *, const QString &text) { messages << text; });
        w->CheckForUpdates->trigger();
        QVERIFY(messages.isEmpty());
        zorvane::app::setMessageHandler([](QWidget *, const QString &) {});
        QVERIFY(QDir::setCurrent(saved));
    }

private:
    WindowFixture m_fx;
    std::unique_ptr<TMain> m_window;
    std::unique_ptr<AboutDriver> m_driver;
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
