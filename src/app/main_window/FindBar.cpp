#include "app/main_window/FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>

namespace zorvane::app {

namespace {

QToolButton *toggle(const QString &text, const QString &name, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setText(text);
    button->setAccessibleName(name);
    button->setToolTip(name);
    button->setCheckable(true);
    return button;
}

} // namespace

FindBar::FindBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FindBar"));
    setAccessibleName(QStringLiteral("Find bar"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    Field = new QLineEdit(this);
    Field->setObjectName(QStringLiteral("Find"));
    Field->setAccessibleName(QStringLiteral("Find"));
    Field->installEventFilter(this);
    CaseButton = toggle(QStringLiteral("Aa"), QStringLiteral("Match case"), this);
    RegexButton = toggle(QStringLiteral(".*"), QStringLiteral("Regular expression"), this);
    Count = new QLabel(this);
    Count->setAccessibleName(QStringLiteral("Matches"));
    CloseButton = new QToolButton(this);
    CloseButton->setText(QStringLiteral("\u2715"));
    CloseButton->setAccessibleName(QStringLiteral("Close find bar"));
    layout->addWidget(Field, 1);
    layout->addWidget(CaseButton);
    layout->addWidget(RegexButton);
    layout->addWidget(Count);
    layout->addWidget(CloseButton);
    connect(Field, &QLineEdit::textChanged, this, &FindBar::patternChanged);
    connect(CaseButton, &QToolButton::toggled, this, &FindBar::patternChanged);
    connect(RegexButton, &QToolButton::toggled, this, &FindBar::patternChanged);
    connect(CloseButton, &QToolButton::clicked, this, &FindBar::closeRequested);
    setCount(0, 0);
}

QString FindBar::text() const
{
    return Field->text();
}

bool FindBar::caseSensitive() const
{
    return CaseButton->isChecked();
}

bool FindBar::regularExpression() const
{
    return RegexButton->isChecked();
}

void FindBar::setValid(bool valid)
{
    // A pale red field says what a message box would, without stopping the user.
    QPalette colours = palette();
    if (!valid)
        colours.setColor(QPalette::Base, QColor(0xFF, 0xD0, 0xD0));
    Field->setPalette(colours);
    Field->setAccessibleDescription(valid ? QString()
                                          : QStringLiteral("Not a valid regular expression"));
    Field->setToolTip(Field->accessibleDescription());
    if (!valid)
        Count->clear();
}

void FindBar::setCount(qsizetype current, qsizetype total)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    Count->setText(QStringLiteral("%1 of %2").arg(english.toString(current), english.toString(total)));
}

QString FindBar::countText() const
{
    return Count->text();
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Field && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            emit nextRequested(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            emit closeRequested();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zorvane::app
