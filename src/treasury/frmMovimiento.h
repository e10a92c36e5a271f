#pragma once
// The cash/bank transfer window: a deposit of cash in the bank or a
// withdrawal from the bank into the cash box, written as two linked
// movements that exist together or not at all.
#include "treasury/TreasuryWindow.h"

class QDateTimeEdit;
class QLineEdit;
class QPlainTextEdit;

class frmMovimiento : public TreasuryWindow
{
    Q_OBJECT
public:
    // The direction: "CAJAABANCO" (deposit) or "BANCOACAJA" (withdrawal).
    QString Sentido;

    // Writes the direction into the one window (created when none is open),
    // gives it the direction's caption and shows it; an open window keeps
    // what was typed.
    static frmMovimiento *open(const QString &sentido);
    // The open window, or nullptr.
    static frmMovimiento *existing();

private:
    frmMovimiento();
    void cmdOk_Click();

    QPlainTextEdit *txtDetalle;
    QDateTimeEdit *calFecha;
    QLineEdit *txtImporte;
};
