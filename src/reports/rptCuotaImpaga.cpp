#include "reports/rptCuotaImpaga.h"
#include "data/Database.h"
#include "data/IniFile.h"
#include "data/Ledger.h"
#include "data/Prompts.h"

#include <QSqlQuery>

namespace {
const QString kArial = QStringLiteral("Arial");
const QString kTitle = QStringLiteral("Socios con cuota impaga");

QString pesos(const QVariant &v)
{
    return QStringLiteral("$ ") + DefaultFieldText(v);
}

struct Fee
{
    qint64 id = 0;
    QString descripcion;
};

// The fee the list is about, asked from the fees newest first; a cancelled
// question, or no fee to ask about, ends the report quietly.
Fee askFee()
{
    QList<Fee> fees;
    QStringList items;
    QSqlQuery q = Exec(FeesNewestFirst());
    while (q.next()) {
        Fee f{q.value(QStringLiteral("IDCuota")).toLongLong(), TextOrEmpty(q.value(QStringLiteral("Descripcion")))};
        items << (f.descripcion.trimmed().isEmpty() ? QStringLiteral("Cuota %1").arg(f.id) : f.descripcion);
        fees << f;
    }
    if (fees.isEmpty()) {
        MsgBox(QStringLiteral("No hay cuotas cargadas. Cargue la cuota en Maestros, Cuotas."), MsgIcon::Exclamation);
        throw ReportCancelled();
    }
    const std::optional<int> chosen = AskChoice(QStringLiteral("Elija la cuota:"), kTitle, items);
    if (!chosen)
        throw ReportCancelled();
    Fee f = fees.at(*chosen);
    f.descripcion = items.at(*chosen);
    return f;
}
} // namespace

rptCuotaImpaga::rptCuotaImpaga()
    : Report(QStringLiteral("rptCuotaImpaga")),
      furniture(AddPageFurniture(*this, 1380, 7937, kTitle)),
      grCurso(addGroup(QStringLiteral("grCurso"), QStringLiteral("Curso"), 360, QStringLiteral("GroupFooter1"), 480)
                  .header),
      Detail(addBand(BandKind::Detail, QStringLiteral("Detail"), 360)),
      GroupFooter1(groupFooter(0)),
      ReportFooter(addBand(BandKind::ReportFooter, QStringLiteral("ReportFooter"), 1035)),
      Field1(grCurso.addField(QStringLiteral("Field1"), 71, 0, 6236, 354, QStringLiteral("Curso"), kArial, 12)),
      Field2(Detail.addField(QStringLiteral("Field2"), 283, 71, 3969, 283, QStringLiteral("Nombre"), kArial, 9.75)),
      Field3(Detail.addField(QStringLiteral("Field3"), 4394, 71, 2835, 283, QStringLiteral("Alumno"), kArial, 9)),
      Field4(Detail.addField(QStringLiteral("Field4"), 7370, 71, 1870, 283, QStringLiteral("Telefono"), kArial, 9)),
      lblCantidadCurso(GroupFooter1.addLabel(QStringLiteral("lblCantidadCurso"), 283, 71, 1900, 212,
                                             QStringLiteral("Impagos del curso: "), kArial, 8)),
      txtCantidadCurso(GroupFooter1.addField(QStringLiteral("txtCantidadCurso"), 2268, 71, 851, 212,
                                             QStringLiteral("Nombre"), kArial, 8, FieldSummary::Count)),
      lblDeudaCurso(GroupFooter1.addLabel(QStringLiteral("lblDeudaCurso"), 4394, 71, 1000, 212,
                                          QStringLiteral("Adeudado: "), kArial, 8)),
      txtDeudaCurso(GroupFooter1.addField(QStringLiteral("txtDeudaCurso"), 5443, 71, 1800, 212,
                                          QStringLiteral("Importe"), kArial, 8, FieldSummary::Sum)),
      Line1(GroupFooter1.addLine(QStringLiteral("Line1"), 0, 380, 9213, 380)),
      lblCantidad(ReportFooter.addLabel(QStringLiteral("lblCantidad"), 709, 213, 3300, 212,
                                        QStringLiteral("Total de socios con la cuota impaga: "), kArial, 8)),
      txtCantidad(ReportFooter.addField(QStringLiteral("txtCantidad"), 4039, 213, 851, 283, QStringLiteral("Nombre"),
                                        kArial, 11.25, FieldSummary::Count)),
      lblDeuda(ReportFooter.addLabel(QStringLiteral("lblDeuda"), 709, 567, 3300, 212,
                                     QStringLiteral("Total adeudado: "), kArial, 8)),
      txtDeuda(ReportFooter.addField(QStringLiteral("txtDeuda"), 4039, 567, 2500, 283, QStringLiteral("Importe"),
                                     kArial, 11.25, FieldSummary::Sum))
{
    caption = QStringLiteral("Tesorin - Socios con cuota impaga");
    documentTitle = caption;
    // A member whose course was deleted still has one: listed, under this name.
    Field1.format = [](const QVariant &v) {
        const QString name = TextOrEmpty(v);
        return name.isEmpty() ? QStringLiteral("(curso inexistente)") : name;
    };
    txtDeudaCurso.format = pesos;
    txtDeuda.format = pesos;
    onReportStart = [this] { ReportStart(); };
}

void rptCuotaImpaga::ReportStart()
{
    const Fee fee = askFee();
    furniture.lblCooperadora.caption = OrganisationName();
    furniture.lblLibro.caption = kTitle + QStringLiteral(": ") + fee.descripcion;
    dataSource = UnpaidFeeSource(fee.id);
}

ReportDataSource UnpaidFeeSource(qint64 idCuota)
{
    // One look-up of the (IDSocio, IDCuota) index per member with a course;
    // the fee is joined once to carry its value on every row.
    const Engine engine = EngineOf(Conexion());
    ReportDataSource s;
    s.sql = QStringLiteral(
        "SELECT Curso.Nombre AS Curso, Socio.Nombre, Socio.Alumno, Socio.Telefono, Cuota.Valor AS Importe"
        " FROM Socio INNER JOIN Cuota ON Cuota.IDCuota = ?"
        " LEFT JOIN Curso ON Curso.IDCurso = Socio.IDCurso"
        " WHERE Socio.IDCurso IS NOT NULL AND NOT %1"
        " ORDER BY %2, %3, Socio.IDSocio")
                .arg(FeePaidCondition(QStringLiteral("Socio.IDSocio")),
                     Dialect::NoCaseOrder(engine, QStringLiteral("Curso.Nombre")),
                     Dialect::NoCaseOrder(engine, QStringLiteral("Socio.Nombre")));
    s.binds = {idCuota, idCuota};
    return s;
}
