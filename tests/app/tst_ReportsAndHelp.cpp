// The Reports and Help menus of the main window: the statement through the
// picker, the previews and their PDF, the unpaid-fee list and its question, the about box, the system-information
// tool and the manual, with the operating system replaced.
#include "app/MDIForm1.h"
#include "app/SystemTools.h"
#include "app/frmAbout.h"
#include "data/Database.h"
#include "data/ValueRules.h"
#include "members/frmSocio.h"
#include "reports/ReportPreview.h"
#include "reports/ReportText.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QtTest>
#include <sys/mount.h>

namespace {

// Runs `steps` on the next modal window of type W once it is up (polling, so
// it also finds a window opened after another one closed); fails after 5 s.
template <typename W>
void whenModal(std::function<void(W &)> steps)
{
    auto *timer = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, [timer, started, steps] {
        if (auto *w = qobject_cast<W *>(QApplication::activeModalWidget()); w && w->isVisible()) {
            timer->deleteLater();
            timer->stop();
            steps(*w);
            if (w->isVisible())
                w->close();
        } else if (started->elapsed() > 5000) {
            timer->deleteLater();
            timer->stop();
            QTest::qFail("la ventana no se abrió", __FILE__, __LINE__);
        }
    });
    timer->start(10);
}

void ledger(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    QVERIFY(q.exec("INSERT INTO Curso (IDCurso, Nombre) VALUES (1, '1° A')"));
    QVERIFY(q.exec("INSERT INTO Socio (IDSocio, Nombre, Alumno, IDCurso) VALUES (1, 'Gómez, Ana', 'Luis', 1),"
                   " (2, 'Britos, Berta', 'Sol', 1)"));
    QVERIFY(q.exec("INSERT INTO Movimiento (Fecha, Tipo, MedioPago, Importe, Descripcion, IDSocio, IDCuota) VALUES"
                   " ('2026-03-01 00:00:00', 'I', 'E', 1500, 'Cuota 2026', 2, 1),"
                   " ('2026-04-01 00:00:00', 'I', 'E', 300, 'Bono', 2, 1)"));
}

// Records what the fake operating system was asked.
struct FakeSystem
{
    QMap<QString, QString> registry; // "key|value" -> text
    QStringList files;
    QMap<QString, QString> onPath;
    bool startWorks = true;
    QStringList started;
    QStringList opened;

    void install()
    {
        SystemTools &t = systemTools();
        t.readRegistry = [this](KeyRoot, const QString &key, const QString &value) -> std::optional<QString> {
            const auto it = registry.constFind(key + "|" + value);
            return it == registry.cend() ? std::nullopt : std::optional<QString>(*it);
        };
        t.fileExists = [this](const QString &p) { return files.contains(p); };
        t.findExecutable = [this](const QString &n) { return onPath.value(n); };
        t.startProgram = [this](const QString &p) {
            started << p;
            return startWorks;
        };
        t.openDocument = [this](const QString &p) {
            opened << p;
            return true;
        };
    }
};

// A folder on a file system of its own, 64 KiB big, unmounted at the end.
struct SmallDisk
{
    QString dir;
    int error = 0;
    explicit SmallDisk(const QString &path) : dir(path)
    {
        QDir().mkpath(dir);
        if (::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, "size=64k") != 0)
            error = errno;
    }
    ~SmallDisk()
    {
        if (!error)
            ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
    }
    void put(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir + "/" + name);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush());
    }
    // Takes what room is left, to the last byte.
    void fill()
    {
        QFile f(dir + "/relleno");
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (f.write(QByteArray(4096, 'x')) > 0) {
        }
    }
};

const QString kMsinfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO|PATH";
const QString kLocation = "SOFTWARE\\Microsoft\\Shared Tools Location|MSINFO";

} // namespace

