#include "app/main_window/PinPortDialog.h"

#include "serial/PortNames.h"
#include "serial/PortPin.h"
#include "serial/PresentDevices.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace zorvane::serial;

namespace zorvane::app {

PinPortDialog::PinPortDialog(const QString &documentsFolder, int port, QWidget *parent)
    : QDialog(parent), m_documentsFolder(documentsFolder)
{
    setObjectName(QStringLiteral("PinPortDialog"));
    setWindowTitle(QStringLiteral("Pin Port"));

    PortNumber = new QLineEdit(this);
    PortNumber->setAccessibleName(QStringLiteral("Port number"));
    PortNumber->setPlaceholderText(QStringLiteral("1 to %1").arg(kPortCount));
    if (port >= 1 && port <= kPortCount)
        PortNumber->setText(QString::number(port));

    Devices = new QListWidget(this);
    Devices->setAccessibleName(QStringLiteral("Present devices"));
    for (const PresentDevice &device : presentDevices()) {
        QString text = device.path;
        if (const QString name = device.adapter.description(); !name.isEmpty())
            text += QStringLiteral("  ") + name;
        auto *row = new QListWidgetItem(text, Devices);
        row->setData(Qt::UserRole, device.path);
    }
    if (Devices->count() == 0) {
        auto *row = new QListWidgetItem(QStringLiteral("No serial device is plugged in."), Devices);
        row->setFlags(Qt::NoItemFlags);
    }

    Target = new QLineEdit(this);
    Target->setAccessibleName(QStringLiteral("Device or address"));
    Target->setPlaceholderText(QStringLiteral("/dev/serial/by-id/... or rfc2217://host:port"));
    Target->setMinimumWidth(Target->fontMetrics().horizontalAdvance(u'x') * 48);

    Reason = new QLabel(this);
    Reason->setAccessibleName(QStringLiteral("Pin status"));
    Reason->setWordWrap(true);
    Reason->hide();

    auto *buttons = new QDialogButtonBox(this);
    Ok = buttons->addButton(QDialogButtonBox::Ok);
    RemovePin = buttons->addButton(QStringLiteral("Remove Pin"), QDialogButtonBox::ActionRole);
    Cancel = buttons->addButton(QDialogButtonBox::Cancel);
    // OK is handled here rather than by the box: a refused pin keeps the dialog open.
    connect(Ok, &QPushButton::clicked, this, &PinPortDialog::OkClick);
    connect(RemovePin, &QPushButton::clicked, this, &PinPortDialog::RemovePinClick);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Port number:"), PortNumber);
    form->addRow(QStringLiteral("Present &devices:"), Devices);
    form->addRow(QStringLiteral("Device or &address:"), Target);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Reason);
    layout->addWidget(buttons);

    connect(Devices, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *row) {
        if (row && row->flags() != Qt::NoItemFlags)
            Target->setText(row->data(Qt::UserRole).toString());
    });
    connect(PortNumber, &QLineEdit::textEdited, this, &PinPortDialog::portNumberEdited);
    portNumberEdited();
}

void PinPortDialog::portNumberEdited()
{
    const int port = port_pin::portNumber(PortNumber->text());
    const bool pinned = port >= 1 && port <= kPortCount &&
                        QFileInfo(overrideLinkPath(m_documentsFolder, port)).isSymLink();
    RemovePin->setEnabled(pinned);
    // What the user typed in the field stays; only a pin shown here before is replaced.
    if (Target->text().isEmpty() || Target->text() == m_shownPin) {
        m_shownPin = pinned ? port_names(port, m_documentsFolder) : QString();
        Target->setText(m_shownPin);
    }
}

void PinPortDialog::setReason(const QString &text)
{
    Reason->setText(text);
    // A label offers screen readers its name only; the reason goes in its description.
    Reason->setAccessibleDescription(text);
    Reason->setVisible(!text.isEmpty());
}

void PinPortDialog::OkClick()
{
    const int port = port_pin::portNumber(PortNumber->text());
    QString why;
    if (port == 0)
        why = QStringLiteral("\"%1\" is not a port number: give one from 1 to %2.")
                  .arg(PortNumber->text())
                  .arg(kPortCount);
    else if (!port_pin::pin(m_documentsFolder, port, Target->text(), &why))
        why = why.isEmpty() ? QStringLiteral("The pin could not be made.") : why;
    if (!why.isEmpty()) {
        setReason(why);
        return;
    }
    setReason(QString());
    accept();
    emit pinned(port);
}

void PinPortDialog::RemovePinClick()
{
    const int port = port_pin::portNumber(PortNumber->text());
    QString why;
    if (!port_pin::unpin(m_documentsFolder, port, &why)) {
        setReason(why);
        return;
    }
    setReason(QString());
    accept();
    emit unpinned(port);
}

} // namespace zorvane::app
