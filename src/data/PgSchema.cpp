#include "data/PgSchema.h"
#include "data/Database.h"
#include "data/TextRules.h"
#include "data/Errors.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace {

// The provider's general failure number, as a failed statement reports it.
const qint64 kServerError = -2147467259;

QString literal(const QString &text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

// The server's fold_es, written out from the one Spanish fold the file's
// fold_es runs (TextRules): every character the fold changes beyond what
// lower() does goes into translate() when it folds to one character, into
// replace() when it gives several (ß, æ, Ǆ ...), and is dropped when it
// folds to nothing (an accent typed apart from its letter).
QString foldExpression(const QString &arg)
{
    QString from, to, dropped, expr = arg;
    for (char32_t cp = 0x80; cp < 0x3000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        const QString ch = QString::fromUcs4(&cp, 1);
        const QString folded = FoldSpanish(ch, Enye::AsN);
        if (folded == ch.toLower())
            continue;
        if (folded.isEmpty())
            dropped += ch;
        else if (folded.size() == 1) {
            from += ch;
            to += folded;
        } else {
            expr = QStringLiteral("replace(%1, %2, %3)").arg(expr, literal(ch), literal(folded));
        }
    }
    // Characters of `from` without a counterpart in `to` are dropped by translate().
    return QStringLiteral("lower(translate(%1, %2, %3))").arg(expr, literal(from + dropped), literal(to));
}

// The letters of Spanish beyond ASCII, and what the fold makes of each. A text
// holding no others (nearly every name and description) is folded by one short
// translate(): the general one compares each character with some 1,800.
const char16_t kSpanishLetters[] = u"áéíóúñÁÉÍÓÚÑüÜ";

QString spanishFolded()
{
    QString to;
    for (const char16_t *c = kSpanishLetters; *c; ++c)
        to += FoldSpanish(QString(QChar(*c)), Enye::AsN);
    return to;
}

// The fold in three steps, each for the texts the one before cannot take: a
// text of ASCII alone folds as the file folds ASCII (A-Z to a-z, whatever the
// server's locale); one whose other letters are all Spanish, by one short
// translate() (each of them is one character, and it is the text's only
// non-ASCII one when the translated text has as many bytes as characters);
// any other, by the general rule. Not STRICT, so the server writes the rule
// into each statement (and index) that uses it instead of calling it row by
// row; a null still gives null.
QStringList foldStatements()
{
    const QString t = QStringLiteral("t");
    const QString head = QStringLiteral("CREATE OR REPLACE FUNCTION %1(t text) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE RETURN ");
    const QString spanish = QStringLiteral("translate(t, %1, %2)")
                                .arg(literal(QString::fromUtf16(kSpanishLetters)), literal(spanishFolded()));
    return {
        head.arg(QLatin1String("fold_es_general")) + foldExpression(t),
        head.arg(QLatin1String("fold_es"))
            + QStringLiteral("CASE WHEN octet_length(t) = length(t) THEN lower(t COLLATE \"C\")"
                             " WHEN octet_length(%1) = length(t) THEN lower(%1 COLLATE \"C\")"
                             " ELSE fold_es_general(t) END")
                  .arg(spanish),
        head.arg(QLatin1String("sort_es")) + QStringLiteral("fold_es(replace(replace(t, 'ñ', 'n~'), 'Ñ', 'n~'))"),
    };
}

// The searches' indexes: the folded names and descriptions by their trigrams,
// so that a search for any part of them reads only the rows that hold it.
// They need the server's pg_trgm extension; without it every search still
// works, reading every row.
const char *const kSearchIndexes[][3] = {
    {"socio_nombre_busqueda", "socio", "nombre"},
    {"socio_alumno_busqueda", "socio", "alumno"},
    {"movimiento_descripcion_busqueda", "movimiento", "descripcion"},
};

// The first value of a statement's first row, values bound; throws RuntimeError.
QVariant serverScalar(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {})
{
    QSqlQuery q(db);
    bool ok = q.prepare(sql);
    for (const QVariant &b : binds)
        q.addBindValue(b);
    if (!(ok && q.exec() && q.next()))
        throw RuntimeError(kServerError, QStringLiteral("No se pudo leer el esquema del servidor (%1).")
                                             .arg(q.lastError().databaseText().trimmed()));
    return q.value(0);
}

bool trigramsInstalled(const QSqlDatabase &db)
{
    return serverScalar(db, QStringLiteral("SELECT count(*) FROM pg_extension WHERE extname = 'pg_trgm'")).toInt() > 0;
}

// Whether the server has pg_trgm and the user may install it: a superuser,
// or (the extension being trusted) one who may create in the database.
bool trigramsInstallable(const QSqlDatabase &db)
{
    return serverScalar(db, QStringLiteral("SELECT count(*) FROM pg_available_extension_versions v"
                                           " WHERE v.name = 'pg_trgm' AND v.version = (SELECT default_version"
                                           "  FROM pg_available_extensions WHERE name = 'pg_trgm')"
                                           " AND ((SELECT rolsuper FROM pg_roles WHERE rolname = current_user)"
                                           "  OR (v.trusted AND has_database_privilege(current_database(), 'CREATE')))"))
               .toInt()
           > 0;
}

void installTrigrams(const QSqlDatabase &db)
{
    if (!trigramsInstalled(db) && trigramsInstallable(db))
        PgRun(db, QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm"));
}

// Made where missing, over the same expression the searches write (SqlFoldText).
void createSearchIndexes(const QSqlDatabase &db)
{
    if (!trigramsInstalled(db))
        return;
    for (const auto &[index, table, column] : kSearchIndexes)
        PgRun(db, QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 USING gin ((fold_es(%3)) COLLATE \"C\" gin_trgm_ops)")
                      .arg(QLatin1String(index), QLatin1String(table), QLatin1String(column)));
}

// The record of changes made by hand (ChangeRecord.h).
QString changeRecordTable(bool ifMissing)
{
    return QStringLiteral("CREATE TABLE %1cambio (idcambio integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,"
                          " fecha text NOT NULL CHECK (fecha ~ '^[0-9]{4}-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]$'),"
                          " usuario text, equipo text, operacion text NOT NULL, tabla text NOT NULL, clave text,"
                          " campo text, valoranterior text, valornuevo text)")
        .arg(ifMissing ? QStringLiteral("IF NOT EXISTS ") : QString());
}

// The bank statement's lines already taken into the books (BankStatement.h).
QString statementTable(bool ifMissing)
{
    return QStringLiteral("CREATE TABLE %1extractolinea (idextractolinea integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,"
                          " fecha text NOT NULL, descripcion text, importe numeric NOT NULL, referencia text,"
                          " huella text NOT NULL UNIQUE, idmovimiento integer UNIQUE, importado text NOT NULL)")
        .arg(ifMissing ? QStringLiteral("IF NOT EXISTS ") : QString());
}

QStringList schemaStatements()
{
    const QString date = QStringLiteral(" text CHECK (%1 ~ '^[0-9]{4}-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]$')");
    const QString key = QStringLiteral(" integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
    // The text rules first: the member order index is made with one.
    return foldStatements() + QStringList{
        // The file orders members by these replacements and SQLite's NOCASE,
        // which folds ASCII letters only.
        QStringLiteral("CREATE FUNCTION socio_orden(t text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE"
                       " RETURN translate(replace(replace(translate(t, 'áÁéÉíÍóÓúÚüÜ', 'aaeeiioouuuu'),"
                       " 'ñ', 'n~'), 'Ñ', 'n~'), 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')"),

        QStringLiteral("CREATE TABLE curso (idcurso") + key + QStringLiteral(", nombre text)"),
        QStringLiteral("CREATE TABLE socio (idsocio") + key
            + QStringLiteral(", nombre text, alumno text, idcurso integer, telefono text, email text,"
                             " direccion text, dni text)"),
        QStringLiteral("CREATE TABLE cuota (idcuota") + key + QStringLiteral(", descripcion text, vigencia")
            + date.arg(QLatin1String("vigencia")) + QStringLiteral(", valor numeric, idcuenta integer)"),
        QStringLiteral("CREATE TABLE cuenta (idcuenta") + key
            + QStringLiteral(", descripcion text, tipo text CHECK (tipo IN ('I', 'E')), idcuentapadre integer)"),
        QStringLiteral("CREATE TABLE movimiento (idmovimiento") + key + QStringLiteral(", fecha")
            + date.arg(QLatin1String("fecha"))
            + QStringLiteral(", idsocio integer, idcuota integer, idcuenta integer,"
                             " tipo text CHECK (tipo IN ('I', 'E')), importe numeric,"
                             " mediopago text CHECK (mediopago IN ('E', 'C')), descripcion text, recibo integer,"
                             " chequenumero text, idcontraasiento integer)"),
        QStringLiteral("CREATE TABLE parametro (parametro text PRIMARY KEY, valor text)"),
        changeRecordTable(false),
        statementTable(false),
        // A setting's name is one whatever its case, as in the file.
        QStringLiteral("CREATE UNIQUE INDEX parametro_nombre ON parametro (upper(parametro))"),
    };
}

// Each index: its name, and the table and columns after ON.
QList<std::pair<QString, QString>> indexes()
{
    return {
        {QStringLiteral("movimiento_socio"), QStringLiteral("movimiento (idsocio, idcuota)")},
        {QStringLiteral("movimiento_medio"), QStringLiteral("movimiento (mediopago, tipo, importe)")},
        // The key after the date, nulls first: the table editor's order by
        // date (rows of one moment in key order) is read along it, unsorted.
        {QStringLiteral("movimiento_fecha_orden"), QStringLiteral("movimiento (fecha NULLS FIRST, idmovimiento)")},
        // And newest first, rows of one moment still in key order.
        {QStringLiteral("movimiento_fecha_bajando"), QStringLiteral("movimiento (fecha DESC NULLS LAST, idmovimiento)")},
        {QStringLiteral("movimiento_recibo"), QStringLiteral("movimiento (recibo)")},
        {QStringLiteral("movimiento_cuenta"), QStringLiteral("movimiento (idcuenta)")},
        {QStringLiteral("movimiento_cuota"), QStringLiteral("movimiento (idcuota)")},
        {QStringLiteral("socio_nombre"), QStringLiteral("socio (nombre)")},
        {QStringLiteral("socio_curso"), QStringLiteral("socio (idcurso)")},
        // The member list in its order, nulls first as the file orders them,
        // holding every column the list shows (as the file's Socio_Orden
        // does): read from the index alone, without working out the order
        // key of every member.
        {QStringLiteral("socio_orden_lista"),
         QStringLiteral("socio (") + PgOrderKey(QStringLiteral("nombre"))
             + QStringLiteral(" NULLS FIRST, idsocio) INCLUDE (nombre, alumno, telefono, idcurso)")},
        {QStringLiteral("cuota_vigencia"), QStringLiteral("cuota (vigencia)")},
        {QStringLiteral("cuota_cuenta"), QStringLiteral("cuota (idcuenta)")},
        {QStringLiteral("cuenta_padre"), QStringLiteral("cuenta (idcuentapadre)")},
        {QStringLiteral("cambio_fecha"), QStringLiteral("cambio (fecha)")},
        {QStringLiteral("extractolinea_fecha"), QStringLiteral("extractolinea (fecha)")},
        {QStringLiteral("extractolinea_descripcion"), QStringLiteral("extractolinea (descripcion)")},
    };
}

// Indexes of databases made earlier that one above replaces.
const char *const kReplacedIndexes[] = {"movimiento_fecha", "socio_orden"};

bool roleExists(const QSqlDatabase &db, const QString &role)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = ?"));
    q.addBindValue(role);
    if (!q.exec())
        throw RuntimeError(kServerError, QStringLiteral("No se pudieron leer los roles del servidor (%1).")
                                             .arg(q.lastError().databaseText()));
    return q.next();
}

// The group roles, made when missing. Roles belong to the whole server, so
// another database's migration may be making them at the same moment.
void createRoles(const QSqlDatabase &db)
{
    for (const char *role : {kPgRoleWrite, kPgRoleRead}) {
        const QString name = QLatin1String(role);
        if (roleExists(db, name))
            continue;
        QSqlQuery q(db);
        q.exec(QStringLiteral("SELECT rolsuper OR rolcreaterole FROM pg_roles WHERE rolname = current_user"));
        if (!q.next() || !q.value(0).toBool())
            throw RuntimeError(kServerError,
                               QStringLiteral("Falta el rol %1 en el servidor y el usuario de la configuración no puede "
                                              "crear roles. Pida a quien administra el servidor que cree los roles "
                                              "tesorero y consulta (CREATE ROLE tesorero NOLOGIN; CREATE ROLE consulta "
                                              "NOLOGIN;) y vuelva a intentar.")
                                   .arg(name));
        PgRun(db, QStringLiteral("DO $$ BEGIN CREATE ROLE %1 NOLOGIN;"
                                 " EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END $$")
                      .arg(name));
    }
}

// Statement-level triggers: a copy of many rows in batches sends one notice
// per batch, and the server folds equal notices of one transaction into one.
// The same trigger counts the statements that changed movimiento in a
// one-row table: being an ordinary row, the count moves only when the writer
// commits, so a program that sees it where its own writes left it knows its
// kept balances are those of the books.
void createChangeNotices(const QSqlDatabase &db)
{
    const QString version = QLatin1String(kPgVersionTable);
    PgRun(db, QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (movimientos bigint NOT NULL)").arg(version));
    PgRun(db, QStringLiteral("INSERT INTO %1 SELECT 0 WHERE NOT EXISTS (SELECT 1 FROM %1)").arg(version));
    PgRun(db, QStringLiteral("CREATE OR REPLACE FUNCTION tesorin_aviso() RETURNS trigger LANGUAGE plpgsql AS"
                             " $$BEGIN"
                             " IF TG_TABLE_NAME = 'movimiento' THEN UPDATE %2 SET movimientos = movimientos + 1; END IF;"
                             " PERFORM pg_notify('%1', TG_TABLE_NAME); RETURN NULL; END$$")
                  .arg(QLatin1String(kPgChangeChannel), version));
    for (const QString &table : RequiredTables())
        PgRun(db, QStringLiteral("CREATE OR REPLACE TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON %2"
                                 " FOR EACH STATEMENT EXECUTE FUNCTION tesorin_aviso()")
                      .arg(QLatin1String(kPgChangeChannel), table.toLower()));
    // Whoever writes movimiento moves the count; whoever reads, reads it.
    if (roleExists(db, QLatin1String(kPgRoleWrite)))
        PgRun(db, QStringLiteral("GRANT SELECT, UPDATE ON %1 TO %2").arg(version, QLatin1String(kPgRoleWrite)));
    if (roleExists(db, QLatin1String(kPgRoleRead)))
        PgRun(db, QStringLiteral("GRANT SELECT ON %1 TO %2").arg(version, QLatin1String(kPgRoleRead)));
}

// The record's rights: the volunteers who write the books add to it and read
// it, and may neither change nor delete what it says; those who read the
// books read it too.
void grantChangeRecord(const QSqlDatabase &db)
{
    if (roleExists(db, QLatin1String(kPgRoleWrite))) {
        PgRun(db, QStringLiteral("GRANT SELECT, INSERT ON cambio TO %1").arg(QLatin1String(kPgRoleWrite)));
        PgRun(db, QStringLiteral("REVOKE UPDATE, DELETE, TRUNCATE ON cambio FROM %1").arg(QLatin1String(kPgRoleWrite)));
        PgRun(db, QStringLiteral("GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA public TO %1").arg(QLatin1String(kPgRoleWrite)));
    }
    if (roleExists(db, QLatin1String(kPgRoleRead)))
        PgRun(db, QStringLiteral("GRANT SELECT ON cambio TO %1").arg(QLatin1String(kPgRoleRead)));
    // The statement's lines are added as the books are written, and read.
    if (roleExists(db, QLatin1String(kPgRoleWrite)))
        PgRun(db, QStringLiteral("GRANT SELECT, INSERT ON extractolinea TO %1").arg(QLatin1String(kPgRoleWrite)));
    if (roleExists(db, QLatin1String(kPgRoleRead)))
        PgRun(db, QStringLiteral("GRANT SELECT ON extractolinea TO %1").arg(QLatin1String(kPgRoleRead)));
}

bool changeNoticesPresent(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT count(DISTINCT c.relname), to_regclass(?) IS NOT NULL"
                             " FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid"
                             " WHERE t.tgname = ? AND pg_table_is_visible(c.oid)"));
    q.addBindValue(QLatin1String(kPgVersionTable));
    q.addBindValue(QLatin1String(kPgChangeChannel));
    if (!q.exec() || !q.next())
        throw RuntimeError(kServerError, QStringLiteral("No se pudieron leer los disparadores del servidor (%1).")
                                             .arg(q.lastError().databaseText().trimmed()));
    return q.value(0).toInt() >= RequiredTables().size() && q.value(1).toBool();
}

// How many of the indexes named are there.
int indexesPresent(const QSqlDatabase &db, const QStringList &names)
{
    QVariantList binds(names.begin(), names.end());
    return serverScalar(db,
                        QStringLiteral("SELECT count(*) FROM pg_class WHERE relkind = 'i' AND pg_table_is_visible(oid)"
                                       " AND relname IN (%1)")
                            .arg(QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", "))),
                        binds)
        .toInt();
}

