// The record of changes made by hand, without any window: what an entry
// holds, that it is only ever added to, that books made before get it, that
// the table editor's model stores an edit with its record or not at all and
// keeps a transfer's two halves together, and the report of a range of days.
// Each runs on a file and on the same books copied to a server.
#include "data/ChangeRecord.h"
#include "data/Database.h"
#include "data/TableInfo.h"
#include "data/Ledger.h"
#include "data/PgSchema.h"
#include "reports/ReportExport.h"
#include "reports/rptCambios.h"
#include "support/PgTest.h"
#include "support/TableEditor.h"
#include "support/TestEnv.h"

#include <QSqlRecord>
#include <QtTest>

namespace {

// The record as text: one entry a line, nulls as "-".
QString recorded(const QString &where = QStringLiteral("1 = 1"))
{
    QStringList lines;
    QSqlQuery q = Exec(QStringLiteral("SELECT Fecha, Usuario, Equipo, Operacion, Tabla, Clave, Campo, ValorAnterior,"
                                      " ValorNuevo FROM Cambio WHERE %1 ORDER BY IDCambio").arg(where));
    while (q.next()) {
        QStringList values;
        for (int c = 0; c < q.record().count(); ++c)
            values << (q.isNull(c) ? QStringLiteral("-") : q.value(c).toString());
        lines << values.join(QLatin1Char('|'));
    }
    return lines.join(QLatin1Char('\n'));
}

// A statement without values; the server prepares no definition.
void run(const QString &sql)
{
    if (OnServerRow())
        PgRun(Conexion(), sql);
    else
        Exec(sql);
}

// Makes every new entry of the record fail, as a full disk or a lost right would.
void refuseEntries()
{
    if (!OnServerRow()) {
        Exec(QStringLiteral("CREATE TRIGGER sin_registro BEFORE INSERT ON Cambio BEGIN SELECT RAISE(ABORT, 'disco lleno'); END"));
        return;
    }
    PgRun(Conexion(), QStringLiteral("CREATE FUNCTION sin_registro() RETURNS trigger LANGUAGE plpgsql AS"
                                     " $$ BEGIN RAISE EXCEPTION 'disco lleno'; END $$"));
    PgRun(Conexion(), QStringLiteral("CREATE TRIGGER sin_registro BEFORE INSERT ON cambio FOR EACH ROW"
                                     " EXECUTE FUNCTION sin_registro()"));
}

} // namespace

class tst_ChangeRecord : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data() { EngineRows(); }
    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        m_model.reset();
        CloseConnection(QStringLiteral("grilla"));
        m_env.reset();
    }

    void entriesAreStampedAndGoWithTheirTransaction();
    void theRecordIsOnlyAddedTo();
    void booksMadeBeforeGetTheRecord();
    void anEditIsStoredWithItsRecordOrNotAtAll();
    void aTransfersHalvesChangeAndGoTogether();
    void theReportListsTheDaysAsked();

private:
    GrillaTableModel &editor(const QString &table) { return OpenTableEditor(m_model, table); }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<GrillaTableModel> m_model;
};

