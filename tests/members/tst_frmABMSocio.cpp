// The member edit window, driven through Edit.
#include "data/DataCombo.h"
#include "data/Database.h"
#include "members/frmABMSocio.h"
#include "support/TestEnv.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlRecord>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

const QString kSave = QStringLiteral("Va a guardar los cambios realizados, esta seguro?");
const QString kLose = QStringLiteral("Va a PERDER los cambios realizados, esta seguro?");
const char *const kBoxes[] = {"txtSocioNombre", "txtEmail", "txtTelefono", "txtDireccion",
                              "txtDNI", "txtAlumno"};

void fillCourses(const QSqlDatabase &db)
{
    Exec(db, QStringLiteral("INSERT INTO Curso (IDCurso, Nombre) VALUES (1, 'Primero'), (2, 'Segundo')"));
    Exec(db, QStringLiteral("INSERT INTO Socio (IDSocio, Nombre, Email, Telefono, Direccion, DNI, "
                            "Alumno, IDCurso) VALUES (5, 'Peña, Inés', 'ines@correo.ar', '4444', "
                            "'Mitre 12', '20111222', 'Peña, Juan', 2), (6, 'Sin Curso', NULL, NULL, "
                            "NULL, NULL, NULL, NULL)"));
}

QLineEdit *box(QWidget *w, const char *name)
{
    return w->findChild<QLineEdit *>(QString::fromLatin1(name));
}

DataCombo *combo(QWidget *w)
{
    return w->findChild<DataCombo *>(QStringLiteral("datcboCurso"));
}

// Runs `steps` once Edit shows its window; a window left open by a failed
// step is closed, so no test can wait forever.
void whenShown(std::function<void(frmABMSocio &)> steps)
{
    QTimer::singleShot(0, [steps] {
        frmABMSocio *w = frmABMSocio::current();
        if (!w || !w->isVisible()) {
            qWarning("la ventana de edición no está abierta");
            return;
        }
        steps(*w);
        if (frmABMSocio::current() && frmABMSocio::current()->isVisible())
            frmABMSocio::current()->reject();
    });
}

QSqlRecord socio(int id)
{
    QSqlQuery q = Exec(QStringLiteral("SELECT * FROM Socio WHERE IDSocio=?"), {id});
    return q.next() ? q.record() : QSqlRecord();
}

int count()
{
    QSqlQuery q = Exec(QStringLiteral("SELECT COUNT(*) FROM Socio"));
    q.next();
    return q.value(0).toInt();
}

} // namespace

