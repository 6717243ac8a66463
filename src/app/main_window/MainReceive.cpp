// Receive side of the main window: the timer tick that reads the port, and the terminal
// list's own operations. The rules of a tick live in LineAssembly; this file reads the
// window's check marks and hands them over.
#include "app/main_window/MainForm.h"

#include "terminal/view/TerminalModel.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPalette>

using zorvane::terminal::LineAssembly;
using zorvane::terminal::LineStyle;
using zorvane::terminal::ReceiveHooks;
using zorvane::terminal::ReceiveOptions;

namespace {

const QColor kAliceBlue(0xF0, 0xF8, 0xFF);
const QColor kNavy(0x00, 0x00, 0x80);
const QColor kLawnGreen(0x7C, 0xFC, 0x00);
// A character of the terminal list is taken as this many pixels wide for the wrap.
constexpr int kWrapPixelsPerChar = 8;

ReceiveOptions receiveOptions(const TMain &window)
{
    ReceiveOptions options;
    options.hexMode = window.HexMode->isChecked();
    options.unreadable = window.UnReadable1->isChecked();
    options.lineFeedEndsLine = window.AddLineFeedton1->isChecked();
    options.echo = window.Echo1->isChecked();
    options.log = window.Log1->isChecked();
    options.bgapi = window.bgapiWindowVisible();
    options.wrapChars = window.width() / kWrapPixelsPerChar;
    return options;
}

// What a tick asks of the window.
class WindowHooks final : public ReceiveHooks
{
public:
    explicit WindowHooks(TMain &window) : m_window(window) {}

    void clearList() override { m_window.Clear1Click(); }
    void captureInquiry(QByteArrayView line) override { m_window.CaptureInquiry(line); }
    void bgapiDecode(quint8 byte) override { m_window.bgapi_decode(byte); }
    bool takeBgapiPacketDone() override { return m_window.bgapi.rx.takePacketDone(); }
    void logLine(QByteArray &text) override { m_window.LogLine(text); }

private:
    TMain &m_window;
};

} // namespace

void TMain::Timer1Timer()
{
    const int first = pacer.startTick() ? CheckLink() : serial.c_getc();
    if (first < 0)
        return;
    WindowHooks hooks(*this);
    m_lineAssembly.tick(first, serial, ListModel->lines(), receiveOptions(*this), hooks);
}

void TMain::ShowRxChar(int &byte, QByteArray &pending)
{
    WindowHooks hooks(*this);
    LineAssembly::showRxChar(byte, pending, serial, receiveOptions(*this), hooks);
}

void TMain::HandleEscape(QByteArray &pending)
{
    WindowHooks hooks(*this);
    LineAssembly::handleEscape(pending, serial, hooks, bgapiWindowVisible());
}

void TMain::AddtoList(int newLine, const QString &text)
{
    LineAssembly::addToList(ListModel->lines(), newLine, QStringView(text), receiveOptions(*this));
    refreshTerminalView();
}

void TMain::CaptureInquiry(QByteArrayView line)
{
    if (!LineAssembly::isInquiryLine(line))
        return;
    // The placeholder "Unknown MAC" goes with the first real address.
    if (MAC_Address->count() == 0 || !MAC_Address->itemText(0).contains(QLatin1Char(':')))
        MAC_Address->clear();
    const QString address = QString::fromLatin1(LineAssembly::inquiryAddress(line));
    MAC->setText(address);
    if (!m_macEntries->contains(address))
        MAC_Address->addItem(address);
    MAC_Address->setCurrentIndex(MAC_Address->count() - 1);
}

int TMain::SplitString(const QString &delimiter, const QString &text)
{
    // An empty delimiter is never found, so a split loop always ends.
    const qsizetype at = delimiter.isEmpty() ? -1 : text.indexOf(delimiter);
    if (at < 0)
        return 0;
    split_head = text.left(at);
    split_tail = text.mid(at + delimiter.size());
    return static_cast<int>(at + 1);
}

void TMain::AddString(const QString &text)
{
    const ReceiveOptions options = receiveOptions(*this);
    auto &lines = ListModel->lines();
    // Splits at each CR LF as SplitString does, but walks the text instead of copying what
    // is left after every piece, so a pasted megabyte of short lines costs its length once.
    const QStringView whole(text);
    const QString delimiter = QStringLiteral("\r\n");
    qsizetype from = 0;
    qsizetype lastHead = -1;
    for (qsizetype at = whole.indexOf(delimiter); at >= 0; at = whole.indexOf(delimiter, from)) {
        LineAssembly::addToList(lines, 1, whole.sliced(from, at - from), options);
        lastHead = from;
        from = at + delimiter.size();
    }
    LineAssembly::addToList(lines, 0, whole.sliced(from), options);
    if (lastHead >= 0) {
        // What the last SplitString of the loop leaves behind.
        split_head = whole.sliced(lastHead, from - delimiter.size() - lastHead).toString();
        split_tail = whole.sliced(from).toString();
    }
    // The view learns of a long paste once, not once per line.
    refreshTerminalView();
}

void TMain::GreenonBlackClick()
{
    const bool green = GreenonBlack->isChecked();
    item_style = green ? LineStyle::Green : LineStyle::Standard;
    const QColor background = green ? QColor(Qt::black) : kAliceBlue;
    const QColor text = green ? kLawnGreen : kNavy;
    ListModel->setColours(background, text);
    // The list itself in the scheme's colours, and the selected line in the same two colours
    // swapped: the scheme's text colour on the style's own highlight bar is hard to read.
    QPalette palette = ListBox1->palette();
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Highlight, text);
    palette.setColor(QPalette::HighlightedText, background);
    ListBox1->setPalette(palette);
}

void TMain::Clear1Click()
{
    ListModel->clear();
    // Nothing is left to hold on to.
    followNewLines();
}
