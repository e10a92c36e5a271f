// The table editor driven as the user drives it: opened from the menu (the
// administrator gate included), rows added, changed and deleted in the grid,
// values the table cannot hold refused, filter and sort.
#include "app/MDIForm1.h"
#include "data/Database.h"
#include "data/ValueRules.h"
#include "masterdata/GrillaModel.h"
#include "masterdata/frmGrilla.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QtTest>

namespace {

void fill(const QSqlDatabase &db)
{
    const QString curso = QStringLiteral("INSERT INTO Curso (IDCurso, Nombre) VALUES (?, ?)");
    Exec(db, curso, {1, QStringLiteral("3er grado")});
    Exec(db, curso, {2, QStringLiteral("Sala de D'Angelo")});
    Exec(db, curso, {3, QStringLiteral("1er grado")});
    Exec(db, curso, {4, QStringLiteral("ñandúes")});
    Exec(db, curso, {5, QStringLiteral("Zorzales")});
    const QString cuota = QStringLiteral(
        "INSERT INTO Cuota (IDCuota, Descripcion, vigencia, Valor, IDCuenta) VALUES (?, ?, ?, ?, ?)");
    Exec(db, cuota, {1, QStringLiteral("Cuota 2025"), QDateTime(QDate(2025, 3, 1), QTime(0, 0)), 1200.0, 10});
    Exec(db, cuota, {2, QStringLiteral("Cuota 2026"), QDateTime(QDate(2026, 3, 1), QTime(0, 0)), 1500.5, 10});
    Exec(db, cuota, {3, QStringLiteral("Bono"), QDateTime(QDate(2026, 6, 1), QTime(10, 30)), 350.0, 11});
}

QList<frmGrilla *> windows()
{
    QList<frmGrilla *> list;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *g = qobject_cast<frmGrilla *>(w); g && w->isVisible())
            list << g;
    return list;
}

// Opens a table as the menu does; the new window.
frmGrilla *open(const QString &table)
{
    const QList<frmGrilla *> before = windows();
    MDIForm1::instance()->OpenGrilla(table);
    for (frmGrilla *w : windows())
        if (!before.contains(w))
            return QTest::qWaitForWindowExposed(w) ? w : nullptr;
    return nullptr;
}

QString cell(frmGrilla *w, int row, int column)
{
    return w->rows()->index(row, column).data().toString();
}

QStringList columnTexts(frmGrilla *w, int column)
{
    QStringList texts;
    for (int r = 0; r < w->rows()->shownRows(); ++r)
        texts << cell(w, r, column);
    return texts;
}

// Lets the grid finish what it does after an event: Enter ends an edit, and
// refusals are told, once the current event is over.
void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Types into a cell as the user does: the cell's editor, the text, then the key that ends it.
void type(frmGrilla *w, int row, int column, const QString &text, Qt::Key end = Qt::Key_Return)
{
    GrillaView *g = w->grid();
    const QModelIndex i = g->model()->index(row, column);
    g->setCurrentIndex(i);
    if (!g->indexWidget(i)) // Tab has already opened it
        g->edit(i);
    auto *editor = qobject_cast<QLineEdit *>(g->indexWidget(i));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, end);
    settle();

}

void clickHeader(frmGrilla *w, int column)
{
    QHeaderView *h = w->grid()->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(column) + 5, 5));
}

void doubleClick(frmGrilla *w, int row, int column)
{
    GrillaView *g = w->grid();
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row, column)).center());
}

QVariant stored(const QString &sql, const QVariantList &binds = {})
{
    QSqlQuery q = Exec(sql, binds);
    return q.next() ? q.value(0) : QVariant();
}

const QString kRowHint = QStringLiteral("\r\rCorrija los datos de la fila o presione Esc para descartar sus cambios.");

} // namespace

class tst_frmGrilla : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup() { m_env.reset(); }

    void adminGate();
    void adminGateWithoutAdminRow();
    void windowPerClick();
    void addChangeDelete();
    void refusedValuesStayForCorrection();
    void filter();
    void sortWithFilter();
    void dates_data();
    void dates();

