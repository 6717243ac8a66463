#include "app/plot_window/PlotWindow.h"

#include "app/MessageBoxes.h"
#include "app/main_window/WindowPlace.h"
#include "app/plot_window/PlotChart.h"
#include "app/plot_window/SeriesModel.h"
#include "plot/CsvExport.h"
#include "plot/PlotData.h"
#include "plot/SessionFeed.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace zorvane::app {

namespace {
// First shown this far right of the main window, as the BGAPI window is.
constexpr int kShowOffset = 250;
// The longest a value waits to be drawn.
constexpr int kRedrawMs = 100;
} // namespace

PlotWindow::PlotWindow(QWidget *mainWindow, session::ModuleSession &session)
    : QWidget(mainWindow, Qt::Window)
{
    setWindowTitle(QStringLiteral("Plot"));
    setAccessibleName(QStringLiteral("Plot"));
    // Closing the main window ends the program, whether or not this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(720, 560);
    m_data = new plot::PlotData(this);
    m_feed = new plot::SessionFeed(session, *m_data, this);

    Pattern = new QPlainTextEdit(this);
    Pattern->setAccessibleName(QStringLiteral("Pattern"));
    Pattern->setPlaceholderText(
        QStringLiteral("A regular expression a line, e.g. T=(?<temp>-?\\d+\\.\\d+)"));
    Pattern->setTabChangesFocus(true);
    Pattern->setLineWrapMode(QPlainTextEdit::NoWrap);
    Pattern->setFixedHeight(Pattern->fontMetrics().lineSpacing() * 3 + 12);
    auto *patternLabel = new QLabel(QStringLiteral("Pattern"), this);
    patternLabel->setBuddy(Pattern);
    PatternError = new QLabel(this);
    PatternError->setAccessibleName(QStringLiteral("Pattern error"));
    PatternError->hide();

    Follow = new QPushButton(QStringLiteral("Follow"), this);
    Follow->setAccessibleName(QStringLiteral("Follow"));
    Follow->setCheckable(true);
    Follow->setChecked(true);
    Follow->setToolTip(QStringLiteral("Follow the newest values (End); zooming holds the view"));
    Clear = new QPushButton(QStringLiteral("Clear"), this);
    Clear->setAccessibleName(QStringLiteral("Clear"));
    ExportCsv = new QPushButton(QStringLiteral("Export CSV"), this);
    ExportCsv->setAccessibleName(QStringLiteral("Export CSV"));
    Copy = new QPushButton(QStringLiteral("Copy"), this);
    Copy->setAccessibleName(QStringLiteral("Copy"));

    Chart = new PlotChart(*m_data, this);
    Chart->setAccessibleName(QStringLiteral("Chart"));
    m_model = new SeriesModel(*m_data, this);
    SeriesTable = new QTableView(this);
    SeriesTable->setModel(m_model);
    SeriesTable->setAccessibleName(QStringLiteral("Series"));
    SeriesTable->verticalHeader()->hide();
    SeriesTable->horizontalHeader()->setStretchLastSection(true);
    SeriesTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    SeriesTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SeriesTable->setTabKeyNavigation(false);
    Status = new QStatusBar(this);
    Status->setAccessibleName(QStringLiteral("Plot status"));
    Status->setSizeGripEnabled(false);

    auto *patternRow = new QHBoxLayout;
    patternRow->addWidget(patternLabel, 0, Qt::AlignTop);
    patternRow->addWidget(Pattern, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Follow);
    buttons->addWidget(Clear);
    buttons->addStretch(1);
    buttons->addWidget(ExportCsv);
    buttons->addWidget(Copy);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(Chart);
    splitter->addWidget(SeriesTable);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(patternRow);
    layout->addWidget(PatternError);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);
    layout->addWidget(Status);

    connect(Pattern, &QPlainTextEdit::textChanged, this, &PlotWindow::PatternChange);
    connect(Follow, &QPushButton::toggled, Chart, &PlotChart::setFollowing);
    connect(Chart, &PlotChart::followingChanged, Follow, &QPushButton::setChecked);
    connect(Clear, &QPushButton::clicked, this, &PlotWindow::ClearClick);
    connect(ExportCsv, &QPushButton::clicked, this, &PlotWindow::ExportClick);
    connect(Copy, &QPushButton::clicked, this, &PlotWindow::CopyClick);
    connect(Chart, &PlotChart::legendClicked, this,
            [this](qsizetype n) { m_data->setVisible(n, !m_data->at(n).visible); });
    // Drawn again only when something changed: nothing runs while nothing arrives. Values
    // that keep coming are shown at most ten times a second, however often they are added:
    // a flood of lines must not spend its time redrawing millions of points.
    m_redraw = new QTimer(this);
    m_redraw->setSingleShot(true);
    m_redraw->setInterval(kRedrawMs);
    const auto changed = [this] {
        Chart->update();
        describeChart();
        m_model->refresh();
    };
    connect(m_redraw, &QTimer::timeout, this, changed);
    connect(m_data, &plot::PlotData::valuesAdded, this, [this] {
        if (!m_redraw->isActive())
            m_redraw->start();
    });
    connect(m_data, &plot::PlotData::seriesChanged, this, [this, changed] {
        changed();
        SeriesTable->resizeColumnsToContents();
    });
    connect(m_data, &plot::PlotData::visibilityChanged, this, changed);
    describeChart();
}

