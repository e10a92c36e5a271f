#include "reports/ReportPreview.h"
#include "data/Environment.h"
#include "data/Errors.h"
#include "data/Prompts.h"
#include "reports/ReportPainter.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int kSheetMargin = 12; // screen pixels of grey around the sheet
constexpr double kRealSize = 1.0 / 15; // screen pixels per twip at 100 %

QToolButton *toolButton(QWidget *parent, const char *name, const QString &text, const QString &tip)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolTip(tip);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setAutoRaise(true);
    return b;
}
} // namespace

ReportPageView::ReportPageView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pagPagina"));
}

void ReportPageView::setPage(const ReportPage *page, const PageSetup &setup)
{
    m_page = page;
    m_setup = setup;
    updateGeometry();
    resize(sizeHint());
    update();
}

void ReportPageView::setScale(double pixelsPerTwip)
{
    m_scale = pixelsPerTwip;
    updateGeometry();
    resize(sizeHint());
    update();
}

QSize ReportPageView::sizeHint() const
{
    return QSize(int(m_setup.width * m_scale) + 2 * kSheetMargin, int(m_setup.height * m_scale) + 2 * kSheetMargin);
}

void ReportPageView::paintEvent(QPaintEvent *)
{
    QPainter p(this); // the scroll area's dark background shows around the sheet
    const QRectF sheet(kSheetMargin, kSheetMargin, m_setup.width * m_scale, m_setup.height * m_scale);
    p.fillRect(sheet.translated(3, 3), QColor(40, 40, 40));
    p.fillRect(sheet, Qt::white);
    if (!m_page)
        return;
    p.translate(kSheetMargin, kSheetMargin);
    p.scale(m_scale, m_scale);
    PaintReportPage(p, *m_page);
}

