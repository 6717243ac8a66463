// Copy, paste and print through the real main window, offscreen, with a pseudo-terminal as
// its port: the File menu's entries, the clipboard of the platform, the terminal list's
// context menu opened by a released mouse button, and printing to a PDF file through the
// print-dialog seam, checked with pdfinfo and against the window's own picture.
#include "WindowFixture.h"
#include "WindowText.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "terminal/view/TerminalModel.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <functional>
#include <memory>

using zorvane::app::PrintDialog;

namespace {

constexpr int kPort = 1;

// A menu entry's text as the user reads it, without the mark of its access key.
QString shownText(const QAction *action)
{
    if (action->isSeparator())
        return QStringLiteral("-");
    QString text = action->text();
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text;
}

QAction *entry(const QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (shownText(action) == text)
            return action;
    }
    return nullptr;
}

// pdfinfo's "Key: value" lines.
QMap<QString, QString> pdfInfo(const QString &path)
{
    QProcess pdfinfo;
    pdfinfo.start(QStringLiteral("pdfinfo"), {path});
    QMap<QString, QString> info;
    if (!pdfinfo.waitForFinished(30000) || pdfinfo.exitCode() != 0)
        return info;
    for (const QString &line : QString::fromUtf8(pdfinfo.readAllStandardOutput()).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            info[line.left(colon)] = line.mid(colon + 1).trimmed();
    }
    return info;
}

// Mean difference of two pictures per colour channel (0 to 255), both taken at the same size.
double difference(const QImage &a, const QImage &b)
{
    const QSize size(160, 100);
    const QImage x = a.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB32);
    const QImage y = b.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < size.height(); ++row) {
        for (int col = 0; col < size.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * size.width() * size.height());
}

} // namespace

class TestMainClipboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fx.setUp()); }

    void cleanupTestCase() { zorvane::app::setPrintDialogHandler({}); }

    void init()
    {
        m_fx.reset();
        // Shown, as a user starts it, on its port 1 with the receive timer running.
        m_fx.module = m_fx.plugIn(kPort);
        m_fx.window = m_fx.makeMain();
        m_fx.window->show();
        m_fx.window->Timer1->start();
        QVERIFY(QTest::qWaitForWindowExposed(m_fx.window.get()));
        QVERIFY(m_fx.window->serial.holdsDevice());
        // What start-up sent (its reset) is not part of a test.
        sentSoFar(m_fx.window->serial, *m_fx.module);
        m_fx.window->Clear1->trigger();
    }

    void cleanup()
    {
        zorvane::app::setPrintDialogHandler({});
        m_fx.tearDown();
        QCOMPARE(m_fx.messages, QStringList());
    }

    void fileMenuOrder()
    {
        QStringList texts;
        for (const QAction *action : m_fx.window->File->actions())
            texts << shownText(action);
        // The menu's own items keep their order; additions come after a separator at its end.
        const QStringList own{"Clear",      "Copy", "Paste",       "Log",   "Time Stamp",
                              "Date Stamp", "-",    "Print Setup", "Print", "Exit"};
        QCOMPARE(texts.mid(0, own.size()), own);
        QVERIFY(texts.size() == own.size() || texts.value(own.size()) == QLatin1String("-"));
        texts.clear();
        for (const QAction *action : m_fx.window->PopupMenu1->actions())
            texts << shownText(action);
        // The list's own four items first; additions only behind a separator after them.
        QCOMPARE(texts, (QStringList{"Clear", "Copy", "Paste", "Print", "-", "Arrival Times",
                                     "Time Since Previous Line", "Copy Selected Lines",
                                     "Select All Lines", "Find...", "Hex dump"}));
    }

    void copy_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QString>("copied");
        QTest::newRow("three lines") << QByteArray("one\rtwo\rthree") << "one\r\ntwo\r\nthree\r\n";
        QTest::newRow("byte values") << QByteArray("\xE9\x01\r") << "<E9><01>\r\n\r\n";
        QTest::newRow("no line") << QByteArray() << "";
    }

    void copy()
    {
        QFETCH(QByteArray, received);
        QFETCH(QString, copied);
        TMain &w = *m_fx.window;
        QApplication::clipboard()->setText(QStringLiteral("held before"));
        if (!received.isEmpty()) {
            QVERIFY(m_fx.module->write(received));
            QTRY_COMPARE(listLines(w).join("\r\n") + "\r\n", copied);
        }
        w.Copy1->trigger();
        QCOMPARE(QApplication::clipboard()->text(), copied);
    }

    void paste_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("mux");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("two lines") << "first\r\nsecond" << false << QStringList{"first", "second"}
                                   << QByteArray("first\r\nsecond\r");
        // A paste is never framed, and with MUX checked it gets no closing CR.
        QTest::newRow("MUX checked") << "first\r\nsecond" << true << QStringList{"first", "second"}
                                     << QByteArray("first\r\nsecond");
        QTest::newRow("a lone LF stays in its line")
            << "a\nb\r\n"
            << false << QStringList{"a b", ""} << QByteArray("a\nb\r\n\r");
        // A character beyond one byte is one '?' in the list and on the wire alike.
        QTest::newRow("beyond Latin-1")
            << QString::fromUtf8("A\xe2\x80\x99"
                                 "B\xe2\x82\xac"
                                 "C\xf0\x9f\x98\x80"
                                 "D\xc3\xa9")
            << false << QStringList{QString::fromUtf8("A?B?C?D\xc3\xa9")}
            << QByteArray("A?B?C?D\xe9\r");
    }

    void paste()
    {
        QFETCH(QString, text);
        QFETCH(bool, mux);
        QFETCH(QStringList, shown);
        QFETCH(QByteArray, sent);
        TMain &w = *m_fx.window;
        {
            // The mark alone, as a restored setting sets it.
            const QSignalBlocker quiet(w.MUX1);
            w.MUX1->setChecked(mux);
        }
        QApplication::clipboard()->setText(text);
        w.Paste1->trigger();
        QCOMPARE(listLines(w), shown);
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), sent);
    }

    void pasteWhatIsNoText()
    {
        TMain &w = *m_fx.window;
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QApplication::clipboard()->setImage(picture);
        w.Paste1->trigger();
        QVERIFY(listLines(w).isEmpty());
        QCOMPARE(sentSoFar(w.serial, *m_fx.module), QByteArray());
    }

    void pasteAMegabyte()
    {
        TMain &w = *m_fx.window;
        QString text;
        QByteArray bytes;
        constexpr int kLines = 50'000;
        for (int i = 0; i < kLines; ++i) {
            const QByteArray line = QByteArray::number(1'000'000 + i).repeated(3).left(20);
            text += QLatin1StringView(line) + QStringLiteral("\r\n");
            bytes += line + "\r\n";
        }
        QApplication::clipboard()->setText(text);
        w.Paste1->trigger();
        QCOMPARE(w.ListModel->lines().size(), qsizetype(kLines + 1));
        QCOMPARE(w.ListModel->lines().text(kLines - 1),
                 QString::fromLatin1(bytes.right(22).left(20)));
        const QByteArray out = m_fx.module->readAtLeast(bytes.size() + 1, 60000);
        QCOMPARE(out.size(), bytes.size() + 1);
        QVERIFY(out == bytes + '\r');
    }

    void contextMenu()
    {
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write("one\rtwo\r"));
        QTRY_COMPARE(w.ListModel->rowCount(), 3);
        QWidget *viewport = w.ListBox1->viewport();
        const QPoint at(30, 10);

        // Pressing does nothing; the release opens the menu at the pointer.
        QTest::mousePress(viewport, Qt::RightButton, {}, at);
        QVERIFY(!w.PopupMenu1->isVisible());
        QTest::mouseRelease(viewport, Qt::RightButton, {}, at);
        QTRY_VERIFY(w.PopupMenu1->isVisible());
        QCOMPARE(w.PopupMenu1->pos(), viewport->mapToGlobal(at));

        // Its entries run the same handlers as the File menu's.
        QApplication::clipboard()->setText(QStringLiteral("held before"));
        QAction *copy = entry(w.PopupMenu1, "Copy");
        QVERIFY(copy);
        QTest::mouseClick(w.PopupMenu1, Qt::LeftButton, {},
                          w.PopupMenu1->actionGeometry(copy).center());
        QTRY_VERIFY(!w.PopupMenu1->isVisible());
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("one\r\ntwo\r\n\r\n"));

        // Any button's release opens it, the left one too.
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTRY_VERIFY(w.PopupMenu1->isVisible());
        QAction *clear = entry(w.PopupMenu1, "Clear");
        QTest::mouseClick(w.PopupMenu1, Qt::LeftButton, {},
                          w.PopupMenu1->actionGeometry(clear).center());
        QTRY_VERIFY(!w.PopupMenu1->isVisible());
        QVERIFY(listLines(w).isEmpty());
    }

    // Screen readers walk down from the window: the list's pop-up menu has to be on that path,
    // open or closed, and its items' actions run the same handlers as a click.
    void contextMenuOnAccessibilityTree()
    {
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write("one\r"));
        QTRY_COMPARE(w.ListModel->rowCount(), 2);
        const std::function<QAccessibleInterface *(QAccessibleInterface *, int)> findMenu =
            [&](QAccessibleInterface *node, int depth) -> QAccessibleInterface * {
            if (!node || depth > 12)
                return nullptr;
            if (node->role() == QAccessible::PopupMenu &&
                node->text(QAccessible::Name) == QLatin1String("Terminal menu"))
                return node;
            // The lines of the list are not walked: they hold no menus.
            if (node->role() == QAccessible::List)
                return nullptr;
            for (int i = 0; i < node->childCount(); ++i) {
                if (QAccessibleInterface *found = findMenu(node->child(i), depth + 1))
                    return found;
            }
            return nullptr;
        };
        QAccessibleInterface *menu = findMenu(QAccessible::queryAccessibleInterface(&w), 0);
        QVERIFY(menu);
        QStringList items;
        QAccessibleInterface *copy = nullptr;
        for (int i = 0; i < menu->childCount(); ++i) {
            QAccessibleInterface *item = menu->child(i);
            items << item->text(QAccessible::Name);
            if (item->text(QAccessible::Name) == QLatin1String("Copy"))
                copy = item;
        }
        QCOMPARE(items.mid(0, 4), (QStringList{"Clear", "Copy", "Paste", "Print"}));
        QVERIFY(items.contains(QLatin1String("Copy Selected Lines")));
        QVERIFY(copy && copy->actionInterface());
        QApplication::clipboard()->clear();
        copy->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(QApplication::clipboard()->text(), QStringLiteral("one\r\n\r\n"));
    }

    void print()
    {
        TMain &w = *m_fx.window;
        // The SPP toolbar is shown: it prints under the main toolbar, above the list.
        w.ToolBar_SPP->show();
        QVERIFY(m_fx.module->write("a line to print\rand another\r"));
        QTRY_COMPARE(w.ListModel->rowCount(), 3);
        QTest::qWait(100);

        QList<PrintDialog> dialogs;
        const QString pdf = printToFile(w, &dialogs);
        QCOMPARE(dialogs, QList<PrintDialog>{PrintDialog::Print});
        const QMap<QString, QString> info = pdfInfo(pdf);
        QVERIFY2(!info.isEmpty(), "pdfinfo (poppler-utils) could not read the printout");
        QCOMPARE(info.value("Pages"), QStringLiteral("1"));
        QCOMPARE(info.value("Title"), QStringLiteral("Zorvane Printout"));
        const QStringList size = info.value("Page size").split(' ');
        QVERIFY2(size.size() >= 3 && size[0].toDouble() > size[2].toDouble(),
                 qPrintable(info.value("Page size")));

        // The page is the terminal area's top-left part as large as the list: toolbars on top.
        const QImage page = printedPage(w, pdf);
        QVERIFY(!page.isNull());
        const double near = difference(page, terminalArea(w));
        const double far = difference(page, w.ListBox1->grab().toImage());
        QVERIFY2(near < 6 && far > 2 * near,
                 qPrintable(QStringLiteral("difference %1 from the expected picture, %2 from the "
                                           "list alone")
                                .arg(near)
                                .arg(far)));
    }

    void printLeavesOutArrivalTimes()
    {
        TMain &w = *m_fx.window;
        QVERIFY(m_fx.module->write(QByteArray(40, 'w') + "\r" + QByteArray(40, 'x') + "\r"));
        QTRY_COMPARE(w.ListModel->rowCount(), 3);
        w.ListBox1->setFocus();
        QTest::keyClick(w.ListBox1, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(w.ArrivalTimes1->isChecked());
        QTest::qWait(100);
        const QImage withTimes = terminalArea(w);
        w.ArrivalTimes1->trigger();
        const QImage withoutTimes = terminalArea(w);
        w.ArrivalTimes1->trigger();
        QVERIFY(w.ArrivalTimes1->isChecked());

        const QImage page = printedPage(w, printToFile(w));
        QVERIFY(!page.isNull());
        // Where the column would be: the left part of the list's rows, below the toolbars.
        const int top = w.menuBar()->geometry().bottom() + 1;
        const int listTop = w.ListBox1->mapTo(&w, QPoint(0, 0)).y() - top;
        const QRect strip(0, listTop, w.ListBox1->width() / 4, w.ListBox1->height() - listTop);
        const auto left = [&](const QImage &picture) {
            return picture
                .scaled(w.ListBox1->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .copy(strip);
        };
        const double near = difference(left(page), left(withoutTimes));
        const double far = difference(left(page), left(withTimes));
        QVERIFY2(far > 1.5 * near,
                 qPrintable(QStringLiteral("difference %1 from the list without times, %2 from "
                                           "the list with them")
                                .arg(near)
                                .arg(far)));
        // The column is back on screen after the job.
        QVERIFY(w.ArrivalTimes1->isChecked());
        QCOMPARE(difference(terminalArea(w), withTimes), 0.0);
    }

    void printSetupAndCancel()
    {
        TMain &w = *m_fx.window;
        const QString pdf = m_fx.homePath() + "/setup.pdf";
        QList<PrintDialog> dialogs;
        bool accept = true;
        zorvane::app::setPrintDialogHandler([&](PrintDialog dialog, QPrinter &printer) {
            dialogs << dialog;
            if (!accept)
                return false;
            if (dialog == PrintDialog::PageSetup)
                printer.setPageSize(QPageSize(QPageSize::A5));
            else
                printer.setOutputFileName(pdf);
            return true;
        });
        // The page chosen in Print Setup holds for the print job after it.
        w.PrintSetup1->trigger();
        w.Print1->trigger();
        QCOMPARE(dialogs, (QList<PrintDialog>{PrintDialog::PageSetup, PrintDialog::Print}));
        const QString size = pdfInfo(pdf).value("Page size");
        QVERIFY2(size.contains("(A5)") && size.startsWith("595"), qPrintable(size));

        // A cancelled print dialog prints nothing.
        QVERIFY(QFile::remove(pdf));
        accept = false;
        w.Print1->trigger();
        QVERIFY(!QFile::exists(pdf));
    }

private:
    // Prints through the print dialog's seam to a PDF file, as a user printing to a file does,
    // in portrait, which printing turns to landscape.
    QString printToFile(TMain &w, QList<PrintDialog> *dialogs = nullptr)
    {
        const QString pdf = m_fx.homePath() + "/printout.pdf";
        QFile::remove(pdf);
        zorvane::app::setPrintDialogHandler([&](PrintDialog dialog, QPrinter &printer) {
            if (dialogs)
                *dialogs << dialog;
            printer.setOutputFileName(pdf);
            printer.setPageOrientation(QPageLayout::Portrait);
            return true;
        });
        w.Print1->trigger();
        zorvane::app::setPrintDialogHandler({});
        return pdf;
    }

    // The printed area of the page at 40 dots per inch.
    QImage printedPage(TMain &w, const QString &pdf)
    {
        const QString png = m_fx.homePath() + "/page";
        if (QProcess::execute("pdftoppm", {"-r", "40", "-png", "-singlefile", pdf, png}) != 0)
            return {};
        const QImage page(png + ".png");
        const QRectF paint = w.Printer->pageLayout().paintRect(QPageLayout::Point);
        const double scale = 40.0 / 72.0;
        return page.copy(QRectF(paint.topLeft() * scale, paint.size() * scale).toRect());
    }

    // What the printout should show: the area under the menu bar, as large as the list.
    static QImage terminalArea(TMain &w)
    {
        const int top = w.menuBar()->geometry().bottom() + 1;
        const QImage area = w.grab(QRect(0, top, w.width(), w.height() - top)).toImage();
        return area.copy(QRect(QPoint(0, 0), w.ListBox1->size()));
    }

    WindowFixture m_fx;
};

QTEST_MAIN(TestMainClipboard)
#include "tst_main_clipboard.moc"
