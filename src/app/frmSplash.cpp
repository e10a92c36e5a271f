#include "app/frmSplash.h"
#include "data/IniFile.h"
#include "data/FormHelpers.h"
#include "data/ValueRules.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {
// The bar counts in tenths so that steps such as 71.5 show as they are.
constexpr int kScale = 10;
} // namespace

frmSplash::frmSplash(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setFixedSize(480, 300);

    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::Box);

    auto *logo = new QLabel(frame);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setText(QStringLiteral("$"));
    logo->setAlignment(Qt::AlignCenter);
    logo->setStyleSheet(QStringLiteral(
        "font-size: 40px; font-weight: bold; color: white; background: #2e7d32; border-radius: 8px;"));
    logo->setFixedSize(72, 72);

    auto *product = new QLabel(AppDescription(), frame);
    product->setObjectName(QStringLiteral("lblProductName"));
    product->setWordWrap(true);
    product->setStyleSheet(QStringLiteral("font-size: 18px; font-weight: bold;"));

    auto *company = new QLabel(ReadIniValue(QStringLiteral("Location"), QStringLiteral("Nombre")).toString(), frame);
    company->setObjectName(QStringLiteral("lblCompanyName"));
    company->setWordWrap(true);
    company->setStyleSheet(QStringLiteral("font-size: 14px;"));

    auto *platform = new QLabel(QStringLiteral("para Windows XP o superior"), frame);
    platform->setObjectName(QStringLiteral("lblPlatform"));

    m_message = new QLabel(QStringLiteral("Cargando parámetros..."), frame);
    m_message->setObjectName(QStringLiteral("lblMessage"));

    m_bar = new QProgressBar(frame);
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setRange(0, 100 * kScale);
    m_bar->setValue(0);

    auto *head = new QHBoxLayout;
    head->addWidget(logo, 0, Qt::AlignTop);
    auto *titles = new QVBoxLayout;
    titles->addWidget(product);
    titles->addWidget(company);
    titles->addStretch();
    head->addLayout(titles, 1);

    auto *inner = new QVBoxLayout(frame);
    inner->addLayout(head);
    inner->addStretch();
    inner->addWidget(platform);
    inner->addWidget(m_message);
    inner->addWidget(m_bar);

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(frame);

    CenterForm(this);
}

void frmSplash::setStep(const QString &text, double progress)
{
    m_message->setText(text);
    setProgress(progress);
}

void frmSplash::setProgress(double progress)
{
    m_progress = progress;
    m_bar->setValue(qRound(progress * kScale));
    emit progressChanged(progress);
}

QString frmSplash::message() const
{
    return m_message->text();
}
