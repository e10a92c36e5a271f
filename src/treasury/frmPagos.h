#pragma once
// The payments window: money going out, in cash or by cheque, charged to an
// expense account; refused when the cash box or the bank lacks the money; an
// optional payment order with both signatures.
#include "treasury/TreasuryWindow.h"

class DataCombo;
class QDateTimeEdit;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

class frmPagos : public TreasuryWindow
{
    Q_OBJECT
public:
    // The menu's one window, created when none is open.
    static frmPagos *shared();

private:
    frmPagos();
    void cmdOk_Click();
    // The payment may go on: an account, a readable amount, and the money in the chosen medium.
    bool paymentAccepted(double importe);
    void printOrder(const QString &importeTexto, const QString &detalle, bool cheque, const QString &cheques);

    DataCombo *datcboCuenta;
    QLineEdit *txtImporte;
    QGroupBox *Frame1;
    QRadioButton *optCheque;
    QRadioButton *optEfectivo;
    QLineEdit *txtCheque;
    QPlainTextEdit *txtDetalle;
    QDateTimeEdit *calFechaOperacion;
};
