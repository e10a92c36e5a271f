#include "reports/Report.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "reports/ReportText.h"

#include <QSqlError>
#include <memory>
#include <sqlite3.h>

Report::Report(QString name) : m_name(std::move(name))
{
}

Report::~Report() = default;

const ReportDocument &Report::document() const
{
    static const ReportDocument empty;
    return m_document ? *m_document : empty;
}

const ReportRows &Report::rows() const
{
    return m_rows;
}

QString Report::text() const
{
    return ReportDocumentText(document());
}

ReportResult Report::run()
{
    m_document.reset();
    m_rows = ReportRows();
    try {
        if (onReportStart)
            onReportStart();
    } catch (const ReportCancelled &) {
        return ReportResult::cancelled();
    } catch (const RuntimeError &e) {
        return ReportResult::failed(e);
    } catch (const std::exception &e) {
        return ReportResult::failed(RuntimeError(ErrInvalidUse, QString::fromUtf8(e.what())));
    }
    ReportRows rows;
    if (!dataSource.sql.trimmed().isEmpty()) {
        const ReportResult read = ReadReportRows(dataSource, &rows);
        if (!read.ok())
            return read;
    }
    auto doc = std::make_shared<ReportDocument>();
    const ReportResult laid = LayoutReport(*this, rows, pageSetup, doc.get());
    if (!laid.ok())
        return laid;
    m_document = std::move(doc);
    m_rows = std::move(rows);
    return ReportResult::done();
}

ReportResult Report::exportText(const QString &fileName)
{
    if (!m_document) {
        const ReportResult r = run();
        if (!r.ok())
            return r;
    }
    return WriteReportText(*m_document, fileName);
}

namespace {

RuntimeError sqliteError(sqlite3 *db)
{
    return RuntimeError::fromSqlite(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)));
}

// The rows of the statement, read straight through SQLite: a report reads a
// hundred thousand rows, and the driver's row cache would double the time.
// Values come as the driver gives them: whole numbers, reals, texts, nulls.
void readRows(sqlite3 *db, const ReportDataSource &source, ReportRows &out)
{
    if (!db)
        throw RuntimeError(3704, QStringLiteral("La conexión con la base de datos está cerrada."));
    sqlite3_stmt *st = nullptr;
    const QByteArray sql = source.sql.toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK)
        throw sqliteError(db);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> guard(st, sqlite3_finalize);
    for (int i = 0; i < source.binds.size(); ++i) {
        const QVariant v = source.binds.at(i);
        int rc = SQLITE_OK;
        switch (v.metaType().id()) {
        case QMetaType::UnknownType:
        case QMetaType::Nullptr:
            rc = sqlite3_bind_null(st, i + 1);
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Bool:
            rc = v.isNull() ? sqlite3_bind_null(st, i + 1) : sqlite3_bind_int64(st, i + 1, v.toLongLong());
            break;
        case QMetaType::Double:
            rc = v.isNull() ? sqlite3_bind_null(st, i + 1) : sqlite3_bind_double(st, i + 1, v.toDouble());
            break;
        default: {
            // Dates as stored text, everything else as its text.
            const QVariant text = BindableValue(v);
            rc = text.isNull() ? sqlite3_bind_null(st, i + 1)
                               : sqlite3_bind_text(st, i + 1, text.toString().toUtf8().constData(), -1,
                                                   SQLITE_TRANSIENT);
        }
        }
        if (rc != SQLITE_OK)
            throw sqliteError(db);
    }
    const int n = sqlite3_column_count(st);
    for (int c = 0; c < n; ++c)
        out.fields << QString::fromUtf8(sqlite3_column_name(st, c));
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        QVector<QVariant> row(n);
        for (int c = 0; c < n; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER:
                row[c] = qint64(sqlite3_column_int64(st, c));
                break;
            case SQLITE_FLOAT:
                row[c] = sqlite3_column_double(st, c);
                break;
            case SQLITE_TEXT:
                row[c] = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c)),
                                           sqlite3_column_bytes(st, c));
                break;
            case SQLITE_BLOB:
                row[c] = QByteArray(static_cast<const char *>(sqlite3_column_blob(st, c)),
                                    sqlite3_column_bytes(st, c));
                break;
            default:
                break; // null
            }
        }
        out.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        throw sqliteError(db);
}

} // namespace

ReportResult ReadReportRows(const ReportDataSource &source, ReportRows *rows)
{
    static int counter = 0;
    const QString name = QStringLiteral("tesorin-informe-%1").arg(++counter);
    const QString path = source.connectionString.isEmpty() ? ConnectionString() : source.connectionString;
    QList<DbErrorEntry> errors;
    if (!OpenConnection(name, path, &errors)) {
        if (errors.isEmpty())
            errors << DbErrorEntry{0, QStringLiteral("No se pudo abrir la base de datos \"%1\".").arg(path)};
        return ReportResult::failed(RuntimeError(errors.first().nativeNumber, errors.first().description, errors));
    }
    ReportResult result = ReportResult::done();
    ReportRows read;
    read.bound = true;
    try {
        readRows(SqliteHandle(QSqlDatabase::database(name, false)), source, read);
    } catch (const RuntimeError &e) {
        result = ReportResult::failed(e);
    }
    CloseConnection(name);
    if (result.ok())
        *rows = std::move(read);
    return result;
}