void tst_ChangeRecord::entriesAreStampedAndGoWithTheirTransaction()
{
    m_env->openBooks();
    {
        Transaction t;
        RecordChanges(Conexion(), RowChanges(QStringLiteral("Cuota"), 7, {"IDCuota", "Descripcion", "vigencia", "Valor"},
                                             {7, QStringLiteral("Bono"), QVariant(), 1500.0},
                                             {7, QStringLiteral("Bono 'B'"), QDateTime(QDate(2026, 3, 1), QTime(9, 5)), 0.1}));
        m_env->clock->advance(61000);
        RecordChange(Conexion(), QStringLiteral("Cierre"), QStringLiteral("Movimiento"), QVariant(), QString(),
                     QVariant(), QStringLiteral("Ejercicio 2026"));
        t.commit();
    }
    {
        Transaction rolledBack;
        RecordChange(Conexion(), QLatin1String(kChangeDelete), QStringLiteral("Curso"), 1, QStringLiteral("Nombre"),
                     QStringLiteral("1ro"), QVariant());
    }
    // The key column that did not change is no entry; a change of no row or column is.
    QCOMPARE(recorded(), QStringLiteral("2026-12-06 10:00:00|tesorera|PC-TESORERIA|Cambio|Cuota|7|Descripcion|Bono|Bono 'B'\n"
                                        "2026-12-06 10:00:00|tesorera|PC-TESORERIA|Cambio|Cuota|7|vigencia|-|2026-03-01 09:05:00\n"
                                        "2026-12-06 10:00:00|tesorera|PC-TESORERIA|Cambio|Cuota|7|Valor|1500|0.1\n"
                                        "2026-12-06 10:01:01|tesorera|PC-TESORERIA|Cierre|Movimiento|-|-|-|Ejercicio 2026"));
    // A new row and a deleted one: the columns that hold a value.
    const QList<ChangeEntry> added = RowChanges("Curso", 3, {"IDCurso", "Nombre"}, {}, {3, QVariant()});
    const QList<ChangeEntry> gone = RowChanges("Curso", 3, {"IDCurso", "Nombre"}, {3, "3ro"}, {});
    QCOMPARE(added.size(), 1);
    QCOMPARE(added.first().operation + added.first().after.toString(), QStringLiteral("Alta3"));
    QCOMPARE(gone.size(), 2);
    QCOMPARE(gone.last().operation + gone.last().before.toString(), QStringLiteral("Baja3ro"));
}

void tst_ChangeRecord::theRecordIsOnlyAddedTo()
{
    m_env->openBooks();
    RecordChange(Conexion(), QLatin1String(kChangeUpdate), QStringLiteral("Curso"), 1, QStringLiteral("Nombre"),
                 QStringLiteral("1ro"), QStringLiteral("2do"));
    // The table editor does not open it.
    GrillaTableModel grid(nullptr, Conexion());
    QVERIFY(!grid.open(QStringLiteral("Cambio")));
    if (OnServerRow()) {
        // The volunteers' roles add and read; nobody but the tables' owner changes or deletes.
        QVERIFY(Scalar("SELECT has_table_privilege('tesorero', 'cambio', 'INSERT')"
                       " AND has_table_privilege('tesorero', 'cambio', 'SELECT')"
                       " AND NOT has_table_privilege('tesorero', 'cambio', 'UPDATE')"
                       " AND NOT has_table_privilege('tesorero', 'cambio', 'DELETE')"
                       " AND NOT has_table_privilege('tesorero', 'cambio', 'TRUNCATE')"
                       " AND has_table_privilege('consulta', 'cambio', 'SELECT')"
                       " AND NOT has_table_privilege('consulta', 'cambio', 'INSERT')")
                    .toBool());
        return;
    }
    // The file itself refuses, whoever asks.
    for (const char *sql : {"UPDATE Cambio SET ValorNuevo = 'x'", "DELETE FROM Cambio"}) {
        try {
            Exec(QString::fromLatin1(sql));
            QFAIL(sql);
        } catch (const RuntimeError &e) {
            QVERIFY2(e.description().contains("El registro de cambios no se modifica ni se borra."),
                     qPrintable(e.description()));
        }
    }
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Cambio").toInt(), 1);
}

