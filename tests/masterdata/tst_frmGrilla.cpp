// The table editor driven as the user drives it: opened from the menu (the
// administrator gate included), rows added, changed and deleted in the grid,
// values the table cannot hold refused, filter and sort.
#include "app/MDIForm1.h"
#include "data/Database.h"
#include "data/ValueRules.h"
#include "masterdata/GrillaModel.h"
#include "masterdata/frmGrilla.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSqlRecord>
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

// Opens a table as the menu does; the new window. Both of its models are
// checked against Qt's model contract for as long as it is open.
frmGrilla *open(const QString &table)
{
    const QList<frmGrilla *> before = windows();
    MDIForm1::instance()->OpenGrilla(table);
    for (frmGrilla *w : windows()) {
        if (before.contains(w))
            continue;
        const auto mode = QAbstractItemModelTester::FailureReportingMode::QtTest;
        new QAbstractItemModelTester(w->rows(), mode, w);
        new QAbstractItemModelTester(w->findChild<GrillaTableModel *>("datGrilla"), mode, w);
        return QTest::qWaitForWindowExposed(w) ? w : nullptr;
    }
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

// Lets the grid end an edit and tell a refusal, which it does once the current event is over.
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

// The rows a statement reads: values joined by blanks (a null as "-"), rows by ", ".
QString stored(const QString &sql, const QVariantList &binds = {})
{
    QStringList rows;
    QSqlQuery q = Exec(sql, binds);
    while (q.next()) {
        QStringList values;
        for (int c = 0; c < q.record().count(); ++c)
            values << (q.isNull(c) ? QStringLiteral("-") : q.value(c).toString());
        rows << values.join(QLatin1Char(' '));
    }
    return rows.join(QStringLiteral(", "));
}

const QString kRowHint = QStringLiteral("\r\rCorrija los datos de la fila o presione Esc para descartar sus cambios.");

} // namespace

class tst_frmGrilla : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data() { EngineRows(); }
    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup() { m_env.reset(); }

    void adminGate();
    void addChangeDelete();
    void refusedValuesStayForCorrection();
    void filterAndSort();
    void equalValuesKeepTheTableOrder();
    void dates_data();
    void dates();
    void rowsOthersUseStay();
    void codesAndAdminPassword();
    void rowsAreFoundByTheirKey();
    void unreadRowsAreNeverShownEmpty();
    void transferHalvesGoTogether();

private:
    std::unique_ptr<TestEnv> m_env;
};

void tst_frmGrilla::adminGate()
{
    m_env->openBooks([](const QSqlDatabase &db) {
        fill(db);
        AddMovimiento(db, QStringLiteral("I"), QStringLiteral("E"), 100);
        AddMovimiento(db, QStringLiteral("I"), QStringLiteral("E"), 100);
    });
    MDIForm1 *main = MDIForm1::instance();
    const auto answer = [&](const QString &password, const QString &error = QString()) {
        for (const char *item : {"mnuParam", "mnuMovis"}) {
            m_env->prompts->expectInput(QStringLiteral("Ingrese contraseña de Admin"), AppTitle(), QString(), password);
            if (!error.isEmpty())
                m_env->prompts->expectMessage(error, MsgIcon::Critical, MsgButtons::OK);
            main->menuItem(QString::fromLatin1(item))->trigger();
        }
    };

    // Cancelled, other case, a blank before or after: nothing opens, nothing is said.
    for (const QString &password : {QString(), QStringLiteral("Clave"), QStringLiteral("clave "), QStringLiteral(" clave")})
        answer(password);
    QVERIFY(windows().isEmpty());

    // The exact password opens both tables; a movement corrected in the grid shows in the balances at once.
    answer(QStringLiteral("clave"));
    QStringList titles;
    for (frmGrilla *w : windows()) {
        titles << w->windowTitle();
        if (titles.last() == QLatin1String("Movimiento"))
            type(w, 0, 6, QStringLiteral("250.5"));
    }
    titles.sort();
    QCOMPARE(titles, QStringList({QStringLiteral("Movimiento"), QStringLiteral("Parametro")}));
    QCOMPARE(main->panelText(1), QStringLiteral("Saldo Caja: 350,5"));

    // Without the ADMIN row the error is told and nothing more opens.
    Exec(QStringLiteral("DELETE FROM Parametro WHERE Parametro = 'ADMIN'"));
    answer(QStringLiteral("clave"),
           QStringLiteral("Ha ocurrido un error.\r\rError #3021: No existe el parámetro ADMIN en la tabla Parametro."));
    QCOMPARE(windows().size(), 2);
}

