#include "treasury/frmOtroIngreso.h"
#include "data/IniFile.h"
#include "data/Database.h"
#include "data/DataCombo.h"
#include "data/Environment.h"
#include "data/Errors.h"
#include "data/FormHelpers.h"
#include "data/Ledger.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"
#include "reports/rptReciboCuota.h"

#include <QDateTimeEdit>
#include <QGridLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {
QPointer<frmOtroIngreso> g_shared;
}

frmOtroIngreso *frmOtroIngreso::shared()
{
    if (!g_shared)
        g_shared = new frmOtroIngreso;
    return g_shared;
}

frmOtroIngreso::frmOtroIngreso() : TreasuryWindow("frmOtroIngreso", QStringLiteral("Otros ingresos"))
{
    datcboCuenta = Named(new DataCombo(this), "datcboCuenta");
    txtDetalle = Named(new QLineEdit(this), "txtDetalle");
    txtImporte = amountBox(false);
    calFechaOperacion = datePicker("calFechaOperacion");

    auto *grid = new QGridLayout;
    addRow(grid, 0, "lblComprobante", QStringLiteral("&Cuenta de ingreso:"), datcboCuenta);
    addRow(grid, 1, "Label2", QStringLiteral("&Detalle Ingreso:"), txtDetalle);
    addRow(grid, 2, "Label1", QStringLiteral("&Importe"), txtImporte);
    addRow(grid, 3, "Label3", QStringLiteral("&Fecha de operacion: "), calFechaOperacion);
    grid->setColumnStretch(1, 1);
    setBody(grid);
    resize(440, 220);

    connect(cmdOk, &QPushButton::clicked, this, &frmOtroIngreso::cmdOk_Click);

    CenterForm(this);
    fillCombo(*datcboCuenta, Dialect::OrderedAsFile(EngineOf(Conexion()), QStringLiteral("SELECT * FROM Cuenta WHERE tipo='I'"),
                                                    {{QStringLiteral("Descripcion")}}),
              QStringLiteral("IDCuenta"), QStringLiteral("Descripcion"), QStringLiteral("Cuentas"));
}

void frmOtroIngreso::cmdOk_Click()
{
    const QDateTime fecha = operationMoment();
    // Refused before the question: without an account the movement could not be charged anywhere.
    if (!accountChosen(datcboCuenta) || !amountAccepted(txtImporte) || !dayOpen(fecha))
        return;
    const QString importeTexto = txtImporte->text();
    if (!confirmed(QStringLiteral("Va a ingresar un movimiento de ingreso a  ") + datcboCuenta->currentText()
                   + QStringLiteral(", por $") + importeTexto + QStringLiteral(" Esta seguro?")))
        return;
    try {
        Movement ingreso;
        ingreso.fecha = fecha;
        ingreso.idCuenta = datcboCuenta->boundText().toLongLong();
        ingreso.importe = ReadAmount(importeTexto);
        ingreso.medio = Medium::Cash;
        ingreso.descripcion = txtDetalle->text();
        Ledger::instance().recordIncome(ingreso);
        // The balances follow the ledger: they are right even if printing fails.
        if (MsgBox(QStringLiteral("Desea imprimir el recibo?"), MsgIcon::Question, MsgButtons::YesNo)
            == MsgResult::Yes) {
            const QString receiver = InputBox(QStringLiteral("A nombre de quien sale el recibo?"), AppTitle(),
                                              QStringLiteral("Cooperador"));
            rptReciboCuota receipt;
            receipt.lblCooperadora.caption = OrganisationName();
            receipt.lblRecibimos.caption = IncomeReceiptBody(receiver, importeTexto, ingreso.descripcion);
            receipt.lblHistorialPagos.caption = QString();
            PrintDocument(receipt);
        }
        MsgBox(QStringLiteral("Ingreso registrado con exito!"), MsgIcon::Information);
        txtImporte->clear();
        txtDetalle->clear();
        datcboCuenta->setBoundText(QString());
    } catch (const RuntimeError &e) {
        showError(e);
    }
}
