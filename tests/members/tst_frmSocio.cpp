// The member list and the picker, driven through their windows.
#include "app/MDIForm1.h"
#include "data/DataCombo.h"
#include "data/Database.h"
#include "data/ValueRules.h"
#include "members/frmABMSocio.h"
#include "members/frmSocio.h"
#include "support/Modal.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

const QString kDelete = QStringLiteral("Esta seguro de eliminar el socio %1?");
const QString kDeleteTitle = QStringLiteral("ELIMINACION DE REGISTRO");
// Courses 1-3 and eleven members whose names try the Spanish order.
void fillRoll(const QSqlDatabase &db)
{
    Exec(db, QStringLiteral("INSERT INTO Curso (IDCurso, Nombre) VALUES "
                            "(1, '1er grado'), (2, '2do grado'), (3, '3er grado')"));
    const struct { int id; const char *nombre, *alumno; int curso; } socios[] = {
        {1, "Gómez, Raúl", "Gómez, Martina", 1},   {2, "GOMEZ, ANA", "Gomez, Tomás", 2},
        {3, "Núñez, Ana", "", 0},                   {4, "Nunez, Beto", "Nunez, Lía", 1},
        {5, "nuno, Carla", "Nuno, Pía", 3},         {6, "D'Angelo, Roberto", "D'Angelo, Lucía", 2},
        {7, "Álvarez, Inés", "Álvarez, Martín", 3}, {8, "Pérez Gómez, Ana", "Pérez, Martina", 1},
        {9, "Ñandú, Pedro", "", 0},                 {10, "Oliva, Juan", "Oliva, Sol", 2},
        {11, "alvarez, Diego", "Alvarez, Luz", 3}};
    for (const auto &s : socios)
        Exec(db, QStringLiteral("INSERT INTO Socio (IDSocio, Nombre, Alumno, IDCurso, Telefono) "
                                "VALUES (?, ?, ?, ?, ?)"),
             {s.id, QString::fromUtf8(s.nombre), QString::fromUtf8(s.alumno),
              s.curso ? QVariant(s.curso) : QVariant(QMetaType::fromType<int>()),
              QStringLiteral("4555-%1").arg(s.id)});
}

const QList<int> kSpanishOrder = {11, 7, 6, 2, 1, 4, 5, 3, 9, 10, 8};

template <typename T = QPushButton>
T *child(QWidget *w, const char *name) { return w->findChild<T *>(QString::fromLatin1(name)); }

QList<int> ids(frmSocio *list)
{
    QList<int> out;
    for (int r = 0; r < list->rows().rowCount(); ++r)
        out << list->rows().idSocio(r);
    return out;
}

void selectMember(frmSocio *list, int id)
{
    child<QTableView>(list, "tdbgrdComodidadUtilizada")->selectRow(int(ids(list).indexOf(id)));
}

void search(frmSocio *list, const QString &numero, const QString &nombre,
            const QString &alumno = {}, const QString &curso = {})
{
    child<QLineEdit>(list, "txtSocioNumero")->setText(numero);
    child<QLineEdit>(list, "txtSocioNombre")->setText(nombre);
    child<QLineEdit>(list, "txtAlumno")->setText(alumno);
    DataCombo *combo = child<DataCombo>(list, "datcboCurso");
    combo->setCurrentIndex(curso.isEmpty() ? 0 : combo->findText(curso));
    child(list, "cmdBuscar")->click();
}

void whenShown(std::function<QWidget *()> window, std::function<void(QWidget &)> steps)
{
    WhenShown<QWidget>(window, steps);
}

} // namespace

