#include "reports/Report.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "reports/ReportText.h"

#include <QSqlError>
#include <memory>

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

// The rows of the statement, read straight through the engine: a report
// reads a hundred thousand rows, and the driver's row cache would double the
// time. Values come as the engine gives them: whole numbers, reals, texts, nulls.
void readRows(const QSqlDatabase &db, const ReportDataSource &source, ReportRows &out)
{
    RowReader rows(db, source.sql, source.binds);
    const int n = rows.columnCount();
    for (int c = 0; c < n; ++c)
        out.fields << rows.columnName(c);
    while (rows.next()) {
        QVector<QVariant> row(n);
        for (int c = 0; c < n; ++c)
            row[c] = rows.value(c);
        out.rows.push_back(std::move(row));
    }
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
        readRows(QSqlDatabase::database(name, false), source, read);
    } catch (const RuntimeError &e) {
        result = ReportResult::failed(e);
    }
    CloseConnection(name);
    if (result.ok())
        *rows = std::move(read);
    return result;
}
