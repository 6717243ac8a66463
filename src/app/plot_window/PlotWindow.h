#pragma once

#include <QRect>
#include <QWidget>

#include <optional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTableView;
class QTimer;

namespace zorvane::session {
class ModuleSession;
}

namespace zorvane::plot {
class PlotData;
class SessionFeed;
} // namespace zorvane::plot

namespace zorvane::app {

class PlotChart;
class SeriesModel;

// The "Plot" window: the patterns that pick numbers out of received lines, the chart of
// every series over time, the "Series" table below it, and the export of the values as CSV
// to a file or the clipboard. It listens to the session only while it is shown.
class PlotWindow : public QWidget
{
    Q_OBJECT
public:
    PlotWindow(QWidget *mainWindow, session::ModuleSession &session);
    ~PlotWindow() override;

    // Where exports go: the documents folder, and the profile's prefix of the file names.
    void setExportPlace(const QString &folder, const QString &prefix);
    // The place saved for it; applied, made reachable, when it is next shown.
    void setSavedPlace(const QRect &place) { m_savedPlace = place; }
    // Its client area once it has been shown, else the place it was given; for the settings.
    QRect placeToSave() const;

    QString patternText() const;
    void setPatternText(const QString &text);

    // Handlers
    void PatternChange();
    void ExportClick();
    void CopyClick();
    void ClearClick();

    plot::PlotData &data() { return *m_data; }
    plot::SessionFeed &feed() { return *m_feed; }

    QPlainTextEdit *Pattern = nullptr;
    QLabel *PatternError = nullptr;
    QPushButton *Follow = nullptr;
    QPushButton *Clear = nullptr;
    QPushButton *ExportCsv = nullptr;
    QPushButton *Copy = nullptr;
    PlotChart *Chart = nullptr;
    QTableView *SeriesTable = nullptr;
    QStatusBar *Status = nullptr;

signals:
    // Closed from its title bar (or hidden another way): the menu item's mark goes.
    void closed();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void place();
    void describeChart();

    plot::PlotData *m_data = nullptr;
    plot::SessionFeed *m_feed = nullptr;
    SeriesModel *m_model = nullptr;
    QTimer *m_redraw = nullptr;
    QString m_exportFolder;
    QString m_exportPrefix;
    std::optional<QRect> m_savedPlace;
    bool m_placed = false;
};

} // namespace zorvane::app
