#pragma once
// Settings, balances and receipt numbering. Balances are never stored: they
// are summed from the ledger every time.
#include <QString>

// The value of a `Parametro` row without surrounding blanks; "" when missing.
QString GetParametro(const QString &name);
// The balance of "CAJA" (exactly so spelt) or, for any other text, "BANCO";
// 0 after showing the error when it cannot be read.
double GetSaldo(const QString &medio);
// The receipt number to propose: the highest stored receipt + 1, or the
// PROXIMORECIBO setting while no movement carries a receipt number.
qint32 GetProximoRecibo();