private:
    std::unique_ptr<TestEnv> m_env;
};

void tst_frmGrilla::adminGate()
{
    m_env->openNewDb([](const QSqlDatabase &db) {
        fill(db);
        AddMovimiento(db, QStringLiteral("I"), QStringLiteral("E"), 100);
        AddMovimiento(db, QStringLiteral("I"), QStringLiteral("E"), 100);
    });
    ScriptedPrompts &p = *m_env->prompts;
    MDIForm1 *main = MDIForm1::instance();
    const QString prompt = QStringLiteral("Ingrese contraseña de Admin");

    // Cancelled, other case, trailing blank: nothing opens, nothing is said.
    for (const QString &answer : {QString(), QStringLiteral("Clave"), QStringLiteral("clave "), QStringLiteral(" clave")}) {
        p.expectInput(prompt, AppTitle(), QString(), answer);
        main->menuItem(QStringLiteral("mnuParam"))->trigger();
        p.expectInput(prompt, AppTitle(), QString(), answer);
        main->menuItem(QStringLiteral("mnuMovis"))->trigger();
    }
    QVERIFY(windows().isEmpty());

    p.expectInput(prompt, AppTitle(), QString(), QStringLiteral("clave"));
    main->menuItem(QStringLiteral("mnuParam"))->trigger();
    p.expectInput(prompt, AppTitle(), QString(), QStringLiteral("clave"));
    main->menuItem(QStringLiteral("mnuMovis"))->trigger();
    QStringList titles;
    for (frmGrilla *w : windows())
        titles << w->windowTitle();
    titles.sort();
    QCOMPARE(titles, QStringList({QStringLiteral("Movimiento"), QStringLiteral("Parametro")}));

    // A movement corrected in the grid shows in the balances at once.
    for (frmGrilla *w : windows())
        if (w->windowTitle() == QLatin1String("Movimiento"))
            type(w, 0, 6, QStringLiteral("250,5"));
    QCOMPARE(main->panelText(1), QStringLiteral("Saldo Caja: 350,5"));
}

void tst_frmGrilla::adminGateWithoutAdminRow()
{
    m_env->openNewDb(fill);
    Exec(QStringLiteral("DELETE FROM Parametro WHERE Parametro = 'ADMIN'"));
    ScriptedPrompts &p = *m_env->prompts;
    const QString error = QStringLiteral("Ha ocurrido un error.\r\rError #3021: No existe el parámetro ADMIN en la tabla Parametro.");
    for (const char *item : {"mnuParam", "mnuMovis"}) {
        p.expectInput(QStringLiteral("Ingrese contraseña de Admin"), AppTitle(), QString(), QStringLiteral("clave"));
        p.expectMessage(error, MsgIcon::Critical, MsgButtons::OK);
        MDIForm1::instance()->menuItem(QString::fromLatin1(item))->trigger();
    }
    QVERIFY(windows().isEmpty());
}

