#pragma once
// Run-time errors and the two texts with which the program reports them.
#include <QList>
#include <QString>
#include <exception>

class QSqlError;

// One entry of the database's error collection: SQLite's extended result
// code and its message.
struct DbErrorEntry
{
    qint64 nativeNumber = 0;
    QString description;
};

// A run-time error: a number and a description. Errors raised by the database
// carry SQLite's code and message, and the database's error collection.
class RuntimeError : public std::exception
{
public:
    RuntimeError(qint64 number, QString description, QList<DbErrorEntry> dbErrors = {});
    static RuntimeError fromSql(const QSqlError &error);
    // An error of SQLite's own API: its result code and message.
    static RuntimeError fromSqlite(qint64 code, const QString &driverText);

    qint64 number() const { return m_number; }
    const QString &description() const { return m_description; }
    const QList<DbErrorEntry> &dbErrors() const { return m_dbErrors; }
    const char *what() const noexcept override;

private:
    qint64 m_number;
    QString m_description;
    QList<DbErrorEntry> m_dbErrors;
    QByteArray m_what;
};

// Common run-time error numbers.
enum : int { ErrOverflow = 6, ErrTypeMismatch = 13, ErrInvalidUse = 5 };

// What a database result code means to the user, in one Spanish sentence that
// says what happened and what to do; "" for codes that have none. Extended
// codes are read by their primary code (a busy recovery is "busy").
QString DbCodeAdvice(qint64 code);
// The description a database error is shown with: the advice, then the
// driver's own words in brackets for whoever gives support.
QString DbErrorDescription(qint64 code, const QString &driverText);
// SQLite's primary result codes the program tells apart.
enum : int {
    DbBusy = 5, DbLocked = 6, DbReadOnly = 8, DbIoErr = 10, DbCorrupt = 11, DbFull = 13,
    DbCantOpen = 14, DbConstraint = 19, DbNotADb = 26
};
// True for "busy"/"locked": another program holds the file; wait or retry.
bool IsDbBusy(qint64 code);

// True for an error of a PostgreSQL server (its code is the SQLSTATE).
bool IsServerError(const QSqlError &error);
// The result code and the words of a database's error. A server's SQLSTATE is
// read as SQLite's code of the same meaning (a refused statement is 1), and
// its words are its first line, without the severity and the statement's text.
qint64 DbErrorCode(const QSqlError &error);
QString DbErrorText(const QSqlError &error);

// "Error #" + number + ": " + description.
QString ErrorText(const RuntimeError &error);
// Every entry of the collection (native number 3621 left out) as
// "Error #n: description", joined by carriage returns; "Este no es un error de
// ADO." + CR + ErrorText(current) when nothing is left; the waiting-time message
// when any entry speaks of a timeout.
QString ADOErrorText(const QList<DbErrorEntry> &errors, const RuntimeError &current);
// The same, for an error that carries its own collection.
QString ADOErrorText(const RuntimeError &error);
