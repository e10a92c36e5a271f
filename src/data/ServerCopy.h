#pragma once
// Copies and checks of the books kept on a PostgreSQL server. A copy is an
// ordinary Tesorin SQLite file, the same as a copy of a file: a volunteer can
// open it with the program, take it home or keep it as the archive. Restoring
// a copy onto the server is RestoreServerFromFile (Migrate.h).
#include "data/Backup.h"
#include "data/ConnectionSettings.h"

#include <QDateTime>
#include <QString>

class QTextStream;

// Writes the server's books to the new file `target` (which must not exist):
// every row with its key, read in one read-only snapshot, so the copy is one
// moment even while others write; rows and exact sums checked against the
// server, the file checked in full, and only then given its name. "" or why
// not, in Spanish; nothing is left at `target` on failure. A table another
// program holds locked is waited for `waitMs` at most.
QString CopyServerToFile(const ConnectionSettings &server, const QString &target, int waitMs = kDbWaitMs);

// The day's first copy of the server's books, kept like a file's copies in the
// folder "copias" beside the configuration file `config` (the server has no
// folder of the user's: the configuration is the user's own place).
DailyCopy MakeServerDailyCopy(const ConnectionSettings &server, const QString &config, const QDateTime &now,
                              int waitMs = kDbWaitMs);

// What a check of the server's books found.
struct ServerCheck
{
    enum class State { Sound, Problems, NotChecked }; // NotChecked: unreachable or in use
    State state = State::Sound;
    QStringList problems; // each in Spanish; or why the server could not be checked
};
// The program's tables and columns exist with the kinds it stores, and the
// rows keep its rules: the one-letter codes, dates in the stored form, keys
// that number on, transfers whose two halves point at each other.
ServerCheck CheckServer(const ConnectionSettings &server, int waitMs = kDbWaitMs);

// tesorin --copia / --verificar / --restaurar when the configuration names a
// server (`option` with its argument): the exit status, the result said on
// `out` or `err`; -1 when the configuration names a file. Before a restore the
// server's books are copied aside to "antes-de-restaurar-<fecha>.db" in the
// copies folder, as a file's restore keeps the file it replaces.
int ServerCopyCommand(const QString &option, const QString &argument, QTextStream &out, QTextStream &err);
