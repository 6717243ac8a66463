#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace zorvane::app {

// The "Pin Port" dialog: a port number, the serial devices present now with their adapters'
// names, and a field for a device path or an rfc2217:// or socket:// address. OK pins the
// number there and "Remove Pin" takes the pin away; a refusal is said in the dialog, which
// stays open, and nothing is written. It knows the documents folder, not the window.
class PinPortDialog : public QDialog
{
    Q_OBJECT
public:
    PinPortDialog(const QString &documentsFolder, int port, QWidget *parent = nullptr);

    QLineEdit *PortNumber = nullptr;
    QListWidget *Devices = nullptr;
    QLineEdit *Target = nullptr;
    // Why the last OK or "Remove Pin" was refused; empty otherwise.
    QLabel *Reason = nullptr;
    QPushButton *Ok = nullptr;
    QPushButton *RemovePin = nullptr;
    QPushButton *Cancel = nullptr;

signals:
    // The number now leads where the dialog said; the dialog has closed.
    void pinned(int port);
    void unpinned(int port);

private:
    void OkClick();
    void RemovePinClick();
    // Shows the pin of the number typed, if it has one, and whether there is one to remove.
    void portNumberEdited();
    void setReason(const QString &text);

    QString m_documentsFolder;
    // The pin the field was filled with for the number typed, if any.
    QString m_shownPin;
};

} // namespace zorvane::app
