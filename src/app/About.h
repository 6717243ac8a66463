#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TMain;

// The About box: product name and version, who makes it, and a Close button. One instance,
// created hidden with the main window and shown modally from its Help menu.
class TAbout_Form : public QDialog
{
    Q_OBJECT
public:
    explicit TAbout_Form(TMain *main);

    void FormShow();
    void Button1Click();

    QLabel *AboutTitle = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *Button1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    TMain *m_main;
};