void tst_frmGrilla::windowPerClick()
{
    m_env->openNewDb(fill);
    MDIForm1::instance()->menuItem(QStringLiteral("mnucurso"))->trigger();
    MDIForm1::instance()->menuItem(QStringLiteral("mnucurso"))->trigger();
    const QList<frmGrilla *> list = windows();
    QCOMPARE(list.size(), 2);
    frmGrilla *a = list.at(0), *b = list.at(1);
    QVERIFY(QTest::qWaitForWindowExposed(a) && QTest::qWaitForWindowExposed(b));
    QCOMPARE(a->windowTitle(), QStringLiteral("Curso"));
    QCOMPARE(b->frameGeometry().size(), QSize(367, 361)); // 5505 x 5415 twips

    // Every field headed by its name; the new-row line below the rows.
    QCOMPARE(b->rows()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Nombre"));
    QCOMPARE(b->rows()->rowCount(), 6);
    QCOMPARE(b->rows()->headerData(5, Qt::Vertical).toString(), QStringLiteral("*"));

    // The two windows are independent: a sort in one leaves the other as it was.
    clickHeader(b, 1);
    QCOMPARE(cell(b, 0, 1), QStringLiteral("1er grado"));
    QCOMPARE(cell(a, 0, 1), QStringLiteral("3er grado"));

    // The grid follows the window, except when the window is too small to hold it.
    b->resize(500, 400);
    QCOMPARE(b->grid()->geometry(), QRect(4, 4, 492, 392));
    b->resize(6, 300);
    QCOMPARE(b->grid()->geometry(), QRect(4, 4, 492, 392));
}

void tst_frmGrilla::addChangeDelete()
{
    m_env->openNewDb(fill);
    ScriptedPrompts &p = *m_env->prompts;
    frmGrilla *w = open(QStringLiteral("Cuota"));
    QVERIFY(w);

    // A new row: fields typed one after the other, written when Enter ends it;
    // the key the table gives it is shown.
    type(w, 3, 1, QStringLiteral("Cuota 'extra'"), Qt::Key_Tab);
    type(w, 3, 2, QStringLiteral("1/4/2026"), Qt::Key_Tab);
    type(w, 3, 3, QStringLiteral("99,5"));
    {
        QSqlQuery q = Exec(QStringLiteral("SELECT IDCuota, vigencia, Valor, IDCuenta FROM Cuota WHERE Descripcion = ?"),
                           {QStringLiteral("Cuota 'extra'")});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 4);
        QCOMPARE(q.value(1).toString(), QStringLiteral("2026-04-01 00:00:00"));
        QCOMPARE(q.value(2).toDouble(), 99.5);
        QVERIFY(q.value(3).isNull());
    }
    QCOMPARE(cell(w, 3, 0), QStringLiteral("4"));
    QCOMPARE(w->rows()->rowCount(), 5);

    // A change in place, written when the row is left.
    type(w, 0, 1, QStringLiteral("Cuota D'Angelo"), Qt::Key_Tab);
    QCOMPARE(stored(QStringLiteral("SELECT Descripcion FROM Cuota WHERE IDCuota = 1")).toString(), QStringLiteral("Cuota 2025"));
    w->grid()->commitOpenEditor();
    w->grid()->setCurrentIndex(w->rows()->index(2, 0));
    QCOMPARE(stored(QStringLiteral("SELECT Descripcion FROM Cuota WHERE IDCuota = 1")).toString(), QStringLiteral("Cuota D'Angelo"));

    // A deletion, after the question; No keeps the row.
    w->grid()->selectRow(1);
    p.expectMessage(QStringLiteral("Se eliminará 1 registro de la tabla Cuota. Esta seguro?"), MsgIcon::Question,
                    MsgButtons::YesNo, MsgResult::No, 1);
    QTest::keyClick(w->grid(), Qt::Key_Delete);
    QCOMPARE(stored(QStringLiteral("SELECT COUNT(*) FROM Cuota")).toInt(), 4);
    w->grid()->selectRow(1);
    p.expectMessage(QStringLiteral("Se eliminará 1 registro de la tabla Cuota. Esta seguro?"), MsgIcon::Question,
                    MsgButtons::YesNo, MsgResult::Yes, 1);
    QTest::keyClick(w->grid(), Qt::Key_Delete);
    QCOMPARE(stored(QStringLiteral("SELECT COUNT(*) FROM Cuota WHERE IDCuota = 2")).toInt(), 0);
    QCOMPARE(columnTexts(w, 0), QStringList({"1", "3", "4"}));

    // Rows added after the deletion and a second window see the same table.
    frmGrilla *other = open(QStringLiteral("Cuota"));
    QVERIFY(other);
    QCOMPARE(columnTexts(other, 1), QStringList({"Cuota D'Angelo", "Bono", "Cuota 'extra'"}));
}

