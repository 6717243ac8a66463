#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About box: product name and version, who makes it, and a Close button. One instance,
// created hidden with the main window and shown modally from its Help menu. It is handed its
// title and centres itself over its parent; whoever opened it listens for Close.
class TAbout_Form : public QDialog
{
    Q_OBJECT
public:
    TAbout_Form(QWidget *parent, const QString &title);

    void FormShow();
    void Button1Click();

    QLabel *AboutTitle = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *Button1 = nullptr;

signals:
    // Close was clicked; closing from the title bar says nothing.
    void closeClicked();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString m_title;
};
