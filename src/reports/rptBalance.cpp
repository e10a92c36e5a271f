#include "reports/rptBalance.h"
#include "data/Environment.h"
#include "data/IniFile.h"
#include "data/Prompts.h"
#include "data/Database.h"

namespace {
const QString kArial = QStringLiteral("Arial");
const QString kTitle = QStringLiteral("Balance");

// One of the three questions; a cancelled question ends the report quietly.
QString ask(const QString &prompt, const QString &proposed)
{
    const std::optional<QString> answer = AskText(prompt, kTitle, proposed);
    if (!answer)
        throw ReportCancelled();
    return *answer;
}

QDate dateOf(const QString &typed)
{
    const std::optional<QDate> d = ReadTypedDate(typed);
    if (!d) {
        MsgBox(QStringLiteral("La fecha ingresada no es valida: \"%1\". Escríbala como día/mes/año, por ejemplo 01/03/2026.")
                   .arg(typed),
               MsgIcon::Exclamation);
        throw ReportCancelled();
    }
    return *d;
}
} // namespace

rptBalance::rptBalance()
    : Report(QStringLiteral("rptBalance")),
      furniture(AddPageFurniture(*this, 1305, 7724, QStringLiteral("Libro de socios año"))),
      grIngresoEgreso(addGroup(QStringLiteral("grIngresoEgreso"), QStringLiteral("Tipo"), 360,
                               QStringLiteral("grIngresoEgresoFT"), 375)
                          .header),
      grCuentaPadre(addGroup(QStringLiteral("grCuentaPadre"), QStringLiteral("CuentaPadre"), 360,
                             QStringLiteral("grCuentaPadreFT"), 360)
                        .header),
      grCuenta(addGroup(QStringLiteral("grCuenta"), QStringLiteral("Cuenta"), 360, QStringLiteral("grCuentaFT"), 315)
                   .header),
      Detail(addBand(BandKind::Detail, QStringLiteral("Detail"), 210)),
      grCuentaFT(groupFooter(2)),
      grCuentaPadreFT(groupFooter(1)),
      grIngresoEgresoFT(groupFooter(0)),
      txtEgreso(grIngresoEgreso.addField(QStringLiteral("txtEgreso"), 71, 71, 2835, 212, QStringLiteral("Tipo"), kArial, 8)),
      Field3(grCuentaPadre.addField(QStringLiteral("Field3"), 425, 71, 4394, 212, QStringLiteral("CuentaPadre"), kArial, 8)),
      Field1(grCuenta.addField(QStringLiteral("Field1"), 780, 71, 4039, 212, QStringLiteral("Cuenta"), kArial, 8)),
      lblFecha(Detail.addField(QStringLiteral("lblFecha"), 1134, 0, 1205, 213, QStringLiteral("Fecha"), kArial, 8)),
      lblDetalle(Detail.addField(QStringLiteral("lblDetalle"), 2551, 0, 4252, 213, QStringLiteral("Descripcion"), kArial, 8)),
      lblImporte(Detail.addField(QStringLiteral("lblImporte"), 7441, 0, 1346, 213, QStringLiteral("Importe"), kArial, 8)),
      Field7(grCuentaFT.addField(QStringLiteral("Field7"), 850, 71, 4040, 212, QStringLiteral("Cuenta"), kArial, 8)),
      Field2(grCuentaFT.addField(QStringLiteral("Field2"), 7441, 71, 1346, 212, QStringLiteral("Importe"), kArial, 8,
                                 FieldSummary::Sum)),
      Line1(grCuentaFT.addLine(QStringLiteral("Line1"), 850, 0, 9000, 0)),
      Field8(grCuentaPadreFT.addField(QStringLiteral("Field8"), 567, 71, 4394, 212, QStringLiteral("CuentaPadre"), kArial, 8)),
      Field4(grCuentaPadreFT.addField(QStringLiteral("Field4"), 7441, 71, 1346, 212, QStringLiteral("Importe"), kArial,
                                      8, FieldSummary::Sum)),
      Line2(grCuentaPadreFT.addLine(QStringLiteral("Line2"), 567, 0, 9000, 0)),
      txtIngresoFT(grIngresoEgresoFT.addField(QStringLiteral("txtIngresoFT"), 213, 71, 2834, 212, QStringLiteral("Tipo"),
                                              kArial, 9.75)),
      txtTotalIngresoSuma(grIngresoEgresoFT.addField(QStringLiteral("txtTotalIngresoSuma"), 7512, 71, 1346, 212,
                                                     QStringLiteral("Importe"), kArial, 9.75, FieldSummary::Sum)),
      Line3(grIngresoEgresoFT.addLine(QStringLiteral("Line3"), 0, 71, 9000, 71))
{
    caption = QStringLiteral("Tesorin - balance");
    documentTitle = caption;
    // Day first, as the questions ask for the dates, whatever the locale.
    lblFecha.format = [](const QVariant &v) {
        const QDate d = DbDay(v);
        return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : QString();
    };
    onReportStart = [this] { ReportStart(); };
    grIngresoEgreso.onFormat = [this](ReportBand &) { grIngresoEgreso_Format(); };
    grIngresoEgresoFT.onFormat = [this](ReportBand &) { grIngresoEgresoFT_Format(); };
}