void tst_frmGrilla::addChangeDelete()
{
    m_env->openBooks(fill);
    frmGrilla *w = open(QStringLiteral("Cuota"));
    QVERIFY(w);

    // A new row typed field by field on the line below the rows, written when Enter ends it;
    // the key the table gives it is shown.
    type(w, 3, 1, QStringLiteral("Cuota 'extra'"), Qt::Key_Tab);
    type(w, 3, 2, QStringLiteral("1/4/2026"), Qt::Key_Tab);
    type(w, 3, 3, QStringLiteral("99.5"));
    QCOMPARE(stored("SELECT IDCuota, vigencia, Valor, IDCuenta FROM Cuota WHERE Descripcion = ?", {"Cuota 'extra'"}),
             "4 2026-04-01 00:00:00 99.5 -");
    QCOMPARE(cell(w, 3, 0), QStringLiteral("4"));

    // A change in place, written when the row is left and not before.
    type(w, 0, 1, QStringLiteral("Cuota D'Angelo"), Qt::Key_Tab);
    QCOMPARE(stored("SELECT Descripcion FROM Cuota WHERE IDCuota = 1"), "Cuota 2025");
    w->grid()->commitOpenEditor();
    w->grid()->setCurrentIndex(w->rows()->index(2, 0));

    // A deletion, after the question: No keeps the row, Yes deletes it. The change above is stored.
    for (MsgResult reply : {MsgResult::No, MsgResult::Yes}) {
        w->grid()->selectRow(1);
        m_env->prompts->expectMessage(QStringLiteral("Se eliminará 1 registro de la tabla Cuota. Esta seguro?"), MsgIcon::Question,
                                      MsgButtons::YesNo, reply, 1);
        QTest::keyClick(w->grid(), Qt::Key_Delete);
    }
    QCOMPARE(stored("SELECT Descripcion FROM Cuota ORDER BY IDCuota"), "Cuota D'Angelo, Bono, Cuota 'extra'");
    QCOMPARE(columnTexts(w, 0), QStringList({"1", "3", "4"}));

    // A new key for a row: the row keeps showing its values, read again from the table.
    type(w, 0, 0, QStringLiteral("9"));
    w->grid()->setCurrentIndex(w->rows()->index(1, 0));
    settle();
    QCOMPARE(QStringList({cell(w, 0, 0), cell(w, 0, 1)}), QStringList({"9", "Cuota D'Angelo"}));

    // Each of them is in the record of changes, column by column, with who, where and when.
    QCOMPARE(stored("SELECT Operacion, Clave, Campo, ValorAnterior, ValorNuevo FROM Cambio ORDER BY IDCambio"),
             "Alta 4 IDCuota - 4, Alta 4 Descripcion - Cuota 'extra', Alta 4 vigencia - 2026-04-01 00:00:00, "
             "Alta 4 Valor - 99.5, Cambio 1 Descripcion Cuota 2025 Cuota D'Angelo, Baja 2 IDCuota 2 -, "
             "Baja 2 Descripcion Cuota 2026 -, Baja 2 vigencia 2026-03-01 00:00:00 -, Baja 2 Valor 1500.5 -, "
             "Baja 2 IDCuenta 10 -, Cambio 1 IDCuota 1 9");
    QCOMPARE(stored("SELECT DISTINCT Usuario, Equipo, Fecha, Tabla FROM Cambio"), "tesorera PC-TESORERIA 2026-12-06 10:00:00 Cuota");
}

