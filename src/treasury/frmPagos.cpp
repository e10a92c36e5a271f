#include "treasury/frmPagos.h"
#include "data/IniFile.h"
#include "data/DataCombo.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/Errors.h"
#include "data/FormHelpers.h"
#include "data/Ledger.h"
#include "data/Parametros.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"
#include "reports/rptReciboCuota.h"

#include <QDateTimeEdit>
#include <QGridLayout>
#include <QLabel>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QPointer<frmPagos> g_shared;

void notEnoughMoney(bool cheque)
{
    MsgBox(cheque ? QStringLiteral("No tiene saldo suficiente en Banco para el pago a realizar!")
                  : QStringLiteral("No tiene saldo suficiente en CAJA para el pago a realizar!"),
           MsgIcon::Exclamation);
}
} // namespace

frmPagos *frmPagos::shared()
{
    if (!g_shared)
        g_shared = new frmPagos;
    return g_shared;
}

frmPagos::frmPagos() : TreasuryWindow("frmPagos", QStringLiteral("Ingreso de pagos (salida de dinero)"))
{
    datcboCuenta = Named(new DataCombo(this), "datcboCuenta");
    txtImporte = amountBox(true);
    Frame1 = Named(new QGroupBox(QStringLiteral("Medio de pago"), this), "Frame1");
    optCheque = Named(new QRadioButton(QStringLiteral("C&heque"), Frame1), "optCheque");
    optEfectivo = Named(new QRadioButton(QStringLiteral("&Efectivo"), Frame1), "optEfectivo");
    auto *media = new QVBoxLayout(Frame1);
    media->addWidget(optCheque);
    media->addWidget(optEfectivo);
    optCheque->setChecked(true);
    txtCheque = Named(new QLineEdit(this), "txtCheque");
    txtCheque->setMaxLength(20);
    txtDetalle = detailBox(250);
    calFechaOperacion = datePicker("calFechaOperacion");

    auto *grid = new QGridLayout;
    addRow(grid, 0, "lblCuenta", QStringLiteral("&Cuenta de egreso:"), datcboCuenta, 2);
    addRow(grid, 1, "lblImporte", QStringLiteral("&Importe"), txtImporte);
    grid->addWidget(Frame1, 1, 2, 2, 1);
    addRow(grid, 2, "lblCheque", QStringLiteral("&Numero Cheque:"), txtCheque);
    addRow(grid, 3, "lblFecha", QStringLiteral("&Fecha de operacion: "), calFechaOperacion);
    addRow(grid, 4, "lblDetalle", QStringLiteral("&Detalle Egreso:"), txtDetalle, 2);
    grid->setColumnStretch(1, 1);
    setBody(grid);
    tabOrder({datcboCuenta, txtImporte, optCheque, optEfectivo, txtCheque, txtDetalle, cmdOk, Cancel,
                 calFechaOperacion});
    resize(480, 340);

    // However "Efectivo" is chosen (click, keyboard, a screen reader's action), the cheque number goes.
    connect(optEfectivo, &QRadioButton::toggled, txtCheque, [this](bool checked) {
        if (checked)
            txtCheque->clear();
    });
    connect(cmdOk, &QPushButton::clicked, this, &frmPagos::cmdOk_Click);

    CenterForm(this);
    fillCombo(*datcboCuenta, Dialect::OrderedAsFile(EngineOf(Conexion()), QStringLiteral("SELECT * FROM Cuenta WHERE tipo='E'"),
                                                    {{QStringLiteral("IDcuentapadre"), false}, {QStringLiteral("Descripcion")}}),
              QStringLiteral("IDCuenta"), QStringLiteral("Descripcion"), QStringLiteral("Cuentas"));
}

bool frmPagos::paymentAccepted(double importe)
{
    if (!accountChosen(datcboCuenta) || !amountAccepted(txtImporte))
        return false;
    // Asked before the question, so nobody confirms a payment for nothing; the
    // ledger checks again when it writes.
    const bool cheque = optCheque->isChecked();
    const std::optional<double> saldo = GetSaldo(cheque ? QStringLiteral("BANCO") : QStringLiteral("CAJA"));
    if (!saldo)
        return false; // the reading's error is already shown
    if (!Ledger::covers(*saldo, importe)) {
        notEnoughMoney(cheque);
        return false;
    }
    return true;
}

void frmPagos::printOrder(const QString &importeTexto, const QString &detalle, bool cheque, const QString &numero)
{
    const QString payee = InputBox(QStringLiteral("A nombre de quien se emitira el pago?"), AppTitle(),
                                   QStringLiteral("Cooperador"));
    rptReciboCuota order;
    order.lblCooperadora.caption = OrganisationName();
    order.lblRecibimos.caption = PaymentOrderBody(payee, importeTexto, detalle, cheque, numero);
    order.lblPresidente.visible = true;
    order.lnPresidente.visible = true;
    PrintDocument(order);
}

void frmPagos::cmdOk_Click()
{
    const QDateTime fecha = operationMoment();
    const QString importeTexto = txtImporte->text();
    const double importe = ReadAmount(importeTexto);
    if (!paymentAccepted(importe) || !dayOpen(fecha))
        return;
    if (!confirmed(QStringLiteral("Va a ingresar un movimiento de egreso a  ") + datcboCuenta->currentText()
                   + QStringLiteral(", por $") + importeTexto + QStringLiteral(" Esta seguro?")))
        return;
    try {
        Movement pago;
        pago.fecha = fecha;
        pago.idCuenta = datcboCuenta->boundText().toLongLong();
        pago.importe = importe;
        pago.medio = optCheque->isChecked() ? Medium::Bank : Medium::Cash;
        pago.chequeNumero = txtCheque->text();
        pago.descripcion = txtDetalle->toPlainText();
        if (Ledger::instance().recordPayment(pago) == Ledger::PaymentOutcome::NotEnoughMoney) {
            // Another program spent the money meanwhile: the status bar shows
            // the balance the refusal found, not the one read before.
            Ledger::instance().notifyChanged();
            notEnoughMoney(pago.medio == Medium::Bank);
            return;
        }
        // The balances follow the ledger: they are right even if printing fails.
        if (MsgBox(QStringLiteral("Desea imprimir una orden de pago?"), MsgIcon::Question, MsgButtons::YesNo, 0)
            == MsgResult::Yes)
            printOrder(importeTexto, pago.descripcion, optCheque->isChecked(), txtCheque->text());
        MsgBox(QStringLiteral("Pago generado con exito!"), MsgIcon::Information);
        txtImporte->clear();
        txtDetalle->clear();
        datcboCuenta->setBoundText(QString());
    } catch (const RuntimeError &e) {
        showError(e);
    }
}
