// The settings file of the main window: read or created at start-up, carried into the window
// and the session variables, and written back at shutdown.
#include "app/main_window/MainForm.h"

#include "app/MessageBoxes.h"
#include "app/main_window/ModemToolbar.h"
#include "app/main_window/WindowPlace.h"
#include "app/plot_window/PlotWindow.h"
#include "settings/ModemLineSettings.h"
#include "settings/OtherInstances.h"
#include "terminal/LineEnd.h"
#include "terminal/view/TerminalModel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolBar>

#include <functional>
#include <vector>

using namespace zorvane::settings;
using zorvane::terminal::LineEnd;

namespace {

// One leaf of the file: where it sits, the value a new file holds, how the window takes it on
// and how it is read back. A new file, applying and saving all walk this one table, so the
// file's order and its new-file values are written down once.
struct SettingsLeaf
{
    QString group;
    QString name;
    std::function<LeafValue(const TMain &)> newFileValue;
    std::function<void(TMain &, const LeafValue &)> apply;
    std::function<LeafValue(const TMain &)> read;
};

SettingsLeaf number(const char *group, const char *name, int newFile,
                    std::function<void(TMain &, int)> apply, std::function<int(const TMain &)> read)
{
    return {QLatin1String(group), QLatin1String(name), [newFile](const TMain &) { return newFile; },
            [apply](TMain &w, const LeafValue &v) { apply(w, std::get<int>(v)); },
            [read](const TMain &w) { return read(w); }};
}

// A line setting of the connection, under COMPORT.
SettingsLeaf lineSetting(const char *name, int newFile, int zorvane::serial::LineSettings::*setting)
{
    return number(
        "COMPORT", name, newFile,
        [setting](TMain &w, int v) {
            zorvane::serial::LineSettings settings = w.session.connection().lineSettings();
            settings.*setting = v;
            w.session.connection().setLineSettings(settings);
        },
        [setting](const TMain &w) { return w.session.connection().lineSettings().*setting; });
}

SettingsLeaf toolbar(const char *name, QToolBar *TMain::*bar)
{
    return {QStringLiteral("Toolbars"), QLatin1String(name),
            [](const TMain &) { return NewFileValues::toolbar; },
            [bar](TMain &w, const LeafValue &v) { (w.*bar)->setHidden(!std::get<bool>(v)); },
            [bar](const TMain &w) { return !(w.*bar)->isHidden(); }};
}

// A check mark restored as a mark only: QAction::setChecked runs no triggered handler.
SettingsLeaf option(const char *name, QAction *TMain::*item, bool newFile = NewFileValues::option)
{
    return {QStringLiteral("Options"), QLatin1String(name),
            [newFile](const TMain &) { return newFile; },
            [item](TMain &w, const LeafValue &v) { (w.*item)->setChecked(std::get<bool>(v)); },
            [item](const TMain &w) { return (w.*item)->isChecked(); }};
}

SettingsLeaf historyEntry(int n)
{
    return {QStringLiteral("Data"), QStringLiteral("send%1").arg(n),
            [n](const TMain &) {
                return QString(n == 1 ? QStringLiteral("SET") : QStringLiteral(" "));
            },
            [n](TMain &w, const LeafValue &v) {
                w.SendString->setItemText(n - 1, std::get<QString>(v));
            },
            [n](const TMain &w) { return w.SendString->itemText(n - 1); }};
}

const std::vector<SettingsLeaf> &settingsLeaves()
{
    static const std::vector<SettingsLeaf> leaves = [] {
        std::vector<SettingsLeaf> t{
            // The window's place and size are those of its client area, saved and restored
            // from the same corner: the frame is only known once a window manager has framed
            // the window, and none may be running. The four values are applied together once
            // read, made safe for the screens present.
            number(
                "Window", "left", NewFileValues::left,
                [](TMain &w, int v) { w.restoredPlace.left = v; },
                [](const TMain &w) { return w.geometry().x(); }),
            number(
                "Window", "top", NewFileValues::top,
                [](TMain &w, int v) { w.restoredPlace.top = v; },
                [](const TMain &w) { return w.geometry().y(); }),
            number(
                "Window", "width", NewFileValues::width,
                [](TMain &w, int v) { w.restoredPlace.width = v; },
                [](const TMain &w) { return w.width(); }),
            number(
                "Window", "height", NewFileValues::height,
                [](TMain &w, int v) { w.restoredPlace.height = v; },
                [](const TMain &w) { return w.height(); }),
            number(
                "COMPORT", "com", NewFileValues::com,
                [](TMain &w, int v) { w.session.connection().setPort(v); },
                [](const TMain &w) { return w.session.connection().port(); }),
            lineSetting("baud", NewFileValues::baud, &zorvane::serial::LineSettings::baudRate),
            lineSetting("dataBits", NewFileValues::dataBits,
                        &zorvane::serial::LineSettings::dataBits),
            lineSetting("parity", NewFileValues::parity, &zorvane::serial::LineSettings::parity),
            lineSetting("stopbits", NewFileValues::stopbits,
                        &zorvane::serial::LineSettings::stopBits),
            toolbar("spp", &TMain::ToolBar_SPP),
            toolbar("BGIO", &TMain::ToolBar_BGIO),
            toolbar("HID", &TMain::ToolBar_HID),
            toolbar("GainSpan", &TMain::ToolBar_GainSpan),
            option("echo", &TMain::Echo1),
            option("hexmoder", &TMain::HexMode),
            option("hexmodew", &TMain::HexModeWrite1),
            option("unreadable", &TMain::UnReadable1),
            // The MUX box is kept quiet, so no multiplexing command goes out.
            {QStringLiteral("Options"), QStringLiteral("multiplex"),
             [](const TMain &) { return NewFileValues::option; },
             [](TMain &w, const LeafValue &v) {
                 const QSignalBlocker quiet(w.MUX1);
                 w.MUX1->setChecked(std::get<bool>(v));
             },
             [](const TMain &w) { return w.MUX1->isChecked(); }},
            option("greenonblack", &TMain::GreenonBlack),
            option("timestamp", &TMain::TimeStamp1),
            option("datestamp", &TMain::DateStamp1),
            option("log", &TMain::Log1),
            option("ResetOnConnect", &TMain::ResetonConnect, NewFileValues::ResetOnConnect),
            // The address is saved for the user's eyes; a start begins with "Unknown MAC".
            {QStringLiteral("Data"), QStringLiteral("mac"),
             [](const TMain &) { return QStringLiteral("Unknown Mac"); },
             [](TMain &, const LeafValue &) {},
             [](const TMain &w) { return w.MAC_Address->currentText(); }},
        };
        for (int n = 1; n <= TXMLDataType::kSendEntries; ++n)
            t.push_back(historyEntry(n));
        t.push_back({QStringLiteral("Data"), QStringLiteral("logdir"),
                     [](const TMain &w) { return w.DocumentsFolder + QStringLiteral("test.csv"); },
                     [](TMain &w, const LeafValue &v) { w.LogFileName = std::get<QString>(v); },
                     [](const TMain &w) { return w.LogFileName; }});
        // Added later than the others, so older files lack it: 0 no arrival times beside
        // the lines, 1 the time of day, 2 the time since the previous line.
        t.push_back(number(
            "Options", "arrivaltimes", 0,
            [](TMain &w, int v) {
                w.ArrivalTimes1->setChecked(v == 1 || v == 2);
                w.SincePrevious1->setChecked(v == 2);
                w.ArrivalTimes1Click();
            },
            [](const TMain &w) {
                return !w.ArrivalTimes1->isChecked() ? 0 : w.SincePrevious1->isChecked() ? 2 : 1;
            }));
        // Added later too: the "Modem lines" toolbar, after the four command toolbars.
        t.push_back({QStringLiteral("Toolbars"), QStringLiteral("modem"),
                     [](const TMain &) { return NewFileValues::toolbar; },
                     [](TMain &w, const LeafValue &v) {
                         w.ToolBar_ModemLines->setHidden(!std::get<bool>(v));
                     },
                     [](const TMain &w) { return !w.ToolBar_ModemLines->isHidden(); }});
        // Added later too: MB of packed older lines kept in memory before the oldest go to
        // disk; 0 keeps them all in memory.
        t.push_back(number(
            "Options", "scrollbackmemory", NewFileValues::scrollbackmemory,
            [](TMain &w, int v) { w.ListModel->lines().setSpillMegabytes(v); },
            [](const TMain &w) { return w.ListModel->lines().spillMegabytes(); }));
        // Added later too: the Plot window's place and patterns, and whether it is shown
        // (last, so it opens where it was left, with its patterns in place). A width of 0
        // is no place: the window then opens beside the main window. The names are the group's
        // own, apart from the main window's.
        const auto plotPlace = [](const char *name, void (QRect::*set)(int),
                                  int (QRect::*get)() const) {
            return number(
                "Plot", name, 0,
                [set](TMain &w, int v) {
                    QRect place = w.Form_Plot->placeToSave();
                    (place.*set)(v);
                    w.Form_Plot->setSavedPlace(place);
                },
                [get](const TMain &w) { return (w.Form_Plot->placeToSave().*get)(); });
        };
        t.push_back(plotPlace("plotleft", &QRect::moveLeft, &QRect::x));
        t.push_back(plotPlace("plottop", &QRect::moveTop, &QRect::y));
        t.push_back(plotPlace("plotwidth", &QRect::setWidth, &QRect::width));
        t.push_back(plotPlace("plotheight", &QRect::setHeight, &QRect::height));
        t.push_back({QStringLiteral("Plot"), QStringLiteral("patterns"),
                     [](const TMain &) { return QString(); },
                     [](TMain &w, const LeafValue &v) {
                         w.Form_Plot->setPatternText(std::get<QString>(v));
                     },
                     [](const TMain &w) { return w.Form_Plot->patternText(); }});
        t.push_back({QStringLiteral("Plot"), QStringLiteral("shown"),
                     [](const TMain &) { return false; },
                     [](TMain &w, const LeafValue &v) { w.showPlotWindow(std::get<bool>(v)); },
                     [](const TMain &w) { return w.Form_Plot->isVisible(); }});
        // Added later too: the send box's line end ("Module", "CR", "LF", "CR LF", "None"),
        // its bytes mode and the hex dump view of received bytes.
        t.push_back({QStringLiteral("Options"), QStringLiteral("lineend"),
                     [](const TMain &) { return QStringLiteral("Module"); },
                     [](TMain &w, const LeafValue &v) {
                         const auto end = zorvane::terminal::lineEndFromName(std::get<QString>(v));
                         w.LineEnd1->setCurrentText(
                             zorvane::terminal::lineEndName(end.value_or(LineEnd::Module)));
                     },
                     [](const TMain &w) { return w.LineEnd1->currentText(); }});
        t.push_back({QStringLiteral("Options"), QStringLiteral("sendbytes"),
                     [](const TMain &) { return NewFileValues::option; },
                     [](TMain &w, const LeafValue &v) { w.Bytes1->setChecked(std::get<bool>(v)); },
                     [](const TMain &w) { return w.Bytes1->isChecked(); }});
        t.push_back(option("hexdump", &TMain::HexDump1));
        return t;
    }();
    return leaves;
}

} // namespace

