#pragma once
// The record of the changes made to the books by hand. Each year a new
// treasurer takes over books that anyone with the password could have edited;
// the record says who changed what: every row the table editor adds, changes
// or deletes, column by column, with the moment, the computer's user and the
// computer's name, the table, the row's key and the values before and after.
//
// It is kept in the table Cambio, which the program only ever adds to: the
// file refuses any change or deletion of its rows, and on a server the
// volunteers' roles may add rows and read them, never change them. Entries
// are written in the caller's transaction, so that an edit and its record
// are stored together or not at all.
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVector>

// The table, as the program names it.
inline const char *const kChangeTable = "Cambio";

// What an entry says was done. Other kinds of change name themselves.
inline const char *const kChangeInsert = "Alta";
inline const char *const kChangeUpdate = "Cambio";
inline const char *const kChangeDelete = "Baja";

struct ChangeEntry
{
    QString operation; // kChangeInsert, kChangeUpdate, kChangeDelete, or another kind's own word
    QString table;     // as the program names it ("Movimiento")
    QVariant key;      // the row's key; null when the change is of no one row
    QString column;    // empty when the change is of no one column
    QVariant before;   // null: there was no value
    QVariant after;    // null: there is no value
};

// Who makes the changes and where: the Environment's names, or else the
// system's (the login's user, the computer's host name).
QString ChangeUser();
QString ChangeMachine();

// Adds the entries to the record on `db`, each stamped with the clock's
// moment, the user and the computer, inside the caller's transaction. Values
// are kept as text (ChangeText). Throws RuntimeError; when the books have no
// record yet, it says so and who can add it.
void RecordChanges(const QSqlDatabase &db, const QList<ChangeEntry> &entries);
void RecordChange(const QSqlDatabase &db, const QString &operation, const QString &table, const QVariant &key,
                  const QString &column, const QVariant &before, const QVariant &after);

// The entries for one row written by hand, one per column: a new row
// (`before` empty) and a deleted one (`after` empty) give the columns that
// hold a value; a changed row the columns whose value is another.
QList<ChangeEntry> RowChanges(const QString &table, const QVariant &key, const QStringList &columns,
                              const QVector<QVariant> &before, const QVector<QVariant> &after);

// A value as the record keeps it: a number in its shortest exact form with a
// point, a date in the stored form, a text as it is; null stays null.
QVariant ChangeText(const QVariant &value);
// Whether two stored values are the same value (2 and 2.0 are).
bool SameStoredValue(const QVariant &a, const QVariant &b);

// Whether the books hold the record: a file of an earlier version opened
// read-only, or a server's database its owner has not opened since, may not.
bool ChangeRecordPresent(const QSqlDatabase &db); // throws RuntimeError
