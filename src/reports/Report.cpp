#include "reports/Report.h"
#include "app/MDIForm1.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/Prompts.h"
#include "reports/ReportPainter.h"
#include "reports/ReportPreview.h"
#include "reports/ReportText.h"

#include <QCoreApplication>
#include <QPrinter>
#include <QSqlError>
#include <QSqlRecord>

Report::Report(QString name) : m_name(std::move(name))
{
}

Report::~Report()
{
    // A preview that outlives its report keeps its pages but no longer speaks for it.
    QObject::disconnect(m_previewClosed);
}

const ReportDocument &Report::document() const
{
    static const ReportDocument empty;
    return m_document ? *m_document : empty;
}

QString Report::text() const
{
    return ReportDocumentText(document());
}

ReportResult Report::run()
{
    m_document.reset();
    try {
        if (onReportStart)
            onReportStart();
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
    return ReportResult::done();
}

ReportResult Report::print()
{
    const ReportResult r = run();
    if (!r.ok())
        return r;
    QPrinter printer(QPrinter::HighResolution);
    SetUpReportPrinter(printer, documentTitle);
    if (!env().prompts->choosePrinter(printer))
        return ReportResult::cancelled();
    return PrintReportDocument(printer, *m_document);
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

ReportResult Report::show(PreviewMode mode)
{
    if (m_preview && mode == PreviewMode::Modeless) {
        m_preview->raise();
        m_preview->activateWindow();
        return ReportResult::done();
    }
    const ReportResult r = run();
    if (!r.ok())
        return r;
    QWidget *owner = mode == PreviewMode::Modal ? MDIForm1::existing() : nullptr;
    auto *window = new ReportPreview(m_document, caption, documentTitle, owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    m_preview = window;
    if (mode == PreviewMode::Modeless) {
        QObject::disconnect(m_previewClosed);
        m_previewClosed = QObject::connect(window, &QObject::destroyed, QCoreApplication::instance(),
                                           [release = m_releaseOnPreviewClosed, self = this] {
                                               if (release)
                                                   release(self);
                                           });
        if (previewMaximized)
            window->showMaximized();
        else
            window->show();
        return ReportResult::done();
    }
    window->setWindowModality(Qt::ApplicationModal);
    if (previewMaximized)
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    window->exec();
    return ReportResult::done();
}

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
        QSqlQuery q = Exec(QSqlDatabase::database(name, false), source.sql, source.binds);
        const QSqlRecord rec = q.record();
        const int n = rec.count();
        for (int i = 0; i < n; ++i)
            read.fields << rec.fieldName(i);
        while (q.next()) {
            QVector<QVariant> row(n);
            for (int i = 0; i < n; ++i)
                row[i] = q.value(i);
            read.rows.push_back(std::move(row));
        }
        if (q.lastError().isValid())
            throw RuntimeError::fromSql(q.lastError());
    } catch (const RuntimeError &e) {
        result = ReportResult::failed(e);
    }
    CloseConnection(name);
    if (result.ok())
        *rows = std::move(read);
    return result;
}

ReportPreview *Report::previewWindow() const
{
    return m_preview;
}
