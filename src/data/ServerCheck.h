#pragma once
// Reaching a PostgreSQL server: opening a connection to it, and trying it
// before its settings are saved. Every refusal is told the same way.
#include "data/ConnectionSettings.h"

#include <QString>

// Connects to the server `where` names with `password` (empty: libpq's
// password file, ~/.pgpass) and looks at the user's rights on the program's
// tables when they exist. "" when it works; otherwise what went wrong, in
// Spanish: no server, no such database, a wrong or missing password, no
// rights, followed by the driver's own words (never the password).
QString TestServerConnection(const ConnectionSettings &where, const QString &password);

// The connection options libpq gets for `where` (timeout and SSL mode).
QString ServerConnectOptions(const ConnectionSettings &where);

// Opens the connection `name` to the server `where` names (`password` empty:
// libpq's password file). false, with `error` in Spanish (naming the database,
// never a password, the driver's words after it), when it cannot.
bool OpenServerConnection(const QString &name, const ConnectionSettings &where, QString *error,
                          const QString &password = QString());
