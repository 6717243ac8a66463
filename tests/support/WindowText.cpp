#include "WindowText.h"

#include "app/main_window/MainForm.h"
#include "terminal/view/TerminalModel.h"

#include <QComboBox>

QStringList listLines(const TMain &window)
{
    QStringList texts;
    const auto &lines = window.ListModel->lines();
    for (qsizetype row = 0; row < lines.size(); ++row)
        texts << lines.text(row);
    return texts;
}

QStringList comboEntries(const QComboBox *box)
{
    QStringList entries;
    for (int i = 0; i < box->count(); ++i)
        entries << box->itemText(i);
    return entries;
}