void tst_frmGrilla::refusedValuesStayForCorrection()
{
    m_env->openBooks(fill);
    ScriptedPrompts &p = *m_env->prompts;
    frmGrilla *w = open(QStringLiteral("Cuota"));
    QVERIFY(w);

    // Text in a number column, a date that is no date, a fraction for an integer: the cell keeps its value.
    p.expectMessage(QStringLiteral("\"mil\" no es un número: el campo Valor sólo admite números, con punto decimal (por ejemplo 1500.50)."), MsgIcon::Exclamation, MsgButtons::OK);
    type(w, 0, 3, QStringLiteral("mil"));
    p.expectMessage(QStringLiteral("\"31/2/2026\" no es una fecha: el campo vigencia sólo admite fechas, por ejemplo 6/12/2026 o 6/12/2026 18:30."),
                    MsgIcon::Exclamation, MsgButtons::OK);
    type(w, 0, 2, QStringLiteral("31/2/2026"));
    p.expectMessage(QStringLiteral("\"2.5\" no sirve: el campo IDCuenta sólo admite números enteros entre -2147483648 y 2147483647."),
                    MsgIcon::Exclamation, MsgButtons::OK);
    type(w, 0, 4, QStringLiteral("2.5"));
    QCOMPARE(QStringList({cell(w, 0, 2), cell(w, 0, 3), cell(w, 0, 4)}), QStringList({"1/3/2025", "1200", "10"}));
    QCOMPARE(stored("SELECT vigencia, Valor, IDCuenta FROM Cuota WHERE IDCuota = 1"), "2025-03-01 00:00:00 1200 10");

    // A key that already exists: the new row stays, and leaving it brings the user back; closing is asked about.
    const QString duplicate = QStringLiteral("No se pudo guardar el registro en la tabla Cuota: ya existe otro registro con el mismo valor en el campo IDCuota.");
    type(w, 3, 1, QStringLiteral("Repetida"), Qt::Key_Tab);
    p.expectMessage(duplicate + kRowHint, MsgIcon::Exclamation, MsgButtons::OK);
    type(w, 3, 0, QStringLiteral("2"));
    p.expectMessage(duplicate + kRowHint, MsgIcon::Exclamation, MsgButtons::OK);
    w->grid()->setCurrentIndex(w->rows()->index(0, 0));
    settle();
    QCOMPARE(w->grid()->currentIndex().row(), 3);
    p.expectMessage(duplicate + QStringLiteral("\r\r¿Cierra la ventana y descarta los cambios de esa fila?"),
                    MsgIcon::Question, MsgButtons::YesNo, MsgResult::No, 1);
    QVERIFY(!w->close());
    QCOMPARE(stored("SELECT Descripcion FROM Cuota ORDER BY IDCuota"), "Cuota 2025, Cuota 2026, Bono");

    // Corrected, it is written.
    type(w, 3, 0, QStringLiteral("7"));
    QCOMPARE(stored("SELECT Descripcion FROM Cuota WHERE IDCuota = 7"), "Repetida");

    // A one-character field refused by the table; Escape gives the row its stored values back.
    frmGrilla *cuentas = open(QStringLiteral("Cuenta"));
    QVERIFY(cuentas);
    type(cuentas, 0, 1, QStringLiteral("Cuotas"), Qt::Key_Tab);
    // The file's rule is one character, the server's I or E.
    p.expectMessage(QStringLiteral("No se pudo guardar el registro en la tabla Cuenta: ")
                        + (OnServerRow() ? "la tabla no admite el valor del campo Tipo." : "el campo Tipo admite un solo carácter.")
                        + kRowHint,
                    MsgIcon::Exclamation, MsgButtons::OK);
    type(cuentas, 0, 2, QStringLiteral("II"));
    QTest::keyClick(cuentas->grid(), Qt::Key_Escape);
    QCOMPARE(cuentas->rows()->rowCount(), 1);
    QCOMPARE(stored("SELECT COUNT(*) FROM Cuenta"), "0");
    // Only the row written is in the record: nothing of what was refused or rolled back.
    QCOMPARE(stored("SELECT DISTINCT Operacion, Tabla, Clave FROM Cambio"), "Alta Cuota 7");
}

