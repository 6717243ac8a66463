// Sending files from the main window: File > "Send File..." and "Cancel Transfer", the
// "Transfer" progress bar in the status bar, and the dialog's choices kept for next time.
#include "app/main_window/MainForm.h"

#include "app/main_window/SendFileDialog.h"
#include "transfer/FileSend.h"

#include <QAction>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>

using zorvane::transfer::FileSend;

namespace {
// The bar counts in thousandths: a file's size may not fit its int.
constexpr int kBarSteps = 1000;
} // namespace

void TMain::buildFileSending()
{
    File->addSeparator();
    SendFile1 = File->addAction(QStringLiteral("Send File..."));
    CancelTransfer1 = File->addAction(QStringLiteral("Cancel Transfer"));
    CancelTransfer1->setShortcut(QKeySequence(Qt::Key_Escape));
    CancelTransfer1->setEnabled(false);
    connect(SendFile1, &QAction::triggered, this, &TMain::SendFile1Click);
    connect(CancelTransfer1, &QAction::triggered, this, &TMain::CancelTransfer1Click);

    TransferBar = new QProgressBar(this);
    TransferBar->setObjectName(QStringLiteral("Transfer"));
    TransferBar->setAccessibleName(QStringLiteral("Transfer"));
    TransferBar->setRange(0, kBarSteps);
    TransferBar->setTextVisible(true);
    TransferBar->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 48);
    TransferBar->hide();
    statusBar()->addPermanentWidget(TransferBar);

    fileSend = new FileSend(session, this);
    connect(fileSend, &FileSend::progressChanged, this, &TMain::showTransferProgress);
    connect(fileSend, &FileSend::finished, this, [this] {
        CancelTransfer1->setEnabled(false);
        SendFile1->setEnabled(true);
        TransferBar->hide();
    });
}

void TMain::SendFile1Click()
{
    if (fileSend->isRunning())
        return;
    auto *dialog = new zorvane::app::SendFileDialog(sendFileChoices, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        sendFileChoices = dialog->request();
        startFileSend(sendFileChoices);
    });
    dialog->open();
}

bool TMain::startFileSend(const zorvane::transfer::TransferRequest &request)
{
    QString why;
    if (!fileSend->start(request, &why)) {
        // The file was readable a moment ago; the port or a running send is what refused.
        AddtoList(1,
                  QStringLiteral("%1: %2").arg(zorvane::transfer::methodName(request.method), why));
        return false;
    }
    SendFile1->setEnabled(false);
    CancelTransfer1->setEnabled(true);
    TransferBar->setValue(0);
    TransferBar->show();
    showTransferProgress();
    return true;
}

void TMain::CancelTransfer1Click()
{
    fileSend->cancel();
}

void TMain::showTransferProgress()
{
    const FileSend::Progress progress = fileSend->progress();
    const int value =
        progress.total > 0 ? int(progress.done * kBarSteps / progress.total) : kBarSteps;
    TransferBar->setValue(value);
    const QString text = FileSend::progressText(progress);
    TransferBar->setFormat(text);
    TransferBar->setToolTip(text);
    TransferBar->setAccessibleDescription(text);
}

namespace {
const QString kGroup = QStringLiteral("SendFile");
} // namespace

void TMain::applyFileSendingSettings()
{
    // Files from before sending files lack the group: the dialog starts empty.
    if (SettingsRoot->element().firstChildElement(kGroup).isNull())
        return;
    using zorvane::transfer::Method;
    auto &root = *SettingsRoot;
    sendFileChoices.path = std::get<QString>(root.leaf(kGroup, QStringLiteral("file"), QString()));
    const int method = std::get<int>(root.leaf(kGroup, QStringLiteral("method"), 0));
    sendFileChoices.method = Method(qBound(0, method, int(Method::Zmodem)));
    sendFileChoices.characterDelayMs =
        qMax(0, std::get<int>(root.leaf(kGroup, QStringLiteral("chardelay"), 0)));
    sendFileChoices.lineDelayMs =
        qMax(0, std::get<int>(root.leaf(kGroup, QStringLiteral("linedelay"), 0)));
    sendFileChoices.waitFor =
        std::get<QString>(root.leaf(kGroup, QStringLiteral("waitfor"), QString()));
}

void TMain::saveFileSendingSettings()
{
    const zorvane::transfer::TransferRequest untouched;
    const bool used = sendFileChoices.path != untouched.path ||
                      sendFileChoices.method != untouched.method ||
                      sendFileChoices.characterDelayMs != untouched.characterDelayMs ||
                      sendFileChoices.lineDelayMs != untouched.lineDelayMs ||
                      sendFileChoices.waitFor != untouched.waitFor;
    if (!used && SettingsRoot->element().firstChildElement(kGroup).isNull())
        return;
    auto &root = *SettingsRoot;
    root.setLeaf(kGroup, QStringLiteral("file"), sendFileChoices.path);
    root.setLeaf(kGroup, QStringLiteral("method"), int(sendFileChoices.method));
    root.setLeaf(kGroup, QStringLiteral("chardelay"), sendFileChoices.characterDelayMs);
    root.setLeaf(kGroup, QStringLiteral("linedelay"), sendFileChoices.lineDelayMs);
    root.setLeaf(kGroup, QStringLiteral("waitfor"), sendFileChoices.waitFor);
}
