#pragma once
// Trying a PostgreSQL server before its settings are saved.
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
