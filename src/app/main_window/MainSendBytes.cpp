// The send box's exact forms and the hex dump switch: the "Line end" box and the "Bytes" box
// beside the send box, and Options > "Hex dump". What the bytes are and how they are framed
// is the module session's rule; the window reads its controls and shows what went wrong.
#include "app/main_window/MainForm.h"

#include "app/main_window/ComboBoxNames.h"

#include "app/main_window/KeyboardMenus.h"
#include "terminal/LineEnd.h"
#include "terminal/WireText.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>

using zorvane::terminal::LineEnd;

namespace {
// Set on a history entry: whether it was sent as bytes; entries without it leave the box.
constexpr int kSentAsBytesRole = Qt::UserRole + 1;
// How long the status bar shows why a text was not sent.
constexpr int kStatusMessageMs = 5000;
} // namespace

void TMain::buildSendBytes()
{
    // A toolbar of its own on a row of its own: the send box's row keeps its controls and the
    // window its design width.
    addToolBarBreak();
    ToolBar_Sending = addToolBar(QStringLiteral("ToolBar_Sending"));
    ToolBar_Sending->setObjectName(QStringLiteral("ToolBar_Sending"));
    ToolBar_Sending->setAccessibleName(QStringLiteral("Sending"));
    ToolBar_Sending->setMovable(false);
    ToolBar_Sending->setFixedHeight(40);
    ToolBar_Sending->addSeparator();

    LineEnd1 = new QComboBox(ToolBar_Sending);
    zorvane::app::labelForScreenReaders(LineEnd1, QStringLiteral("Line end"));
    LineEnd1->setToolTip(QStringLiteral("Line end"));
    LineEnd1->addItems(zorvane::terminal::lineEndNames());
    ToolBar_Sending->addWidget(LineEnd1);

    Bytes1 = new QCheckBox(QStringLiteral("Bytes"), ToolBar_Sending);
    Bytes1->setAccessibleName(QStringLiteral("Bytes"));
    Bytes1->setToolTip(QStringLiteral("Send the text as hexadecimal bytes and \"quoted text\""));
    ToolBar_Sending->addWidget(Bytes1);
    // A new mode or a new text no longer carries the old complaint.
    connect(Bytes1, &QCheckBox::toggled, this, [this] { markByteText({}); });
    connect(SendString->lineEdit(), &QLineEdit::textChanged, this, [this] { markByteText({}); });

    // With the menu's other additions, behind the separator after its own items.
    HexDump1 = Options->addAction(QStringLiteral("Hex dump"));
    HexDump1->setCheckable(true);
    // A letter of its own for the keyboard, as the menu's other items have.
    QStringList captions;
    for (const QAction *item : Options->actions())
        captions << item->text();
    HexDump1->setText(zorvane::app::withMnemonics(captions).last());
    connect(HexDump1, &QAction::triggered, this, &TMain::HexDump1Click);
}

void TMain::addHexDumpToPopup()
{
    // After the list's own items and their separator, with the other additions.
    PopupMenu1->addAction(HexDump1);
}

LineEnd TMain::lineEnd() const
{
    return zorvane::terminal::lineEndFromName(LineEnd1->currentText()).value_or(LineEnd::Module);
}

bool TMain::sendExact()
{
    const QString text = SendString->currentText();
    if (Bytes1->isChecked()) {
        const auto error = session.sendByteText(text);
        markByteText(error);
        if (error)
            statusBar()->showMessage(error->text(), kStatusMessageMs);
        else
            SendString->setItemData(0, true, kSentAsBytesRole);
        return true;
    }
    // Hex Write and the module's own line end keep the specified forms.
    if (lineEnd() == LineEnd::Module || HexModeWrite1->isChecked())
        return false;
    session.sendText(text, lineEnd());
    SendString->setItemData(0, false, kSentAsBytesRole);
    return true;
}

void TMain::markByteText(const std::optional<zorvane::terminal::ByteTextError> &error)
{
    QLineEdit *field = SendString->lineEdit();
    const QString why = error ? error->text() : QString();
    if (field->toolTip() == why)
        return;
    // A pale red field says what a message box would, without stopping the user.
    QPalette colours = SendString->palette();
    if (error)
        colours.setColor(QPalette::Base, QColor(0xFF, 0xD0, 0xD0));
    field->setPalette(colours);
    field->setToolTip(why);
    field->setAccessibleDescription(why);
}

bool TMain::sendTypedLineEnd()
{
    if (lineEnd() == LineEnd::Module)
        return false;
    session.sendTypedLineEnd();
    return true;
}

void TMain::historyModeChosen(int index)
{
    // The entry goes out again in the mode it was sent in.
    const QVariant asBytes = SendString->itemData(index, kSentAsBytesRole);
    if (asBytes.isValid())
        Bytes1->setChecked(asBytes.toBool());
}

void TMain::shiftHistoryModes(qsizetype pushed)
{
    // The marks move with their texts; new entries have none.
    const int count = SendString->count();
    for (int i = count - 1; i >= 0; --i) {
        const QVariant mark =
            i >= pushed ? SendString->itemData(i - int(pushed), kSentAsBytesRole) : QVariant();
        SendString->setItemData(i, mark, kSentAsBytesRole);
    }
}

void TMain::HexDump1Click()
{
    session.hexDumpSwitched();
}