void tst_frmGrilla::filterAndSort()
{
    m_env->openBooks(fill);
    ScriptedPrompts &p = *m_env->prompts;
    frmGrilla *w = open(QStringLiteral("Curso"));
    QVERIFY(w);
    const auto criterion = [&](const QString &offered, const QString &typed) {
        p.expectInput(QStringLiteral("Ingrese criterio de filtrado."), QStringLiteral("Filtro de Registros"), offered, typed);
    };

    // The first click sorts ascending, even on the first column, the next descending;
    // another header starts ascending again. Texts in the reader's order (ñ after n, case ignored).
    clickHeader(w, 0);
    clickHeader(w, 0);
    QCOMPARE(columnTexts(w, 0), QStringList({"5", "4", "3", "2", "1"}));
    clickHeader(w, 1);
    clickHeader(w, 1);
    const QStringList sorted = {"Zorzales", "Sala de D'Angelo", "ñandúes", "3er grado", "1er grado"};
    QCOMPARE(columnTexts(w, 1), sorted);

    // Cancelled or blank: no filter, and the next double-click asks again.
    for (const QString &typed : {QString(), QStringLiteral("   ")}) {
        criterion(QStringLiteral("Nombre="), typed);
        doubleClick(w, 0, 1);
    }
    QVERIFY(!w->filterOn());

    // A bad criterion is explained and leaves the grid as it was; it is evaluated, never run.
    criterion(QStringLiteral("Nombre="), QStringLiteral("Nombre='x'; DELETE FROM Curso"));
    p.expectMessage(QStringLiteral("El criterio de filtrado \"Nombre='x'; DELETE FROM Curso\" no es válido.\r\rEl carácter \";\" no se entiende en el criterio."),
                    MsgIcon::Exclamation, MsgButtons::OK);
    doubleClick(w, 0, 1);
    QCOMPARE(columnTexts(w, 1), sorted);
    QCOMPARE(stored("SELECT COUNT(*) FROM Curso"), "5");

    // An apostrophe inside the text. A sorted grid filtered keeps its order, a filtered grid sorted
    // keeps its filter, and a double-click removes the filter without asking.
    criterion(QStringLiteral("Nombre="), QStringLiteral(" Nombre LIKE '%d''angelo' OR Nombre LIKE '%grado' OR IDCurso=5 "));
    doubleClick(w, 0, 1);
    QCOMPARE(columnTexts(w, 1), QStringList({"Zorzales", "Sala de D'Angelo", "3er grado", "1er grado"}));
    clickHeader(w, 0);
    QCOMPARE(columnTexts(w, 0), QStringList({"1", "2", "3", "5"}));
    doubleClick(w, 0, 1);
    QCOMPARE(columnTexts(w, 0), QStringList({"1", "2", "3", "4", "5"}));
}

void tst_frmGrilla::equalValuesKeepTheTableOrder()
{
    m_env->openBooks([](const QSqlDatabase &db) {
        for (double importe : {5.0, 7.0, 5.0, 7.0, 5.0})
            AddMovimiento(db, "I", "E", importe);
    });
    frmGrilla *w = open(QStringLiteral("Movimiento"));
    QVERIFY(w);
    const int importe = 6, fecha = 1; // every row has the same date
    // The headers are the file's names on either engine (the server's are in lower case).
    QStringList headers;
    for (int c = 0; c < w->rows()->columnCount(); ++c)
        headers << w->rows()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers.join(','), "IDMovimiento,Fecha,IDSocio,IDCuota,IDCuenta,Tipo,Importe,MedioPago,Descripcion,Recibo,"
                                "ChequeNumero,IDContraAsiento");
    for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        QVERIFY(w->rows()->sortBy(importe, order));
        QCOMPARE(columnTexts(w, 0), order == Qt::AscendingOrder ? QStringList({"1", "3", "5", "2", "4"})
                                                                 : QStringList({"2", "4", "1", "3", "5"}));
        QVERIFY(w->rows()->sortBy(fecha, order));
        QCOMPARE(columnTexts(w, 0), QStringList({"1", "2", "3", "4", "5"}));
    }
}

void tst_frmGrilla::dates_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("shown");    // Cuota 3's 2026-06-01 10:30 and Cuota 2's 1500.5
    QTest::addColumn<QString>("typed");    // becomes 2026-04-02 18:05
    QTest::addColumn<QString>("criterion");
    QTest::newRow("es_AR") << QLocale(QLocale::Spanish, QLocale::Argentina) << "1/6/2026 10:30:00 1500,5"
                           << "2/4/2026 18:05" << "vigencia>=#1/4/2026# AND Valor>12.2";
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << "6/1/2026 10:30:00 1500.5"
                           << "4/2/2026 18:05" << "vigencia>=#4/1/2026# AND Valor>12.2";
}