class tst_frmABMSocio : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestEnv> env;

    void expectSave(MsgResult answer = MsgResult::Yes)
    {
        env->prompts->expectMessage(kSave, MsgIcon::Question, MsgButtons::YesNo, answer, 1);
    }

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        env->openNewDb(fillCourses);
    }
    void cleanup() { env.reset(); }

    void newMemberIsStoredAsTyped()
    {
        expectSave();
        whenShown([](frmABMSocio &w) {
            QCOMPARE(w.windowTitle(), QStringLiteral("Alta de socio Nuevo"));
            QCOMPARE(w.findChild<QGroupBox *>(QStringLiteral("Frame1"))->title(), QStringLiteral("Datos del Socio"));
            QCOMPARE(w.findChild<QGroupBox *>(QStringLiteral("Frame2"))->title(), QStringLiteral("Datos del Alumno"));
            const int limits[] = {150, 50, 50, 100, 15, 150};
            for (int i = 0; i < 6; ++i) {
                QCOMPARE(box(&w, kBoxes[i])->text(), QString());
                QCOMPARE(box(&w, kBoxes[i])->maxLength(), limits[i]);
            }
            QStringList items;
            for (int i = 0; i < combo(&w)->count(); ++i)
                items << combo(&w)->itemText(i);
            QCOMPARE(items, (QStringList{"No Alumno", "Primero", "Segundo"}));
            QCOMPARE(combo(&w)->currentIndex(), 0);

            QTest::keyClicks(box(&w, "txtSocioNombre"), QStringLiteral(" D'Angelo, "));
            box(&w, "txtSocioNombre")->insert(QStringLiteral("Núñez "));
            QTest::keyClicks(box(&w, "txtDNI"), QStringLiteral("12345678901234567890"));
            box(&w, "txtAlumno")->insert(QStringLiteral("D'Angelo, Lucía"));
            combo(&w)->setCurrentIndex(1);
            QTest::keyClick(box(&w, "txtAlumno"), Qt::Key_Return); // Enter is "Aceptar"
        });
        frmABMSocio::Edit(0);
        QVERIFY(!frmABMSocio::current());
        const QSqlRecord r = socio(7);
        QCOMPARE(r.value("Nombre").toString(), QStringLiteral(" D'Angelo, Núñez "));
        QCOMPARE(r.value("DNI").toString(), QStringLiteral("123456789012345"));
        QCOMPARE(r.value("Alumno").toString(), QStringLiteral("D'Angelo, Lucía"));
        QCOMPARE(r.value("IDCurso").toLongLong(), 1);
        QVERIFY(!r.value("Email").isNull()); // an empty box stores ""
        QCOMPARE(r.value("Email").toString(), QString());

    }

    void existingMemberIsLoadedAndChanged()
    {
        const QString longName = QString(200, QLatin1Char('x')); // longer than the box takes
        Exec(QStringLiteral("UPDATE Socio SET Direccion=? WHERE IDSocio=5"), {longName});
        expectSave();
        whenShown([&](frmABMSocio &w) {
            QCOMPARE(w.windowTitle(), QStringLiteral("Edicion de socio 5"));
            QCOMPARE(box(&w, "txtSocioNombre")->text(), QStringLiteral("Peña, Inés"));
            QCOMPARE(box(&w, "txtDireccion")->text(), longName);
            QCOMPARE(combo(&w)->currentText(), QStringLiteral("Segundo"));
            box(&w, "txtEmail")->setText(QString());
            combo(&w)->setCurrentIndex(0); // "No Alumno"
            w.findChild<QPushButton *>(QStringLiteral("cmdOk"))->click();
        });
        frmABMSocio::Edit(5);
        const QSqlRecord r = socio(5);
        QCOMPARE(r.value("Nombre").toString(), QStringLiteral("Peña, Inés"));
        QCOMPARE(r.value("Email").toString(), QString());
        QCOMPARE(r.value("Direccion").toString(), longName); // stored whole, not cut
        QCOMPARE(r.value("Alumno").toString(), QStringLiteral("Peña, Juan"));
        QVERIFY(r.value("IDCurso").isNull());
        QCOMPARE(count(), 2);

        // A member without course shows "No Alumno".
        env->prompts->expectMessage(kLose, MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1);
        whenShown([](frmABMSocio &w) {
            QCOMPARE(combo(&w)->currentText(), QStringLiteral("No Alumno"));
            QCOMPARE(box(&w, "txtEmail")->text(), QString());
            w.findChild<QPushButton *>(QStringLiteral("Cancel"))->click();
        });
        frmABMSocio::Edit(6);
    }

    void answersAndWaysOfClosing()
    {
        // No keeps the dialog open with its content; Escape asks as "Cancelar".
        expectSave(MsgResult::No);
        env->prompts->expectMessage(kLose, MsgIcon::Question, MsgButtons::YesNo, MsgResult::No, 1);
        env->prompts->expectMessage(kLose, MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1);
        whenShown([](frmABMSocio &w) {
            box(&w, "txtSocioNombre")->setText(QStringLiteral("Cambiado"));
            w.findChild<QPushButton *>(QStringLiteral("cmdOk"))->click();
            QVERIFY(w.isVisible());
            w.findChild<QPushButton *>(QStringLiteral("Cancel"))->click();
            QVERIFY(w.isVisible());
            QCOMPARE(box(&w, "txtSocioNombre")->text(), QStringLiteral("Cambiado"));
            QTest::keyClick(box(&w, "txtSocioNombre"), Qt::Key_Escape);
            QVERIFY(!w.isVisible());
        });
        frmABMSocio::Edit(5);
        QCOMPARE(socio(5).value("Nombre").toString(), QStringLiteral("Peña, Inés"));

        // The close box stores nothing and asks nothing.
        whenShown([](frmABMSocio &w) {
            box(&w, "txtSocioNombre")->setText(QStringLiteral("Cambiado"));
            w.close();
        });
        frmABMSocio::Edit(0);
        QCOMPARE(count(), 2);
    }

    void errorsStoreNothingAndReleaseTheWindow()
    {
        // A member deleted meanwhile: the dialog opens empty, "Aceptar" fails.
        expectSave();
        env->prompts->expectMessage(QStringLiteral("Error #3021: El socio 99 ya no existe; la operación "
                                                   "solicitada requiere un registro actual."),
                                    MsgIcon::Critical, MsgButtons::OK);
        frmABMSocio *first = nullptr;
        whenShown([&first](frmABMSocio &w) {
            first = &w;
            QCOMPARE(w.windowTitle(), QStringLiteral("Edicion de socio 99"));
            QCOMPARE(box(&w, "txtSocioNombre")->text(), QString());
            box(&w, "txtSocioNombre")->setText(QStringLiteral("Fantasma"));
            w.findChild<QPushButton *>(QStringLiteral("cmdOk"))->click();
        });
        frmABMSocio::Edit(99);
        QVERIFY(first);
        QCOMPARE(count(), 2);
        QVERIFY(!frmABMSocio::current());

        // The database refuses the row: the error text, nothing stored; the
        // next Edit starts with a clean window.
        Exec(QStringLiteral("CREATE TRIGGER NoAlta BEFORE INSERT ON Socio "
                            "BEGIN SELECT RAISE(ABORT, 'alta rechazada'); END"));
        expectSave();
        env->prompts->expectMessage(QStringLiteral("Error #1811: alta rechazada"), MsgIcon::Critical,
                                    MsgButtons::OK);
        whenShown([](frmABMSocio &w) {
            box(&w, "txtSocioNombre")->setText(QStringLiteral("Rechazado"));
            w.findChild<QPushButton *>(QStringLiteral("cmdOk"))->click();
        });
        frmABMSocio::Edit(0);
        QCOMPARE(count(), 2);
        whenShown([](frmABMSocio &w) {
            QCOMPARE(box(&w, "txtSocioNombre")->text(), QString());
            QCOMPARE(w.windowTitle(), QStringLiteral("Alta de socio Nuevo"));
            w.close();
        });
        frmABMSocio::Edit(0);

        // A member that cannot be read is not shown at all.
        Exec(QStringLiteral("ALTER TABLE Socio RENAME TO SocioViejo"));
        env->prompts->expectMessage(QStringLiteral("Error #1: no such table: Socio"), MsgIcon::Critical,
                                    MsgButtons::OK);
        bool shown = false;
        QTimer::singleShot(0, [&shown] {
            if (frmABMSocio *w = frmABMSocio::current(); w && w->isVisible()) {
                shown = true;
                w->reject();
            }
        });
        frmABMSocio::Edit(5);
        QVERIFY(!shown);
    }
};

QTEST_MAIN(tst_frmABMSocio)
#include "tst_frmABMSocio.moc"
