// The member edit window, driven through Edit.
#include "data/DataCombo.h"
#include "data/Database.h"
#include "data/ValueRules.h"
#include "members/frmABMSocio.h"
#include "support/Modal.h"
#include "support/TestEnv.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSqlRecord>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

const QString kSave = QStringLiteral("Va a guardar los cambios realizados, esta seguro?");
const QString kLose = QStringLiteral("Va a PERDER los cambios realizados, esta seguro?");

void fillCourses(const QSqlDatabase &db)
{
    Exec(db, QStringLiteral("INSERT INTO Curso (IDCurso, Nombre) VALUES (1, 'Primero'), (2, 'Segundo')"));
    Exec(db, QStringLiteral("INSERT INTO Socio (IDSocio, Nombre, Email, Telefono, Direccion, DNI, "
                            "Alumno, IDCurso) VALUES (5, 'Peña, Inés', 'ines@correo.ar', '4444', "
                            "'Mitre 12', '20111222', 'Peña, Juan', 2), (6, 'Sin Curso', NULL, NULL, "
                            "NULL, NULL, NULL, NULL)"));
}

QLineEdit *box(QWidget *w, const char *name) { return w->findChild<QLineEdit *>(QString::fromLatin1(name)); }
DataCombo *combo(QWidget *w) { return w->findChild<DataCombo *>(QStringLiteral("datcboCurso")); }
void click(QWidget *w, const char *name) { w->findChild<QPushButton *>(QString::fromLatin1(name))->click(); }

void whenShown(std::function<void(frmABMSocio &)> steps)
{
    WhenShown<frmABMSocio>([] { return frmABMSocio::current(); }, steps);
}

QSqlRecord socio(int id)
{
    QSqlQuery q = Exec(QStringLiteral("SELECT * FROM Socio WHERE IDSocio=?"), {id});
    return q.next() ? q.record() : QSqlRecord();
}

int count()
{
    QSqlQuery q = Exec(QStringLiteral("SELECT COUNT(*) FROM Socio"));
    return q.next() ? q.value(0).toInt() : -1;
}

} // namespace

