// Printing from the main window: one landscape page showing the terminal area as it is on
// screen, and the page setup that later print jobs keep.
#include "app/main_window/MainForm.h"

#include "app/MessageBoxes.h"
#include "terminal/view/NewLinesMarker.h"
#include "terminal/view/TerminalView.h"

#include <QListView>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>

using zorvane::app::PrintDialog;
using zorvane::terminal::TerminalView;
using zorvane::terminal::TimeColumn;

namespace {

// Made on first use: looking up the system's printers is left until someone prints.
QPrinter &printerOf(TMain &window)
{
    if (!window.Printer)
        window.Printer = std::make_shared<QPrinter>();
    return *window.Printer;
}

// The list as the printout shows it, for as long as this lives: the arrival-time column and
// the new-lines marker are reading aids on screen, never part of the printed lines.
class PrintedLook
{
public:
    PrintedLook(TerminalView *view, QWidget *marker)
        : m_view(view), m_column(view->timeColumn()), m_marker(marker),
          m_markerShown(marker && marker->isVisible())
    {
        if (m_column != TimeColumn::Hidden)
            m_view->setTimeColumn(TimeColumn::Hidden);
        if (m_markerShown)
            m_marker->hide();
    }
    ~PrintedLook()
    {
        if (m_column != TimeColumn::Hidden)
            m_view->setTimeColumn(m_column);
        if (m_markerShown)
            m_marker->show();
    }
    PrintedLook(const PrintedLook &) = delete;
    PrintedLook &operator=(const PrintedLook &) = delete;

private:
    TerminalView *m_view;
    TimeColumn m_column;
    QWidget *m_marker;
    bool m_markerShown;
};

} // namespace

void TMain::MPrintClick()
{
    QPrinter &printer = printerOf(*this);
    if (!zorvane::app::showPrintDialog(this, PrintDialog::Print, printer))
        return;
    printer.setDocName(QStringLiteral("Zorvane Printout"));
    printer.setPageOrientation(QPageLayout::Landscape);

    // The terminal area: the client area below the menu, toolbars on top, as it looks now.
    const int top = menuBar()->isVisible() ? menuBar()->geometry().bottom() + 1 : 0;
    QImage area;
    {
        const PrintedLook look(static_cast<TerminalView *>(ListBox1), NewLines);
        area = grab(QRect(0, top, width(), height() - top)).toImage();
    }
    // Its top-left part as large as the terminal list: the toolbars above the list come out
    // at the top, and as much of the list's bottom is left out.
    const qreal scale = area.devicePixelRatio();
    area.setDevicePixelRatio(1);
    const QRect part(0, 0, qRound(ListBox1->width() * scale), qRound(ListBox1->height() * scale));

    QPainter painter;
    if (!painter.begin(&printer)) {
        zorvane::app::showMessage(this, QStringLiteral("Unable to print"));
        return;
    }
    painter.drawImage(QRect(0, 0, printer.width(), printer.height()), area, part);
    painter.end();
}

void TMain::MPrintSetupClick()
{
    // The dialog changes the kept printer only when it is accepted.
    zorvane::app::showPrintDialog(this, PrintDialog::PageSetup, printerOf(*this));
}
