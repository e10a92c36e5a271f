#pragma once
// Where the books are: an SQLite file on this PC (the default) or a database
// on a PostgreSQL server shared by several volunteers. The configuration
// file's [DataSourceName] section is read into this; the password is never
// part of it (it comes from libpq's password file or is asked at start).
#include <QString>

enum class Engine { SQLite, PostgreSQL };

struct ConnectionSettings
{
    Engine engine = Engine::SQLite;
    QString file; // SQLite: the database file, absolute

    // PostgreSQL
    QString host;     // a host name, or a socket folder starting with '/'
    int port = 5432;
    QString database;
    QString user;
    QString sslMode = QStringLiteral("prefer"); // libpq's sslmode values

    bool isServer() const { return engine == Engine::PostgreSQL; }
    // What the user reads when told which books are meant: the file, or
    // "base@servidor:puerto" (never a password).
    QString describe() const
    {
        if (!isServer())
            return file;
        return database + QLatin1Char('@') + host + QLatin1Char(':') + QString::number(port);
    }
};
