#pragma once
// Settings, balances and receipt numbering. Balances are never stored: they
// are summed from the ledger every time.
#include "data/Ledger.h"

#include <QString>
#include <optional>

// The value of a `Parametro` row without surrounding blanks; "" when missing.
QString GetParametro(const QString &name);
// The balance of "CAJA" (exactly so spelt) or, for any other text, "BANCO";
// nothing, after showing the error, when it cannot be read.
std::optional<double> GetSaldo(const QString &medio);
// Both balances; nothing, after showing the error, when they cannot be read
// (a sum too large to hold is such an error, never a balance of 0).
std::optional<Balances> ReadBalances();
// The receipt number to propose: the highest stored receipt + 1, or the
// PROXIMORECIBO setting while no movement carries a receipt number. Nothing,
// after saying why, when it cannot be read or the numbering has run out.
std::optional<qint32> GetProximoRecibo();
