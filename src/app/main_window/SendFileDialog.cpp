// The send dialog: its fields, each named for screen readers, and the check of the file
// before anything is sent.
#include "app/main_window/SendFileDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

using zorvane::transfer::Method;
using zorvane::transfer::TransferRequest;

namespace zorvane::app {

namespace {
// A minute between characters or lines is more than any module needs.
constexpr int kMaxDelayMs = 60'000;

QSpinBox *delayBox(const QString &name, int value, QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setAccessibleName(name);
    box->setRange(0, kMaxDelayMs);
    box->setValue(qBound(0, value, kMaxDelayMs));
    return box;
}
} // namespace

SendFileDialog::SendFileDialog(const TransferRequest &choices, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Send File"));
    setObjectName(QStringLiteral("SendFileDialog"));

    m_file = new QLineEdit(choices.path, this);
    m_file->setObjectName(QStringLiteral("File"));
    m_file->setAccessibleName(QStringLiteral("File"));
    m_browse = new QPushButton(QStringLiteral("Browse..."), this);
    m_browse->setAccessibleName(QStringLiteral("Browse"));
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(m_browse);

    m_method = new QComboBox(this);
    m_method->setObjectName(QStringLiteral("Method"));
    m_method->setAccessibleName(QStringLiteral("Method"));
    m_method->addItems(transfer::methodNames());
    m_method->setCurrentIndex(qBound(0, int(choices.method), m_method->count() - 1));

    m_characterDelay =
        delayBox(QStringLiteral("Character delay (ms)"), choices.characterDelayMs, this);
    m_lineDelay = delayBox(QStringLiteral("Line delay (ms)"), choices.lineDelayMs, this);
    m_waitFor = new QLineEdit(choices.waitFor, this);
    m_waitFor->setObjectName(QStringLiteral("Wait for"));
    m_waitFor->setAccessibleName(QStringLiteral("Wait for"));

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("Problem"));
    // Named by its text: a screen reader says why the file was refused.
    m_problem->setWordWrap(true);
    m_problem->hide();

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("File"), fileRow);
    form->addRow(QStringLiteral("Method"), m_method);
    form->addRow(QStringLiteral("Character delay (ms)"), m_characterDelay);
    form->addRow(QStringLiteral("Line delay (ms)"), m_lineDelay);
    form->addRow(QStringLiteral("Wait for"), m_waitFor);

    auto *buttons = new QDialogButtonBox(this);
    m_send = buttons->addButton(QStringLiteral("Send"), QDialogButtonBox::AcceptRole);
    m_send->setObjectName(QStringLiteral("Send"));
    m_send->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);

    connect(m_browse, &QPushButton::clicked, this, &SendFileDialog::browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &SendFileDialog::trySend);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_method, &QComboBox::currentIndexChanged, this, &SendFileDialog::methodChanged);
    methodChanged();
}

TransferRequest SendFileDialog::request() const
{
    TransferRequest r;
    r.path = m_file->text().trimmed();
    r.method = Method(m_method->currentIndex());
    r.characterDelayMs = m_characterDelay->value();
    r.lineDelayMs = m_lineDelay->value();
    r.waitFor = m_waitFor->text();
    return r;
}

void SendFileDialog::browse()
{
    const QString start = m_file->text().isEmpty() ? QString() : QFileInfo(m_file->text()).path();
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Send File"), start);
    if (!chosen.isEmpty())
        m_file->setText(chosen);
}

void SendFileDialog::trySend()
{
    const QString why = transfer::unreadableReason(m_file->text().trimmed());
    if (why.isEmpty()) {
        accept();
        return;
    }
    m_problem->setText(why);
    m_problem->setAccessibleName(why);
    m_problem->show();
    m_file->setFocus();
}

void SendFileDialog::methodChanged()
{
    // The pacing is the plain methods' own; a protocol keeps its own time.
    const Method method = Method(m_method->currentIndex());
    const bool paced = !transfer::isProtocol(method);
    m_characterDelay->setEnabled(paced);
    m_lineDelay->setEnabled(paced);
    m_waitFor->setEnabled(method == Method::TextLines);
}

} // namespace zorvane::app
