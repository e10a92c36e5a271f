#pragma once
// A report: its design, its data source, its two notifications and what the
// program does with it (run, print, preview, export as text). Each report of
// the program is a class derived from Report and from SharedReport, which gives
// it the one shared instance created on first use.
#include "reports/ReportDesign.h"
#include "reports/ReportLayout.h"
#include "reports/ReportResult.h"

#include <QMetaObject>
#include <QPointer>
#include <QVariantList>
#include <functional>
#include <memory>

class ReportPreview;
template <class T>
class SharedReport;

struct ReportDataSource
{
    QString connectionString; // the database file; empty: that of the shared connection
    QString sql;              // empty: the report has no data source
    QVariantList binds;       // the query's bound values, in order
};

enum class PreviewMode {
    Modeless, // a window of its own
    Modal     // owned by the main window; show() returns once the user closes it
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
    QString text() const;                   // the pages as plain text

    // Runs the report, offers the printer dialog and prints every page.
    ReportResult print();
    // Writes the pages of the last run (running first when there was none) to
    // the file as plain text.
    ReportResult exportText(const QString &fileName);
    // Runs the report and shows its pages in a preview window (maximised when
    // asked). While a modeless preview of this instance is open, showing again
    // brings that window forward.
    ReportResult show(PreviewMode mode = PreviewMode::Modeless);
    ReportPreview *previewWindow() const;

private:
    template <class T>
    friend class SharedReport;
    // Called with this report when its modeless preview closes; the shared
    // instance uses it to let the preview own the instance.
    void (*m_releaseOnPreviewClosed)(const Report *) = nullptr;

    QString m_name;
    std::shared_ptr<const ReportDocument> m_document;
    QPointer<ReportPreview> m_preview;
    QMetaObject::Connection m_previewClosed;
};

// Reads the rows of a data source on a connection of its own, opened for the
// read and closed after it.
ReportResult ReadReportRows(const ReportDataSource &source, ReportRows *rows);

// The one shared instance of a report class, created on first use. Whoever
// prints or exports discards it afterwards, so that the next use starts from
// the design; a modeless preview discards it when the window closes.
template <class T>
class SharedReport
{
public:
    static T &instance()
    {
        if (!s_instance) {
            s_instance = std::make_unique<T>();
            s_instance->m_releaseOnPreviewClosed = [](const Report *r) {
                if (s_instance && static_cast<const Report *>(s_instance.get()) == r)
                    discard();
            };
        }
        return *s_instance;
    }
    static bool exists() { return bool(s_instance); }
    static void discard() { s_instance.reset(); }

private:
    static inline std::unique_ptr<T> s_instance;
};