class tst_ReportsAndHelp : public QObject
{
    Q_OBJECT
private slots:
    void statementThroughThePicker();
    void memberBookPreviewSavesAPdf();
    void unpaidFeeFromTheMenu();
    void exportCancelledFromTheMenu();
    void fullDiskKeepsThePreviousFiles();
    void aboutBoxTextsAndKeys();
    void systemInformationTool();
    void manualOpensOnlyWhenPresent();
};

void tst_ReportsAndHelp::statementThroughThePicker()
{
    TestEnv t;
    t.writeIniFor("unused.db", "Cooperadora Escuela 12");
    t.openNewDb(ledger);
    MDIForm1 *main = MDIForm1::instance();

    // Closing the picker without choosing shows nothing.
    whenModal<QDialog>([](QDialog &picker) { picker.close(); });
    main->menuItem("mnuEstado")->trigger();
    QCOMPARE(t.prompts->seen(), QStringList());

    QString history;
    QWidget *owner = nullptr;
    whenModal<QDialog>([&](QDialog &picker) {
        auto *grid = picker.findChild<QTableView *>("tdbgrdComodidadUtilizada");
        QVERIFY(grid);
        grid->selectRow(0); // Britos, Berta: the list is in name order
        picker.findChild<QPushButton *>("cmdSelect")->click();
        whenModal<ReportPreview>([&](ReportPreview &preview) {
            owner = preview.parentWidget();
            history = ReportDocumentText(preview.document());
        });
    });
    main->menuItem("mnuEstado")->trigger();
    QCOMPARE(owner, static_cast<QWidget *>(main));
    QVERIFY2(history.contains("Historial de pagos:\nBono - 1/4/2026 - 300\nCuota 2026 - 1/3/2026 - 1500\n"),
             qPrintable(history));
}

void tst_ReportsAndHelp::memberBookPreviewSavesAPdf()
{
    TestEnv t;
    t.openNewDb(ledger);
    MDIForm1 *main = MDIForm1::instance();
    main->menuItem("mnuLibroSocios")->trigger();
    // The preview is modeless: the menu handler has returned with it open.
    auto *preview = main->findChild<ReportPreview *>();
    QVERIFY(preview);
    QVERIFY(preview->isVisible());
    QVERIFY(!preview->isModal());
    QCOMPARE(preview->windowTitle(), QStringLiteral("Tesorin -Libro de socios"));

    const QString pdf = t.path("libro.pdf");
    t.prompts->expectSaveFile("PDF|*.pdf", pdf);
    preview->findChild<QAbstractButton *>("cmdGuardarPdf")->click();
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().startsWith("%PDF"));

    // A cancelled dialog writes nothing; a folder that cannot be written says so.
    t.prompts->expectSaveFile("PDF|*.pdf", "");
    preview->findChild<QAbstractButton *>("cmdGuardarPdf")->click();
    const QString nowhere = t.path("no-existe/libro.pdf");
    t.prompts->expectSaveFile("PDF|*.pdf", nowhere)
        .expectMessage(QStringLiteral("Error #75: No se pudo escribir el archivo \"%1\": compruebe que la carpeta"
                                      " exista y que se pueda escribir en ella, o elija otra. (%2)")
                           .arg(nowhere, qt_error_string(ENOENT)),
                       MsgIcon::Critical, MsgButtons::OK);
    preview->findChild<QAbstractButton *>("cmdGuardarPdf")->click();
    QCOMPARE(t.prompts->pending(), 0);
    preview->close();
}

