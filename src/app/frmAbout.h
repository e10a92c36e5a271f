#pragma once
// The about box: the program's title, version and purpose, and a way to the
// system-information tool.
#include <QDialog>

class QLabel;
class QPushButton;

class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *owner = nullptr);

    QLabel *lblTitle;
    QLabel *lblVersion;
    QLabel *lblDescription;
    QLabel *Image1;
    QLabel *Image2;
    QPushButton *cmdOK;
    QPushButton *cmdSysInfo;
};

// "Version " and the three numbers of the program's version.
QString VersionText(int major, int minor, int revision);