void TMain::LoadSettings()
{
    XMLDocument1.FileName = DocumentsFolder + settingsFileName();
    SettingsRoot.reset();
    m_newSettingsFile = false;
    if (QFileInfo::exists(XMLDocument1.FileName)) {
        SettingsRoot = OpenSettingsRoot(XMLDocument1);
        if (!SettingsRoot) {
            zorvane::app::showMessage(this, QStringLiteral("Unable to open file: ") +
                                                XMLDocument1.FileName);
            // Nothing of the user's is destroyed: a damaged file is kept as .bad. Anything
            // else stays where it is, and the new file is not written over it.
            WriteDefaultSettings(SettingsDocument::setAsideDamaged(XMLDocument1.FileName));
        }
    } else {
        WriteDefaultSettings();
    }
}

void TMain::WriteDefaultSettings(std::optional<QFileDevice::Permissions> replacedMode)
{
    m_newSettingsFile = true;
    XMLDocument1.clear();
    if (CreateSettingsFile(replacedMode))
        SettingsRoot = OpenSettingsRoot(XMLDocument1);
    const bool fromFile = SettingsRoot.has_value();
    if (!fromFile) {
        // No file could be written or read back: the run goes on with the new-file values,
        // and shutdown tries to write them again.
        XMLDocument1.clear();
        XMLDocument1.adopt(newSettingsDom());
        SettingsRoot = OpenSettingsRoot(XMLDocument1);
    }

    for (const SettingsLeaf &leaf : settingsLeaves())
        SettingsRoot->setLeaf(leaf.group, leaf.name, leaf.newFileValue(*this));

    QString why;
    if (fromFile && !XMLDocument1.save(XMLDocument1.FileName, &why)) {
        zorvane::app::showMessage(this, QStringLiteral("Unable to write file: ") +
                                            XMLDocument1.FileName + QStringLiteral(" (") + why +
                                            QLatin1Char(')'));
    }
}

