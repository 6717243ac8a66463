#include "app/About.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace {

constexpr int kClientWidth = 622;
constexpr int kClientHeight = 282;
// Font sizes are pixels, so the 20-size text fits the 25-high title label on any screen.
constexpr int kLabelFontPixels = 20;

QLabel *makeLabel(QWidget *parent, const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    QFont font = label->font();
    font.setPixelSize(kLabelFontPixels);
    label->setFont(font);
    return label;
}

} // namespace

TAbout_Form::TAbout_Form(QWidget *parent, const QString &title) : QDialog(parent), m_title(title)
{
    setObjectName(QStringLiteral("About_Form"));
    setWindowTitle(QStringLiteral("About"));
    resize(kClientWidth, kClientHeight);

    AboutTitle = makeLabel(this, QStringLiteral("Title"), QRect(40, 96, 561, 25));
    AboutTitle->setObjectName(QStringLiteral("AboutTitle"));
    Label2 = makeLabel(this, QStringLiteral("Zorvane by the Zorvane developers - zorvane.example"),
                       QRect(40, 128, 561, 33));
    Label2->setObjectName(QStringLiteral("Label2"));

    Button1 = new QPushButton(QStringLiteral("Close"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(240, 200, 80, 22);
    connect(Button1, &QPushButton::clicked, this, &TAbout_Form::Button1Click);
}

void TAbout_Form::showEvent(QShowEvent *event)
{
    // A spontaneous show is the window system restoring it, not the program opening it.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TAbout_Form::FormShow()
{
    // Outer frames on both sides; the halves are integer halves, truncated toward zero.
    if (const QWidget *over = parentWidget()) {
        const QRect frame = over->frameGeometry();
        const QSize own = frameSize();
        move(frame.left() + frame.width() / 2 - own.width() / 2,
             frame.top() + frame.height() / 2 - own.height() / 2);
    }
    AboutTitle->setText(m_title);
}

void TAbout_Form::Button1Click()
{
    done(QDialog::Accepted);
    emit closeClicked();
}