// Whether the text rules and the indexes are today's.
bool schemaCurrent(const QSqlDatabase &db)
{
    if (serverScalar(db, QStringLiteral("SELECT count(*) FROM pg_proc WHERE proname = 'fold_es_general'"
                                        " AND pg_function_is_visible(oid)"))
            .toInt()
        == 0)
        return false;
    QStringList names;
    for (const auto &index : indexes())
        names << index.first;
    if (indexesPresent(db, names) < names.size())
        return false;
    if (!trigramsInstalled(db) && !trigramsInstallable(db))
        return true;
    QStringList search;
    for (const auto &index : kSearchIndexes)
        search << QLatin1String(index[0]);
    return indexesPresent(db, search) == search.size();
}

// Whether this user owns the tables, and so may change them.
bool ownsTheTables(const QSqlDatabase &db)
{
    return serverScalar(db, QStringLiteral("SELECT coalesce((SELECT pg_has_role(relowner, 'USAGE') FROM pg_class"
                                           " WHERE relname = 'socio' AND relkind IN ('r', 'p')"
                                           " AND pg_table_is_visible(oid)), false)"))
        .toBool();
}

} // namespace

void UpgradePgSchema(const QSqlDatabase &db)
{
    if (schemaCurrent(db) || !ownsTheTables(db))
        return;
    PgRun(db, QStringLiteral("BEGIN"));
    try {
        // Two programs started at once would replace the same functions together.
        PgRun(db, QStringLiteral("LOCK TABLE socio, movimiento IN SHARE ROW EXCLUSIVE MODE"));
        // The indexes already there need no word about them.
        PgRun(db, QStringLiteral("SET LOCAL client_min_messages = warning"));
        if (!schemaCurrent(db)) {
            // The faster rules first: the indexes over them are built with them.
            for (const QString &sql : foldStatements())
                PgRun(db, sql);
            installTrigrams(db);
            CreatePgIndexes(db);
            for (const char *old : kReplacedIndexes)
                PgRun(db, QStringLiteral("DROP INDEX IF EXISTS ") + QLatin1String(old));
        }
        PgRun(db, QStringLiteral("COMMIT"));
    } catch (const RuntimeError &) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

void EnsurePgChangeNotices(const QSqlDatabase &db)
{
    if (changeNoticesPresent(db))
        return;
    PgRun(db, QStringLiteral("BEGIN"));
    try {
        // Two programs started at once would replace the one function together.
        PgRun(db, QStringLiteral("LOCK TABLE movimiento IN SHARE ROW EXCLUSIVE MODE"));
        createChangeNotices(db);
        PgRun(db, QStringLiteral("COMMIT"));
    } catch (const RuntimeError &) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

bool PgChangeRecordPresent(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT to_regclass('cambio') IS NOT NULL")) || !q.next())
        throw RuntimeError(kServerError, QStringLiteral("No se pudieron leer las tablas del servidor (%1).")
                                             .arg(q.lastError().databaseText().trimmed()));
    return q.value(0).toBool();
}

void CreatePgChangeRecord(const QSqlDatabase &db)
{
    PgRun(db, changeRecordTable(true));
    PgRun(db, QStringLiteral("CREATE INDEX IF NOT EXISTS cambio_fecha ON cambio (fecha)"));
    PgRun(db, statementTable(true));
    PgRun(db, QStringLiteral("CREATE INDEX IF NOT EXISTS extractolinea_fecha ON extractolinea (fecha)"));
    PgRun(db, QStringLiteral("CREATE INDEX IF NOT EXISTS extractolinea_descripcion ON extractolinea (descripcion)"));
    grantChangeRecord(db);
}

void EnsurePgChangeRecord(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SELECT to_regclass('extractolinea') IS NOT NULL")) && q.next() && q.value(0).toBool()
        && PgChangeRecordPresent(db))
        return;
    PgRun(db, QStringLiteral("BEGIN"));
    try {
        // Two programs started at once would make the one table together.
        PgRun(db, QStringLiteral("LOCK TABLE movimiento IN SHARE ROW EXCLUSIVE MODE"));
        CreatePgChangeRecord(db);
        PgRun(db, QStringLiteral("COMMIT"));
    } catch (const RuntimeError &) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

void PgRun(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return;
    const QSqlError e = q.lastError();
    const QString reason = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    throw RuntimeError(kServerError, QStringLiteral("El servidor rechazó «%1»: %2")
                                         .arg(sql.left(sql.indexOf(QLatin1Char('(')) > 0 ? sql.indexOf(QLatin1Char('(')) : 60)
                                                  .trimmed(),
                                              reason.trimmed()));
}

void CreatePgIndexes(const QSqlDatabase &db)
{
    for (const auto &[name, on] : indexes())
        PgRun(db, QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2").arg(name, on));
    createSearchIndexes(db);
}

QString PgOrderKey(const QString &column)
{
    return QStringLiteral("socio_orden(%1) COLLATE \"C\"").arg(column);
}

void CreatePgSchema(const QSqlDatabase &db, PgIndexes indexes)
{
    for (const QString &sql : schemaStatements())
        PgRun(db, sql);
    installTrigrams(db);
    if (indexes == PgIndexes::Now)
        CreatePgIndexes(db);
    createChangeNotices(db);
    createRoles(db);
    const QString write = QLatin1String(kPgRoleWrite), read = QLatin1String(kPgRoleRead);
    PgRun(db, QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO ") + write);
    PgRun(db, QStringLiteral("GRANT USAGE, SELECT, UPDATE ON ALL SEQUENCES IN SCHEMA public TO ") + write);
    PgRun(db, QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO ") + read);
    grantChangeRecord(db);
}