class tst_frmSocio : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestEnv> env;

    frmSocio *openList()
    {
        MDIForm1::instance()->menuItem(QStringLiteral("mnuSocio"))->trigger();
        return qobject_cast<frmSocio *>(
            MDIForm1::instance()->mdiArea()->subWindowList().last()->widget());
    }

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        env->openNewDb(fillRoll);
    }
    void cleanup()
    {
        frmSocio::CobrarCuota = nullptr;
        env.reset();
    }

    void aNumberBeyond32BitsIsCarriedWhole()
    {
        // Written by another tool; every member added after it gets a number as large.
        Exec("INSERT INTO Socio (IDSocio, Nombre) VALUES (4294967297, 'Grande, Número')");
        frmSocio *list = openList();
        search(list, "4294967297", "");
        QCOMPARE(list->rows().rowCount(), 1);
        QCOMPARE(list->rows().idSocio(0), 4294967297LL);
        list->findChild<QTableView *>("tdbgrdComodidadUtilizada")->selectRow(0);
        env->prompts->expectMessage("Esta seguro de eliminar el socio 4294967297?", MsgIcon::Question,
                                    MsgButtons::YesNo, MsgResult::Yes, 1, "ELIMINACION DE REGISTRO");
        child(list, "cmdDelete")->click();
        QCOMPARE(Scalar("SELECT COUNT(*) FROM Socio WHERE IDSocio = 4294967297").toInt(), 0);
        QCOMPARE(Scalar("SELECT COUNT(*) FROM Socio WHERE IDSocio = 1").toInt(), 1); // not the truncated number
    }

    void wildcardsAreLetters()
    {
        Exec("INSERT INTO Socio (IDSocio, Nombre, Alumno) VALUES (50, 'Cien % Socios', 'al_umno')");
        frmSocio *list = openList();
        const struct { const char *nombre, *alumno; QList<int> found; } searches[] = {
            {"%", "", {50}}, {"n %", "", {50}}, {"_", "", {}}, {"\\", "", {}}, {"", "l_u", {50}}, {"", "l%u", {}}};
        for (const auto &s : searches) {
            search(list, "", s.nombre, s.alumno);
            QCOMPARE(ids(list), s.found);
        }
    }

    void listsEveryMemberInSpanishOrder()
    {
        frmSocio *list = openList();
        // Accents and case do not move a name; ñ comes after n.
        QCOMPARE(ids(list), kSpanishOrder);
        QCOMPARE(list->rows().cell(4, 4), QStringLiteral("1er grado"));
        QCOMPARE(list->rows().cell(7, 4), QString()); // no course: empty cell

        // Enter searches; a failed search reports the error and keeps the rows.
        QTest::keyClicks(child<QLineEdit>(list, "txtSocioNombre"), QStringLiteral("oliva"));
        QTest::keyClick(child<QLineEdit>(list, "txtSocioNombre"), Qt::Key_Return);
        QCOMPARE(ids(list), QList<int>{10});
        Exec(QStringLiteral("ALTER TABLE Curso RENAME TO CursoViejo"));
        env->prompts->expectMessage("Ha ocurrido un error al llenar la lista de Socios.\r\rError #1: "
                                        + DbErrorDescription(1, "no such table: Curso"),
                                    MsgIcon::Critical, MsgButtons::OK);
        search(list, "", "gomez");
        QCOMPARE(ids(list), QList<int>{10});
    }

    void filtersJoinedWithAnd_data()
    {
        // Filters: number, name, pupil, course.
        QTest::addColumn<QStringList>("filters");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("nombre sin acentos") << QStringList{"", "gomez", "", ""} << QList<int>{2, 1, 8};
        QTest::newRow("nombre en mayúsculas, ñ") << QStringList{"", "NUNEZ", "", ""} << QList<int>{4, 3};
        QTest::newRow("blancos del nombre se conservan") << QStringList{"", " gomez", "", ""} << QList<int>{8};
        QTest::newRow("apóstrofo") << QStringList{"", "d'angelo", "", ""} << QList<int>{6};
        QTest::newRow("alumno") << QStringList{"", "", "MARTIN", ""} << QList<int>{7, 1, 8};
        QTest::newRow("número seguido de letras") << QStringList{"6abc", "", "", ""} << QList<int>{6};
        QTest::newRow("solo blancos no filtran") << QStringList{"   ", "  ", " ", ""} << kSpanishOrder;
        QTest::newRow("curso") << QStringList{"", "", "", "1er grado"} << QList<int>{1, 4, 8};
        QTest::newRow("nombre y alumno") << QStringList{"", "gomez", "martina", ""} << QList<int>{1, 8};
        QTest::newRow("nombre y curso") << QStringList{"", "gomez", "", "2do grado"} << QList<int>{2};
        QTest::newRow("número y nombre") << QStringList{"1", "nunez", "", ""} << QList<int>{};
    }
    void filtersJoinedWithAnd()
    {
        QFETCH(QStringList, filters);
        QFETCH(QList<int>, expected);
        frmSocio *list = openList();
        search(list, filters[0], filters[1], filters[2], filters[3]);
        QCOMPARE(ids(list), expected);
        QCOMPARE(list->currentIDSocio().has_value(), !expected.isEmpty());
    }

    void newEditAndDeleteAskAndReload()
    {
        frmSocio *list = openList();
        auto dialog = [] { return static_cast<QWidget *>(frmABMSocio::current()); };

        env->prompts->expectMessage(QStringLiteral("Va a guardar los cambios realizados, esta seguro?"),
                                    MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1);
        whenShown(dialog, [](QWidget &w) {
            child<QLineEdit>(&w, "txtSocioNombre")->insert(QStringLiteral("O'Connor, Ñusta"));
            child(&w, "cmdOk")->click();
        });
        child(list, "cmdNuevoS")->click();
        QCOMPARE(ids(list).size(), 12);

        // Edit opens the current row; the list is reloaded even when cancelled.
        selectMember(list, 5);
        Exec(QStringLiteral("UPDATE Socio SET Telefono='cambiado' WHERE IDSocio=5"));
        env->prompts->expectMessage(QStringLiteral("Va a PERDER los cambios realizados, esta seguro?"),
                                    MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1);
        whenShown(dialog, [](QWidget &w) {
            QCOMPARE(w.windowTitle(), QStringLiteral("Edicion de socio 5"));
            child(&w, "Cancel")->click();
        });
        child(list, "cmdEdit")->click();
        QCOMPARE(list->rows().cell(int(ids(list).indexOf(5)), 3), QStringLiteral("cambiado"));

        // Delete asks by number. No, or a delete the database refuses (its error
        // alone), keeps the rows as shown; Yes deletes and reloads.
        selectMember(list, 5);
        const QList<int> shown = ids(list);
        Exec(QStringLiteral("INSERT INTO Socio (Nombre) VALUES ('Agregado')"));
        Exec(QStringLiteral("CREATE TRIGGER NoBorrar BEFORE DELETE ON Socio "
                            "BEGIN SELECT RAISE(ABORT, 'el socio tiene movimientos'); END"));
        auto askDelete = [&](MsgResult answer, const QString &error = {}) {
            env->prompts->expectMessage(kDelete.arg(5), MsgIcon::Question, MsgButtons::YesNo, answer, 1,
                                        kDeleteTitle);
            if (!error.isEmpty())
                env->prompts->expectMessage(error, MsgIcon::Critical, MsgButtons::OK);
            child(list, "cmdDelete")->click();
        };
        askDelete(MsgResult::No);
        QCOMPARE(ids(list), shown);
        askDelete(MsgResult::Yes, "Error #1811: " + DbErrorDescription(1811, "el socio tiene movimientos"));
        QCOMPARE(ids(list), shown);
        Exec(QStringLiteral("DROP TRIGGER NoBorrar"));
        askDelete(MsgResult::Yes);
        QCOMPARE(ids(list).size(), 12); // 5 gone, the one added meanwhile listed
        QVERIFY(!ids(list).contains(5));
        QVERIFY(!Exec(QStringLiteral("SELECT 1 FROM Socio WHERE IDSocio=5")).next());
    }

    void deletingAMemberWithPaymentsSaysHowManyAsTheDeletionFindsThem()
    {
        // Another program writes while the question is open.
        QList<DbErrorEntry> errors;
        QVERIFY(OpenConnection("otro", ConnectionString(), &errors));
        const QSqlDatabase other = QSqlDatabase::database("otro");
        for (int i = 0; i < 3; ++i)
            AddMovimiento(Conexion(), "I", "E", 100, {}, 5);
        AddMovimiento(Conexion(), "I", "E", 100, {}, 4);
        frmSocio *list = openList();
        auto ask = [&](int id, const QString &payments, MsgResult answer = MsgResult::Yes) {
            env->prompts->expectMessage(QStringLiteral("El socio %1 tiene %2 (seguirán en la caja y en el balance, pero "
                                                       "no en el libro de socios).\r\r").arg(id).arg(payments)
                                            + kDelete.arg(id),
                                        MsgIcon::Question, MsgButtons::YesNo, answer, 1, kDeleteTitle);
        };
        // A payment added meanwhile: asked again with the new count.
        selectMember(list, 5);
        ask(5, "3 pagos registrados, que quedarán sin socio");
        env->prompts->onNextPrompt([&] { AddMovimiento(other, "I", "E", 100, {}, 5); });
        ask(5, "4 pagos registrados, que quedarán sin socio", MsgResult::No);
        child(list, "cmdDelete")->click();
        QVERIFY(ids(list).contains(5));
        ask(5, "4 pagos registrados, que quedarán sin socio");
        child(list, "cmdDelete")->click();
        QVERIFY(!ids(list).contains(5));
        QCOMPARE(Scalar("SELECT COUNT(*) FROM Movimiento WHERE IDSocio=5").toInt(), 4); // the payments stay

        // Deleted by the other program meanwhile: said so, and gone from the list.
        selectMember(list, 4);
        ask(4, "1 pago registrado, que quedará sin socio");
        env->prompts->onNextPrompt([&] {
            Exec(other, "DELETE FROM Socio WHERE IDSocio=4");
            env->prompts->onNextPrompt([&] { Exec(other, "UPDATE Socio SET Telefono='' WHERE IDSocio=3"); });
        }); // nothing is locked while it is said
        env->prompts->expectMessage("El socio 4 ya no existe: otro programa lo eliminó.", MsgIcon::Exclamation,
                                    MsgButtons::OK);
        child(list, "cmdDelete")->click();
        QVERIFY(!ids(list).contains(4));
        CloseConnection("otro");
    }

    void aHugeStoredTextIsCutForShowing()
    {
        // Written by another tool; never half a character.
        const QString start(kDisplayChars - 1, QLatin1Char('a'));
        Exec("UPDATE Socio SET Nombre=? WHERE IDSocio=10", {start + QString::fromUtf8("😀") + QString(1000000, 'b')});
        frmSocio *list = openList();
        search(list, "10", "");
        QCOMPARE(list->rows().cell(0, 1), start + QChar(0x2026));
    }

    void emptyListButtonsDoNothingAndFeeGetsTheCurrentMember()
    {
        env.reset(); // before the new one is made
        env = std::make_unique<TestEnv>();
        env->openNewDb(); // no courses, no members
        QList<qint32> called;
        frmSocio *list = openList();
        frmSocio::CobrarCuota = [&](frmSocio &from, qint32 id) { called << id; QCOMPARE(&from, list); };
        for (const char *b : {"cmdEdit", "cmdDelete", "cmdCobrar"})
            child(list, b)->click(); // any prompt would fail the test
        QVERIFY(called.isEmpty());

        Exec(QStringLiteral("INSERT INTO Socio (IDSocio, Nombre) VALUES (9, 'Uno'), (4, 'Otro')"));
        child(list, "cmdBuscar")->click(); // no courses: no course condition
        selectMember(list, 9);
        child(list, "cmdCobrar")->click();
        QCOMPARE(called, QList<qint32>{9});
    }

    void pickerReturnsTheChosenNumberOrZero()
    {
        frmSocio *list = openList();
        auto picker = [] { return static_cast<QWidget *>(frmSocio::sharedInstance()); };

        whenShown(picker, [](QWidget &w) {
            auto *f = static_cast<frmSocio *>(&w);
            for (const char *b : {"cmdNuevoS", "cmdEdit", "cmdDelete", "cmdCobrar"})
                QVERIFY2(!child(f, b)->isVisible(), b);
            search(f, "", "nunez");
            selectMember(f, 3);
            child(f, "cmdSelect")->click();
        });
        QCOMPARE(frmSocio::SelectSocio(), 3);

        // Each use starts with empty filters; Enter chooses the current (first) row.
        whenShown(picker, [](QWidget &w) {
            auto *f = static_cast<frmSocio *>(&w);
            QCOMPARE(ids(f), kSpanishOrder);
            QTest::keyClicks(child<QLineEdit>(f, "txtSocioNombre"), QStringLiteral("oliva"));
            QTest::keyClick(child<QLineEdit>(f, "txtSocioNombre"), Qt::Key_Return);
        });
        QCOMPARE(SelectSocio(), 11);

        whenShown(picker, [](QWidget &w) {
            QTest::keyClick(&w, Qt::Key_Escape); // no cancel button: Escape does nothing
            QVERIFY(w.isVisible());
            w.close();
        });
        QCOMPARE(SelectSocio(), 0);

        whenShown(picker, [](QWidget &w) {
            search(static_cast<frmSocio *>(&w), "", "nadie se llama asi");
            child(&w, "cmdSelect")->click();
        });
        QCOMPARE(SelectSocio(), 0);
        QCOMPARE(ids(list), kSpanishOrder); // the list from the menu was not touched
    }
};

QTEST_MAIN(tst_frmSocio)
#include "tst_frmSocio.moc"
