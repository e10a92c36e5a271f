#pragma once
// Members from the class lists the school sends each March as spreadsheets.
// A row of the list is a member (a parent or tutor) and the pupil; it is
// added, or, when the member is already on the roll, left alone or updated.
// A row names the member already on the roll when its DNI has the same
// digits ("20.123.456" is "20123456"), or when its member and pupil read
// the same without accents and case. Courses are named by their name, the
// ones missing created. Everything is written in one transaction.
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

// The fields a list may hold, in the window's order: the member's columns of
// Socio, and "Curso" for the course's name.
QStringList MemberImportFields();
// How the field is called on the screen ("Teléfono").
QString MemberImportLabel(const QString &field);
// The longest text the member window takes for the field; 0: no limit.
int MemberImportLimit(const QString &field);
// The titles that propose each field (folded, for ColumnsFromTitles).
QList<std::pair<QString, QStringList>> MemberImportTitles();

// The list as read, and which column holds each field (missing or -1: none).
struct MemberImportSource
{
    QList<QStringList> rows;
    QHash<QString, int> columns;
    bool titleRow = true; // the first row holds the titles, not a member
};

// What the import compares with: the members and the courses.
struct MemberRoll
{
    struct Member
    {
        qint64 id = 0;
        QHash<QString, QString> values; // the text columns as stored ("" for null)
        QVariant idCurso;               // null: no course
    };
    QList<Member> members;
    QHash<QString, QList<int>> byDni;       // digits of the DNI → positions in members
    QHash<QString, QList<int>> byNameAndPupil; // folded member + pupil → positions
    QHash<QString, qint64> courseByName;    // folded name → IDCurso
    QHash<qint64, QString> courseNames;
};
MemberRoll ReadMemberRoll(const QSqlDatabase &db); // throws RuntimeError

struct MemberImportRow
{
    enum class Action { Add, Update, Omit };
    int line = 0; // the list's row, 1 the first (the titles included)
    Action action = Action::Add;
    qint64 member = 0;             // the member on the roll the row names
    QHash<QString, QString> values; // the fields, trimmed, cut to their limits
    QString course;                 // the course's name as the list writes it
    QStringList changedFields;      // of a member on the roll: the fields the list changes
    QStringList changes;            // the same as shown: "Teléfono: 4444 → 5555"
    QStringList cut;                // the fields cut to their limits
    QString note;                   // why it is omitted, or what is left alone
};

struct MemberImportPlan
{
    QList<MemberImportRow> rows;
    QStringList newCourses; // as the list first writes them
    int added = 0, updated = 0, omitted = 0;
    int cutValues = 0;
};

// What importing the list over the roll would do; with `updateExisting`
// false the members already on the roll are omitted.
MemberImportPlan PlanMemberImport(const MemberRoll &roll, const MemberImportSource &source, bool updateExisting);

// "N socios agregados, M actualizados, K omitidos".
QString MemberImportSummary(const MemberImportPlan &plan);

// The operation word of the import's entry in the record of changes.
inline const char *const kChangeImport = "Importación";

// Imports the list: the plan made again under the write lock (another PC may
// have added members since the window showed it), the new courses, the
// members added and updated, and one entry in the record of changes naming
// `fileName` and the counts, all in one transaction. Returns what was done.
// Throws RuntimeError; nothing is written then.
MemberImportPlan WriteMemberImport(const QSqlDatabase &db, const MemberImportSource &source, bool updateExisting,
                                   const QString &fileName);
