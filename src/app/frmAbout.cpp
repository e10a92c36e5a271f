#include "app/frmAbout.h"
#include "app/SystemTools.h"
#include "data/ValueRules.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Our two pictures, drawn here so the window carries no image files: a stack
// of coins, and a school with its flag.
QPixmap coinsPicture()
{
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 90, 10), 2));
    for (int i = 0; i < 4; ++i) {
        p.setBrush(QColor(230, 185, 40));
        p.drawEllipse(QRectF(10, 44 - i * 9, 44, 14));
    }
    p.setPen(QPen(QColor(120, 90, 10), 3));
    p.drawText(QRectF(10, 17, 44, 14), Qt::AlignCenter, QStringLiteral("$"));
    return pm;
}

QPixmap schoolPicture()
{
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.setBrush(QColor(245, 240, 225));
    p.drawRect(QRectF(8, 30, 48, 28));
    QPainterPath roof;
    roof.moveTo(4, 32);
    roof.lineTo(32, 14);
    roof.lineTo(60, 32);
    roof.closeSubpath();
    p.setBrush(QColor(180, 60, 50));
    p.drawPath(roof);
    p.setBrush(QColor(90, 140, 200));
    p.drawRect(QRectF(27, 42, 10, 16));
    p.drawLine(QPointF(32, 14), QPointF(32, 2));
    p.setBrush(QColor(116, 172, 223));
    p.drawRect(QRectF(32, 2, 14, 8));
    return pm;
}

// A grey line with a white one just below it, as an etched separator.
QFrame *etchedLine(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}
} // namespace

QString VersionText(int major, int minor, int revision)
{
    return QStringLiteral("Version ") + QString::number(major) + QLatin1Char('.') + QString::number(minor)
           + QLatin1Char('.') + QString::number(revision);
}

frmAbout::frmAbout(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + AppTitle());
    setAttribute(Qt::WA_DeleteOnClose);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(coinsPicture());
    Image1->setAccessibleName(QStringLiteral("Monedas"));
    Image2 = new QLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(schoolPicture());
    Image2->setAccessibleName(QStringLiteral("Escuela"));

    lblTitle = new QLabel(AppTitle(), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setStyleSheet(QStringLiteral("font-size: 18px; font-weight: bold;"));
    lblVersion = new QLabel(VersionText(TESORIN_VERSION_MAJOR, TESORIN_VERSION_MINOR, TESORIN_VERSION_PATCH), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDescription = new QLabel(
        QStringLiteral("Esta aplicacion esta desarrollada por un grupo de cooperadores, tiene por objetivo lograr una "
                       "ayuda en la administracion de una cooperadora escolar. "),
        this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    // Enter presses it as the default button; Escape closes the dialog too.
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setAutoDefault(false);
    connect(cmdSysInfo, &QPushButton::clicked, this, [] { StartSysInfo(); });

    auto *grid = new QGridLayout(this);
    auto *pictures = new QVBoxLayout;
    pictures->addWidget(Image1);
    pictures->addWidget(Image2);
    pictures->addStretch();
    grid->addLayout(pictures, 0, 0, 3, 1);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(lblDescription, 2, 1);
    grid->addWidget(etchedLine(this), 3, 0, 1, 3);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    grid->addLayout(buttons, 4, 2);
    grid->setColumnStretch(1, 1);
    setMinimumWidth(460);
    lblDescription->setMinimumHeight(lblDescription->heightForWidth(300));
}