void tst_ReportsAndHelp::unpaidFeeFromTheMenu()
{
    TestEnv t;
    t.openNewDb(ledger);
    Exec("INSERT INTO Cuota (IDCuota, Descripcion, vigencia, Valor) VALUES (1, 'Cuota 2026', '2026-03-01 00:00:00', 1500),"
         " (2, 'Cuota 2025', '2025-03-01 00:00:00', 1200)");
    MDIForm1 *main = MDIForm1::instance();
    // Britos paid the fee: Gómez alone owes it.
    t.prompts->expectChoice("Elija la cuota:", "Socios con cuota impaga", {"Cuota 2026", "Cuota 2025"}, 0);
    main->menuItem("mnuCuotaImpaga")->trigger();
    auto *preview = main->findChild<ReportPreview *>();
    QVERIFY(preview);
    QVERIFY(preview->isVisible() && !preview->isModal());
    QCOMPARE(preview->windowTitle(), QStringLiteral("Tesorin - Socios con cuota impaga"));
    const QString text = ReportDocumentText(preview->document());
    QVERIFY2(text.contains("Gómez, Ana") && !text.contains("Britos") && text.contains("$ 1500"), qPrintable(text));
    preview->close();

    // The export asks for the file first, then for the fee.
    const QString csv = t.path("impagos.csv");
    t.prompts->expectSaveFile("Texto|*.txt|Planilla (CSV)|*.csv", csv)
        .expectChoice("Elija la cuota:", "Socios con cuota impaga", {"Cuota 2026", "Cuota 2025"}, 1)
        .expectMessage("Exportacion finalizada", MsgIcon::Information, MsgButtons::OK);
    main->menuItem("mnuCuotaImpagaEx")->trigger();
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()),
             "Curso,Nombre,Alumno,Telefono\r\n1° A,\"Britos, Berta\",Sol,\r\n1° A,\"Gómez, Ana\",Luis,\r\n");
    QCOMPARE(t.prompts->pending(), 0);
}

void tst_ReportsAndHelp::exportCancelledFromTheMenu()
{
    TestEnv t;
    t.openNewDb(ledger);
    MDIForm1 *main = MDIForm1::instance();
    // No question of the balance is asked when no file was chosen.
    t.prompts->expectSaveFile("Texto|*.txt|Planilla (CSV)|*.csv", "");
    main->menuItem("mnuBalanceEx")->trigger();
    t.prompts->expectSaveFile("Texto|*.txt|Planilla (CSV)|*.csv", "");
    main->menuItem("mnulibroex")->trigger();
    t.prompts->expectSaveFile("Texto|*.txt|Planilla (CSV)|*.csv", "");
    main->menuItem("mnuCuotaImpagaEx")->trigger();
    QCOMPARE(t.prompts->pending(), 0);
}

void tst_ReportsAndHelp::fullDiskKeepsThePreviousFiles()
{
    TestEnv t;
    t.openNewDb(ledger);
    SmallDisk disk(t.path("lleno"));
    if (disk.error)
        QSKIP(qPrintable("No se puede montar un tmpfs pequeño aquí: " + qt_error_string(disk.error)));
    const QStringList names{"libro.csv", "libro.pdf", "libro.txt"};
    for (const QString &name : names)
        disk.put(name, "la exportación anterior de " + name.toUtf8());
    disk.fill();
    auto full = [&](const QString &name) {
        return QStringLiteral("Error #75: No se pudo escribir el archivo \"%1\": el disco está lleno. Libere espacio"
                              " y vuelva a intentar. (%2)").arg(disk.dir + "/" + name, qt_error_string(ENOSPC));
    };
    MDIForm1 *main = MDIForm1::instance();
    for (const QString &name : {"libro.txt", "libro.csv"}) {
        t.prompts->expectSaveFile("Texto|*.txt|Planilla (CSV)|*.csv", disk.dir + "/" + name)
            .expectMessage(full(name), MsgIcon::Critical, MsgButtons::OK);
        main->menuItem("mnulibroex")->trigger();
    }
    main->menuItem("mnuLibroSocios")->trigger();
    auto *preview = main->findChild<ReportPreview *>();
    QVERIFY(preview);
    t.prompts->expectSaveFile("PDF|*.pdf", disk.dir + "/libro.pdf")
        .expectMessage(full("libro.pdf"), MsgIcon::Critical, MsgButtons::OK);
    preview->findChild<QAbstractButton *>("cmdGuardarPdf")->click();
    preview->close();
    QCOMPARE(t.prompts->pending(), 0);

    // Each previous file is whole, and nothing half-written is left beside it.
    QCOMPARE(QDir(disk.dir).entryList(QDir::Files | QDir::Hidden), names + QStringList{"relleno"});
    for (const QString &name : names) {
        QFile f(disk.dir + "/" + name);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), "la exportación anterior de " + name.toUtf8());
    }
}

