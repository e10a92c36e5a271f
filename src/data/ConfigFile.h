#pragma once
// Where the books are, as the configuration file says: its [DataSourceName]
// section read into ConnectionSettings, the user's own configuration written,
// and the warning for a file kept on a network drive.
#include "data/ConnectionSettings.h"

#include <QString>
#include <QStringList>

// The sslmode values libpq knows, in its order.
QStringList SslModes();

// Reads [DataSourceName] of the configuration file into `out`: DataSource= for
// a file (a relative path is taken from the configuration file's folder), or
// Servidor=, Puerto= (5432), Base=, Usuario=, SSL= (prefer) for a server.
// "" when it could be read, otherwise the text to show (ending with two CRs
// and the file's path); `out` is untouched then. A password key is refused.
QString ReadConnectionSettings(ConnectionSettings &out);

// The user's own configuration file: ${XDG_CONFIG_HOME:-~/.config}/tesorin/tesorin.ini.
QString UserConfigPath();

// Writes the configuration naming `where` (never a password) and the
// organisation's name to `path` at once: the old file stays whole until the
// new one is complete. The folder is created. "" or why not, in Spanish.
QString WriteConfigFile(const QString &path, const ConnectionSettings &where, const QString &nombre);

// The network file system the file at `path` lives on ("NFS", "SMB/CIFS",
// "SSHFS"), "" on a disk of this PC; env().networkFileSystem when set.
QString NetworkFileSystem(const QString &path);
// The warning for a database file on a network drive; "" on a local disk.
QString NetworkDriveWarning(const QString &database);