void tst_frmGrilla::dates()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QString, criterion);
    m_env->openBooks(fill);
    m_env->setLocale(locale);
    frmGrilla *w = open(QStringLiteral("Cuota"));
    QVERIFY(w);
    QCOMPARE(cell(w, 2, 2) + QLatin1Char(' ') + cell(w, 1, 3), shown);

    // A date typed as shown is stored in the one stored form; an amount is typed with a point in
    // every locale, and the editor offers it so.
    type(w, 0, 2, typed);
    QCOMPARE(w->rows()->index(1, 3).data(Qt::EditRole).toString(), QStringLiteral("1500.5"));
    type(w, 0, 3, QStringLiteral("12.25"));
    w->grid()->setCurrentIndex(w->rows()->index(1, 0));
    QCOMPARE(stored("SELECT vigencia, Valor FROM Cuota WHERE IDCuota = 1"), "2026-04-02 18:05:00 12.25");

    // Sorted by date, and filtered by date and number, in the same locale.
    clickHeader(w, 2);
    QCOMPARE(columnTexts(w, 0), QStringList({"2", "1", "3"}));
    m_env->prompts->expectInput(QStringLiteral("Ingrese criterio de filtrado."), QStringLiteral("Filtro de Registros"),
                                QStringLiteral("IDCuota="), criterion);
    doubleClick(w, 0, 0);
    QCOMPARE(columnTexts(w, 0), QStringList({"1", "3"}));
}

void tst_frmGrilla::rowsOthersUseStay()
{
    m_env->openBooks([](const QSqlDatabase &db) {
        fill(db); // fees 1 and 2 booked to account 10, fee 3 to 11
        Exec(db, "INSERT INTO Cuenta (IDCuenta, Descripcion, IDcuentaPadre) VALUES (10, 'Cuotas', NULL), (11, 'Bono', 10)");
        Exec(db, "INSERT INTO Socio (Nombre, IDCurso) VALUES ('Ana', 1), ('Luis', 1)");
        AddMovimiento(db, "I", "E", 1500, QVariant(), 1, 2);
        AddMovimiento(db, "I", "E", 1500, QVariant(), 2, 2);
        Exec(db, "UPDATE Movimiento SET IDCuenta = 10");
    });
    ScriptedPrompts &p = *m_env->prompts;
    const auto remove = [&](frmGrilla *w, int row) {
        w->grid()->selectRow(row);
        QTest::keyClick(w->grid(), Qt::Key_Delete);
    };
    const auto question = [&](const char *table, MsgResult reply) {
        p.expectMessage(QStringLiteral("Se eliminará 1 registro de la tabla %1. Esta seguro?").arg(table),
                        MsgIcon::Question, MsgButtons::YesNo, reply, 1);
    };
    frmGrilla *cuotas = open(QStringLiteral("Cuota"));
    QVERIFY(cuotas);

    // A paid fee is neither deleted nor renumbered; the user is told why, without a question.
    p.expectMessage("No se puede eliminar la cuota 2: la usan 2 movimientos.", MsgIcon::Exclamation, MsgButtons::OK);
    remove(cuotas, 1);
    p.expectMessage("No se puede cambiar el número de la cuota 2: la usan 2 movimientos." + kRowHint,
                    MsgIcon::Exclamation, MsgButtons::OK);
    type(cuotas, 1, 0, "20");
    QTest::keyClick(cuotas->grid(), Qt::Key_Escape);

    // An unused fee goes, and its number is never given again.
    question("Cuota", MsgResult::Yes);
    remove(cuotas, 2);
    type(cuotas, 2, 1, "Rifa");
    QCOMPARE(stored("SELECT IDCuota FROM Cuota ORDER BY 1"), "1, 2, 4");

    // Another program pays fee 1 while the question is open: the deletion is refused all the same.
    question("Cuota", MsgResult::Yes);
    p.onNextPrompt([] { AddMovimiento(Conexion(), "I", "E", 1200, QVariant(), 1, 1); });
    p.expectMessage("No se puede eliminar la cuota 1: la usa 1 movimiento.", MsgIcon::Exclamation, MsgButtons::OK);
    remove(cuotas, 0);
    QCOMPARE(stored("SELECT COUNT(*) FROM Cuota WHERE IDCuota = 1"), "1");
    QCOMPARE(columnTexts(cuotas, 1), QStringList({"Cuota 2025", "Cuota 2026", "Rifa"}));

    // Courses and accounts: every kind of use is counted.
    p.expectMessage("No se puede eliminar el curso 1: lo usan 2 socios.", MsgIcon::Exclamation, MsgButtons::OK);
    remove(open("Curso"), 0);
    frmGrilla *cuentas = open("Cuenta");
    p.expectMessage("No se puede eliminar la cuenta 10: la usan 2 movimientos, 2 cuotas y 1 cuenta hija.",
                    MsgIcon::Exclamation, MsgButtons::OK);
    remove(cuentas, 0);
    frmGrilla *cursos = open("Curso");
    p.expectMessage("No se puede cambiar el número del curso 1: lo usan 2 socios." + kRowHint,
                    MsgIcon::Exclamation, MsgButtons::OK);
    type(cursos, 0, 0, "12");
    QTest::keyClick(cursos->grid(), Qt::Key_Escape);
    QCOMPARE(stored("SELECT COUNT(*) FROM Cuenta").toInt() + stored("SELECT COUNT(*) FROM Curso WHERE IDCurso = 1").toInt(), 3);

    // A row another program deleted meanwhile is not "saved" by an update that changes nothing.
    Exec("DELETE FROM Cuota WHERE IDCuota = 4");
    p.expectMessage("Este registro ya no está en la tabla Cuota: otro programa lo eliminó. Sus cambios no se guardaron."
                        + kRowHint, MsgIcon::Exclamation, MsgButtons::OK);
    type(cuotas, 2, 1, "Rifa de invierno");
    QTest::keyClick(cuotas->grid(), Qt::Key_Escape);
    QCOMPARE(stored("SELECT COUNT(*) FROM Cuota WHERE Descripcion = 'Rifa de invierno'"), "0");
}