void tst_ChangeRecord::booksMadeBeforeGetTheRecord()
{
    m_env->openBooks();
    RecordChange(Conexion(), QLatin1String(kChangeUpdate), QStringLiteral("Curso"), 1, QStringLiteral("Nombre"), 1, 2);
    run(QStringLiteral("DROP TABLE Cambio"));
    run(QStringLiteral("DROP TABLE ExtractoLinea"));
    QVERIFY(!ChangeRecordPresent(Conexion()));
    // Opened again (a file for writing, a server by the tables' owner), the
    // books have it, empty, and the bank statement's lines too.
    QVERIFY(m_env->reopenBooks());
    QVERIFY(ChangeRecordPresent(Conexion()));
    QVERIFY(TablePresent(Conexion(), QStringLiteral("ExtractoLinea")));
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Cambio").toInt(), 0);
    RecordChange(Conexion(), QLatin1String(kChangeUpdate), QStringLiteral("Curso"), 1, QStringLiteral("Nombre"), 1, 2);
    if (OnServerRow()) {
        QVERIFY(Scalar("SELECT has_table_privilege('tesorero', 'cambio', 'INSERT')"
                       " AND NOT has_table_privilege('tesorero', 'cambio', 'DELETE')"
                       " AND has_table_privilege('consulta', 'cambio', 'SELECT')"
                       " AND has_table_privilege('tesorero', 'extractolinea', 'INSERT')").toBool());
        return;
    }
    QCOMPARE(Scalar("SELECT COUNT(*) FROM sqlite_master WHERE name IN ('Cambio_Fecha', 'Cambio_NoSeModifica',"
                    " 'Cambio_NoSeBorra')").toInt(), 3);
    // A file that cannot be written opens as it is, without the record; its report says so.
    Exec(QStringLiteral("DROP TABLE Cambio"));
    CloseConexion();
    QFile::setPermissions(m_env->path("tesorin.db"), QFile::ReadOwner);
    QList<DbErrorEntry> errors;
    QVERIFY(OpenConexion(m_env->path("tesorin.db"), &errors));
    if (!ConexionIsReadOnly())
        QSKIP("root writes to read-only files");
    QVERIFY(!ChangeRecordPresent(Conexion()));
    m_env->prompts->expectMessage("Estos libros todavía no tienen registro de cambios: se agrega la primera vez que se "
                                  "abren con permiso para modificarlos.", MsgIcon::Exclamation, MsgButtons::OK);
    rptCambios report;
    QVERIFY(report.run().wasCancelled());
}

void tst_ChangeRecord::anEditIsStoredWithItsRecordOrNotAtAll()
{
    m_env->openBooks([](const QSqlDatabase &db) {
        Exec(db, "INSERT INTO Curso (IDCurso, Nombre) VALUES (1, '1ro'), (2, '2do')");
    });
    GrillaTableModel &m = editor(QStringLiteral("Curso"));
    QVERIFY(m.setData(m.index(0, 1), QStringLiteral("Primero")));
    QVERIFY(m.writePending());
    QCOMPARE(recorded(), QStringLiteral("2026-12-06 10:00:00|tesorera|PC-TESORERIA|Cambio|Curso|1|Nombre|1ro|Primero"));

    // The record cannot take the entry: the edit is not stored either, and the user is told why.
    refuseEntries();
    QVERIFY(m.setData(m.index(1, 1), QStringLiteral("Segundo")));
    QVERIFY(!m.writePending());
    QVERIFY2(m.lastRefusal().startsWith("No se pudo anotar el cambio en el registro de cambios, y sin anotarlo no se "
                                        "guarda.\r\r") && m.lastRefusal().contains("disco lleno"),
             qPrintable(m.lastRefusal()));
    m.revertRow(1);
    QVERIFY(!m.removeRow(0));
    QCOMPARE(Scalar("SELECT Nombre FROM Curso WHERE IDCurso = 2").toString(), QStringLiteral("2do"));
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Curso").toInt(), 2);
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Cambio").toInt(), 1);
}

