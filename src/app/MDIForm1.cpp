#include "app/MDIForm1.h"
#include "app/SystemTools.h"
#include "app/frmAbout.h"
#include "data/ChangeWatch.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/FormHelpers.h"
#include "data/Ledger.h"
#include "data/Parametros.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"
#include "data/ClosedYear.h"
#include "masterdata/AdminGate.h"
#include "masterdata/frmCierreEjercicio.h"
#include "masterdata/frmGrilla.h"
#include "members/MemberStatement.h"
#include "members/frmImportarSocios.h"
#include "members/frmSocio.h"
#include "reports/ReportExport.h"
#include "reports/ReportOutput.h"
#include "reports/rptBalance.h"
#include "reports/rptCuotaImpaga.h"
#include "reports/rptCambios.h"
#include "treasury/frmExtracto.h"
#include "reports/rptLibroSocios.h"
#include "treasury/frmCobroCuota.h"
#include "treasury/frmMovimiento.h"
#include "treasury/frmOtroIngreso.h"
#include "treasury/frmPagos.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>

namespace {
QPointer<MDIForm1> g_main;
constexpr int kPanelWidth = 235; // pixels: a balance label with room for ten figures
} // namespace

MDIForm1 *MDIForm1::instance()
{
    if (!g_main)
        g_main = new MDIForm1;
    return g_main;
}

MDIForm1 *MDIForm1::existing()
{
    return g_main;
}

void RefreshSaldos()
{
    MDIForm1 *main = MDIForm1::instance();
    main->followChanges();
    const QLocale &loc = env().locale;
    const std::optional<Balances> b = ReadBalances();
    // A balance that cannot be read is said so, never shown as 0.
    main->setPanelText(1, QStringLiteral("Saldo Caja: ")
                              + (b ? GeneralNumber(b->caja, loc) : QStringLiteral("no disponible")));
    main->setPanelText(2, QStringLiteral("Saldo Banco: ")
                              + (b ? GeneralNumber(b->banco, loc) : QStringLiteral("no disponible")));
}

