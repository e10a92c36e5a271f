#include "reports/rptCambios.h"
#include "data/ChangeRecord.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/IniFile.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"
#include "reports/rptBalance.h"

namespace {
const QString kArial = QStringLiteral("Arial");
const QString kTitle = QStringLiteral("Registro de cambios");
constexpr double kSize = 7.5; // points: nine columns across the page

// One of the two questions; a cancelled question ends the report quietly.
QDate askDate(const QString &prompt, const QDate &proposed)
{
    const std::optional<QString> answer = AskText(prompt, kTitle, proposed.toString(QStringLiteral("dd/MM/yyyy")));
    if (!answer)
        throw ReportCancelled();
    const std::optional<QDate> d = ReadTypedDate(*answer);
    if (!d) {
        MsgBox(QStringLiteral("La fecha ingresada no es valida: \"%1\". Escríbala como día/mes/año, por ejemplo 01/03/2026.")
                   .arg(*answer),
               MsgIcon::Exclamation);
        throw ReportCancelled();
    }
    return *d;
}

struct Column
{
    const char *name, *field, *heading;
    int left, width;
};
// Left to right across the 9240 twips of the title.
const Column kColumns[] = {
    {"txtHora", "Fecha", "Hora", 0, 700},
    {"txtUsuario", "Usuario", "Usuario", 720, 900},
    {"txtEquipo", "Equipo", "Equipo", 1640, 1000},
    {"txtOperacion", "Operacion", "Operación", 2660, 800},
    {"txtTabla", "Tabla", "Tabla", 3480, 950},
    {"txtClave", "Clave", "Clave", 4450, 600},
    {"txtCampo", "Campo", "Campo", 5070, 1180},
    {"txtAnterior", "ValorAnterior", "Antes", 6270, 1480},
    {"txtNuevo", "ValorNuevo", "Después", 7770, 1470},
};

ReportControl &detailField(ReportBand &band, int i)
{
    const Column &c = kColumns[i];
    ReportControl &f = band.addField(QLatin1String(c.name), c.left, 0, c.width, 213, QLatin1String(c.field), kArial, kSize);
    f.canGrow = true; // a long text is read whole, on as many lines as it takes
    return f;
}
} // namespace

rptCambios::rptCambios()
    : Report(QStringLiteral("rptCambios")),
      furniture(AddPageFurniture(*this, 1305, 7724, kTitle)),
      grDia(addGroup(QStringLiteral("grDia"), QStringLiteral("Dia"), 600, QStringLiteral("grDiaFT"), 120).header),
      Detail(addBand(BandKind::Detail, QStringLiteral("Detail"), 230)),
      grDiaFT(groupFooter(0)),
      ReportFooter(addBand(BandKind::ReportFooter, QStringLiteral("ReportFooter"), 500)),
      txtDia(grDia.addField(QStringLiteral("txtDia"), 0, 60, 6000, 250, QStringLiteral("Dia"), kArial, 9)),
      txtHora(detailField(Detail, 0)),
      txtUsuario(detailField(Detail, 1)),
      txtEquipo(detailField(Detail, 2)),
      txtOperacion(detailField(Detail, 3)),
      txtTabla(detailField(Detail, 4)),
      txtClave(detailField(Detail, 5)),
      txtCampo(detailField(Detail, 6)),
      txtAnterior(detailField(Detail, 7)),
      txtNuevo(detailField(Detail, 8)),
      Line1(grDiaFT.addLine(QStringLiteral("Line1"), 0, 60, 9240, 60)),
      lblTotal(ReportFooter.addLabel(QStringLiteral("lblTotal"), 0, 150, 3000, 240,
                                     QStringLiteral("Cambios registrados en el período: "), kArial, 8)),
      txtTotal(ReportFooter.addField(QStringLiteral("txtTotal"), 3000, 150, 1000, 240, QStringLiteral("Fecha"), kArial,
                                     8, FieldSummary::Count))
{
    caption = QStringLiteral("Tesorin - registro de cambios");
    documentTitle = caption;
    txtDia.bold = true;
    txtDia.format = [](const QVariant &v) {
        const QDate d = DbDay(v);
        return d.isValid() ? LongDate(d, env().locale) : QString();
    };
    for (const Column &c : kColumns) {
        ReportControl &heading = grDia.addLabel(QStringLiteral("lbl") + QLatin1String(c.name).mid(3), c.left, 360,
                                                c.width, 213, QString::fromUtf8(c.heading), kArial, kSize);
        heading.bold = true;
    }
    txtHora.format = [](const QVariant &v) {
        const QDateTime d = DbDate(v);
        return d.isValid() ? d.time().toString(QStringLiteral("HH:mm:ss")) : QString();
    };
    onReportStart = [this] { ReportStart(); };
}

void rptCambios::ReportStart()
{
    if (!ChangeRecordPresent(Conexion())) {
        MsgBox(QStringLiteral("Estos libros todavía no tienen registro de cambios: se agrega la primera vez que se "
                              "abren con permiso para modificarlos."),
               MsgIcon::Exclamation);
        throw ReportCancelled();
    }
    const QDate today = env().clock->now().date();
    const QDate start = askDate(QStringLiteral("Ingrese fecha inicio (dd/mm/aaaa)"), today.addMonths(-12));
    const QDate end = askDate(QStringLiteral("Ingrese fecha fin (dd/mm/aaaa)"), today);
    if (end < start) {
        MsgBox(QStringLiteral("La fecha fin (%1) es anterior a la fecha inicio (%2). Ingrese un periodo que termine el "
                              "mismo día o después de empezar.")
                   .arg(end.toString(QStringLiteral("dd/MM/yyyy")), start.toString(QStringLiteral("dd/MM/yyyy"))),
               MsgIcon::Exclamation);
        throw ReportCancelled();
    }
    furniture.lblCooperadora.caption = OrganisationName();
    furniture.lblLibro.caption = QStringLiteral("Registro de cambios del %1 al %2")
                                     .arg(start.toString(QStringLiteral("dd/MM/yyyy")),
                                          end.toString(QStringLiteral("dd/MM/yyyy")));
    dataSource = ChangeRecordSource(start, end);
}

ReportDataSource ChangeRecordSource(const QDate &start, const QDate &end)
{
    // The end bound is the next midnight: the whole last day. The date index finds the range.
    ReportDataSource s;
    s.sql = QStringLiteral("SELECT substr(Fecha, 1, 10) AS Dia, Fecha, Usuario, Equipo, Operacion, Tabla, Clave, Campo,"
                           " ValorAnterior, ValorNuevo FROM Cambio WHERE Fecha >= ? AND Fecha < ?"
                           " ORDER BY Fecha, IDCambio");
    s.binds = {QDateTime(start, QTime(0, 0)), QDateTime(end.addDays(1), QTime(0, 0))};
    return s;
}
