#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace zorvane::app {

// The find bar under the terminal list: the text to find, its two switches and the count of
// matches. It only reads the user's input and tells the window; the window searches.
class FindBar : public QWidget
{
    Q_OBJECT
public:
    explicit FindBar(QWidget *parent = nullptr);

    QString text() const;
    bool caseSensitive() const;
    bool regularExpression() const;
    // Marks the field when its text is not a usable regular expression.
    void setValid(bool valid);
    // "n of m"; n is 0 while no match has been gone to.
    void setCount(qsizetype current, qsizetype total);
    QString countText() const;

    QLineEdit *Field = nullptr;
    QToolButton *CaseButton = nullptr;
    QToolButton *RegexButton = nullptr;
    QLabel *Count = nullptr;
    QToolButton *CloseButton = nullptr;

signals:
    void patternChanged();
    void nextRequested(bool forward);
    void closeRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace zorvane::app