void tst_frmGrilla::refusedValuesStayForCorrection()
{
    m_env->openNewDb(fill);
    ScriptedPrompts &p = *m_env->prompts;
    frmGrilla *w = open(QStringLiteral("Cuota"));
    QVERIFY(w);

    // Text in a number column, a date that is no date: the cell keeps its value.
    p.expectMessage(QStringLiteral("\"mil\" no es un número: el campo Valor sólo admite números."), MsgIcon::Exclamation, MsgButtons::OK);
    type(w, 0, 3, QStringLiteral("mil"));
    p.expectMessage(QStringLiteral("\"31/2/2026\" no es una fecha: el campo vigencia sólo admite fechas, por ejemplo 6/12/2026 o 6/12/2026 18:30."),
                    MsgIcon::Exclamation, MsgButtons::OK);
    type(w, 0, 2, QStringLiteral("31/2/2026"));
    p.expectMessage(QStringLiteral("\"2,5\" no sirve: el campo IDCuenta sólo admite números enteros entre -2147483648 y 2147483647."),
                    MsgIcon::Exclamation, MsgButtons::OK);
    type(w, 0, 4, QStringLiteral("2,5"));
    QCOMPARE(cell(w, 0, 3), QStringLiteral("1200"));
    QCOMPARE(cell(w, 0, 2), QStringLiteral("1/3/2025"));
    QCOMPARE(stored(QStringLiteral("SELECT Valor FROM Cuota WHERE IDCuota = 1")).toDouble(), 1200.0);

    // A key that already exists: the new row stays, marked, and the user is brought back to it.
    const QString duplicate = QStringLiteral("No se pudo guardar el registro en la tabla Cuota: ya existe otro registro con el mismo valor en el campo IDCuota.") + kRowHint;
    type(w, 3, 1, QStringLiteral("Repetida"), Qt::Key_Tab);
    p.expectMessage(duplicate, MsgIcon::Exclamation, MsgButtons::OK);
    type(w, 3, 0, QStringLiteral("2"));
    QCOMPARE(w->rows()->headerData(3, Qt::Vertical).toString(), QStringLiteral("\u270E"));
    p.expectMessage(duplicate, MsgIcon::Exclamation, MsgButtons::OK);
    w->grid()->setCurrentIndex(w->rows()->index(0, 0));
    settle();
    QCOMPARE(w->grid()->currentIndex().row(), 3);
    QCOMPARE(stored(QStringLiteral("SELECT Descripcion FROM Cuota WHERE IDCuota = 2")).toString(), QStringLiteral("Cuota 2026"));
    QCOMPARE(stored(QStringLiteral("SELECT COUNT(*) FROM Cuota")).toInt(), 3);

    // Closing is asked about; No keeps the window and the row.
    p.expectMessage(QStringLiteral("No se pudo guardar el registro en la tabla Cuota: ya existe otro registro con el mismo valor en el campo IDCuota.\r\r¿Cierra la ventana y descarta los cambios de esa fila?"),
                    MsgIcon::Question, MsgButtons::YesNo, MsgResult::No, 1);
    QVERIFY(!w->close());

    // Corrected, it is written.
    type(w, 3, 0, QStringLiteral("7"));
    QCOMPARE(stored(QStringLiteral("SELECT Descripcion FROM Cuota WHERE IDCuota = 7")).toString(), QStringLiteral("Repetida"));

    // A one-character field refused by the table; Escape gives the row its stored values back.
    frmGrilla *cuentas = open(QStringLiteral("Cuenta"));
    QVERIFY(cuentas);
    type(cuentas, 0, 1, QStringLiteral("Cuotas"), Qt::Key_Tab);
    p.expectMessage(QStringLiteral("No se pudo guardar el registro en la tabla Cuenta: el campo Tipo admite un solo carácter.") + kRowHint,
                    MsgIcon::Exclamation, MsgButtons::OK);
    type(cuentas, 0, 2, QStringLiteral("II"));
    QTest::keyClick(cuentas->grid(), Qt::Key_Escape);
    QCOMPARE(cuentas->rows()->rowCount(), 1);
    QCOMPARE(stored(QStringLiteral("SELECT COUNT(*) FROM Cuenta")).toInt(), 0);
    QVERIFY(cuentas->close());
}

