#pragma once
// Copies of the association's database: made with SQLite's online backup (a
// consistent copy even while the program writes), checked with quick_check,
// one a day kept in the folder "copias" beside the file, the 30 newest kept.
#include <QDateTime>
#include <QString>
#include <QStringList>

// Copies the database at `source` to `target` (which must not exist);
// "" or the reason in Spanish. Nothing is left at `target` on failure.
QString CopyDatabase(const QString &source, const QString &target);

// quick_check of a database file: "" when it is sound, otherwise what is wrong.
QString CheckDatabase(const QString &path);

// The folder of the daily copies, and its copies, newest first.
QString CopiesFolder(const QString &database);
QStringList CopiesOf(const QString &database);
// The newest copy that passes quick_check; "" when there is none.
QString NewestGoodCopy(const QString &database);

struct DailyCopy
{
    QString made;    // the copy made now; "" when today's exists or none could be made
    QString warning; // why no copy could be made, for the user
};
// The first copy of the day, named tesorin-AAAA-MM-DD-HHMMSS.db after `now`.
DailyCopy MakeDailyCopy(const QString &database, const QDateTime &now);
// Checks the copy just made and only then removes all but the `keep` newest;
// a copy that fails its check is removed and said ("" when all went well).
QString FinishDailyCopy(const QString &database, const QString &made, int keep = 30);

// Puts `copy` in the place of `database` after checking it; the current file
// is kept aside as "<name>.antes-AAAA-MM-DD-HHMMSS". Refused while another
// program holds the database. "" or the reason.
QString RestoreDatabase(const QString &database, const QString &copy, const QDateTime &now);