void tst_ChangeRecord::aTransfersHalvesChangeAndGoTogether()
{
    m_env->openBooks([](const QSqlDatabase &db) { AddMovimiento(db, "I", "E", 500); });
    const auto [out, in] = Ledger::instance().transfer(Medium::Cash, QDateTime(QDate(2026, 4, 1), QTime(10, 0)), 200,
                                                       QStringLiteral("Depósito"));
    GrillaTableModel &m = editor(QStringLiteral("Movimiento"));
    const int importe = 6, descripcion = 8;
    const int half = m.rowOfKey(out);
    QVariant partner;
    QVERIFY(m.transferPartner(half, &partner));
    QCOMPARE(partner.toLongLong(), in);
    QVERIFY(m.transferPartner(m.rowOfKey(1), &partner) && partner.isNull());

    // One half's amount alone is refused; with its other half both change, and both are recorded.
    QVERIFY(m.setData(m.index(half, importe), QStringLiteral("250")));
    GrillaTableModel::TransferEdit edit;
    QVERIFY(m.pendingTransferEdit(&edit));
    QCOMPARE(edit.partner.toLongLong(), in);
    QCOMPARE(edit.fields, QStringList{"Importe"});
    QVERIFY(!m.writePending());
    QCOMPARE(m.lastRefusal(), QStringLiteral("El movimiento %1 es una mitad de una transferencia: su importe y su fecha "
                                             "cambian junto con los de la otra mitad (el movimiento %2).").arg(out).arg(in));
    QVERIFY(m.writePending(edit.partner));
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Movimiento WHERE Importe = 250 AND IDContraAsiento IS NOT NULL").toInt(), 2);
    QCOMPARE(recorded("Campo = 'Importe'").count(QStringLiteral("|Importe|200|250")), 2);
    // Its description is the row's own.
    QVERIFY(m.setData(m.index(half, descripcion), QStringLiteral("Depósito de marzo")));
    QVERIFY(m.pendingTransferEdit(&edit) && edit.partner.isNull());
    QVERIFY(m.writePending());

    // Deleted alone, refused; with its other half, both go, each recorded column by column.
    QVERIFY(!m.removeRow(half));
    QCOMPARE(m.lastRefusal(), QStringLiteral("El movimiento %1 es una mitad de una transferencia: se elimina junto con la "
                                             "otra mitad (el movimiento %2).").arg(out).arg(in));
    QVERIFY(m.removeTransfer(m.rowOfKey(in), out));
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Movimiento").toInt(), 1);
    QCOMPARE(recorded("Operacion = 'Baja' AND Campo = 'IDContraAsiento'").count(QStringLiteral("|Baja|Movimiento|")), 2);
}

void tst_ChangeRecord::theReportListsTheDaysAsked()
{
    m_env->openBooks();
    for (int day : {1, 2, 3}) {
        m_env->clock->set(QDateTime(QDate(2026, 3, day), QTime(23, 59, 59)));
        RecordChange(Conexion(), QLatin1String(kChangeUpdate), QStringLiteral("Cuota"), day, QStringLiteral("Valor"),
                     1200, 1500.5);
    }
    ScriptedPrompts &p = *m_env->prompts;
    p.expectInput("Ingrese fecha inicio (dd/mm/aaaa)", "Registro de cambios", "03/03/2025", "1/3/2026")
        .expectInput("Ingrese fecha fin (dd/mm/aaaa)", "Registro de cambios", "03/03/2026", "02/03/2026");
    rptCambios report;
    QVERIFY(report.run().ok());
    // Both whole days, the last one to its last second; the third day is out.
    QCOMPARE(report.rows().rows.size(), size_t(2));
    const QString text = report.text();
    QVERIFY2(text.contains("Registro de cambios del 01/03/2026 al 02/03/2026") && text.contains("23:59:59")
                 && text.contains("tesorera") && text.contains("1500.5")
                 && text.contains("Cambios registrados en el período: 2"),
             qPrintable(text));
    QCOMPARE(ReportCsv(report).section("\r\n", 0, 0),
             QStringLiteral("Dia,Fecha,Usuario,Equipo,Operacion,Tabla,Clave,Campo,ValorAnterior,ValorNuevo"));
}

QTEST_MAIN(tst_ChangeRecord)
#include "tst_ChangeRecord.moc"
