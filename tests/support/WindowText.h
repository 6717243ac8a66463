#pragma once

#include <QStringList>

class QComboBox;
class TMain;

// The terminal list's lines as stored, including those the view has not shown yet.
QStringList listLines(const TMain &window);
// The entries of a combo box, index 0 first.
QStringList comboEntries(const QComboBox *box);
