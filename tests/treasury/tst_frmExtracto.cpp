// The bank statement window: the sample's columns proposed from its titles,
// an account given to one charge reaching the same charge on other days,
// nothing written before "Aceptar", the summary, the columns remembered, and
// the same statement a second time adding nothing. On a file and on a server.
#include "app/MDIForm1.h"
#include "data/ColumnChooser.h"
#include "data/DataCombo.h"
#include "support/PgTest.h"
#include "support/TreasuryTest.h"
#include "treasury/frmExtracto.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {
const QString kSample = QStringLiteral(TESORIN_TESTS_DIR "/samples/extracto-banco.csv");
const QString kFilter = QStringLiteral("Extractos bancarios|*.csv;*.txt|Todos los archivos|*");
} // namespace

class tst_frmExtracto : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestEnv> t;
    frmExtracto *w = nullptr;

    template <class T = QWidget>
    T *child(const char *name) { return w->findChild<T *>(QString::fromLatin1(name)); }
    QString cell(int row, int column)
    {
        auto *grid = child<QTableView>("grdLineas");
        return grid->model()->index(row, column).data().toString();
    }
    void open()
    {
        t->prompts->expectOpenFile(kFilter, kSample);
        MDIForm1::instance()->menuItem("mnuExtracto")->trigger();
        w = w ? w : nullptr;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *f = qobject_cast<frmExtracto *>(top); f && f->isVisible())
                w = f;
        QVERIFY(w);
    }
    void chooseAccountForLine(int row, const QString &account)
    {
        auto *grid = child<QTableView>("grdLineas");
        grid->setCurrentIndex(grid->model()->index(row, 0));
        auto *combo = child<DataCombo>("datcboCuenta");
        combo->setCurrentIndex(combo->findText(account));
        emit combo->activated(combo->currentIndex());
    }

