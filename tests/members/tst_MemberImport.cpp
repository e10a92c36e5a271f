// Members from a class list: who is already on the roll, the new courses, and
// one transaction for the whole list, on the file and on the server.
#include "data/Database.h"
#include "data/DelimitedText.h"
#include "data/PgSchema.h"
#include "members/MemberImport.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QtTest>

namespace {

const QString kSample = QStringLiteral(TESORIN_TESTS_DIR "/samples/lista-curso.csv");

// Three members of the demonstration, as it writes them.
void fillRoll(const QSqlDatabase &db)
{
    Exec(db, QStringLiteral("INSERT INTO Curso (IDCurso, Nombre) VALUES (1, '1er grado A'), (2, '1er grado B'),"
                            " (3, '2do grado')"));
    const QString ins = QStringLiteral("INSERT INTO Socio (IDSocio, Nombre, Alumno, IDCurso, Telefono, Email,"
                                       " Direccion, DNI) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    Exec(db, ins, {1, QStringLiteral("Acosta, María Laura"), QStringLiteral("Acosta, Juan Ignacio"), 1,
                   QStringLiteral("11-4107-1037"), QStringLiteral("socio1@example.org"), QStringLiteral("Calle 3 111"),
                   QStringLiteral("20104729")});
    Exec(db, ins, {2, QStringLiteral("Benítez, Carlos"), QStringLiteral("Benítez, Sofía"), 2,
                   QStringLiteral("11-4114-1074"), QStringLiteral("socio2@example.org"), QStringLiteral("Calle 6 122"),
                   QStringLiteral("20209458")});
    Exec(db, ins, {11, QStringLiteral("Ibáñez, Marta"), QStringLiteral("Ibáñez, Lautaro"), 1,
                   QStringLiteral("11-4177-1407"), QStringLiteral("socio11@example.org"), QStringLiteral("Calle 33 221"),
                   QStringLiteral("21152019")});
}

MemberImportSource sample(const QString &path = kSample)
{
    const DelimitedText t = ReadDelimitedFile(path);
    return {t.rows, ColumnsFromTitles(t.rows.first(), MemberImportTitles()), true};
}

// Each row as "line action member": what the plan does with the list.
QString actions(const MemberImportPlan &plan)
{
    QStringList out;
    for (const MemberImportRow &r : plan.rows)
        out << QStringLiteral("%1 %2 %3").arg(r.line).arg(int(r.action)).arg(r.member);
    return out.join(QLatin1Char(','));
}

QString socio(qint64 id, const QString &column)
{
    return Scalar(QStringLiteral("SELECT %1 FROM Socio WHERE IDSocio=?").arg(column), {id}).toString();
}

qint64 count(const QString &table)
{
    return Scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table).toLongLong();
}

} // namespace

class tst_MemberImport : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestEnv> env;