ReportPreview::ReportPreview(std::shared_ptr<const ReportDocument> document, const QString &caption,
                             const QString &documentTitle, QWidget *parent)
    : QDialog(parent), m_document(std::move(document)), m_documentTitle(documentTitle)
{
    setObjectName(QStringLiteral("frmVistaPrevia"));
    setWindowTitle(caption);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);

    auto *bar = new QHBoxLayout;
    m_print = toolButton(this, "cmdImprimir", QStringLiteral("&Imprimir..."), QStringLiteral("Imprimir el informe"));
    m_pdf = toolButton(this, "cmdGuardarPdf", QStringLiteral("Guardar &PDF..."),
                       QStringLiteral("Guardar el informe como archivo PDF"));
    m_first = toolButton(this, "cmdPrimera", QStringLiteral("|<"), QStringLiteral("Primera página (Ctrl+Inicio)"));
    m_previous = toolButton(this, "cmdAnterior", QStringLiteral("<"), QStringLiteral("Página anterior (Re Pág)"));
    m_pageBox = new QSpinBox(this);
    m_pageBox->setObjectName(QStringLiteral("spnPagina"));
    m_pageBox->setPrefix(QStringLiteral("Página "));
    m_pageBox->setAccessibleName(QStringLiteral("Página"));
    m_pageCountLabel = new QLabel(this);
    m_pageCountLabel->setObjectName(QStringLiteral("lblPaginas"));
    m_next = toolButton(this, "cmdSiguiente", QStringLiteral(">"), QStringLiteral("Página siguiente (Av Pág)"));
    m_last = toolButton(this, "cmdUltima", QStringLiteral(">|"), QStringLiteral("Última página (Ctrl+Fin)"));
    m_zoomBox = new QComboBox(this);
    m_zoomBox->setObjectName(QStringLiteral("cboZoom"));
    m_zoomBox->setAccessibleName(QStringLiteral("Zoom"));
    m_zoomBox->addItem(QStringLiteral("Ancho de página"));
    m_zoomBox->addItem(QStringLiteral("Página entera"));
    for (int percent : {50, 75, 100, 150, 200})
        m_zoomBox->addItem(QStringLiteral("%1 %").arg(percent), percent / 100.0);
    auto *zoomLabel = new QLabel(QStringLiteral("&Zoom:"), this);
    zoomLabel->setBuddy(m_zoomBox);
    auto *close = toolButton(this, "cmdCerrar", QStringLiteral("&Cerrar"), QStringLiteral("Cerrar la vista previa (Esc)"));

    bar->addWidget(m_print);
    bar->addWidget(m_pdf);
    bar->addSpacing(12);
    bar->addWidget(m_first);
    bar->addWidget(m_previous);
    bar->addWidget(m_pageBox);
    bar->addWidget(m_pageCountLabel);
    bar->addWidget(m_next);
    bar->addWidget(m_last);
    bar->addSpacing(12);
    bar->addWidget(zoomLabel);
    bar->addWidget(m_zoomBox);
    bar->addStretch();
    bar->addWidget(close);

    m_view = new ReportPageView;
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrPagina"));
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setWidget(m_view);
    m_scroll->viewport()->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(m_scroll, 1);

    connect(m_print, &QToolButton::clicked, this, &ReportPreview::printDocument);
    connect(m_pdf, &QToolButton::clicked, this, &ReportPreview::savePdf);
    connect(m_first, &QToolButton::clicked, this, [this] { showPage(1); });
    connect(m_previous, &QToolButton::clicked, this, [this] { showPage(m_page - 1); });
    connect(m_next, &QToolButton::clicked, this, [this] { showPage(m_page + 1); });
    connect(m_last, &QToolButton::clicked, this, [this] { showPage(pageCount()); });
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int v) {
        if (v != m_page)
            showPage(v);
    });
    connect(m_zoomBox, &QComboBox::activated, this, &ReportPreview::zoomChosen);
    connect(close, &QToolButton::clicked, this, &QDialog::reject);
    auto shortcut = [this](const QKeySequence &keys, std::function<void()> f) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, std::move(f));
    };
    shortcut(QKeySequence(Qt::Key_PageDown), [this] { showPage(m_page + 1); });
    shortcut(QKeySequence(Qt::Key_PageUp), [this] { showPage(m_page - 1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { showPage(1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_End), [this] { showPage(pageCount()); });
    shortcut(QKeySequence::ZoomIn, [this] { setZoom(m_zoom * 1.25); });
    shortcut(QKeySequence::ZoomOut, [this] { setZoom(m_zoom / 1.25); });

    const QSize screen = env().screenSize ? env().screenSize() : QSize(1024, 768);
    resize(qMin(900, screen.width() - 40), qMin(760, screen.height() - 80));
    m_zoomBox->setCurrentIndex(m_zoomBox->findData(1.0));
    showPage(1);
}

void ReportPreview::showPage(int page)
{
    m_page = pageCount() == 0 ? 0 : qBound(1, page, pageCount());
    m_view->setPage(m_page > 0 ? &m_document->pages[size_t(m_page - 1)] : nullptr, m_document->page);
    applyZoom();
    m_scroll->verticalScrollBar()->setValue(0);
    updateControls();
}

void ReportPreview::setZoom(double factor)
{
    m_fit = Fit::None;
    m_zoom = qBound(0.1, factor, 8.0);
    const int index = m_zoomBox->findData(m_zoom);
    if (index >= 0)
        m_zoomBox->setCurrentIndex(index);
    else
        m_zoomBox->setCurrentIndex(-1); // a zoom of no entry: none is shown as chosen
    applyZoom();
}

void ReportPreview::setFit(Fit fit)
{
    m_fit = fit;
    if (fit != Fit::None)
        m_zoomBox->setCurrentIndex(fit == Fit::Width ? 0 : 1);
    applyZoom();
}

void ReportPreview::zoomChosen(int index)
{
    if (index == 0)
        setFit(Fit::Width);
    else if (index == 1)
        setFit(Fit::WholePage);
    else
        setZoom(m_zoomBox->itemData(index).toDouble());
}

void ReportPreview::applyZoom()
{
    if (m_fit != Fit::None) {
        const QSize room = m_scroll->viewport()->size() - QSize(2 * kSheetMargin + 4, 2 * kSheetMargin + 4);
        const PageSetup &ps = m_document->page;
        double scale = double(room.width()) / ps.width;
        if (m_fit == Fit::WholePage)
            scale = qMin(scale, double(room.height()) / ps.height);
        m_zoom = qMax(0.1, scale / kRealSize);
    }
    m_view->setScale(m_zoom * kRealSize);
}

void ReportPreview::updateControls()
{
    const int n = pageCount();
    const QSignalBlocker block(m_pageBox);
    m_pageBox->setRange(n > 0 ? 1 : 0, n);
    m_pageBox->setValue(m_page);
    m_pageBox->setEnabled(n > 1);
    m_pageCountLabel->setText(QStringLiteral("de %1").arg(n));
    m_first->setEnabled(m_page > 1);
    m_previous->setEnabled(m_page > 1);
    m_next->setEnabled(m_page < n);
    m_last->setEnabled(m_page < n);
    m_print->setEnabled(n > 0);
    m_pdf->setEnabled(n > 0);
}

void ReportPreview::printDocument()
{
    QPrinter printer(QPrinter::HighResolution);
    SetUpReportPrinter(printer, m_documentTitle);
    if (!env().prompts->choosePrinter(printer))
        return;
    const ReportResult r = PrintReportDocument(printer, *m_document);
    if (r.failed())
        MsgBox(ErrorText(*r.error()), MsgIcon::Critical);
}

void ReportPreview::savePdf()
{
    const QString fileName = ShowSaveFileDialog(QStringLiteral("PDF|*.pdf"), QStringLiteral("pdf"));
    if (fileName.isEmpty())
        return;
    const ReportResult r = WriteReportPdf(*m_document, fileName, m_documentTitle);
    if (r.failed())
        MsgBox(ErrorText(*r.error()), MsgIcon::Critical);
}

bool ReportPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize && m_fit != Fit::None)
        applyZoom();
    return QDialog::eventFilter(watched, event);
}
