#include "treasury/frmMovimiento.h"
#include "data/Environment.h"
#include "data/Errors.h"
#include "data/FormHelpers.h"
#include "data/Ledger.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"

#include <QDateTimeEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

namespace {
QPointer<frmMovimiento> g_shared;
const QString kDeposito = QStringLiteral("CAJAABANCO");
} // namespace

frmMovimiento *frmMovimiento::open(const QString &sentido)
{
    if (!g_shared)
        g_shared = new frmMovimiento;
    g_shared->Sentido = sentido;
    g_shared->setWindowTitle(sentido == kDeposito ? QStringLiteral("Deposito de dinero en BANCO")
                                                  : QStringLiteral("Extraccion de dinero de banco a CAJA"));
    g_shared->show();
    g_shared->raise();
    g_shared->activateWindow();
    return g_shared;
}

frmMovimiento *frmMovimiento::existing()
{
    return g_shared;
}

frmMovimiento::frmMovimiento() : TreasuryWindow("frmMovimiento", QStringLiteral("Movimientos de Caja a Banco"))
{
    txtDetalle = detailBox(250);
    calFecha = datePicker("calFecha");
    txtImporte = amountBox(true);

    auto *grid = new QGridLayout;
    addRow(grid, 0, "lblDetalle", QStringLiteral("&Detalle Movimiento:"), txtDetalle, 3);
    addRow(grid, 1, "lblFecha", QStringLiteral("&Fecha Movimiento:"), calFecha);
    grid->addWidget(buddyLabel("lblImporte", QStringLiteral("&Importe"), txtImporte), 1, 2);
    grid->addWidget(txtImporte, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    setBody(grid);
    tabOrder({txtDetalle, calFecha, txtImporte, cmdOk, Cancel});
    resize(520, 220);

    connect(cmdOk, &QPushButton::clicked, this, &frmMovimiento::cmdOk_Click);
    CenterForm(this);
}

void frmMovimiento::cmdOk_Click()
{
    const QDateTime fecha = operationMoment();
    if (!amountAccepted(txtImporte) || !dayOpen(fecha))
        return;
    const bool deposito = Sentido == kDeposito;
    const QString prefix = deposito ? QStringLiteral("Va a realizar un deposito en BANCO ")
                                    : QStringLiteral("Va a realizar una extraccion de banco a caja chica ");
    if (!confirmed(prefix + QStringLiteral(", por $") + txtImporte->text() + QStringLiteral(" Esta seguro?")))
        return;
    try {
        // Withdrawals mark their expense row, as the bank's own statement does.
        Ledger::instance().transfer(deposito ? Medium::Cash : Medium::Bank, fecha,
                                    ReadAmount(txtImporte->text()), txtDetalle->toPlainText(),
                                    deposito ? std::nullopt : std::optional<QString>(QStringLiteral("ACAJA")));
    } catch (const RuntimeError &e) {
        showError(e);
        return;
    }
    MsgBox(QStringLiteral("Movimiento generado con exito!"), MsgIcon::Information);
    close(); // the next opening starts from a fresh window
}