MDIForm1::MDIForm1()
{
    setObjectName(QStringLiteral("MDIForm1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(AppDescription());
    // "Cobrar Cuota" of a member list opens one more fee window beside it.
    frmSocio::CobrarCuota = [](frmSocio &list, qint64 idSocio) { frmCobroCuota::openFromList(list, idSocio); };
    resize(1000, 700);
    // Whatever writes to the ledger, the balances below follow it.
    connect(&Ledger::instance(), &Ledger::changed, this, [] { RefreshSaldos(); });

    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);

    QMenuBar *bar = menuBar();
    QMenu *master = bar->addMenu(QStringLiteral("&Maestros"));
    master->setObjectName(QStringLiteral("mnuMaster"));
    addItem(master, "mnuSocio", QStringLiteral("&Socios"), &MDIForm1::mnuSocio_Click);
    addItem(master, "mnuImportarSocios", QStringLiteral("&Importar socios..."), &MDIForm1::mnuImportarSocios_Click);
    addSeparator(master, "mnuDu2");
    addItem(master, "mnucurso", QStringLiteral("C&ursos"), &MDIForm1::mnucurso_Click);
    addItem(master, "mnucuota", QStringLiteral("&Cuotas"), &MDIForm1::mnucuota_Click);
    addItem(master, "mnuCuentas", QStringLiteral("Cuentas Con&tables"), &MDIForm1::mnuCuentas_Click);
    addSeparator(master, "mnudu3");
    addItem(master, "mnuParam", QStringLiteral("Parametros"), &MDIForm1::mnuParam_Click);
    addItem(master, "mnuMovis", QStringLiteral("Editar movimientos manualmente"), &MDIForm1::mnuMovis_Click);
    addItem(master, "mnuCierre", QStringLiteral("Cerrar ejercicio"), &MDIForm1::mnuCierre_Click);

    QMenu *mov = bar->addMenu(QStringLiteral("Mo&vimientos"));
    mov->setObjectName(QStringLiteral("mnuMov"));
    addItem(mov, "mnuPagocuota", QStringLiteral("Registro pago cuota"), &MDIForm1::mnuPagocuota_Click)
        ->setShortcut(QKeySequence(Qt::Key_F6));
    addItem(mov, "mnuIngreso", QStringLiteral("Registro otro ingreso"), &MDIForm1::mnuIngreso_Click);
    addSeparator(mov, "mnudum1");
    addItem(mov, "mnuPago", QStringLiteral("Registro de Egreso (Pagos)"), &MDIForm1::mnuPago_Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    QMenu *bco = mov->addMenu(QStringLiteral("Movimiento bancario"));
    bco->setObjectName(QStringLiteral("mnuBco"));
    bco->menuAction()->setObjectName(QStringLiteral("mnuBco"));
    addItem(bco, "mnoCajaABanco", QStringLiteral("Deposito de caja a Banco"), &MDIForm1::mnoCajaABanco_Click);
    addItem(bco, "mnuBcoCaja", QStringLiteral("Extraccion de Banco a caja"), &MDIForm1::mnuBcoCaja_Click);
    addSeparator(mov, "mnudum2");
    addItem(mov, "mnuExtracto", QStringLiteral("Importar extracto bancario..."), &MDIForm1::mnuExtracto_Click);

    QMenu *rep = bar->addMenu(QStringLiteral("Reportes"));
    rep->setObjectName(QStringLiteral("mnureportes"));
    addItem(rep, "mnuBalance", QStringLiteral("Balance"), &MDIForm1::mnuBalance_Click);
    addItem(rep, "mnuLibroSocios", QStringLiteral("Libro de Socios"), &MDIForm1::mnuLibroSocios_Click);
    addItem(rep, "mnuEstado", QStringLiteral("Estado de cuenta de socio"), &MDIForm1::mnuEstado_Click);
    addItem(rep, "mnuCuotaImpaga", QStringLiteral("Socios con cuota impaga"), &MDIForm1::mnuCuotaImpaga_Click);
    addItem(rep, "mnuCambios", QStringLiteral("Registro de cambios"), &MDIForm1::mnuCambios_Click);
    addItem(rep, "mnuAsamblea", QStringLiteral("Documentacion para la asamblea"), &MDIForm1::mnuAsamblea_Click);
    addSeparator(rep, "mnudu10");
    addItem(rep, "mnulibroex", QStringLiteral("Exportar libro a texto"), &MDIForm1::mnulibroex_Click);
    addItem(rep, "mnuBalanceEx", QStringLiteral("Exportar Balance a texto"), &MDIForm1::mnuBalanceEx_Click);
    addItem(rep, "mnuCuotaImpagaEx", QStringLiteral("Exportar cuota impaga a texto"),
            &MDIForm1::mnuCuotaImpagaEx_Click);
    addItem(rep, "mnuCambiosEx", QStringLiteral("Exportar registro de cambios"), &MDIForm1::mnuCambiosEx_Click);

    QMenu *help = bar->addMenu(QStringLiteral("Ayuda"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    addItem(help, "mnuHelp1", QStringLiteral("Manual"), &MDIForm1::mnuHelp1_Click);
    addItem(help, "mnuAbout", QStringLiteral("Acerca de"), &MDIForm1::mnuAbout_Click);

    QStatusBar *status = statusBar();
    status->setObjectName(QStringLiteral("StatusBar1"));
    const char *const texts[] = {"Saldo Caja:xxx", "Saldo Banco:xxx"};
    for (int i = 0; i < 2; ++i) {
        m_panels[i] = new QLabel(QString::fromLatin1(texts[i]), status);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        m_panels[i]->setFixedWidth(kPanelWidth);
        m_panels[i]->setFrameShape(QFrame::StyledPanel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        status->addWidget(m_panels[i]);
    }
    followChanges();
}

void MDIForm1::followChanges()
{
    const quint64 serial = ConexionSerial();
    if (!ConexionIsOpen() || m_watchSerial == serial)
        return;
    if (m_watch)
        m_watch->deleteLater();
    m_watchSerial = serial;
    try {
        m_watch = WatchChanges(Conexion(), this, [] {
            // Never under an open question or window: its own reading or
            // writing may be half done. The balances follow once it closes.
            if (QApplication::activeModalWidget())
                return false;
            Ledger::instance().notifyChanged();
            return true;
        });
    } catch (const RuntimeError &e) {
        MsgBox(ErrorText(e), MsgIcon::Exclamation);
    }
}

QAction *MDIForm1::addItem(QMenu *menu, const char *name, const QString &caption,
                           void (MDIForm1::*handler)())
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    if (handler)
        connect(a, &QAction::triggered, this, handler);
    addAction(a); // shortcuts work while the menu is closed
    return a;
}

void MDIForm1::addSeparator(QMenu *menu, const char *name)
{
    menu->addSeparator()->setObjectName(QString::fromLatin1(name));
}

QAction *MDIForm1::menuItem(const QString &name) const
{
    return findChild<QAction *>(name);
}

QString MDIForm1::panelText(int position) const
{
    return position >= 1 && position <= 2 ? m_panels[position - 1]->text() : QString();
}

void MDIForm1::setPanelText(int position, const QString &text)
{
    if (position >= 1 && position <= 2)
        m_panels[position - 1]->setText(text);
}

void MDIForm1::closeEvent(QCloseEvent *event)
{
    // The other windows close first: one that keeps unsaved work open keeps the
    // program (and its connection) running.
    if (!UnloadAllForms({objectName()})) {
        event->ignore();
        return;
    }
    CloseConexion();
    event->accept();
}

void MDIForm1::OpenGrilla(const QString &table)
{
    // A new table-editor window on every call.
    auto *grilla = new frmGrilla;
    if (!grilla->Load(table)) {
        delete grilla;
        return;
    }
    grilla->show();
}
void MDIForm1::mnuSocio_Click()
{
    // A new member list on every click, inside the main window.
    auto *list = new frmSocio;
    QMdiSubWindow *sub = m_mdi->addSubWindow(list);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->show();
    list->Form_Load();
}
void MDIForm1::mnuImportarSocios_Click()
{
    frmImportarSocios::Import(this);
}
void MDIForm1::mnucurso_Click() { OpenGrilla(QStringLiteral("Curso")); }
void MDIForm1::mnucuota_Click() { OpenGrilla(QStringLiteral("Cuota")); }
void MDIForm1::mnuCuentas_Click() { OpenGrilla(QStringLiteral("Cuenta")); }
void MDIForm1::mnuParam_Click()
{
    if (AskAdminPassword())
        OpenGrilla(QStringLiteral("Parametro"));
}
void MDIForm1::mnuMovis_Click()
{
    if (AskAdminPassword())
        OpenGrilla(QStringLiteral("Movimiento"));
}
void MDIForm1::mnuCierre_Click()
{
    if (AskAdminPassword())
        frmCierreEjercicio::open();
}
void MDIForm1::showShared(QWidget *window)
{
    // Modeless: brought up again when it is already open.
    window->show();
    window->raise();
    window->activateWindow();
}
void MDIForm1::mnuPagocuota_Click()
{
    showShared(frmCobroCuota::shared());
}
void MDIForm1::mnuIngreso_Click()
{
    showShared(frmOtroIngreso::shared());
}
void MDIForm1::mnuPago_Click()
{
    showShared(frmPagos::shared());
}
void MDIForm1::mnoCajaABanco_Click()
{
    frmMovimiento::open(QStringLiteral("CAJAABANCO"));
}
void MDIForm1::mnuBcoCaja_Click()
{
    frmMovimiento::open(QStringLiteral("BANCOACAJA"));
}
void MDIForm1::mnuExtracto_Click()
{
    frmExtracto::openChosenFile();
}
void MDIForm1::showReport(Report &report, PreviewMode mode)
{
    // A report that cannot be laid out says why; a cancelled question shows nothing.
    const ReportResult result = ShowReport(report, mode, this);
    if (result.failed())
        MsgBox(ErrorText(*result.error()), MsgIcon::Critical);
}
void MDIForm1::mnuBalance_Click()
{
    rptBalance report;
    showReport(report, PreviewMode::Modeless);
}
void MDIForm1::mnuLibroSocios_Click()
{
    rptLibroSocios report;
    showReport(report, PreviewMode::Modeless);
}
void MDIForm1::mnuEstado_Click()
{
    const qint64 idSocio = SelectSocio(this);
    // Closing the picker without choosing a member is no request for a statement.
    if (idSocio == 0)
        return;
    try {
        std::unique_ptr<rptReciboCuota> statement = MemberStatement(idSocio);
        showReport(*statement, PreviewMode::Modal);
    } catch (const RuntimeError &e) {
        MsgBox(ErrorText(e), MsgIcon::Critical);
    }
}
void MDIForm1::mnuCuotaImpaga_Click()
{
    rptCuotaImpaga report;
    showReport(report, PreviewMode::Modeless);
}
void MDIForm1::mnuAsamblea_Click()
{
    try {
        if (const std::optional<QDate> closing = ClosingDate(Conexion()))
            SaveAssemblyPapers(*closing);
        else
            MsgBox(QStringLiteral("No hay ningún ejercicio cerrado: ciérrelo en Maestros, Cerrar ejercicio."),
                   MsgIcon::Exclamation);
    } catch (const RuntimeError &e) {
        MsgBox(ErrorText(e), MsgIcon::Critical);
    }
}
void MDIForm1::mnulibroex_Click()
{
    rptLibroSocios report;
    ExportReport(report);
}
void MDIForm1::mnuBalanceEx_Click()
{
    rptBalance report;
    ExportReport(report);
}
void MDIForm1::mnuCuotaImpagaEx_Click()
{
    rptCuotaImpaga report;
    ExportReport(report);
}
void MDIForm1::mnuCambios_Click()
{
    rptCambios report;
    showReport(report, PreviewMode::Modeless);
}
void MDIForm1::mnuCambiosEx_Click()
{
    rptCambios report;
    ExportReport(report);
}
void MDIForm1::mnuHelp1_Click()
{
    OpenUserManual();
}
void MDIForm1::mnuAbout_Click()
{
    auto *about = new frmAbout(this);
    about->exec();
}
