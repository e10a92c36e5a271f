#include "treasury/frmCobroCuota.h"
#include "data/IniFile.h"
#include "data/DataCombo.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/Ledger.h"
#include "data/FormHelpers.h"
#include "data/Parametros.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"
#include "members/frmSocio.h"
#include "reports/rptReciboCuota.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlRecord>
#include <cmath>

namespace {

QPointer<frmCobroCuota> g_shared;

// A receipt number is a whole number from 1 to 2147483647.
std::optional<qint32> receiptNumber(const QString &answer)
{
    if (!IsNumeric(answer, env().locale))
        return std::nullopt;
    const double v = ToDouble(answer, env().locale);
    if (v < 1 || v > 2147483647.0 || std::floor(v) != v)
        return std::nullopt;
    return static_cast<qint32>(v);
}

// A receipt number another movement carries is stored only when the user says
// so: two paper receipts with one number are usually a slip of the pen.
// Asked when a movement already carries the receipt number.
bool receiptMayRepeat(qint64 numero)
{
    const std::optional<qint64> other = Ledger::instance().movementWithReceipt(numero);
    if (!other)
        return true;
    QSqlQuery q = Exec(QStringLiteral("SELECT Descripcion, Fecha FROM Movimiento WHERE IDMovimiento = ?"), {*other});
    const bool found = q.next();
    const QString descripcion = found ? TextOrEmpty(q.value(0)) : QString();
    const QString dia = found ? DbDate(q.value(1)).toString(ShortDateFormat(env().locale)) : QString();
    return MsgBox(QStringLiteral("El recibo %1 ya figura en el movimiento %2 (%3, %4). Desea guardarlo de todos modos?")
                      .arg(numero)
                      .arg(*other)
                      .arg(descripcion, dia),
                  MsgIcon::Question, MsgButtons::YesNo, 1)
           == MsgResult::Yes;
}

} // namespace

frmCobroCuota::frmCobroCuota(QWidget *parent)
    : TreasuryWindow("frmCobroCuota", QStringLiteral("Ingreso de cuota"))
{
    if (parent)
        setParent(parent, windowFlags());
    txtSocioNumero = Named(new QLineEdit(this), "txtSocioNumero");
    txtSocioNumero->installEventFilter(this);
    cmdBuscarSocio = Named(new QPushButton(QStringLiteral("&Buscar socio"), this), "cmdBuscarSocio");
    cmdBuscarSocio->setAutoDefault(false);
    lblSocioNombre = Named(new QLabel(QString(41, QLatin1Char('X')), this), "lblSocioNombre");
    datcboCurso = Named(new DataCombo(this), "datcboCurso");
    txtImporte = amountBox(false);
    calFechaOperacion = datePicker("calFechaOperacion");
    chkRecibo = Named(new QCheckBox(QStringLiteral("Se emitio recibo manual"), this), "chkRecibo");

    auto *grid = new QGridLayout;
    addRow(grid, 0, "lblApellido", QStringLiteral("&Socio:"), txtSocioNumero);
    grid->addWidget(cmdBuscarSocio, 0, 2);
    grid->addWidget(lblSocioNombre, 1, 1, 1, 2);
    addRow(grid, 2, "lblComprobante", QStringLiteral("C&uota:"), datcboCurso, 2);
    addRow(grid, 3, "Label1", QStringLiteral("&Importe"), txtImporte);
    addRow(grid, 4, "Label2", QStringLiteral("&Fecha de operacion: "), calFechaOperacion);
    grid->addWidget(chkRecibo, 5, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    setBody(grid);
    resize(440, 240);

    connect(cmdBuscarSocio, &QPushButton::clicked, this, &frmCobroCuota::cmdBuscarSocio_Click);
    connect(cmdOk, &QPushButton::clicked, this, &frmCobroCuota::cmdOk_Click);
    connect(datcboCurso, &QComboBox::currentIndexChanged, this, &frmCobroCuota::datcboCurso_Change);

    // Window load.
    CenterForm(this);
    fillCombo(*datcboCurso, FeesNewestFirst(), QStringLiteral("IDCuota"), QStringLiteral("Descripcion"),
              QStringLiteral("Cursos"));
}

frmCobroCuota *frmCobroCuota::shared()
{
    if (!g_shared)
        g_shared = new frmCobroCuota;
    return g_shared;
}

frmCobroCuota *frmCobroCuota::openFromList(frmSocio &list, qint64 idSocio)
{
    auto *w = new frmCobroCuota;
    w->show();
    w->txtSocioNumero->setText(QString::number(idSocio));
    w->txtSocioNumero->setFocus();
    w->txtSocioNumero_LostFocus();
    // The list goes to the top-left corner and the fee window stands at its right.
    QWidget *frame = list.frame();
    frame->move(0, 0);
    const QPoint right = frame->mapToGlobal(QPoint(frame->frameGeometry().width() + 1, 0));
    const int screenWidth = env().screenSize().width();
    w->move(qMax(0, qMin(right.x(), screenWidth - w->frameGeometry().width())), w->y());
    return w;
}

bool frmCobroCuota::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtSocioNumero && event->type() == QEvent::FocusOut)
        txtSocioNumero_LostFocus();
    return QWidget::eventFilter(watched, event);
}

void frmCobroCuota::enterPressed()
{
    // A number just typed is looked up first, as when the box loses focus to a click.
    if (txtSocioNumero->hasFocus())
        txtSocioNumero_LostFocus();
    cmdOk->click();
}