void tst_frmGrilla::codesAndAdminPassword()
{
    m_env->openBooks([](const QSqlDatabase &db) { AddMovimiento(db, "I", "E", 100); });
    ScriptedPrompts &p = *m_env->prompts;

    // A movement's codes are stored in capitals; any other letter, or none, is refused.
    frmGrilla *w = open("Movimiento");
    QVERIFY(w);
    const int tipo = 5, medio = 7;
    type(w, 0, tipo, "e", Qt::Key_Tab);
    type(w, 0, medio, " c ");
    w->grid()->setCurrentIndex(w->rows()->index(1, 0));
    QCOMPARE(stored("SELECT Tipo, MedioPago FROM Movimiento"), "E C");
    p.expectMessage("\"x\" no sirve: el campo Tipo sólo admite I (ingreso) o E (egreso).", MsgIcon::Exclamation,
                    MsgButtons::OK);
    type(w, 0, tipo, "x");
    p.expectMessage("\"B\" no sirve: el campo MedioPago sólo admite E (efectivo, la caja) o C (la cuenta bancaria).",
                    MsgIcon::Exclamation, MsgButtons::OK);
    type(w, 0, medio, "B");
    p.expectMessage("El campo Tipo no puede quedar vacío: sólo admite I (ingreso) o E (egreso)." + kRowHint,
                    MsgIcon::Exclamation, MsgButtons::OK);
    type(w, 1, 6, "50");
    QTest::keyClick(w->grid(), Qt::Key_Escape);
    QCOMPARE(stored("SELECT Tipo, MedioPago FROM Movimiento"), "E C");

    // The administrator password is kept, not emptied, without blanks around it, and can be changed.
    frmGrilla *params = open("Parametro");
    QVERIFY(params);
    const int admin = columnTexts(params, 0).indexOf("ADMIN");
    const QString needed = ": es la contraseña de administrador, sin la cual nadie podría abrir Parametros ni editar los movimientos.";
    p.expectMessage("No se puede eliminar el parámetro ADMIN" + needed, MsgIcon::Exclamation, MsgButtons::OK);
    params->grid()->selectRow(admin);
    QTest::keyClick(params->grid(), Qt::Key_Delete);
    const QStringList refusals = {
        "No se puede cambiar el nombre del parámetro ADMIN" + needed,
        "La contraseña de administrador (ADMIN) no puede quedar vacía: nadie podría abrir Parametros ni editar los movimientos.",
        "La contraseña de administrador (ADMIN) no puede empezar ni terminar con espacios en blanco: al pedirla se la rechazaría sin aviso."};
    const QList<std::pair<int, QString>> edits = {{0, "ADMIN2"}, {1, ""}, {1, "clave "}};
    for (int i = 0; i < edits.size(); ++i) {
        p.expectMessage(refusals.at(i) + kRowHint, MsgIcon::Exclamation, MsgButtons::OK);
        QVERIFY(params->rows()->setData(params->rows()->index(admin, edits.at(i).first), edits.at(i).second));
        params->grid()->setCurrentIndex(params->rows()->index(1 - admin, 0));
        settle();
        QTest::keyClick(params->grid(), Qt::Key_Escape);
    }
    type(params, admin, 1, "nueva");
    params->grid()->setCurrentIndex(params->rows()->index(1 - admin, 0));
    QCOMPARE(stored("SELECT Valor FROM Parametro WHERE Parametro = 'ADMIN'"), "nueva");
    // The record of changes says the password changed, never what it was or is.
    QCOMPARE(stored("SELECT Campo, ValorAnterior, ValorNuevo FROM Cambio WHERE Clave = 'ADMIN'"),
             "Valor (contraseña oculta) (contraseña oculta)");
}

