#pragma once
// The other-income window: money received into the cash box that is not a
// member's fee, against an income account, with an optional receipt made out
// to a name typed at the moment.
#include "treasury/TreasuryWindow.h"

class DataCombo;
class QDateTimeEdit;
class QLineEdit;

class frmOtroIngreso : public TreasuryWindow
{
    Q_OBJECT
public:
    // The menu's one window, created when none is open.
    static frmOtroIngreso *shared();

private:
    frmOtroIngreso();
    void cmdOk_Click();

    DataCombo *datcboCuenta;
    QLineEdit *txtDetalle;
    QLineEdit *txtImporte;
    QDateTimeEdit *calFechaOperacion;
};