bool TMain::CreateSettingsFile(std::optional<QFileDevice::Permissions> replacedMode)
{
    SettingsDocument skeleton;
    skeleton.adopt(newSettingsDom());
    auto root = OpenSettingsRoot(skeleton);
    root->Window();
    QString why;
    if (!skeleton.save(XMLDocument1.FileName, &why)) {
        zorvane::app::showMessage(
            this, QStringLiteral("Unable to create xml file: ") + settingsFileName(), why);
        return false;
    }
    // The new file stands in for the damaged one and keeps its mode, read-only too.
    if (replacedMode)
        QFile::setPermissions(XMLDocument1.FileName,
                              SettingsDocument::replacementPermissions(*replacedMode));
    return true;
}

void TMain::ApplySettings()
{
    for (const SettingsLeaf &leaf : settingsLeaves())
        leaf.apply(*this, SettingsRoot->leaf(leaf.group, leaf.name, leaf.newFileValue(*this)));
    applyModemLineSettings();
    applyFlowControlSettings();
    applyFileSendingSettings();
    applyRestoredPlace();
    // The file holds ten entries; the eleventh repeats the newest.
    SendString->setItemText(SendString->count() - 1, SendString->itemText(0));
}

void TMain::applyRestoredPlace()
{
    const QSize minimum = minimumSize().expandedTo(minimumSizeHint());
    // All screens together: the window may have been left on any of them. Without a screen
    // there is no room to offer, and the smallest window is the one to make.
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->availableVirtualSize() : minimum;
    QRect place = zorvane::app::windowPlace(restoredPlace, minimum, available);
    // A window without a place of its own would open exactly on top of another instance's.
    if (m_newSettingsFile || !savesSettings())
        place.moveTopLeft(zorvane::app::besideOtherInstances(
            place.topLeft(), zorvane::settings::otherInstancePlaces(DocumentsFolder)));
    // A place on a monitor that is no longer there would leave the window out of reach.
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    setGeometry(zorvane::app::reachablePlace(place, zorvane::app::availableScreenAreas(), titleBar,
                                             minimum));
}

