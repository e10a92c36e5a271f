#include "reports/PageFurniture.h"
#include "data/Environment.h"
#include "data/ValueRules.h"

#include <QDir>

namespace {
const QString kComic = QStringLiteral("Comic Sans MS");
const QString kArial = QStringLiteral("Arial");
} // namespace

PageFurniture AddPageFurniture(Report &report, int headerHeight, int logoLeft, const QString &title)
{
    ReportBand &header = report.addBand(BandKind::PageHeader, QStringLiteral("PageHeader"), headerHeight);
    ReportBand &footer = report.addBand(BandKind::PageFooter, QStringLiteral("PageFooter"), 360);
    PageFurniture f{
        header,
        footer,
        header.addLabel(QStringLiteral("lblCooperadora"), 0, 0, 7796, 425, QStringLiteral("Cooperadora"), kComic, 14.25),
        header.addLabel(QStringLiteral("lblLibro"), 0, 645, 9240, 420, title, kComic, 14.25),
        header.addPicture(QStringLiteral("Image1"), logoLeft, 142, 1134, 992),
        footer.addLabel(QStringLiteral("lblPage"), 0, 90, 630, 270, QStringLiteral("Pag."), kArial, 8.25),
        footer.addField(QStringLiteral("txtPage"), 630, 90, 540, 270, QString(), kArial, 8.25, FieldSummary::PageNumber),
        footer.addLabel(QStringLiteral("lblOf"), 1170, 90, 270, 270, QStringLiteral("de"), kArial, 8.25),
        footer.addField(QStringLiteral("txtPageCount"), 1440, 90, 450, 270, QString(), kArial, 8.25,
                        FieldSummary::PageCount),
        footer.addLabel(QStringLiteral("lblDate"), 5760, 90, 3510, 270, QString(), kArial, 8.25),
    };
    ReportControl *logo = &f.Image1;
    header.onFormat = [logo](ReportBand &) { LoadAppLogo(*logo); };
    ReportControl *date = &f.lblDate;
    footer.onFormat = [date](ReportBand &) { date->caption = PrintedOn(env().clock->now(), env().locale); };
    return f;
}

void LoadAppLogo(ReportControl &picture)
{
    picture.picture = LoadReportPicture(QDir(env().appDir).filePath(QStringLiteral("logo.jpg")),
                                        QSize(picture.width, picture.height));
}

QString PrintedOn(const QDateTime &now, const QLocale &locale)
{
    return QStringLiteral("Impresa: ") + LongDate(now.date(), locale);
}