class tst_frmABMSocio : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestEnv> env;

    void expect(const QString &text, MsgResult answer = MsgResult::Yes)
    {
        env->prompts->expectMessage(text, MsgIcon::Question, MsgButtons::YesNo, answer, 1);
    }
    void expectError(const QString &text) { env->prompts->expectMessage(text, MsgIcon::Critical, MsgButtons::OK); }

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        env->openNewDb(fillCourses);
    }
    void cleanup() { env.reset(); }

    void newMemberStoresTheSevenFieldsAsTyped()
    {
        Exec(QStringLiteral("INSERT INTO Curso (IDCurso, Nombre) VALUES (3, '1er año')")); // sorts first
        expect(kSave);
        whenShown([](frmABMSocio &w) {
            QCOMPARE(w.windowTitle(), QStringLiteral("Alta de socio Nuevo"));
            QCOMPARE(combo(&w)->currentText(), QStringLiteral("No Alumno"));
            QTest::keyClicks(box(&w, "txtSocioNombre"), QStringLiteral(" D'Angelo, "));
            box(&w, "txtSocioNombre")->insert(QStringLiteral("Núñez "));
            box(&w, "txtTelefono")->insert(QStringLiteral("4555-1"));
            box(&w, "txtDireccion")->insert(QStringLiteral("Mitre 12"));
            QTest::keyClicks(box(&w, "txtDNI"), QStringLiteral("12345678901234567890")); // takes 15
            box(&w, "txtAlumno")->insert(QStringLiteral("D'Angelo, Lucía"));
            combo(&w)->setBoundText(QStringLiteral("1"));
            QTest::keyClick(box(&w, "txtAlumno"), Qt::Key_Return); // Enter is "Aceptar"
        });
        frmABMSocio::Edit(0);
        const QSqlRecord r = socio(7);
        QCOMPARE(r.value("Nombre").toString(), QStringLiteral(" D'Angelo, Núñez "));
        QVERIFY(!r.value("Email").isNull()); // an empty box stores ""
        QCOMPARE(r.value("Email").toString(), QString());
        QCOMPARE(r.value("Telefono").toString(), QStringLiteral("4555-1"));
        QCOMPARE(r.value("Direccion").toString(), QStringLiteral("Mitre 12"));
        QCOMPARE(r.value("DNI").toString(), QStringLiteral("123456789012345"));
        QCOMPARE(r.value("Alumno").toString(), QStringLiteral("D'Angelo, Lucía"));
        QCOMPARE(r.value("IDCurso").toLongLong(), 1);
    }

    void editLoadsAndStoresNoAlumnoAsNullWithoutCutting()
    {
        const QString longName = QString(200, QLatin1Char('x')); // longer than the box takes
        const QString huge = QString(10000, QLatin1Char('y')); // written by another tool: shown cut
        Exec(QStringLiteral("UPDATE Socio SET Direccion=?, Alumno=? WHERE IDSocio=5"), {longName, huge});
        expect(kSave);
        whenShown([&](frmABMSocio &w) {
            QCOMPARE(w.windowTitle(), QStringLiteral("Edicion de socio 5"));
            QCOMPARE(box(&w, "txtSocioNombre")->text(), QStringLiteral("Peña, Inés"));
            QCOMPARE(box(&w, "txtDireccion")->text(), longName);
            QCOMPARE(box(&w, "txtAlumno")->text(), DisplayText(huge));
            QCOMPARE(combo(&w)->currentText(), QStringLiteral("Segundo"));
            box(&w, "txtEmail")->setText(QString());
            combo(&w)->setCurrentIndex(0); // "No Alumno"
            click(&w, "cmdOk");
        });
        frmABMSocio::Edit(5);
        const QSqlRecord r = socio(5);
        QCOMPARE(r.value("Email").toString(), QString());
        QCOMPARE(r.value("Direccion").toString(), longName); // stored whole, not cut
        QCOMPARE(r.value("Alumno").toString(), huge);         // untouched: not written back cut
        QCOMPARE(r.value("DNI").toString(), QStringLiteral("20111222"));
        QVERIFY(r.value("IDCurso").isNull());
        QCOMPARE(count(), 2);

        // A course no longer listed is kept when other fields are edited.
        Exec(QStringLiteral("UPDATE Socio SET IDCurso=99 WHERE IDSocio=5"));
        expect(kSave);
        whenShown([&](frmABMSocio &w) {
            box(&w, "txtTelefono")->setText(QStringLiteral("5555"));
            click(&w, "cmdOk");
        });
        frmABMSocio::Edit(5);
        QCOMPARE(socio(5).value("IDCurso").toLongLong(), 99);
    }

    void onlyWhatTheUserChangedIsWrittenOverAnotherWriter()
    {
        QList<DbErrorEntry> errors;
        QVERIFY(OpenConnection("otro", ConnectionString(), &errors));
        const QSqlDatabase other = QSqlDatabase::database("otro");
        auto conflict = [](const QString &fields) {
            return "Mientras usted editaba el socio 5, otro programa cambió:\r" + fields
                   + "\r\r¿Guardar lo que usted escribió en su lugar? (No: queda lo del otro programa.)";
        };
        // Another program changes the phone and the address while the window is open;
        // the user changes the e-mail and the address. No keeps the other's address.
        expect(kSave);
        whenShown([&](frmABMSocio &w) {
            Exec(other, "UPDATE Socio SET Telefono='5555', Direccion='Otra 1' WHERE IDSocio=5");
            box(&w, "txtEmail")->setText("nuevo@correo.ar");
            box(&w, "txtDireccion")->setText("Mitre 14");
            click(&w, "cmdOk");
        });
        expect(conflict("Direccion: Otra 1"), MsgResult::No);
        frmABMSocio::Edit(5);
        QSqlRecord r = socio(5);
        QCOMPARE(r.value("Telefono").toString(), QStringLiteral("5555"));
        QCOMPARE(r.value("Email").toString(), QStringLiteral("nuevo@correo.ar"));
        QCOMPARE(r.value("Direccion").toString(), QStringLiteral("Otra 1"));

        // Yes writes the user's values, the course among them.
        expect(kSave);
        whenShown([&](frmABMSocio &w) {
            Exec(other, "UPDATE Socio SET Direccion='', IDCurso=1, DNI='1' WHERE IDSocio=5");
            box(&w, "txtDireccion")->setText("Mitre 16");
            combo(&w)->setCurrentIndex(0); // "No Alumno"
            click(&w, "cmdOk");
        });
        expect(conflict("Direccion: (vacío)\rCurso: Primero"));
        frmABMSocio::Edit(5);
        r = socio(5);
        QCOMPARE(r.value("Direccion").toString(), QStringLiteral("Mitre 16"));
        QVERIFY(r.value("IDCurso").isNull());
        QCOMPARE(r.value("DNI").toString(), QStringLiteral("1"));
        CloseConnection("otro");
    }

    void answersAndWaysOfClosing()
    {
        // No keeps the dialog open with its content; Escape asks as "Cancelar".
        expect(kSave, MsgResult::No);
        expect(kLose, MsgResult::No);
        expect(kLose);
        whenShown([](frmABMSocio &w) {
            QCOMPARE(combo(&w)->currentText(), QStringLiteral("No Alumno")); // no course
            box(&w, "txtSocioNombre")->setText(QStringLiteral("Cambiado"));
            click(&w, "cmdOk");
            QVERIFY(w.isVisible());
            click(&w, "Cancel");
            QVERIFY(w.isVisible());
            QCOMPARE(box(&w, "txtSocioNombre")->text(), QStringLiteral("Cambiado"));
            QTest::keyClick(box(&w, "txtSocioNombre"), Qt::Key_Escape);
            QVERIFY(!w.isVisible());
        });
        frmABMSocio::Edit(6);
        QCOMPARE(socio(6).value("Nombre").toString(), QStringLiteral("Sin Curso"));

        // The next Edit starts clean; the close box stores nothing and asks nothing.
        whenShown([](frmABMSocio &w) {
            QCOMPARE(box(&w, "txtSocioNombre")->text(), QString());
            box(&w, "txtSocioNombre")->setText(QStringLiteral("Cambiado"));
            w.close();
        });
        frmABMSocio::Edit(0);
        QCOMPARE(count(), 2);
    }

    void errorsStoreNothing()
    {
        // A member deleted meanwhile: the dialog opens empty, "Aceptar" fails.
        expect(kSave);
        expectError(QStringLiteral("Error #3021: El socio 99 ya no existe; la operación "
                                   "solicitada requiere un registro actual."));
        whenShown([](frmABMSocio &w) {
            QCOMPARE(box(&w, "txtSocioNombre")->text(), QString());
            box(&w, "txtSocioNombre")->setText(QStringLiteral("Fantasma"));
            click(&w, "cmdOk");
        });
        frmABMSocio::Edit(99);
        QCOMPARE(count(), 2);

        // The database refuses the row: its error, nothing stored.
        Exec(QStringLiteral("CREATE TRIGGER NoAlta BEFORE INSERT ON Socio "
                            "BEGIN SELECT RAISE(ABORT, 'alta rechazada'); END"));
        expect(kSave);
        expectError("Error #1811: " + DbErrorDescription(1811, "alta rechazada"));
        whenShown([](frmABMSocio &w) {
            box(&w, "txtSocioNombre")->setText(QStringLiteral("Rechazado"));
            click(&w, "cmdOk");
        });
        frmABMSocio::Edit(0);
        QCOMPARE(count(), 2);
    }
};

QTEST_MAIN(tst_frmABMSocio)
#include "tst_frmABMSocio.moc"
