// The class-list import window, opened from the menu as the user does.
#include "app/MDIForm1.h"
#include "data/Database.h"
#include "members/frmImportarSocios.h"
#include "support/Modal.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

const QString kSample = QStringLiteral(TESORIN_TESTS_DIR "/samples/lista-curso.csv");
const QString kCourses = QStringLiteral("Estos cursos no existen y se crearán:\r\r1º C\r\r¿Crearlos e importar la lista?");

void fillRoll(const QSqlDatabase &db)
{
    Exec(db, QStringLiteral("INSERT INTO Curso (IDCurso, Nombre) VALUES (1, '1er grado A'), (2, '1er grado B'),"
                            " (3, '2do grado')"));
    Exec(db, QStringLiteral("INSERT INTO Socio (IDSocio, Nombre, Alumno, IDCurso, Telefono, DNI) VALUES"
                            " (1, 'Acosta, María Laura', 'Acosta, Juan Ignacio', 1, '11-4107-1037', '20104729')"));
}

template <class W = QWidget>
W *child(QWidget *w, const char *name)
{
    return w->findChild<W *>(QString::fromLatin1(name));
}

QString label(QWidget &w)
{
    return child<QLabel>(&w, "lblResumen")->text();
}

} // namespace

class tst_frmImportarSocios : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestEnv> env;

    void openFromMenu(const QString &file)
    {
        env->prompts->expectOpenFile(frmImportarSocios::fileFilter(), file);
        MDIForm1::instance()->menuItem(QStringLiteral("mnuImportarSocios"))->trigger();
    }

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        env->openNewDb(fillRoll);
    }
    void cleanup() { env.reset(); }

    void theListIsShownMappedAndImportedAfterTheCourseQuestion()
    {
        WhenShown<frmImportarSocios>([] { return frmImportarSocios::current(); }, [&](frmImportarSocios &w) {
            QCOMPARE(w.windowTitle(), QStringLiteral("Importar socios"));
            // Every input has its label.
            for (QLabel *l : w.findChildren<QLabel *>())
                if (l->text().contains(QLatin1Char('&')))
                    QVERIFY2(l->buddy(), qPrintable(l->text()));
            // Proposed from the titles: "Padre, madre o tutor" is the member, "Correo electrónico" the e-mail.
            QVERIFY(child<QCheckBox>(&w, "chkTitulos")->isChecked());
            QCOMPARE(child<QComboBox>(&w, "cboNombre")->currentIndex(), 3);
            QCOMPARE(child<QComboBox>(&w, "cboEmail")->currentIndex(), 6);
            QCOMPARE(child<QComboBox>(&w, "cboDNI")->currentIndex(), 4);
            QCOMPARE(child<QTableWidget>(&w, "grdFilas")->rowCount(), 7);
            QCOMPARE(label(w), QStringLiteral("Se agregarán 5 socios, se actualizarán 1 y se omitirán 1. Cursos nuevos: 1º C."));
            child<QCheckBox>(&w, "chkActualizar")->setChecked(false);
            QCOMPARE(label(w), QStringLiteral("Se agregarán 5 socios, se actualizarán 0 y se omitirán 2. Cursos nuevos: 1º C."));
            child<QCheckBox>(&w, "chkActualizar")->setChecked(true);

            // No to the new courses: nothing is written and the window stays.
            env->prompts->expectMessage(kCourses, MsgIcon::Question, MsgButtons::YesNo, MsgResult::No, 1);
            child<QPushButton>(&w, "cmdImportar")->click();
            QVERIFY(w.isVisible());
            QCOMPARE(Scalar(QStringLiteral("SELECT COUNT(*) FROM Socio")).toInt(), 1);
            QCOMPARE(Scalar(QStringLiteral("SELECT COUNT(*) FROM Curso")).toInt(), 3);

            env->prompts->expectMessage(kCourses, MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1);
            env->prompts->expectMessage(QStringLiteral("5 socios agregados, 1 actualizados, 1 omitidos"),
                                        MsgIcon::Information, MsgButtons::OK);
            child<QPushButton>(&w, "cmdImportar")->click();
            QVERIFY(!w.isVisible());
        });
        openFromMenu(kSample);
        QCOMPARE(env->prompts->pending(), 0);
        QCOMPARE(Scalar(QStringLiteral("SELECT COUNT(*) FROM Socio")).toInt(), 6);
        QCOMPARE(Scalar(QStringLiteral("SELECT Telefono FROM Socio WHERE IDSocio=1")).toString(),
                 QStringLiteral("11-5555-0101"));
    }

    void aMissingFileOrNoAnswerOpensNothing()
    {
        openFromMenu(QString());
        env->prompts->expectOpenFile(frmImportarSocios::fileFilter(), env->path(QStringLiteral("no.csv")));
        env->prompts->expectMessage(QStringLiteral("Error #53: No se pudo leer el archivo \"%1\": No such file or directory.")
                                        .arg(env->path(QStringLiteral("no.csv"))),
                                    MsgIcon::Critical, MsgButtons::OK);
        MDIForm1::instance()->menuItem(QStringLiteral("mnuImportarSocios"))->trigger();
        QCOMPARE(env->prompts->pending(), 0);
        QVERIFY(!frmImportarSocios::current());
    }
};

QTEST_MAIN(tst_frmImportarSocios)
#include "tst_frmImportarSocios.moc"
