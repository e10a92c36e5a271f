// The member list and the picker, driven through their windows.
#include "app/MDIForm1.h"
#include "data/DataCombo.h"
#include "data/Database.h"
#include "data/ValueRules.h"
#include "members/frmABMSocio.h"
#include "members/frmSocio.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QApplication>
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
const QString kSave = QStringLiteral("Va a guardar los cambios realizados, esta seguro?");
const QString kLose = QStringLiteral("Va a PERDER los cambios realizados, esta seguro?");

// Courses 1-3 and eleven members whose names try the Spanish order.
void fillRoll(const QSqlDatabase &db)
{
    for (int i = 1; i <= 3; ++i)
        Exec(db, QStringLiteral("INSERT INTO Curso (IDCurso, Nombre) VALUES (?, ?)"),
             {i, QStringList{"1er grado", "2do grado", "3er grado"}.at(i - 1)});
    const QVariant none(QMetaType::fromType<int>());
    const struct { int id; const char *nombre, *alumno; int curso; } socios[] = {
        {1, "Gómez, Raúl", "Gómez, Martina", 1},   {2, "GOMEZ, ANA", "Gomez, Tomás", 2},
        {3, "Núñez, Ana", "", 0},                   {4, "Nunez, Beto", "Nunez, Lía", 1},
        {5, "nuno, Carla", "Nuno, Pía", 3},         {6, "D'Angelo, Roberto", "D'Angelo, Lucía", 2},
        {7, "Álvarez, Inés", "Álvarez, Martín", 3}, {8, "Pérez Gómez, Ana", "Pérez, Martina", 1},
        {9, "Ñandú, Pedro", "", 0},                 {10, "Oliva, Juan", "Oliva, Sol", 2},
        {11, "alvarez, Diego", "Alvarez, Luz", 3}};
    for (const auto &s : socios)
        Exec(db,
             QStringLiteral("INSERT INTO Socio (IDSocio, Nombre, Alumno, IDCurso, Telefono) "
                            "VALUES (?, ?, ?, ?, ?)"),
             {s.id, QString::fromUtf8(s.nombre), QString::fromUtf8(s.alumno),
              s.curso ? QVariant(s.curso) : none, QStringLiteral("4555-%1").arg(s.id)});
}

const QList<int> kSpanishOrder = {11, 7, 6, 2, 1, 4, 5, 3, 9, 10, 8};

template <typename T>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qWarning("no se encontró %s", name);
    return c;
}

QTableView *grid(frmSocio *list)
{
    return child<QTableView>(list, "tdbgrdComodidadUtilizada");
}

QList<int> ids(frmSocio *list)
{
    QList<int> out;
    for (int r = 0; r < list->rows().rowCount(); ++r)
        out << list->rows().idSocio(r);
    return out;
}

void selectMember(frmSocio *list, int id)
{
    const int row = int(ids(list).indexOf(id));
    QVERIFY2(row >= 0, "el socio no está en la lista");
    grid(list)->selectRow(row);
}

void search(frmSocio *list, const QString &numero, const QString &nombre, const QString &alumno,
            const QString &curso)
{
    child<QLineEdit>(list, "txtSocioNumero")->setText(numero);
    child<QLineEdit>(list, "txtSocioNombre")->setText(nombre);
    child<QLineEdit>(list, "txtAlumno")->setText(alumno);
    DataCombo *combo = child<DataCombo>(list, "datcboCurso");
    combo->setCurrentIndex(curso.isEmpty() ? 0 : combo->findText(curso));
    child<QPushButton>(list, "cmdBuscar")->click();
}

// Runs `steps` once a modal window of ours is showing; a window left open by a
// failed step is closed, so no test can wait forever.
void whenShown(std::function<QWidget *()> window, std::function<void(QWidget &)> steps)
{
    QTimer::singleShot(0, [window, steps] {
        QWidget *w = window();
        if (!w || !w->isVisible()) {
            qWarning("la ventana modal no está abierta");
            return;
        }
        steps(*w);
        if (QWidget *left = window(); left && left->isVisible())
            left->close();
    });
}

} // namespace

