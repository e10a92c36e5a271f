#pragma once
// The preview window: the pages of a report on the screen, one at a time, with
// page navigation, zoom and printing.
#include "reports/ReportLayout.h"

#include <QDialog>
#include <memory>

class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;
class QToolButton;

// Draws one page at a scale (screen pixels per twip) on a white sheet.
class ReportPageView : public QWidget
{
public:
    explicit ReportPageView(QWidget *parent = nullptr);
    void setPage(const ReportPage *page, const PageSetup &setup);
    void setScale(double pixelsPerTwip);
    double scale() const { return m_scale; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const ReportPage *m_page = nullptr;
    PageSetup m_setup;
    double m_scale = 1.0 / 15;
};

class ReportPreview : public QDialog
{
    Q_OBJECT
public:
    enum class Fit { None, Width, WholePage };

    ReportPreview(std::shared_ptr<const ReportDocument> document, const QString &caption,
                  const QString &documentTitle, QWidget *parent = nullptr);

    const ReportDocument &document() const { return *m_document; }
    int pageCount() const { return int(m_document->pages.size()); }
    int currentPage() const { return m_page; } // 1-based; 0 without pages
    void showPage(int page);                   // clamped to the pages there are

    // 1 is the real size (15 twips to the screen pixel at 96 dpi).
    void setZoom(double factor);
    void setFit(Fit fit);
    double zoom() const { return m_zoom; }

    // The print button: the printer dialog, then every page.
    void printDocument();
    // The PDF button: asks for the file and writes every page to it.
    void savePdf();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyZoom();
    void zoomChosen(int index);
    void updateControls();

    std::shared_ptr<const ReportDocument> m_document;
    QString m_documentTitle;
    int m_page = 0;
    double m_zoom = 1.0;
    Fit m_fit = Fit::None;

    QToolButton *m_print;
    QToolButton *m_pdf;
    QToolButton *m_first;
    QToolButton *m_previous;
    QSpinBox *m_pageBox;
    QLabel *m_pageCountLabel;
    QToolButton *m_next;
    QToolButton *m_last;
    QComboBox *m_zoomBox;
    QScrollArea *m_scroll;
    ReportPageView *m_view;
};