void tst_frmGrilla::filter()
{
    m_env->openNewDb(fill);
    ScriptedPrompts &p = *m_env->prompts;
    frmGrilla *w = open(QStringLiteral("Curso"));
    QVERIFY(w);
    const QString prompt = QStringLiteral("Ingrese criterio de filtrado.");
    const QString title = QStringLiteral("Filtro de Registros");

    // Cancelled or blank: no filter, and the next double-click asks again.
    p.expectInput(prompt, title, QStringLiteral("Nombre="), QString());
    doubleClick(w, 0, 1);
    p.expectInput(prompt, title, QStringLiteral("Nombre="), QStringLiteral("   "));
    doubleClick(w, 0, 1);
    QVERIFY(!w->filterOn());

    // The untouched default and an unknown field are explained; nothing changes.
    clickHeader(w, 1);
    p.expectInput(prompt, title, QStringLiteral("Nombre="), QStringLiteral("Nombre="));
    p.expectMessage(QStringLiteral("El criterio de filtrado \"Nombre=\" no es válido.\r\rFalta el valor con el que se compara el campo Nombre."),
                    MsgIcon::Exclamation, MsgButtons::OK);
    doubleClick(w, 0, 1);
    p.expectInput(prompt, title, QStringLiteral("IDCurso="), QStringLiteral("Curso=1"));
    p.expectMessage(QStringLiteral("El criterio de filtrado \"Curso=1\" no es válido.\r\rNo existe el campo \"Curso\" en esta tabla."),
                    MsgIcon::Exclamation, MsgButtons::OK);
    doubleClick(w, 0, 0);
    QVERIFY(!w->filterOn());
    QCOMPARE(columnTexts(w, 1), QStringList({"1er grado", "3er grado", "ñandúes", "Sala de D'Angelo", "Zorzales"}));

    // An apostrophe inside the text, then a double-click removes the filter without asking.
    p.expectInput(prompt, title, QStringLiteral("Nombre="), QStringLiteral(" Nombre LIKE '%d''angelo' OR IDCurso>=5 "));
    doubleClick(w, 0, 1);
    QVERIFY(w->filterOn());
    QCOMPARE(columnTexts(w, 1), QStringList({"Sala de D'Angelo", "Zorzales"}));
    doubleClick(w, 0, 1);
    QVERIFY(!w->filterOn());
    QCOMPARE(w->rows()->shownRows(), 5);

    // The filter is evaluated, never run: a criterion trying statement text is refused.
    p.expectInput(prompt, title, QStringLiteral("Nombre="), QStringLiteral("Nombre='x'; DELETE FROM Curso"));
    p.expectMessage(QStringLiteral("El criterio de filtrado \"Nombre='x'; DELETE FROM Curso\" no es válido.\r\rEl carácter \";\" no se entiende en el criterio."),
                    MsgIcon::Exclamation, MsgButtons::OK);
    doubleClick(w, 0, 1);
    QCOMPARE(stored(QStringLiteral("SELECT COUNT(*) FROM Curso")).toInt(), 5);

    // On an empty table the question is asked but no filter is set.
    Exec(QStringLiteral("DELETE FROM Cuenta"));
    frmGrilla *empty = open(QStringLiteral("Cuenta"));
    QVERIFY(empty);
    p.expectInput(prompt, title, QStringLiteral("IDCuenta="), QStringLiteral("IDCuenta=1"));
    doubleClick(empty, 0, 0);
    QVERIFY(!empty->filterOn());
    clickHeader(empty, 0);
    QCOMPARE(empty->rows()->sortColumn(), -1);
}