// A row is found by its key: renamed, it is found by its new name; replaced by
// another program meanwhile (the new row taking its place in the file), the new
// row is left alone.
void tst_frmGrilla::rowsAreFoundByTheirKey()
{
    m_env->openBooks([](const QSqlDatabase &db) { Exec(db, "INSERT INTO Parametro VALUES ('ZONA', 'norte')"); });
    ScriptedPrompts &p = *m_env->prompts;
    frmGrilla *w = open("Parametro");
    QVERIFY(w);
    const int zona = columnTexts(w, 0).indexOf("ZONA");
    type(w, zona, 0, "REGION");
    w->grid()->setCurrentIndex(w->rows()->index(0, 0));
    type(w, zona, 1, "sur");
    w->grid()->setCurrentIndex(w->rows()->index(0, 0));
    QCOMPARE(stored("SELECT Parametro, Valor FROM Parametro WHERE Valor IN ('norte', 'sur')"), "REGION sur");

    Exec("DELETE FROM Parametro WHERE Parametro = 'REGION'");
    Exec("INSERT INTO Parametro VALUES ('OTRO', 'x')");
    p.expectMessage("Este registro ya no está en la tabla Parametro: otro programa lo eliminó. Sus cambios no se guardaron."
                        + kRowHint, MsgIcon::Exclamation, MsgButtons::OK);
    type(w, zona, 1, "oeste");
    QTest::keyClick(w->grid(), Qt::Key_Escape);
    QCOMPARE(stored("SELECT Valor FROM Parametro WHERE Parametro = 'OTRO'"), "x");
}

void tst_frmGrilla::unreadRowsAreNeverShownEmpty()
{
    FILE_ONLY();
    m_env->openBooks([](const QSqlDatabase &db) {
        for (int i = 0; i < 1500; ++i)
            AddMovimiento(db, "I", "E", i);
    });
    frmGrilla *w = open("Movimiento");
    QVERIFY(w);
    // Another program holds the file while rows not yet read (the grid reads its first thousand to size the columns) are shown.
    const QString grid = QSqlDatabase::connectionNames().filter("frmGrilla").constFirst();
    Exec(QSqlDatabase::database(grid, false), "PRAGMA busy_timeout = 0");
    Exec("BEGIN EXCLUSIVE");
    Exec("UPDATE Movimiento SET Descripcion = 'x'");
    const QString told = "No se pudieron leer algunos registros de la tabla Movimiento: se muestran como #¡Error! y no se pueden modificar. Se vuelven a leer al ordenar o filtrar la tabla, o al modificar uno de ellos.\r\r"
                         + ErrorText(RuntimeError::fromSqlite(5, "database is locked"));
    m_env->prompts->expectMessage(told, MsgIcon::Critical, MsgButtons::OK);
    QCOMPARE(cell(w, 1400, 6), "#¡Error!");
    settle();
    // An edit reads the row again, and is refused while that fails.
    m_env->prompts->expectMessage(told, MsgIcon::Critical, MsgButtons::OK);
    QVERIFY(!w->rows()->setData(w->rows()->index(1400, 6), "7"));
    settle();
    Exec("ROLLBACK");
    QVERIFY(w->rows()->setData(w->rows()->index(1400, 6), "7"));
    QCOMPARE(cell(w, 1400, 8), "");
    QCOMPARE(cell(w, 1401, 6), "1401");
}

