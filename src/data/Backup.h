#pragma once
// Copies of the association's database: made with SQLite's online backup (a
// consistent copy even while the program writes), checked, one a day kept in
// the folder "copias" beside the file, the 30 newest kept.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

// How long a copy or a check waits, at most, while another program holds the file.
constexpr int kDbWaitMs = 5000;

// Copies the database at `source` to `target` (which must not exist);
// "" or the reason in Spanish. Nothing is left at `target` on failure.
QString CopyDatabase(const QString &source, const QString &target, int waitMs = kDbWaitMs);

// What a check of a database file found.
struct DbCheck
{
    enum class State { Sound, Damaged, InUse, CannotOpen };
    State state = State::Sound;
    qint64 code = 0; // SQLite's result code behind a state other than Sound
    QString raw;     // the database's own words, for whoever gives support
    bool sound() const { return state == State::Sound; }
    // What went wrong and what to do, in Spanish, the raw words after it.
    QString description() const;
};
// quick_check reads every page but compares no index with its table: enough
// at start-up, where a large file takes seconds. integrity_check also finds an
// index that lost its rows. Either way the file must hold every table and
// column the program opens it with. Busy is not damage: the result is InUse.
enum class CheckDepth { Quick, Full };
DbCheck CheckDatabase(const QString &path, CheckDepth depth = CheckDepth::Quick, int waitMs = kDbWaitMs);

// The folder of the daily copies, and its copies (only names of the form
// tesorin-AAAA-MM-DD-HHMMSS.db: other files there are the user's), newest first.
QString CopiesFolder(const QString &database);
QStringList CopiesOf(const QString &database);
// The newest copy that passes the full check; "" when there is none.
QString NewestGoodCopy(const QString &database);

struct DailyCopy
{
    QString made;    // the copy made now; "" when today's exists or none could be made
    QString warning; // why no copy could be made, for the user
};
// The first copy of the day, named tesorin-AAAA-MM-DD-HHMMSS.db after `now`.
DailyCopy MakeDailyCopy(const QString &database, const QDateTime &now, int waitMs = kDbWaitMs);
// The same, the copy made by `copy` at the target it is given ("" or why not):
// the books of a server, kept in the folder beside `database`.
DailyCopy MakeDailyCopyWith(const QString &database, const QDateTime &now,
                            const std::function<QString(const QString &target)> &copy);
// Checks the copy just made and only then removes all but the `keep` newest;
// a copy that fails its check is removed and said ("" when all went well).
QString FinishDailyCopy(const QString &database, const QString &made, int keep = 30);

// Puts `copy` in the place of `database` after checking it in full; the
// current file is kept aside as "<name>.antes-AAAA-MM-DD-HHMMSS". Refused
// while any instance of the program has the database open, or another
// program holds it. "" or the reason.
QString RestoreDatabase(const QString &database, const QString &copy, const QDateTime &now);
// The full check of a copy about to be restored: "" when sound, or why it is refused.
QString CheckCopyToRestore(const QString &copy);
// The refusal of whatever needs the database alone while an instance has it open.
QString OpenElsewhereText(const QString &database);