QMap<QString, QStringList> TMain::settingsLeafNames()
{
    QMap<QString, QStringList> names;
    for (const SettingsLeaf &leaf : settingsLeaves())
        names[leaf.group] << leaf.name;
    names[zorvane::settings::ModemLineSettings::groupName()] =
        zorvane::settings::ModemLineSettings::leafNames();
    return names;
}

void TMain::SaveSettings()
{
    if (!SettingsRoot)
        return;
    // Newer leaves and groups survive a save that has to drop what the program does not read.
    const QMap<QString, QStringList> leaves = settingsLeafNames();
    for (auto group = leaves.begin(); group != leaves.end(); ++group)
        XMLDocument1.keepLeaves(group.key(), group.value());
    for (const SettingsLeaf &leaf : settingsLeaves())
        SettingsRoot->setLeaf(leaf.group, leaf.name, leaf.read(*this));
    saveModemLineSettings();
    saveFlowControlSettings();
    saveFileSendingSettings();

    // The permission bits decide, not whether this process could write anyway (root can).
    if (SettingsDocument::isReadOnly(XMLDocument1.FileName)) {
        zorvane::app::showMessage(this, settingsFileName() +
                                            QStringLiteral(" file read only - settings not saved"));
        return;
    }
    // A file removed while the program ran is written anew.
    QString why;
    if (!XMLDocument1.save(XMLDocument1.FileName, &why)) {
        zorvane::app::showMessage(this, QStringLiteral("Unable to write file: ") +
                                            XMLDocument1.FileName + QStringLiteral(" (") + why +
                                            QLatin1Char(')'));
    }
}