void tst_ReportsAndHelp::aboutBoxTextsAndKeys()
{
    TestEnv t;
    QCOMPARE(VersionText(2, 1, 15), QStringLiteral("Version 2.1.15"));
    QCOMPARE(VersionText(1, 0, 0), QStringLiteral("Version 1.0.0"));

    MDIForm1 *main = MDIForm1::instance();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        bool shown = false;
        whenModal<frmAbout>([&](frmAbout &about) {
            shown = true;
            QCOMPARE(about.parentWidget(), static_cast<QWidget *>(main));
            QCOMPARE(about.windowTitle(), "About " + AppTitle());
            QCOMPARE(about.lblTitle->text(), AppTitle());
            QTest::keyClick(&about, key);
            QVERIFY(!about.isVisible());
        });
        main->menuItem("mnuAbout")->trigger();
        QVERIFY(shown);
    }
}

void tst_ReportsAndHelp::systemInformationTool()
{
    TestEnv t;
    const SystemTools saved = systemTools();
    FakeSystem sys;
    sys.install();
    const QString unavailable = "System Information Is Unavailable At This Time";

    // The program the first key names is started.
    sys.registry = {{kMsinfo, "C:\\Archivos\\msinfo32.exe"}, {kLocation, "C:\\Otro"}};
    StartSysInfo();
    QCOMPARE(sys.started, QStringList{"C:\\Archivos\\msinfo32.exe"});

    // Only the second key, and no MSINFO32.EXE in its folder.
    sys = FakeSystem{};
    sys.install();
    sys.registry = {{kLocation, "C:\\Herramientas"}};
    t.prompts->expectMessage(unavailable, MsgIcon::None, MsgButtons::OK);
    StartSysInfo();
    QVERIFY(sys.started.isEmpty());
    sys.files << "C:\\Herramientas\\MSINFO32.EXE";
    StartSysInfo();
    QCOMPARE(sys.started, QStringList{"C:\\Herramientas\\MSINFO32.EXE"});

    // No registry: the first tool found on the PATH; none, or one that fails to start, says so.
    sys = FakeSystem{};
    sys.install();
    sys.onPath = {{"kinfocenter", "/usr/bin/kinfocenter"}, {"gnome-system-monitor", "/usr/bin/gnome-system-monitor"}};
    StartSysInfo();
    QCOMPARE(sys.started, QStringList{"/usr/bin/kinfocenter"});
    sys.startWorks = false;
    t.prompts->expectMessage(unavailable, MsgIcon::None, MsgButtons::OK);
    StartSysInfo();
    sys.onPath.clear();
    t.prompts->expectMessage(unavailable, MsgIcon::None, MsgButtons::OK);
    StartSysInfo();

    QString value = "sin tocar";
    QVERIFY(!GetKeyValue(KeyRoot::LocalMachine, "SOFTWARE\\Nada", "X", value));
    QCOMPARE(value, QString());
    QCOMPARE(t.prompts->pending(), 0);
    systemTools() = saved;
}

void tst_ReportsAndHelp::manualOpensOnlyWhenPresent()
{
    TestEnv t;
    const SystemTools saved = systemTools();
    FakeSystem sys;
    sys.install();
    MDIForm1 *main = MDIForm1::instance();
    main->menuItem("mnuHelp1")->trigger(); // missing: nothing opens, nothing is said
    QVERIFY(sys.opened.isEmpty());
    const QString manual = QDir(env().appDir).filePath("manual de usuario.pdf");
    sys.files << manual;
    main->menuItem("mnuHelp1")->trigger();
    QCOMPARE(sys.opened, QStringList{manual});
    systemTools() = saved;
}

QTEST_MAIN(tst_ReportsAndHelp)
#include "tst_ReportsAndHelp.moc"
