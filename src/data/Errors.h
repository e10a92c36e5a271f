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

// "Error #" + number + ": " + description.
QString ErrorText(const RuntimeError &error);
// Every entry of the collection (native number 3621 left out) as
// "Error #n: description", joined by carriage returns; "Este no es un error de
// ADO." + CR + ErrorText(current) when nothing is left; the waiting-time message
// when any entry speaks of a timeout.
QString ADOErrorText(const QList<DbErrorEntry> &errors, const RuntimeError &current);
// The same, for an error that carries its own collection.
QString ADOErrorText(const RuntimeError &error);