private slots:
    void initTestCase_data() { EngineRows(); }
    void init()
    {
        t = std::make_unique<TestEnv>();
        t->openBooks([](const QSqlDatabase &db) {
            AddAccounts(db);
            Exec(db, "INSERT INTO Movimiento (Fecha, Tipo, Importe, MedioPago, Descripcion) VALUES"
                     " ('2026-06-30 10:00:00', 'I', 20000, 'C', 'Deposito en banco'),"
                     " ('2026-07-15 11:00:00', 'E', 12500, 'C', 'Pintura del patio'),"
                     " ('2026-07-09 09:00:00', 'I', 1500, 'C', 'Cuota de Gómez, María')");
        });
        t->writeIni("[Location]\nNombre=Cooperadora Escuela 12\n");
        w = nullptr;
    }
    void cleanup() { t.reset(); }

    void theStatementIsTakenOnceWithTheChosenAccounts()
    {
        open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Importar extracto bancario"));
        QAbstractItemModelTester tester(child<QTableView>("grdLineas")->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        // Proposed from the row of titles: date, description, debit, credit, reference, balance.
        auto *columns = w->findChild<ColumnChooser *>();
        QCOMPARE(columns->column("Fecha"), 0);
        QCOMPARE(columns->column("Descripcion"), 1);
        QCOMPARE(columns->column("Importe"), -1);
        QCOMPARE(columns->column("Debito"), 2);
        QCOMPARE(columns->column("Credito"), 3);
        QCOMPARE(columns->column("Saldo"), 5);
        QVERIFY(child<QLabel>("lblArchivo")->text().endsWith(QStringLiteral("(Windows-1252)")));
        QCOMPARE(child<QLabel>("lblResumen")->text(),
                 QStringLiteral("9 líneas: 3 concilian movimientos, 0 serán movimientos nuevos, 0 ya importadas, 6 sin "
                                "asignar; 6 filas del archivo no son movimientos."));
        QCOMPARE(cell(0, 4), QStringLiteral("Concilia el movimiento 1 (30/6/2026, Deposito en banco)"));
        QCOMPARE(cell(2, 3), QStringLiteral("-262,5"));

        // A line needs its account before it is made a movement.
        child<QTableView>("grdLineas")->setCurrentIndex(child<QTableView>("grdLineas")->model()->index(2, 0));
        t->prompts->expectMessage("Elija primero la cuenta del movimiento nuevo.", MsgIcon::Exclamation, MsgButtons::OK);
        child<QCheckBox>("chkCrear")->click();
        QVERIFY(!child<QCheckBox>("chkCrear")->isChecked());
        // One account for the month's first commission reaches the last one too.
        chooseAccountForLine(1, QStringLiteral("Servicios"));
        QCOMPARE(cell(1, 4), QStringLiteral("Nuevo movimiento"));
        QCOMPARE(cell(8, 4), QStringLiteral("Nuevo movimiento"));
        QCOMPARE(cell(8, 5), QStringLiteral("Servicios"));
        QCOMPARE(cell(2, 4), QStringLiteral("Sin asignar"));
        QCOMPARE(child<QLabel>("lblSaldos")->text(),
                 QStringLiteral("Saldo conciliado con este extracto: 6500    Saldo final del extracto: 6080    "
                                "Diferencia: -420"));

        const QStringList before = LedgerRows();
        t->prompts->expectMessage("Se conciliarán 3 movimientos del banco y se agregarán 2 movimientos nuevos. Desea "
                                  "continuar?",
                                  MsgIcon::Question, MsgButtons::YesNo, MsgResult::No, 1);
        child<QPushButton>("cmdOk")->click();
        QCOMPARE(LedgerRows(), before); // nothing before the user says so
        t->prompts->expectMessage("Se conciliarán 3 movimientos del banco y se agregarán 2 movimientos nuevos. Desea "
                                  "continuar?",
                                  MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1);
        t->prompts->expectMessage("Extracto importado: 3 movimientos conciliados, 2 movimientos nuevos, 0 líneas ya "
                                  "importadas, 4 sin asignar.",
                                  MsgIcon::Information, MsgButtons::OK);
        child<QPushButton>("cmdOk")->click();
        QTRY_VERIFY(!w->isVisible());
        QCOMPARE(LedgerRows().size(), before.size() + 2);
        QCOMPARE(Scalar("SELECT COUNT(*) FROM ExtractoLinea").toInt(), 5);
        QCOMPARE(Scalar("SELECT Valor FROM Parametro WHERE Parametro = 'EXTRACTO'").toString(),
                 QStringLiteral("separador=;|decimal=,|mesprimero=0|fecha=0|descripcion=1|importe=-1|debito=2|"
                                "credito=3|referencia=4|saldo=5"));

        // Again, in another locale: the same columns, the amounts with a point, and nothing to add.
        t->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        w = nullptr;
        open();
        QCOMPARE(child<QLabel>("lblResumen")->text(),
                 QStringLiteral("9 líneas: 0 concilian movimientos, 0 serán movimientos nuevos, 5 ya importadas, 4 sin "
                                "asignar; 6 filas del archivo no son movimientos."));
        QCOMPARE(cell(2, 3), QStringLiteral("-262.5"));
        t->prompts->expectMessage("No hay líneas para conciliar ni movimientos nuevos para agregar.",
                                  MsgIcon::Information, MsgButtons::OK);
        child<QPushButton>("cmdOk")->click();
        QCOMPARE(Scalar("SELECT COUNT(*) FROM ExtractoLinea").toInt(), 5);
        w->close();
    }

    void aCancelledOrUnreadableFileOpensNothing()
    {
        FILE_ONLY();
        t->prompts->expectOpenFile(kFilter, QString());
        QVERIFY(!frmExtracto::openChosenFile());
        t->prompts->expectOpenFile(kFilter, t->path("no-existe.csv"));
        t->prompts->expectMessage("No se pudo leer el archivo \"" + t->path("no-existe.csv")
                                      + "\": No such file or directory.",
                                  MsgIcon::Critical, MsgButtons::OK);
        QVERIFY(!frmExtracto::openChosenFile());
    }
};

QTEST_MAIN(tst_frmExtracto)
#include "tst_frmExtracto.moc"