class tst_frmSocio : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestEnv> env;
    QString db;

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
        db = env->openNewDb(fillRoll);
    }
    void cleanup()
    {
        frmSocio::CobrarCuota = nullptr;
        env.reset();
    }

    void opensInsideTheMainWindowListingEveryMemberInSpanishOrder()
    {
        frmSocio *list = openList();
        frmSocio *other = openList();
        QCOMPARE(MDIForm1::instance()->mdiArea()->subWindowList().size(), 2);
        QVERIFY(list != other);
        QCOMPARE(list->frame()->windowTitle(), QStringLiteral("Socios de cooperadora"));

        // Accents and case do not move a name; ñ comes after n. The list is
        // read through an index of that order, made when missing.
        QCOMPARE(ids(list), kSpanishOrder);
        QVERIFY(Exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE name='Socio_Orden'")).next());
        QCOMPARE(list->rows().cell(0, 1), QStringLiteral("alvarez, Diego"));
        QCOMPARE(list->rows().cell(7, 4), QString()); // no course: empty cell
        QCOMPARE(list->rows().cell(4, 3), QStringLiteral("4555-1"));
        QCOMPARE(list->rows().cell(4, 4), QStringLiteral("1er grado"));

        QTableView *g = grid(list);
        QStringList headers;
        for (int c = 0; c < g->model()->columnCount(); ++c)
            headers << g->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, (QStringList{"IDSocio", "Nombre", "Alumno", "Telefono", "Curso"}));
        QCOMPARE(g->model()->index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::white));
        QCOMPARE(g->model()->index(1, 0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(192, 192, 255));
        QVERIFY(!(g->model()->flags(g->model()->index(0, 1)) & Qt::ItemIsEditable));
        QCOMPARE(g->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(list->currentIDSocio(), std::optional<qint32>(11)); // the first row is current

        auto *combo = child<DataCombo>(list, "datcboCurso");
        QCOMPARE(combo->count(), 4);
        QCOMPARE(combo->currentText(), QStringLiteral(" <TODOS>"));
        QVERIFY(child<QPushButton>(list, "cmdBuscar")->isDefault());
        QVERIFY(child<QPushButton>(list, "cmdSelect")->isHidden());
        QVERIFY(!child<QPushButton>(list, "cmdCobrar")->isHidden());

        // Enter searches; the other list keeps its rows.
        QTest::keyClicks(child<QLineEdit>(list, "txtSocioNombre"), QStringLiteral("oliva"));
        QTest::keyClick(child<QLineEdit>(list, "txtSocioNombre"), Qt::Key_Return);
        QCOMPARE(ids(list), QList<int>{10});
        QCOMPARE(ids(other), kSpanishOrder);
    }

    void filtersFindByEachFieldJoinedWithAnd_data()
    {
        QTest::addColumn<QString>("numero");
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<QString>("alumno");
        QTest::addColumn<QString>("curso");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("nombre sin acentos") << "" << "gomez" << "" << "" << QList<int>{2, 1, 8};
        QTest::newRow("nombre en mayúsculas, ñ") << "" << "NUNEZ" << "" << "" << QList<int>{4, 3};
        QTest::newRow("blancos del nombre se conservan") << "" << " gomez" << "" << "" << QList<int>{8};
        QTest::newRow("apóstrofo") << "" << "d'angelo" << "" << "" << QList<int>{6};
        QTest::newRow("alumno") << "" << "" << "MARTIN" << "" << QList<int>{7, 1, 8};
        QTest::newRow("número") << "6" << "" << "" << "" << QList<int>{6};
        QTest::newRow("número seguido de letras") << "6abc" << "" << "" << "" << QList<int>{6};
        QTest::newRow("número sin dígitos busca el 0") << "abc" << "" << "" << "" << QList<int>{};
        QTest::newRow("solo blancos no filtran") << "   " << "  " << " " << "" << kSpanishOrder;
        QTest::newRow("curso") << "" << "" << "" << "1er grado" << QList<int>{1, 4, 8};
        QTest::newRow("nombre y alumno") << "" << "gomez" << "martina" << "" << QList<int>{1, 8};
        QTest::newRow("nombre y curso") << "" << "gomez" << "" << "2do grado" << QList<int>{2};
        QTest::newRow("todo junto, nada cumple") << "1" << "nunez" << "" << "" << QList<int>{};
    }
    void filtersFindByEachFieldJoinedWithAnd()
    {
        QFETCH(QString, numero);
        QFETCH(QString, nombre);
        QFETCH(QString, alumno);
        QFETCH(QString, curso);
        QFETCH(QList<int>, expected);
        frmSocio *list = openList();
        search(list, numero, nombre, alumno, curso);
        QCOMPARE(ids(list), expected);
        QCOMPARE(list->currentIDSocio().has_value(), !expected.isEmpty());
    }

    void newEditAndDeleteReloadTheList()
    {
        frmSocio *list = openList();
        auto dialog = [] { return static_cast<QWidget *>(frmABMSocio::current()); };

        // A new member typed with an apostrophe is found as typed.
        env->prompts->expectMessage(kSave, MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1);
        whenShown(dialog, [](QWidget &w) {
            child<QLineEdit>(&w, "txtSocioNombre")->insert(QStringLiteral("O'Connor, Ñusta"));
            child<QPushButton>(&w, "cmdOk")->click();
        });
        child<QPushButton>(list, "cmdNuevoS")->click();
        QCOMPARE(ids(list).size(), 12);
        search(list, "", "o'connor", "", "");
        QCOMPARE(list->rows().cell(0, 1), QStringLiteral("O'Connor, Ñusta"));

        // Edit the current row; the list is reloaded even when the edit is cancelled.
        search(list, "", "", "", "");
        selectMember(list, 5);
        Exec(QStringLiteral("UPDATE Socio SET Telefono='cambiado' WHERE IDSocio=5"));
        env->prompts->expectMessage(kLose, MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1);
        whenShown(dialog, [](QWidget &w) {
            QCOMPARE(w.windowTitle(), QStringLiteral("Edicion de socio 5"));
            child<QPushButton>(&w, "Cancel")->click();
        });
        child<QPushButton>(list, "cmdEdit")->click();
        QCOMPARE(list->rows().cell(int(ids(list).indexOf(5)), 3), QStringLiteral("cambiado"));

        // Delete asks by number; No deletes nothing and does not reload.
        selectMember(list, 5);
        Exec(QStringLiteral("INSERT INTO Socio (Nombre) VALUES ('Agregado')"));
        env->prompts->expectMessage(kDelete.arg(5), MsgIcon::Question, MsgButtons::YesNo, MsgResult::No, 1, kDeleteTitle);
        child<QPushButton>(list, "cmdDelete")->click();
        QCOMPARE(ids(list).size(), 12);
        env->prompts->expectMessage(kDelete.arg(5), MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1, kDeleteTitle);
        child<QPushButton>(list, "cmdDelete")->click();
        QCOMPARE(ids(list).size(), 12); // one deleted, the one added meanwhile now listed
        QVERIFY(!ids(list).contains(5));
        QVERIFY(!Exec(QStringLiteral("SELECT 1 FROM Socio WHERE IDSocio=5")).next());
    }

    void feeCollectionGetsTheCurrentMemberOnly()
    {
        env.reset();
        env = std::make_unique<TestEnv>();
        env->openNewDb(); // no courses, no members
        QList<qint32> called;
        frmSocio *list = openList();
        frmSocio::CobrarCuota = [&](frmSocio &from, qint32 id) {
            QCOMPARE(&from, list);
            called << id;
        };
        QCOMPARE(child<DataCombo>(list, "datcboCurso")->count(), 0);
        for (const char *b : {"cmdEdit", "cmdDelete", "cmdCobrar"})
            child<QPushButton>(list, b)->click(); // any prompt would fail the test
        QVERIFY(called.isEmpty());

        Exec(QStringLiteral("INSERT INTO Socio (IDSocio, Nombre) VALUES (9, 'Uno'), (4, 'Otro')"));
        child<QPushButton>(list, "cmdBuscar")->click(); // no courses: no course condition
        selectMember(list, 9);
        child<QPushButton>(list, "cmdCobrar")->click();
        QCOMPARE(called, QList<qint32>{9});
    }

    void failuresAreReportedAndTheRowsKept()
    {
        // The course list fails at load; loading goes on.
        Exec(QStringLiteral("ALTER TABLE Curso RENAME TO CursoViejo"));
        env->prompts->expectMessage(QStringLiteral("Se ha producido un error al llenar el ComboBox de Cursos.\r\r"
                                                   "Error #1: no such table: Curso"),
                                    MsgIcon::Critical, MsgButtons::OK);
        env->prompts->expectMessage(QStringLiteral("Ha ocurrido un error al llenar la lista de Socios.\r\r"
                                                   "Error #1: no such table: Curso"),
                                    MsgIcon::Critical, MsgButtons::OK);
        frmSocio *list = openList();
        QCOMPARE(ids(list), QList<int>{});
        Exec(QStringLiteral("ALTER TABLE CursoViejo RENAME TO Curso"));
        child<QPushButton>(list, "cmdBuscar")->click();
        QCOMPARE(ids(list), kSpanishOrder);

        // A failed search keeps the rows shown before.
        Exec(QStringLiteral("ALTER TABLE Curso RENAME TO CursoViejo"));
        env->prompts->expectMessage(QStringLiteral("Ha ocurrido un error al llenar la lista de Socios.\r\r"
                                                   "Error #1: no such table: Curso"),
                                    MsgIcon::Critical, MsgButtons::OK);
        search(list, "", "gomez", "", "");
        QCOMPARE(ids(list), kSpanishOrder);
        Exec(QStringLiteral("ALTER TABLE CursoViejo RENAME TO Curso"));

        // A refused delete shows the error alone and does not reload.
        Exec(QStringLiteral("CREATE TRIGGER NoBorrar BEFORE DELETE ON Socio "
                            "BEGIN SELECT RAISE(ABORT, 'el socio tiene movimientos'); END"));
        selectMember(list, 1);
        env->prompts->expectMessage(kDelete.arg(1), MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1, kDeleteTitle);
        env->prompts->expectMessage(QStringLiteral("Error #1811: el socio tiene movimientos"),
                                    MsgIcon::Critical, MsgButtons::OK);
        child<QPushButton>(list, "cmdDelete")->click();
        QCOMPARE(ids(list), kSpanishOrder);
    }

    void pickerReturnsTheChosenMember()
    {
        frmSocio *list = openList();
        auto picker = [] { return static_cast<QWidget *>(frmSocio::sharedInstance()); };

        whenShown(picker, [list](QWidget &w) {
            auto *f = static_cast<frmSocio *>(&w);
            QVERIFY(f != list);
            QVERIFY(f->isModal());
            QVERIFY(child<QPushButton>(f, "cmdSelect")->isVisible());
            QVERIFY(child<QPushButton>(f, "cmdSelect")->isDefault());
            QVERIFY(!child<QPushButton>(f, "cmdBuscar")->isDefault());
            for (const char *b : {"cmdNuevoS", "cmdEdit", "cmdDelete", "cmdCobrar"})
                QVERIFY2(!child<QPushButton>(f, b)->isVisible(), b);
            search(f, "", "nunez", "", "");
            selectMember(f, 3);
            child<QPushButton>(f, "cmdSelect")->click();
        });
        QCOMPARE(frmSocio::SelectSocio(), 3);
        QVERIFY(!frmSocio::sharedInstance());

        // Each use starts with empty filters and the whole list; Enter chooses
        // the current row (the first).
        whenShown(picker, [](QWidget &w) {
            auto *f = static_cast<frmSocio *>(&w);
            QCOMPARE(child<QLineEdit>(f, "txtSocioNombre")->text(), QString());
            QCOMPARE(ids(f), kSpanishOrder);
            QTest::keyClicks(child<QLineEdit>(f, "txtSocioNombre"), QStringLiteral("oliva"));
            QTest::keyClick(child<QLineEdit>(f, "txtSocioNombre"), Qt::Key_Return);
        });
        QCOMPARE(SelectSocio(), 11);

        whenShown(picker, [](QWidget &w) { w.close(); });
        QCOMPARE(SelectSocio(), 0);

        whenShown(picker, [](QWidget &w) {
            auto *f = static_cast<frmSocio *>(&w);
            search(f, "", "nadie se llama asi", "", "");
            child<QPushButton>(f, "cmdSelect")->click();
        });
        QCOMPARE(SelectSocio(), 0);
        QCOMPARE(ids(list), kSpanishOrder); // the list from the menu was not touched
    }
};

QTEST_MAIN(tst_frmSocio)
#include "tst_frmSocio.moc"
