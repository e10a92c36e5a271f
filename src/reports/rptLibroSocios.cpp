#include "reports/rptLibroSocios.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/IniFile.h"

namespace {
const QString kArial = QStringLiteral("Arial");
} // namespace

rptLibroSocios::rptLibroSocios()
    : Report(QStringLiteral("rptLibroSocios")),
      furniture(AddPageFurniture(*this, 1380, 7937, QStringLiteral("Libro de socios año"))),
      grCurso(addGroup(QStringLiteral("grCurso"), QStringLiteral("Curso"), 360, QStringLiteral("GroupFooter1"), 225)
                  .header),
      Detail(addBand(BandKind::Detail, QStringLiteral("Detail"), 435)),
      GroupFooter1(groupFooter(0)),
      ReportFooter(addBand(BandKind::ReportFooter, QStringLiteral("ReportFooter"), 1035)),
      Field1(grCurso.addField(QStringLiteral("Field1"), 71, 0, 6236, 354, QStringLiteral("Curso"), kArial, 12)),
      Field2(Detail.addField(QStringLiteral("Field2"), 283, 71, 4536, 283, QStringLiteral("Nombre"), kArial, 9.75)),
      Field3(Detail.addField(QStringLiteral("Field3"), 5102, 71, 4040, 283, QStringLiteral("Alumno"), kArial, 9)),
      Line1(GroupFooter1.addLine(QStringLiteral("Line1"), 0, 142, 9213, 142)),
      Label3(ReportFooter.addLabel(QStringLiteral("Label3"), 709, 213, 2834, 212,
                                   QStringLiteral("Total de Socios activos: "), kArial, 8)),
      Field4(ReportFooter.addField(QStringLiteral("Field4"), 4039, 213, 851, 283, QStringLiteral("Nombre"), kArial,
                                   11.25, FieldSummary::Count))
{
    caption = QStringLiteral("Tesorin -Libro de socios");
    documentTitle = caption;
    onReportStart = [this] { ReportStart(); };
}

void rptLibroSocios::ReportStart()
{
    const QDateTime today = env().clock->now();
    furniture.lblCooperadora.caption = OrganisationName();
    furniture.lblLibro.caption = QStringLiteral("Libro de socios año ") + QString::number(today.date().year());
    dataSource = MemberBookSource(today);
}

ReportDataSource MemberBookSource(const QDateTime &today)
{
    const int year = today.date().year();
    return MemberBookSource(QDate(year, 1, 1), QDate(year, 12, 31));
}

ReportDataSource MemberBookSource(const QDate &start, const QDate &end)
{
    // The period is a range of Fecha, so the date index finds its fees
    // without reading every movement.
    const Engine engine = EngineOf(Conexion());
    ReportDataSource s;
    s.sql = QStringLiteral(
        "SELECT Socio.Nombre, Socio.Alumno, Curso.Nombre AS Curso FROM Socio"
        " INNER JOIN Curso ON Socio.IDCurso = Curso.IDCurso"
        " WHERE Socio.IDSocio IN (SELECT IDSocio FROM Movimiento"
        " WHERE Fecha >= ? AND Fecha < ? AND IDCuota IS NOT NULL)"
        " ORDER BY %1, %2")
                .arg(Dialect::NoCaseOrder(engine, QStringLiteral("Curso.Nombre")),
                     Dialect::NoCaseOrder(engine, QStringLiteral("Socio.Nombre")));
    s.binds = {QDateTime(start, QTime(0, 0)), QDateTime(end.addDays(1), QTime(0, 0))};
    return s;
}