void frmCobroCuota::txtSocioNumero_LostFocus()
{
    const QString text = txtSocioNumero->text().trimmed();
    if (text.isEmpty() || !IsNumeric(text, env().locale))
        return;
    // Member numbers are carried whole; a number beyond any key matches no member.
    const double v = std::nearbyint(ToDouble(text, env().locale));
    if (std::isfinite(v) && std::fabs(v) < 9.0e15)
        LoadSocio(qint64(v));
}

void frmCobroCuota::LoadSocio(qint64 numero)
{
    try {
        QSqlQuery q = Exec(QStringLiteral("SELECT * from socio where IDSocio=?"), {numero});
        if (q.next()) {
            lblSocioNombre->setText(DisplayText(TextOrEmpty(q.value(QStringLiteral("Nombre")))));
            m_socio = numero;
        }
    } catch (const RuntimeError &e) {
        MsgBox(QStringLiteral("Ha ocurrido un error al llenar la lista de Socios.") + QStringLiteral("\r\r") + ErrorText(e),
               MsgIcon::Critical);
    }
}

void frmCobroCuota::cmdBuscarSocio_Click()
{
    const qint64 n = SelectSocio(this);
    if (n != 0) {
        txtSocioNumero->setText(QString::number(n));
        LoadSocio(n);
    }
}

void frmCobroCuota::datcboCurso_Change()
{
    if (const QSqlRecord *cuota = datcboCurso->currentRow())
        // Written the way the amount is read back: with a point as decimal mark.
        txtImporte->setText(GeneralNumber(NumberOrZero(cuota->value(QStringLiteral("Valor"))), QLocale::c()));
}

bool frmCobroCuota::inputAccepted()
{
    QString refusal;
    if (m_socio == 0)
        refusal = QStringLiteral("Debe seleccionar un socio");
    else if (!datcboCurso->currentRow())
        refusal = QStringLiteral("Debe seleccionar una cuota");
    if (!refusal.isEmpty()) {
        MsgBox(refusal, MsgIcon::Exclamation);
        return false;
    }
    return amountAccepted(txtImporte);
}

void frmCobroCuota::cmdOk_Click()
{
    const QDateTime fecha = operationMoment();
    if (!inputAccepted() || !dayOpen(fecha))
        return;
    const QString cuotaTexto = datcboCurso->currentText();
    const QString socioNombre = lblSocioNombre->text();
    const QString importeTexto = txtImporte->text();
    if (!confirmed(QStringLiteral("Va a ingresar el pago de cuota ") + cuotaTexto + QStringLiteral(" para ")
                   + socioNombre + QStringLiteral(", por $") + importeTexto + QStringLiteral(" Esta seguro?")))
        return;

    try {
        const QSqlRecord cuota = *datcboCurso->currentRow();
        const qint64 idCuota = cuota.value(QStringLiteral("IDCuota")).toLongLong();
        Ledger &ledger = Ledger::instance();
        // Asked before the receipt number, so nobody types one for nothing; the
        // ledger checks again when it writes.
        if (ledger.feeAlreadyPaid(m_socio, idCuota)) {
            MsgBox(QStringLiteral("Ya esta cobrada esa cuota!"), MsgIcon::Exclamation);
            return;
        }

        Movement pago;
        if (chkRecibo->isChecked()) {
            const std::optional<qint32> proximo = GetProximoRecibo();
            if (!proximo)
                return; // already said why
            const auto numero = receiptNumber(
                InputBox(QStringLiteral("Ingrese numero de recibo"), AppTitle(), QString::number(*proximo)));
            if (!numero) {
                MsgBox(QStringLiteral("El recibo debe ser numerico, de 1 a 2147483647"), MsgIcon::Exclamation);
                return;
            }
            pago.recibo = *numero;
        }
        pago.fecha = fecha;
        pago.idSocio = m_socio;
        pago.idCuota = idCuota;
        const QVariant cuenta = cuota.value(QStringLiteral("IDCuenta"));
        if (!cuenta.isNull())
            pago.idCuenta = cuenta.toLongLong();
        pago.tipo = Direction::Income;
        pago.importe = ReadAmount(importeTexto);
        pago.medio = Medium::Cash;
        pago.descripcion = TextOrEmpty(cuota.value(QStringLiteral("Descripcion")));
        // A receipt number another movement carries (stored long ago, or by
        // another PC while the box was open) is refused where it is written;
        // then the user decides, knowing which movement has it.
        Ledger::FeeOutcome outcome = ledger.recordFee(pago);
        if (outcome == Ledger::FeeOutcome::ReceiptTaken) {
            if (!receiptMayRepeat(*pago.recibo))
                return;
            outcome = ledger.recordFee(pago, nullptr, Ledger::ReceiptUse::MayRepeat);
        }
        if (outcome == Ledger::FeeOutcome::AlreadyPaid) {
            MsgBox(QStringLiteral("Ya esta cobrada esa cuota!"), MsgIcon::Exclamation);
            return;
        }

        if (pago.recibo) {
            MsgBox(QStringLiteral("Datos guardados con recibo ") + QString::number(*pago.recibo),
                   MsgIcon::Information);
        } else if (MsgBox(QStringLiteral("Desea imprimir el recibo?"), MsgIcon::Question, MsgButtons::YesNo)
                   == MsgResult::Yes) {
            rptReciboCuota r;
            r.lblCooperadora.caption = OrganisationName();
            r.lblRecibimos.caption = FeeReceiptBody(socioNombre, importeTexto, cuotaTexto);
            r.lblHistorialPagos.caption =
                PaymentHistoryText(ledger.paymentHistory(m_socio), env().locale);
            PrintDocument(r);
        }
        datcboCurso->setBoundText(QString());
    } catch (const RuntimeError &e) {
        // A movement already stored stays: the ledger has told the balances.
        showError(e);
    }
}
