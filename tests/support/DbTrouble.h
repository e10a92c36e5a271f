#pragma once
// What the tests of copies and checks do to a database: hold it from a second
// program (db_holder, see DbHolder.cpp), or damage it the way only a full check finds.
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

#include "data/Database.h"

class HeldDatabase
{
public:
    // `mode` is "open" (the program open and idle) or "lock" (another program's lock).
    HeldDatabase(const QString &mode, const QString &path)
    {
        m_process.start(QStringLiteral(DB_HOLDER), {mode, path});
        m_held = m_process.waitForReadyRead(10000) && m_process.readAll().startsWith("listo");
    }
    ~HeldDatabase() { release(); }
    bool held() const { return m_held; }
    void release()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
    bool m_held = false;
};

// Puts the (empty) index of members' names over the root of the index of
// movement dates: every page is well formed, but the dated movements are gone
// from their index, so a selection by date finds none.
inline bool EmptyTheDateIndex(const QString &path)
{
    int pageSize = 0, from = 0, to = 0;
    {
        QList<DbErrorEntry> errors;
        if (!OpenConnection(QStringLiteral("damage"), path, &errors))
            return false;
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("damage")));
        q.exec(QStringLiteral("PRAGMA page_size"));
        pageSize = q.next() ? q.value(0).toInt() : 0;
        q.exec(QStringLiteral("SELECT name, rootpage FROM sqlite_master WHERE name IN ('Socio_Nombre', 'Movimiento_Fecha')"));
        while (q.next())
            (q.value(0).toString() == QLatin1String("Socio_Nombre") ? from : to) = q.value(1).toInt();
    }
    CloseConnection(QStringLiteral("damage"));
    QFile f(path);
    if (!pageSize || !from || !to || !f.open(QIODevice::ReadWrite) || !f.seek(qint64(from - 1) * pageSize))
        return false;
    const QByteArray page = f.read(pageSize);
    return f.seek(qint64(to - 1) * pageSize) && f.write(page) == pageSize;
}
