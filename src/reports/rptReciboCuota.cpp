#include "reports/rptReciboCuota.h"
#include "reports/PageFurniture.h"
#include "data/Environment.h"
#include "data/ValueRules.h"

#include <QDir>

namespace {
const QString kComic = QStringLiteral("Comic Sans MS");
const QString kDesignText = QStringLiteral("Cooperadora");
} // namespace

rptReciboCuota::rptReciboCuota()
    : Report(QStringLiteral("rptReciboCuota")),
      ReportHeader(addBand(BandKind::ReportHeader, QStringLiteral("ReportHeader"), 0)),
      PageHeader(addBand(BandKind::PageHeader, QStringLiteral("PageHeader"), 1080)),
      Detail(addBand(BandKind::Detail, QStringLiteral("Detail"), 3405)),
      PageFooter(addBand(BandKind::PageFooter, QStringLiteral("PageFooter"), 15)),
      ReportFooter(addBand(BandKind::ReportFooter, QStringLiteral("ReportFooter"), 0)),
      lblCooperadora(PageHeader.addLabel(QStringLiteral("lblCooperadora"), 283, 0, 7796, 425, kDesignText, kComic, 14.25)),
      Image1(PageHeader.addPicture(QStringLiteral("Image1"), 7795, 0, 1134, 992)),
      lblRecibimos(Detail.addLabel(QStringLiteral("lblRecibimos"), 0, 0, 9071, 1134, kDesignText, kComic, 9.75)),
      lblHistorialPagos(
          Detail.addLabel(QStringLiteral("lblHistorialPagos"), 0, 1276, 9071, 1133, kDesignText, kComic, 9.75)),
      lblTesorero(Detail.addLabel(QStringLiteral("lblTesorero"), 6520, 2976, 2409, 426, QStringLiteral("Tesorero"), kComic, 8.25)),
      Line1(Detail.addLine(QStringLiteral("Line1"), 6520, 2976, 8929, 2976)),
      lblPresidente(Detail.addLabel(QStringLiteral("lblPresidente"), 1417, 2976, 2410, 426,
                                    QStringLiteral("Presidente o Secretario"), kComic, 8.25)),
      lnPresidente(Detail.addLine(QStringLiteral("lnPresidente"), 1417, 2976, 3827, 2976))
{
    caption = QStringLiteral("Recibo pago cuota");
    documentTitle = QStringLiteral("Tesorin - cuota");
    // A long body or a long payment history is printed whole: the label grows
    // and the signatures move down below it.
    lblRecibimos.canGrow = true;
    lblHistorialPagos.canGrow = true;
    lblTesorero.alignment = Qt::AlignHCenter;
    lblPresidente.alignment = Qt::AlignHCenter;
    lblPresidente.visible = false;
    lnPresidente.visible = false;
    PageHeader.onFormat = [this](ReportBand &) { PageHeader_Format(); };
}

void rptReciboCuota::PageHeader_Format()
{
    LoadAppLogo(Image1);
}

QString PaymentHistoryText(const QList<PaymentLine> &lines, const QLocale &locale)
{
    QString text = QStringLiteral("Historial de pagos: \r\n");
    for (const PaymentLine &l : lines)
        text += l.descripcion + QStringLiteral(" - ") + GeneralDate(l.fecha, locale) + QStringLiteral(" - ")
                + GeneralNumber(l.importe, locale) + QStringLiteral("\r\n");
    return text;
}

QString FeeReceiptBody(const QString &socio, const QString &importeTexto, const QString &cuota)
{
    return QStringLiteral("Recibimos de ") + socio + QStringLiteral(" la suma de $ ") + importeTexto
           + QStringLiteral(", en concepto de pago de ") + cuota
           + QStringLiteral("\r\n\r\n Agradecemos su colaboracion.");
}

QString PaymentOrderBody(const QString &payee, const QString &importeTexto, const QString &detalle, bool cheque,
                         const QString &chequeNumero)
{
    return QStringLiteral("Ordeno pagar a ") + payee + QStringLiteral(" la suma de $ ") + importeTexto
           + QStringLiteral(", en concepto de ") + detalle + QStringLiteral("\r\nEl pago se realizara ")
           + (cheque ? QStringLiteral("con cheque numero ") + chequeNumero : QStringLiteral(" con contado efectivo."));
}

QString IncomeReceiptBody(const QString &receiver, const QString &importeTexto, const QString &detalle)
{
    return QStringLiteral("Recibimos de ") + receiver + QStringLiteral(" la suma de $ ") + importeTexto
           + QStringLiteral(", en concepto de ") + detalle
           + QStringLiteral("\r\n\r\n Agradecemos su colaboracion.");
}
