#pragma once
// What the table editor refuses beyond what the table itself refuses: a
// course, fee or account that other rows use is neither deleted nor given
// another number; the administrator password stays one that can be typed;
// a movement's codes are the capitals the balances and reports read; the two
// halves of a transfer are deleted, and change amount and date, together;
// a movement of the closed year is neither changed nor deleted, none is
// added or moved into it, and the closing day is set only by its window.
#include "data/ChangeRecord.h"
#include "masterdata/GridValues.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QVector>

// Why the row of `table` whose primary key is `key` may not be deleted, in
// `refusal` ("" when it may). Reads the table: run it inside the deleting transaction. False, with
// the database's error, when the reading fails.
bool DeleteRefusal(const QSqlDatabase &db, const QString &table, const QVariant &key, QString *refusal,
                   QSqlError *error);

// Why a row of `table` may not be written with `values` (`set` marks the
// fields the user set; `key`, the row's primary key, is null for a new row), in `refusal`. Reads the
// table: run it inside the writing transaction. False on a database error.
bool WriteRefusal(const QSqlDatabase &db, const QString &table, const QList<GridField> &fields, const QVariant &key,
                  const QVector<QVariant> &values, const QVector<bool> &set, QString *refusal, QSqlError *error);

// The other half of the transfer whose one half is the row of `table` keyed
// `key`: the movement its IDContraAsiento names, when that one names it back;
// null when there is none (another table, no transfer, or a half whose other
// half is gone). Reads the table: under the writing transaction when a write
// depends on it. False, with the database's error, when the reading fails.
bool TransferPartner(const QSqlDatabase &db, const QString &table, const QVariant &key, QVariant *partner,
                     QSqlError *error);

// The administrator password is never written in the record of changes: the
// reports, the record's among them, ask for no password. The entries of a
// Parametro row named ADMIN before or after the write (`before`, `after`: the
// row's values, either empty) keep the fact of a new password, not the text.
void HideAdminPassword(const QString &table, const QList<GridField> &fields, const QVector<QVariant> &before,
                       const QVector<QVariant> &after, QList<ChangeEntry> *entries);
inline const char *const kHiddenPassword = "(contraseña oculta)";

// A value typed in a coded field (a movement's Tipo and MedioPago) becomes
// its capital letter; anything else is refused with a Spanish `error`. Other
// fields pass as they are.
bool ReadCode(const QString &table, const QString &field, QVariant *value, QString *error);