void tst_frmGrilla::sortWithFilter()
{
    m_env->openNewDb(fill);
    ScriptedPrompts &p = *m_env->prompts;
    frmGrilla *w = open(QStringLiteral("Curso"));
    QVERIFY(w);

    // The first click sorts ascending, even on the first column; the same header alternates.
    clickHeader(w, 0);
    QCOMPARE(columnTexts(w, 0), QStringList({"1", "2", "3", "4", "5"}));
    clickHeader(w, 0);
    QCOMPARE(columnTexts(w, 0), QStringList({"5", "4", "3", "2", "1"}));
    clickHeader(w, 0);
    QCOMPARE(columnTexts(w, 0), QStringList({"1", "2", "3", "4", "5"}));
    QVERIFY(w->grid()->selectionModel()->selectedColumns().isEmpty());

    // Another header starts ascending; texts in the reader's order (ñ after n, case ignored).
    clickHeader(w, 1);
    clickHeader(w, 1);
    QCOMPARE(columnTexts(w, 1), QStringList({"Zorzales", "Sala de D'Angelo", "ñandúes", "3er grado", "1er grado"}));

    // A sorted grid filtered keeps its order; a filtered grid sorted too.
    p.expectInput(QStringLiteral("Ingrese criterio de filtrado."), QStringLiteral("Filtro de Registros"),
                  QStringLiteral("Nombre="), QStringLiteral("Nombre LIKE '%grado' OR Nombre='zorzales'"));
    doubleClick(w, 0, 1);
    QCOMPARE(columnTexts(w, 1), QStringList({"Zorzales", "3er grado", "1er grado"}));
    clickHeader(w, 0);
    QCOMPARE(columnTexts(w, 0), QStringList({"1", "3", "5"}));
    doubleClick(w, 0, 1);
    QCOMPARE(columnTexts(w, 0), QStringList({"1", "2", "3", "4", "5"}));
}

void tst_frmGrilla::dates_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("shown");    // Cuota 3: 2026-06-01 10:30
    QTest::addColumn<QString>("value");    // Cuota 2: 1500.5
    QTest::addColumn<QString>("typed");    // becomes 2026-04-02 18:05
    QTest::addColumn<QString>("criterion");
    QTest::newRow("es_AR") << QLocale(QLocale::Spanish, QLocale::Argentina) << "1/6/2026 10:30:00" << "1500,5"
                           << "2/4/2026 18:05" << "vigencia>=#1/3/2026# AND Valor<1500,25";
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << "6/1/2026 10:30:00" << "1500.5"
                           << "4/2/2026 18:05" << "vigencia>=#3/1/2026# AND Valor<1500.25";
}

void tst_frmGrilla::dates()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, shown);
    QFETCH(QString, value);
    QFETCH(QString, typed);
    QFETCH(QString, criterion);
    m_env->openNewDb(fill);
    m_env->setLocale(locale);
    frmGrilla *w = open(QStringLiteral("Cuota"));
    QVERIFY(w);
    QCOMPARE(cell(w, 2, 2), shown);
    QCOMPARE(cell(w, 1, 3), value);

    // A date typed as shown is stored in the one stored form; a number typed with the locale's decimal mark.
    type(w, 0, 2, typed);
    type(w, 0, 3, QStringLiteral("12") + locale.decimalPoint() + QStringLiteral("25"));
    w->grid()->setCurrentIndex(w->rows()->index(1, 0));
    QCOMPARE(stored(QStringLiteral("SELECT vigencia FROM Cuota WHERE IDCuota = 1")).toString(), QStringLiteral("2026-04-02 18:05:00"));
    QCOMPARE(stored(QStringLiteral("SELECT Valor FROM Cuota WHERE IDCuota = 1")).toDouble(), 12.25);

    // Sorted by date, and filtered by date and number, in the same locale.
    clickHeader(w, 2);
    QCOMPARE(columnTexts(w, 0), QStringList({"2", "1", "3"}));
    m_env->prompts->expectInput(QStringLiteral("Ingrese criterio de filtrado."), QStringLiteral("Filtro de Registros"),
                                QStringLiteral("IDCuota="), criterion);
    doubleClick(w, 0, 0);
    QCOMPARE(columnTexts(w, 0), QStringList({"1", "3"}));
}

QTEST_MAIN(tst_frmGrilla)
#include "tst_frmGrilla.moc"
