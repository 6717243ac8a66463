#pragma once

#include "transfer/TransferRequest.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace zorvane::app {

// File > "Send File...": the file, the method and the pacing of a file send. "Send" closes it
// only for a file that can be read; otherwise it says why and stays open.
class SendFileDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SendFileDialog(const transfer::TransferRequest &choices, QWidget *parent = nullptr);

    transfer::TransferRequest request() const;

private:
    void browse();
    void trySend();
    void methodChanged();

    QLineEdit *m_file = nullptr;
    QPushButton *m_browse = nullptr;
    QComboBox *m_method = nullptr;
    QSpinBox *m_characterDelay = nullptr;
    QSpinBox *m_lineDelay = nullptr;
    QLineEdit *m_waitFor = nullptr;
    QLabel *m_problem = nullptr;
    QPushButton *m_send = nullptr;
};

} // namespace zorvane::app