private slots:
    void initTestCase_data() { EngineRows(); }
    void init()
    {
        env = std::make_unique<TestEnv>();
        env->openBooks(fillRoll);
    }
    void cleanup() { env.reset(); }

    void theRollIsFoundByDniDigitsOrFoldedNamesInEitherEncoding()
    {
        // The same list as an older spreadsheet saves it.
        QFile utf8(kSample);
        QVERIFY(utf8.open(QIODevice::ReadOnly));
        const QString text = QStringDecoder(QStringDecoder::Utf8).decode(utf8.readAll());
        QFile cp1252(env->path(QStringLiteral("lista-1252.csv")));
        QVERIFY(cp1252.open(QIODevice::WriteOnly));
        cp1252.write(QStringEncoder(QStringEncoder::Latin1).encode(text)); // the list holds no 0x80–0x9F letters
        cp1252.close();

        const MemberRoll roll = ReadMemberRoll(Conexion());
        for (const QString &path : {kSample, cp1252.fileName()}) {
            const MemberImportPlan plan = PlanMemberImport(roll, sample(path), true);
            // Acosta by the DNI's digits, Benítez by folded names, Ibáñez unchanged,
            // Peña and Núñez new in one new course, a row without a member, Mamani new.
            QCOMPARE(actions(plan), QStringLiteral("2 1 1,3 1 2,4 2 11,5 0 0,6 0 0,7 2 0,8 0 0"));
            QCOMPARE(plan.newCourses, QStringList{QStringLiteral("1º C")});
            QCOMPARE(plan.rows[1].changes, QStringList{QStringLiteral("E-mail: socio2@example.org → carlos.benitez@correo.com.ar")});
            QCOMPARE(plan.rows[0].changes, QStringList{QStringLiteral("Teléfono: 11-4107-1037 → 11-5555-0101")});
            QCOMPARE(plan.rows[5].note, QStringLiteral("Sin nombre del socio"));
            QCOMPARE(plan.rows[3].values.value("Direccion"), QStringLiteral("Güemes 1234, 2º \"B\""));
            QCOMPARE(MemberImportSummary(plan), QStringLiteral("3 socios agregados, 2 actualizados, 2 omitidos"));
        }
        QCOMPARE(MemberImportSummary(PlanMemberImport(roll, sample(), false)),
                 QStringLiteral("3 socios agregados, 0 actualizados, 4 omitidos"));
    }

    void siblingsRepeatsAndLongValues()
    {
        const MemberRoll roll = ReadMemberRoll(Conexion());
        const QString longStreet = QString(120, QLatin1Char('x'));
        MemberImportSource list{{{"Socio", "Alumno", "DNI", "Domicilio"},
                                 // A sibling listed first must not take the member of Juan Ignacio.
                                 {"Acosta, María Laura", "Acosta, Pilar", "20104729", ""},
                                 {"Acosta, Maria Laura", "Acosta, Juan Ignacio", "20-104-729", longStreet},
                                 {"acosta, maría laura", "ACOSTA, PILAR", "", ""},
                                 {"Otro, Socio", "", "20209458", ""}},
                                {{"Nombre", 0}, {"Alumno", 1}, {"DNI", 2}, {"Direccion", 3}},
                                true};
        const MemberImportPlan plan = PlanMemberImport(roll, list, true);
        QCOMPARE(actions(plan), QStringLiteral("2 0 0,3 1 1,4 2 0,5 1 2"));
        QCOMPARE(plan.rows[1].values.value("Direccion").size(), 100);
        QCOMPARE(plan.rows[1].cut, QStringList{QStringLiteral("Dirección")});
        QCOMPARE(plan.rows[2].note, QStringLiteral("Repite la fila 2"));
        QCOMPARE(plan.cutValues, 1);
    }

    void theListIsWrittenOnceWithItsCoursesAndRecord()
    {
        const MemberImportPlan done = WriteMemberImport(Conexion(), sample(), true, QStringLiteral("lista-curso.csv"));
        QCOMPARE(MemberImportSummary(done), QStringLiteral("3 socios agregados, 2 actualizados, 2 omitidos"));
        QCOMPARE(count(QStringLiteral("Curso")), 4);
        const qint64 nuevo = Scalar(QStringLiteral("SELECT IDCurso FROM Curso WHERE Nombre=?"), {QStringLiteral("1º C")}).toLongLong();
        QCOMPARE(Scalar(QStringLiteral("SELECT COUNT(*) FROM Socio WHERE IDCurso=?"), {nuevo}).toInt(), 2);
        QCOMPARE(socio(1, "Telefono"), QStringLiteral("11-5555-0101"));
        QCOMPARE(socio(1, "Email"), QStringLiteral("socio1@example.org")); // an empty cell keeps it
        QCOMPARE(socio(2, "Nombre"), QStringLiteral("Benítez, Carlos"));    // the accents stay
        QCOMPARE(socio(2, "Email"), QStringLiteral("carlos.benitez@correo.com.ar"));
        const QVariant email = Scalar(QStringLiteral("SELECT Email FROM Socio WHERE Nombre=?"), {QStringLiteral("Mamani, Rosa Elena")});
        QVERIFY(!email.isNull() && email.toString().isEmpty()); // as the member window stores an empty box
        QCOMPARE(Scalar(QStringLiteral("SELECT Operacion || ' ' || Tabla || ' ' || ValorNuevo FROM Cambio")).toString(),
                 QStringLiteral("Importación Socio lista-curso.csv: 3 socios agregados, 2 actualizados, 2 omitidos"));

        // The same list again finds every member it added.
        QCOMPARE(MemberImportSummary(WriteMemberImport(Conexion(), sample(), true, QStringLiteral("lista-curso.csv"))),
                 QStringLiteral("0 socios agregados, 0 actualizados, 7 omitidos"));
        QCOMPARE(count(QStringLiteral("Socio")), 6);
    }

    void aRefusedRowLeavesNothingWritten()
    {
        // The last new member is refused after a course, members and updates were written.
        if (OnServerRow()) {
            PgRun(Conexion(), QStringLiteral("ALTER TABLE socio ADD CONSTRAINT sin_mamani CHECK (nombre NOT LIKE 'Mamani%')"));
        } else {
            Exec(QStringLiteral("CREATE TRIGGER sin_mamani BEFORE INSERT ON Socio WHEN NEW.Nombre LIKE 'Mamani%'"
                                " BEGIN SELECT RAISE(ABORT, 'rechazado'); END"));
        }
        QVERIFY_THROWS_EXCEPTION(RuntimeError, WriteMemberImport(Conexion(), sample(), true, QStringLiteral("l.csv")));
        QCOMPARE(count(QStringLiteral("Curso")), 3);
        QCOMPARE(count(QStringLiteral("Socio")), 3);
        QCOMPARE(count(QStringLiteral("Cambio")), 0);
        QCOMPARE(socio(1, "Telefono"), QStringLiteral("11-4107-1037"));
    }

    void anotherPcsMemberIsFoundUnderTheWriteLock()
    {
        // The window planned before another PC added Peña: the import updates her.
        const MemberRoll before = ReadMemberRoll(Conexion());
        QVERIFY(env->openOtherConnection(QStringLiteral("otra")));
        Exec(QSqlDatabase::database(QStringLiteral("otra")),
             QStringLiteral("INSERT INTO Socio (Nombre, Alumno, DNI) VALUES ('Peña, Inés', 'Peña, Nahuel', '27345678')"));
        QCOMPARE(PlanMemberImport(before, sample(), true).added, 3);
        const MemberImportPlan done = WriteMemberImport(Conexion(), sample(), true, QStringLiteral("l.csv"));
        QCOMPARE(MemberImportSummary(done), QStringLiteral("2 socios agregados, 3 actualizados, 2 omitidos"));
        QCOMPARE(Scalar(QStringLiteral("SELECT COUNT(*) FROM Socio WHERE DNI=?"), {QStringLiteral("27345678")}).toInt(), 1);
        if (!env->server)
            CloseConnection(QStringLiteral("otra"));
    }
};

QTEST_GUILESS_MAIN(tst_MemberImport)
#include "tst_MemberImport.moc"