void rptBalance::ReportStart()
{
    const QDate today = env().clock->now().date();
    const QString startText = ask(QStringLiteral("Ingrese fecha incio ejercicio (dd/mm/aaaa)"),
                                  today.addMonths(-12).toString(QStringLiteral("dd/MM/yyyy")));
    const QString endText = ask(QStringLiteral("Ingrese fecha fin ejercicio (dd/mm/aaaa)"),
                                today.toString(QStringLiteral("dd/MM/yyyy")));
    const QString details = ask(QStringLiteral("Desea imprimir los detalles? (SI/NO)"), QStringLiteral("NO"));
    const QDate start = dateOf(startText);
    const QDate end = dateOf(endText);
    if (end < start) {
        MsgBox(QStringLiteral("La fecha fin ejercicio (%1) es anterior a la fecha inicio (%2). Ingrese un periodo"
                              " que termine el mismo día o después de empezar.")
                   .arg(endText, startText),
               MsgIcon::Exclamation);
        throw ReportCancelled();
    }

    furniture.lblCooperadora.caption = OrganisationName();
    furniture.lblLibro.caption = QStringLiteral("Balance periodo ") + startText + QStringLiteral(" - ") + endText;
    const bool showDetails = details == QLatin1String("SI");
    Detail.visible = showDetails;
    grCuentaPadre.visible = showDetails;
    grCuenta.visible = showDetails;
    dataSource = BalanceSource(start, end);
    previewMaximized = true;
}

void rptBalance::grIngresoEgreso_Format()
{
    txtEgreso.caption = txtEgreso.value.toString() == QLatin1String("E") ? QStringLiteral("EGRESOS")
                                                                         : QStringLiteral("INGRESOS");
}

void rptBalance::grIngresoEgresoFT_Format()
{
    const bool expense = txtIngresoFT.value.toString() == QLatin1String("E");
    txtIngresoFT.caption = expense ? QStringLiteral(" TOTAL EGRESOS ") : QStringLiteral(" TOTAL INGRESOS ");
    txtTotalIngresoSuma.foreColor = expense ? QColor(255, 0, 0) : QColor(0, 0, 255);
}

std::optional<QDate> ReadTypedDate(const QString &text)
{
    const QDate d = QDate::fromString(text.trimmed(), QStringLiteral("d/M/yyyy"));
    if (!d.isValid())
        return std::nullopt;
    return d;
}

ReportDataSource BalanceSource(const QDate &start, const QDate &end)
{
    // The end bound is the next midnight, so movements recorded during the
    // last day, at any hour, are part of the period.
    // The codes are read as the cash and bank balances read them: the columns
    // compare without case, so "e" is an expense, and a movement of any other
    // kind or medium is in no balance. A movement booked to an account without
    // a parent (or whose parent is gone) is grouped under that account itself.
    // The texts are ordered without regard to case on either engine, as the
    // file's columns compare.
    const Engine engine = EngineOf(Conexion());
    ReportDataSource s;
    s.sql = QStringLiteral(
        "SELECT Movimiento.Fecha, upper(Movimiento.Tipo) AS Tipo, Movimiento.Importe, Movimiento.Descripcion,"
        " Cuenta_1.Descripcion AS Cuenta, coalesce(Cuenta.Descripcion, Cuenta_1.Descripcion) AS CuentaPadre"
        " FROM (Cuenta AS Cuenta_1 INNER JOIN Movimiento ON Cuenta_1.IDCuenta = Movimiento.IDCuenta)"
        " LEFT JOIN Cuenta ON Cuenta_1.IDCuentaPadre = Cuenta.IDCuenta"
        " WHERE Movimiento.Fecha >= ? AND Movimiento.Fecha < ?"
        " AND Movimiento.Tipo IN ('E', 'I') AND Movimiento.MedioPago IN ('E', 'C')"
        " ORDER BY 2, %1, %2, %3, Movimiento.IDMovimiento")
                .arg(Dialect::NoCaseOrder(engine, QStringLiteral("coalesce(Cuenta.Descripcion, Cuenta_1.Descripcion)")),
                     Dialect::NoCaseOrder(engine, QStringLiteral("Cuenta_1.Descripcion")),
                     Dialect::NoCaseOrder(engine, QStringLiteral("Movimiento.Descripcion")));
    s.binds = {QDateTime(start, QTime(0, 0)), QDateTime(end.addDays(1), QTime(0, 0))};
    return s;
}
