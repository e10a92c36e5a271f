#include "members/MemberImport.h"
#include "data/ChangeRecord.h"
#include "data/Database.h"
#include "data/DelimitedText.h"
#include "data/Storage.h"

#include <QSet>

namespace {

const QString kNombre = QStringLiteral("Nombre");
const QString kAlumno = QStringLiteral("Alumno");
const QString kCurso = QStringLiteral("Curso");
const QString kDni = QStringLiteral("DNI");

// The text columns of Socio the list may fill.
const QStringList &textColumns()
{
    static const QStringList c{kNombre, kAlumno, QStringLiteral("Telefono"), QStringLiteral("Email"),
                               QStringLiteral("Direccion"), kDni};
    return c;
}

QString digitsOf(const QString &text)
{
    QString d;
    for (const QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            d += c;
    return d;
}

QString nameAndPupil(const QString &nombre, const QString &alumno)
{
    return FoldedWords(nombre) + QChar(0x1F) + FoldedWords(alumno);
}

// Whether the list's value says something else than the stored one: the DNI
// by its digits, the rest as people write them ("Benitez" is "Benítez").
bool differs(const QString &field, const QString &stored, const QString &value)
{
    if (field == kDni && !digitsOf(stored).isEmpty() && !digitsOf(value).isEmpty())
        return digitsOf(stored) != digitsOf(value);
    return FoldedWords(stored) != FoldedWords(value);
}

QString shown(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("(vacío)") : value;
}

void fail(const QSqlDatabase &db, const QSqlQuery &q)
{
    throw StorageFailure(db, q.lastError());
}

} // namespace

QStringList MemberImportFields()
{
    return {kNombre, kAlumno, kCurso, QStringLiteral("Telefono"), QStringLiteral("Email"),
            QStringLiteral("Direccion"), kDni};
}

QString MemberImportLabel(const QString &field)
{
    static const QHash<QString, QString> labels{
        {kNombre, QStringLiteral("Socio")},        {kAlumno, QStringLiteral("Alumno")},
        {kCurso, QStringLiteral("Curso")},         {QStringLiteral("Telefono"), QStringLiteral("Teléfono")},
        {QStringLiteral("Email"), QStringLiteral("E-mail")}, {QStringLiteral("Direccion"), QStringLiteral("Dirección")},
        {kDni, QStringLiteral("DNI")}};
    return labels.value(field, field);
}

int MemberImportLimit(const QString &field)
{
    // The member window's limits, so that an imported member can be edited there.
    static const QHash<QString, int> limits{{kNombre, 150},
                                            {kAlumno, 150},
                                            {QStringLiteral("Telefono"), 50},
                                            {QStringLiteral("Email"), 50},
                                            {QStringLiteral("Direccion"), 100},
                                            {kDni, 15}};
    return limits.value(field, 0);
}

QList<std::pair<QString, QStringList>> MemberImportTitles()
{
    // The pupil first: "Nombre del alumno" must not be taken for the member.
    return {{kAlumno, {QStringLiteral("alumn"), QStringLiteral("estudiante"), QStringLiteral("nombre del alumn"),
                       QStringLiteral("hij")}},
            {kNombre, {QStringLiteral("socio"), QStringLiteral("nombre del socio"), QStringLiteral("padre"),
                       QStringLiteral("madre"), QStringLiteral("tutor"), QStringLiteral("responsable"),
                       QStringLiteral("adulto"), QStringLiteral("apellido"), QStringLiteral("nombre")}},
            {kCurso, {QStringLiteral("curso"), QStringLiteral("grado"), QStringLiteral("division"),
                      QStringLiteral("sala"), QStringLiteral("ano")}},
            {QStringLiteral("Telefono"), {QStringLiteral("tel"), QStringLiteral("cel"), QStringLiteral("movil")}},
            {QStringLiteral("Email"), {QStringLiteral("e-mail"), QStringLiteral("email"), QStringLiteral("correo"),
                                       QStringLiteral("mail")}},
            {QStringLiteral("Direccion"), {QStringLiteral("direccion"), QStringLiteral("domicilio"),
                                           QStringLiteral("calle")}},
            {kDni, {QStringLiteral("dni"), QStringLiteral("doc")}}};
}

MemberRoll ReadMemberRoll(const QSqlDatabase &db)
{
    MemberRoll roll;
    {
        RowReader r(db, QStringLiteral("SELECT IDCurso, Nombre FROM Curso"));
        while (r.next()) {
            if (r.isNull(0))
                continue;
            const QString name = QString::fromUtf8(r.text(1));
            roll.courseNames.insert(r.integer(0), name);
            // Two courses folding alike: the first keeps the name.
            if (!roll.courseByName.contains(FoldedWords(name)))
                roll.courseByName.insert(FoldedWords(name), r.integer(0));
        }
    }
    const QStringList &cols = textColumns();
    RowReader r(db, QStringLiteral("SELECT IDSocio, IDCurso, ") + cols.join(QStringLiteral(", "))
                        + QStringLiteral(" FROM Socio ORDER BY IDSocio"));
    while (r.next()) {
        MemberRoll::Member m;
        m.id = r.integer(0);
        m.idCurso = r.isNull(1) ? QVariant(QMetaType::fromType<qint64>()) : QVariant(r.integer(1));
        for (int c = 0; c < cols.size(); ++c)
            m.values.insert(cols[c], r.isNull(c + 2) ? QString() : QString::fromUtf8(r.text(c + 2)));
        const int at = int(roll.members.size());
        if (const QString dni = digitsOf(m.values[kDni]); !dni.isEmpty())
            roll.byDni[dni] << at;
        roll.byNameAndPupil[nameAndPupil(m.values[kNombre], m.values[kAlumno])] << at;
        roll.members << m;
    }
    return roll;
}

MemberImportPlan PlanMemberImport(const MemberRoll &roll, const MemberImportSource &source, bool updateExisting)
{
    MemberImportPlan plan;
    const auto column = [&](const QString &field) { return source.columns.value(field, -1); };
    QSet<QString> newCourseKeys;
    QHash<QString, int> seen; // folded member + pupil, and DNI + pupil, of the rows before → their line
    QSet<int> claimed;        // members a row already names
    QList<int> byDniOnly;     // rows whose member may be found by the DNI alone

    for (int i = source.titleRow ? 1 : 0; i < source.rows.size(); ++i) {
        const QStringList &fields = source.rows[i];
        // Spreadsheets end their lists with rows of empty cells: those are no row at all.
        if (std::all_of(fields.cbegin(), fields.cend(), [](const QString &f) { return f.trimmed().isEmpty(); }))
            continue;
        MemberImportRow row;
        row.line = i + 1;
        for (const QString &field : MemberImportFields()) {
            QString value = column(field) >= 0 ? fields.value(column(field)).simplified() : QString();
            if (const int limit = MemberImportLimit(field); limit > 0 && value.size() > limit) {
                value.truncate(limit);
                row.cut << MemberImportLabel(field);
                ++plan.cutValues;
            }
            if (field == kCurso)
                row.course = value;
            else
                row.values.insert(field, value);
        }
        if (row.values[kNombre].isEmpty()) {
            row.action = MemberImportRow::Action::Omit;
            row.note = QStringLiteral("Sin nombre del socio");
            plan.rows << row;
            continue;
        }
        const QString key = nameAndPupil(row.values[kNombre], row.values[kAlumno]);
        const QString dni = digitsOf(row.values[kDni]);
        const QString dniKey = dni.isEmpty() ? QString() : dni + QChar(0x1F) + FoldedWords(row.values[kAlumno]);
        const int before = seen.value(key, dniKey.isEmpty() ? 0 : seen.value(dniKey, 0));
        if (before > 0) {
            row.action = MemberImportRow::Action::Omit;
            row.note = QStringLiteral("Repite la fila %1").arg(before);
            plan.rows << row;
            continue;
        }
        seen.insert(key, row.line);
        if (!dniKey.isEmpty())
            seen.insert(dniKey, row.line);

        // First the members the row names by both DNI and pupil, or by member
        // and pupil; a DNI alone names a member only after that, so that a
        // sibling's row does not take the member of the pupil listed further on.
        for (const int m : roll.byDni.value(dni))
            if (!claimed.contains(m) && FoldedWords(roll.members[m].values[kAlumno]) == FoldedWords(row.values[kAlumno])) {
                row.member = m + 1;
                break;
            }
        if (!row.member)
            for (const int m : roll.byNameAndPupil.value(key))
                if (!claimed.contains(m)) {
                    row.member = m + 1;
                    break;
                }
        if (row.member)
            claimed.insert(int(row.member - 1));
        else if (!dni.isEmpty())
            byDniOnly << int(plan.rows.size());
        if (!row.course.isEmpty() && !roll.courseByName.contains(FoldedWords(row.course))
            && !newCourseKeys.contains(FoldedWords(row.course))) {
            newCourseKeys.insert(FoldedWords(row.course));
            plan.newCourses << row.course;
        }
        plan.rows << row;
    }
    for (const int r : std::as_const(byDniOnly)) {
        MemberImportRow &row = plan.rows[r];
        for (const int m : roll.byDni.value(digitsOf(row.values[kDni])))
            if (!claimed.contains(m)) {
                row.member = m + 1;
                claimed.insert(m);
                break;
            }
    }

    // Positions become the members' numbers; what each row would change.
    for (MemberImportRow &row : plan.rows) {
        if (row.action == MemberImportRow::Action::Omit) {
            ++plan.omitted;
            continue;
        }
        if (!row.member) {
            ++plan.added;
            continue;
        }
        const MemberRoll::Member &m = roll.members[int(row.member - 1)];
        row.member = m.id;
        // A cell left empty in the list keeps what the roll holds.
        for (const QString &field : textColumns())
            if (const QString &value = row.values[field]; !value.isEmpty() && differs(field, m.values[field], value)) {
                row.changedFields << field;
                row.changes << QStringLiteral("%1: %2 → %3").arg(MemberImportLabel(field), shown(m.values[field]), value);
            }
        if (!row.course.isEmpty()) {
            const qint64 id = roll.courseByName.value(FoldedWords(row.course), -1);
            if (m.idCurso.isNull() || id != m.idCurso.toLongLong()) {
                row.changedFields << kCurso;
                row.changes << QStringLiteral("Curso: %1 → %2")
                                   .arg(shown(m.idCurso.isNull() ? QString()
                                                                 : roll.courseNames.value(m.idCurso.toLongLong(),
                                                                                          m.idCurso.toString())),
                                        row.course);
            }
        }
        if (row.changes.isEmpty()) {
            row.action = MemberImportRow::Action::Omit;
            row.note = QStringLiteral("Ya figura (socio %1), sin cambios").arg(m.id);
            ++plan.omitted;
        } else if (!updateExisting) {
            row.action = MemberImportRow::Action::Omit;
            row.note = QStringLiteral("Ya figura (socio %1); no se actualiza").arg(m.id);
            ++plan.omitted;
        } else {
            row.action = MemberImportRow::Action::Update;
            row.note = QStringLiteral("Ya figura (socio %1)").arg(m.id);
            ++plan.updated;
        }
    }
    return plan;
}

QString MemberImportSummary(const MemberImportPlan &plan)
{
    return QStringLiteral("%1 socios agregados, %2 actualizados, %3 omitidos")
        .arg(plan.added)
        .arg(plan.updated)
        .arg(plan.omitted);
}

MemberImportPlan WriteMemberImport(const QSqlDatabase &db, const MemberImportSource &source, bool updateExisting,
                                   const QString &fileName)
{
    // Made before the transaction, so that it is released after the rollback:
    // a server refuses to release a statement inside a failed transaction.
    QSqlQuery insert(db);
    Transaction write(db, Transaction::Mode::Immediate);
    const MemberRoll roll = ReadMemberRoll(db);
    const MemberImportPlan plan = PlanMemberImport(roll, source, updateExisting);

    QHash<QString, qint64> courses = roll.courseByName;
    for (const QString &name : plan.newCourses)
        courses.insert(FoldedWords(name), InsertReturningKey(db, QStringLiteral("INSERT INTO Curso (Nombre) VALUES (?)"),
                                                             {name}, QStringLiteral("IDCurso"))
                                              .toLongLong());
    const QVariant noCourse(QMetaType::fromType<qint64>());
    const auto courseOf = [&](const QString &name) {
        return name.isEmpty() ? noCourse : QVariant(courses.value(FoldedWords(name)));
    };

    // One statement prepared for every new member: a list has thousands.
    const QStringList &cols = textColumns();
    if (!insert.prepare(QStringLiteral("INSERT INTO Socio (%1, IDCurso) VALUES (?%2)")
                            .arg(cols.join(QStringLiteral(", ")), QStringLiteral(", ?").repeated(cols.size()))))
        fail(db, insert);
    for (const MemberImportRow &row : plan.rows) {
        if (row.action == MemberImportRow::Action::Add) {
            for (const QString &c : cols)
                // Never null: an empty field is stored as the member window stores an empty box.
                insert.addBindValue(row.values.value(c).isNull() ? QStringLiteral("") : row.values.value(c));
            insert.addBindValue(courseOf(row.course));
            if (!insert.exec())
                fail(db, insert);
        } else if (row.action == MemberImportRow::Action::Update) {
            QStringList sets;
            QVariantList values;
            for (const QString &field : row.changedFields) {
                sets << (field == kCurso ? QStringLiteral("IDCurso") : field) + QStringLiteral("=?");
                values << (field == kCurso ? courseOf(row.course) : QVariant(row.values[field]));
            }
            values << row.member;
            Exec(db, QStringLiteral("UPDATE Socio SET ") + sets.join(QStringLiteral(", "))
                         + QStringLiteral(" WHERE IDSocio=?"),
                 values);
        }
    }
    RecordChange(db, QString::fromUtf8(kChangeImport), QStringLiteral("Socio"), QVariant(), QString(), QVariant(),
                 QStringLiteral("%1: %2").arg(fileName, MemberImportSummary(plan)));
    write.commit();
    return plan;
}