PlotWindow::~PlotWindow() = default;

void PlotWindow::setExportPlace(const QString &folder, const QString &prefix)
{
    m_exportFolder = folder;
    m_exportPrefix = prefix;
}

QString PlotWindow::patternText() const
{
    return Pattern->toPlainText();
}

void PlotWindow::setPatternText(const QString &text)
{
    Pattern->setPlainText(text);
}

void PlotWindow::PatternChange()
{
    m_data->setPatterns(Pattern->toPlainText());
    m_feed->patternsChanged();
    const auto &errors = m_data->patterns().errors();
    // A pale red field says what is wrong and where, as the find bar's does.
    QPalette colours = palette();
    if (!errors.isEmpty())
        colours.setColor(QPalette::Base, QColor(0xFF, 0xD0, 0xD0));
    Pattern->setPalette(colours);
    QStringList texts;
    for (const auto &error : errors)
        texts << error.text();
    const QString text = texts.join(QLatin1Char('\n'));
    Pattern->setAccessibleDescription(text.isEmpty() ? QString()
                                                     : QStringLiteral("Not a valid regular "
                                                                      "expression: ") +
                                                           text);
    Pattern->setToolTip(Pattern->accessibleDescription());
    PatternError->setText(text);
    PatternError->setVisible(!text.isEmpty());
}

void PlotWindow::ExportClick()
{
    const QString path =
        m_exportFolder + plot::csvFileName(m_exportPrefix, QDateTime::currentDateTime());
    QSaveFile file(path);
    const QByteArray text = plot::csvText(m_data->all());
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        showMessage(this, QStringLiteral("Unable to write file: ") + path + QStringLiteral(" (") +
                              file.errorString() + QLatin1Char(')'));
        return;
    }
    Status->showMessage(QStringLiteral("Exported to ") + path);
}

void PlotWindow::CopyClick()
{
    QGuiApplication::clipboard()->setText(QString::fromUtf8(plot::csvText(m_data->all())));
    Status->showMessage(QStringLiteral("Copied %1 series").arg(m_data->count()));
}

void PlotWindow::ClearClick()
{
    m_data->clear();
    Chart->showAll();
}

void PlotWindow::describeChart()
{
    Chart->setAccessibleDescription(m_data->summary());
}

void PlotWindow::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        place();
    m_feed->setActive(true);
    QWidget::showEvent(event);
}

void PlotWindow::hideEvent(QHideEvent *event)
{
    // A window minimised is still the user's to see; one closed or hidden takes nothing.
    if (!event->spontaneous()) {
        m_feed->setActive(false);
        emit closed();
    }
    QWidget::hideEvent(event);
}

QRect PlotWindow::placeToSave() const
{
    if (m_placed)
        return geometry();
    return m_savedPlace.value_or(QRect());
}

void PlotWindow::place()
{
    if (m_placed)
        return;
    m_placed = true;
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const QSize minimum = minimumSizeHint();
    if (m_savedPlace && m_savedPlace->isValid()) {
        setGeometry(reachablePlace(*m_savedPlace, availableScreenAreas(), titleBar, minimum));
        return;
    }
    const QWidget *main = parentWidget();
    if (!main)
        return;
    QSize frame = frameGeometry().size();
    if (frame == size())
        frame.rheight() += titleBar;
    const QRect wanted(QPoint(main->pos().x() + kShowOffset, main->pos().y()), frame);
    move(keepOnScreen(wanted, availableScreenAreas()));
}

} // namespace zorvane::app
