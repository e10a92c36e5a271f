#include "members/SocioSearch.h"
#include "data/Database.h"
#include "data/TableInfo.h"
#include "data/TextRules.h"
#include "data/ValueRules.h"

#include <QStringList>
#include <cmath>

namespace {
// A number typed or chosen as a filter, bound as an integer when it is one.
QVariant filterNumber(double value)
{
    if (value == std::floor(value) && std::fabs(value) < 9.0e15)
        return qint64(value);
    return value;
}

// What was typed is looked for as it is: % and _ are letters here, not LIKE's wildcards.
QString likeLiteral(QString typed)
{
    return typed.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('%'), QStringLiteral("\\%"))
        .replace(QLatin1Char('_'), QStringLiteral("\\_"));
}
} // namespace

QString SocioSearchSql(const SocioFilter &filter, QVariantList *binds)
{
    QString sql = QStringLiteral(
        "SELECT Socio.IDSocio, Socio.Nombre, Socio.Alumno, Socio.Telefono, Socio.IDCurso, "
        "Curso.Nombre AS Curso "
        "FROM Socio "
        "LEFT JOIN Curso on Curso.IDCurso=Socio.IDCurso ");
    QStringList conditions;
    binds->clear();
    if (!filter.nombre.trimmed().isEmpty()) {
        conditions << SqlFoldText(Conexion(), QStringLiteral("Socio.Nombre"))
                          + QStringLiteral(" like '%' || fold_es(?) || '%' ESCAPE '\\'");
        *binds << likeLiteral(filter.nombre);
    }
    if (!filter.alumno.trimmed().isEmpty()) {
        conditions << SqlFoldText(Conexion(), QStringLiteral("Socio.Alumno"))
                          + QStringLiteral(" like '%' || fold_es(?) || '%' ESCAPE '\\'");
        *binds << likeLiteral(filter.alumno);
    }
    if (!filter.numero.trimmed().isEmpty()) {
        conditions << QStringLiteral("Socio.IDSocio = ?");
        *binds << filterNumber(ReadAmount(filter.numero));
    }
    if (!filter.curso.isEmpty()) {
        conditions << QStringLiteral("Socio.IDCurso = ?");
        *binds << filterNumber(ReadAmount(filter.curso));
    }
    if (!conditions.isEmpty())
        sql += QStringLiteral("WHERE ") + conditions.join(QStringLiteral(" AND ")) + QLatin1Char(' ');
    sql += QStringLiteral("ORDER BY ") + Dialect::MemberOrder(EngineOf(Conexion()), QStringLiteral("Socio.Nombre"))
           + QStringLiteral(", Socio.IDSocio");
    return sql;
}
