#pragma once
// A report: its design, its data source, its start notification, and what the
// engine does with it without any window: run (lay the pages out), give them
// as text, export that text. Printing and previewing are the painter's and the
// preview's work (reports/ReportOutput.h).
#include "reports/ReportDesign.h"
#include "reports/ReportLayout.h"
#include "reports/ReportResult.h"

#include <QVariantList>
#include <functional>
#include <memory>

// Thrown by a report start notification when the user called the report off
// (a cancelled question): the run ends as cancelled, with nothing shown.
struct ReportCancelled
{
};

struct ReportDataSource
{
    QString connectionString; // the database file; empty: that of the shared connection
    QString sql;              // empty: the report has no data source
    QVariantList binds;       // the query's bound values, in order
};

class Report : public ReportDesign
{
public:
    explicit Report(QString name);
    ~Report() override;

    const QString &name() const { return m_name; }

    QString caption;       // the preview window's title
    QString documentTitle; // the print job's name
    bool previewMaximized = false;
    ReportDataSource dataSource;
    PageSetup pageSetup;
    // The report start notification: runs once per run, before any row is read;
    // it may still change captions, band visibility and the data source.
    std::function<void()> onReportStart;

    // Runs the report start notification, reads the rows on a connection of the
    // report's own and lays the pages out. The pages stay until the next run.
    ReportResult run();
    int pageCount() const { return m_document ? int(m_document->pages.size()) : 0; }
    const ReportDocument &document() const; // empty before a run
    // The laid-out pages, shared with whoever shows or prints them (a preview
    // may outlive its report); null before a run.
    std::shared_ptr<const ReportDocument> sharedDocument() const { return m_document; }
    QString text() const;                   // the pages as plain text
    // The rows of the last run, in report order (none before a run).
    const ReportRows &rows() const;

    // Writes the pages of the last run (running first when there was none) to
    // the file as plain text.
    ReportResult exportText(const QString &fileName);

private:
    QString m_name;
    std::shared_ptr<const ReportDocument> m_document;
    ReportRows m_rows;
};

// Reads the rows of a data source on a connection of its own, opened for the
// read and closed after it.
ReportResult ReadReportRows(const ReportDataSource &source, ReportRows *rows);