// A transfer's two halves: a change of amount or date, and a deletion, are
// asked about for the other half; No leaves both as they were.
void tst_frmGrilla::transferHalvesGoTogether()
{
    m_env->openBooks([](const QSqlDatabase &db) {
        AddMovimiento(db, "I", "E", 500);
        Exec(db, "INSERT INTO Movimiento (Fecha, Tipo, Importe, MedioPago, Descripcion, IDContraAsiento) VALUES"
                 " ('2026-04-01 10:00:00', 'E', 50, 'E', 'Depósito', 3), ('2026-04-01 10:00:00', 'I', 50, 'C', 'Depósito', 2)");
    });
    ScriptedPrompts &p = *m_env->prompts;
    frmGrilla *w = open("Movimiento");
    QVERIFY(w);
    const int fecha = 1, importe = 6;
    const QString both = "El movimiento 2 es una mitad de una transferencia; la otra mitad es el movimiento 3. ¿Cambia "
                         "también el importe y la fecha del movimiento 3?\r\rSi responde No, no se guarda ningún cambio "
                         "de esta fila.";
    type(w, 1, importe, "75", Qt::Key_Tab);
    p.expectMessage(both, MsgIcon::Question, MsgButtons::YesNo, MsgResult::No, 1);
    type(w, 1, fecha, "2/4/2026");
    QCOMPARE(stored("SELECT Importe, Fecha FROM Movimiento WHERE IDContraAsiento IS NOT NULL ORDER BY 1, 2"),
             "50 2026-04-01 10:00:00, 50 2026-04-01 10:00:00");
    QCOMPARE(cell(w, 1, importe), "50");

    p.expectMessage(QString(both).replace("el importe y la fecha", "el importe"), MsgIcon::Question, MsgButtons::YesNo,
                    MsgResult::Yes, 1);
    type(w, 1, importe, "75");
    QCOMPARE(stored("SELECT Importe FROM Movimiento ORDER BY IDMovimiento"), "500, 75, 75");
    QCOMPARE(cell(w, 2, importe), "75");
    QCOMPARE(stored("SELECT Clave, Campo, ValorAnterior, ValorNuevo FROM Cambio ORDER BY IDCambio"),
             "2 Importe 50 75, 3 Importe 50 75");

    // Deleting one half: No deletes neither, Yes both.
    const auto remove = [&](MsgResult reply) {
        p.expectMessage("Se eliminará 1 registro de la tabla Movimiento. Esta seguro?", MsgIcon::Question,
                        MsgButtons::YesNo, MsgResult::Yes, 1)
            .expectMessage("El movimiento 3 es una mitad de una transferencia; la otra mitad es el movimiento 2. "
                           "¿Elimina también el movimiento 2?\r\rSi responde No, no se elimina ningún registro.",
                           MsgIcon::Question, MsgButtons::YesNo, reply, 1);
        w->grid()->selectRow(2);
        QTest::keyClick(w->grid(), Qt::Key_Delete);
    };
    remove(MsgResult::No);
    QCOMPARE(stored("SELECT COUNT(*) FROM Movimiento"), "3");
    remove(MsgResult::Yes);
    QCOMPARE(stored("SELECT IDMovimiento FROM Movimiento"), "1");
    QCOMPARE(columnTexts(w, 0), QStringList({"1"}));
    QCOMPARE(stored("SELECT DISTINCT Clave FROM Cambio WHERE Operacion = 'Baja' ORDER BY 1"), "2, 3");
}

QTEST_MAIN(tst_frmGrilla)
#include "tst_frmGrilla.moc"
