#include "masterdata/frmCierreEjercicio.h"
#include "data/ClosedYear.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/FormHelpers.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"
#include "reports/AssemblyPapers.h"
#include "reports/ReportPainter.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QPointer<frmCierreEjercicio> g_shared;
const QString kPapers = QStringLiteral("Documentación para la asamblea");

QString dayText(const QDate &d)
{
    return d.toString(QStringLiteral("dd/MM/yyyy"));
}

QString pesos(double v)
{
    return QStringLiteral("$ ") + GeneralNumber(v, env().locale);
}

// "Del 01/01/2025 al 31/12/2025:" and the three totals, a line each.
QString totalsText(const QDate &closing, const PeriodTotals &t, const QString &lineEnd)
{
    return QStringLiteral("Del %1 al %2:").arg(dayText(YearStart(closing)), dayText(closing)) + lineEnd
           + QStringLiteral("Ingresos: ") + pesos(t.ingresos) + lineEnd + QStringLiteral("Egresos: ")
           + pesos(t.egresos) + lineEnd + QStringLiteral("Saldo: ") + pesos(t.saldo());
}

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = Named(new QPushButton(text, parent), name);
    b->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    b->setAutoDefault(false);
    return b;
}
} // namespace

frmCierreEjercicio *frmCierreEjercicio::open()
{
    if (!g_shared)
        g_shared = new frmCierreEjercicio;
    g_shared->refresh();
    g_shared->show();
    g_shared->raise();
    g_shared->activateWindow();
    return g_shared;
}

frmCierreEjercicio::frmCierreEjercicio() : QWidget(nullptr, Qt::Window)
{
    setObjectName(QStringLiteral("frmCierreEjercicio"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Cerrar ejercicio"));
    setAccessibleName(windowTitle());

    lblEstado = Named(new QLabel(this), "lblEstado");
    lblEstado->setWordWrap(true);
    dtpFecha = Named(new QDateEdit(this), "dtpFecha");
    dtpFecha->setCalendarPopup(true);
    dtpFecha->setDisplayFormat(ShortDateFormat(env().locale));
    dtpFecha->setDate(QDate(env().clock->now().date().year() - 1, 12, 31));
    auto *lblFecha = Named(new QLabel(QStringLiteral("&Fecha de cierre:"), this), "lblFecha");
    lblFecha->setBuddy(dtpFecha);
    dtpFecha->setAccessibleName(QStringLiteral("Fecha de cierre"));
    lblTotales = Named(new QLabel(this), "lblTotales");
    lblTotales->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    cmdCerrar = button(this, "cmdCerrar", QStringLiteral("&Cerrar ejercicio"));
    cmdCerrar->setDefault(true);
    cmdReabrir = button(this, "cmdReabrir", QStringLiteral("&Reabrir ejercicio"));
    cmdAsamblea = button(this, "cmdAsamblea", QStringLiteral("&Documentación para la asamblea..."));
    cmdSalir = button(this, "cmdSalir", QStringLiteral("&Salir"));

    auto *grid = new QGridLayout;
    grid->addWidget(lblEstado, 0, 0, 1, 2);
    grid->addWidget(lblFecha, 1, 0);
    grid->addWidget(dtpFecha, 1, 1);
    grid->addWidget(lblTotales, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {cmdCerrar, cmdReabrir, cmdAsamblea})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(cmdSalir);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addStretch();
    outer->addLayout(buttons);
    setTabOrder(dtpFecha, cmdCerrar);
    setTabOrder(cmdCerrar, cmdReabrir);
    setTabOrder(cmdReabrir, cmdAsamblea);
    setTabOrder(cmdAsamblea, cmdSalir);
    resize(560, 240);

    connect(dtpFecha, &QDateEdit::dateChanged, this, &frmCierreEjercicio::showTotals);
    connect(cmdCerrar, &QPushButton::clicked, this, &frmCierreEjercicio::cmdCerrar_Click);
    connect(cmdReabrir, &QPushButton::clicked, this, &frmCierreEjercicio::cmdReabrir_Click);
    connect(cmdAsamblea, &QPushButton::clicked, this, [this] {
        if (m_closing)
            SaveAssemblyPapers(*m_closing);
    });
    connect(cmdSalir, &QPushButton::clicked, this, &QWidget::close);
    CenterForm(this);
}

void frmCierreEjercicio::refresh()
{
    try {
        m_closing = ClosingDate(Conexion());
        lblEstado->setText(m_closing ? QStringLiteral("El ejercicio está cerrado hasta el %1.").arg(dayText(*m_closing))
                                     : QStringLiteral("No hay ningún ejercicio cerrado."));
    } catch (const RuntimeError &e) {
        m_closing.reset();
        lblEstado->setText(e.description());
    }
    cmdReabrir->setEnabled(m_closing.has_value());
    cmdAsamblea->setEnabled(m_closing.has_value());
    showTotals();
}

void frmCierreEjercicio::showTotals()
{
    try {
        lblTotales->setText(totalsText(dtpFecha->date(), TotalsOf(Conexion(), YearStart(dtpFecha->date()), dtpFecha->date()),
                                       QStringLiteral("\n")));
    } catch (const RuntimeError &e) {
        lblTotales->setText(ErrorText(e));
    }
}

void frmCierreEjercicio::cmdCerrar_Click()
{
    const QDate day = dtpFecha->date();
    refresh(); // another PC may have closed or reopened meanwhile
    QString refusal;
    if (day >= env().clock->now().date())
        refusal = QStringLiteral("La fecha de cierre debe ser anterior a hoy: los movimientos de hoy todavía se "
                                 "están registrando.");
    else if (m_closing && day <= *m_closing)
        refusal = QStringLiteral("El ejercicio ya está cerrado hasta el %1. Elija una fecha posterior, o reabra el "
                                 "ejercicio.")
                      .arg(dayText(*m_closing));
    if (!refusal.isEmpty()) {
        MsgBox(refusal, MsgIcon::Exclamation);
        dtpFecha->setFocus();
        return;
    }
    try {
        const PeriodTotals totals = TotalsOf(Conexion(), YearStart(day), day);
        if (MsgBox(totalsText(day, totals, QStringLiteral("\r")) + QStringLiteral("\r\r¿Cierra el ejercicio al %1? "
                                                                                 "Después no se podrán registrar, "
                                                                                 "cambiar ni eliminar movimientos con "
                                                                                 "esa fecha o anterior.")
                                                                      .arg(dayText(day)),
                   MsgIcon::Question, MsgButtons::YesNo, 1)
            != MsgResult::Yes)
            return;
        CloseBooks(Conexion(), day);
    } catch (const RuntimeError &e) {
        MsgBox(ErrorText(e), MsgIcon::Critical);
        refresh();
        return;
    }
    refresh();
    if (MsgBox(QStringLiteral("Ejercicio cerrado al %1.\r\r¿Desea guardar la documentación para la asamblea?")
                   .arg(dayText(day)),
               MsgIcon::Question, MsgButtons::YesNo)
        == MsgResult::Yes)
        SaveAssemblyPapers(day);
}

void frmCierreEjercicio::cmdReabrir_Click()
{
    refresh();
    if (!m_closing)
        return;
    if (MsgBox(QStringLiteral("¿Reabre el ejercicio cerrado hasta el %1? Se podrán volver a registrar, cambiar y "
                              "eliminar movimientos de esas fechas.")
                   .arg(dayText(*m_closing)),
               MsgIcon::Question, MsgButtons::YesNo, 1)
        != MsgResult::Yes)
        return;
    try {
        ReopenBooks(Conexion());
    } catch (const RuntimeError &e) {
        MsgBox(ErrorText(e), MsgIcon::Critical);
        refresh();
        return;
    }
    refresh();
    MsgBox(QStringLiteral("Ejercicio reabierto."), MsgIcon::Information);
}

void SaveAssemblyPapers(const QDate &closing)
{
    try {
        const AssemblyFees fees = FeesOfYear(YearStart(closing), closing);
        if (fees.ids.isEmpty()) {
            MsgBox(QStringLiteral("No hay cuotas cargadas. Cargue la cuota en Maestros, Cuotas."), MsgIcon::Exclamation);
            return;
        }
        const std::optional<int> fee = env().prompts->choose(
            QStringLiteral("Elija la cuota del ejercicio (la lista de quienes no la pagaron):"), kPapers, fees.names,
            fees.proposed);
        if (!fee)
            return;
        const QString file = ShowSaveFileDialog(QStringLiteral("PDF|*.pdf"), QStringLiteral("pdf"));
        if (file.isEmpty())
            return;
        ReportDocument document;
        ReportResult r = ReportResult::cancelled();
        {
            WaitCursor wait;
            r = AssemblyPapers(closing, fees.ids.at(*fee), fees.names.at(*fee), &document);
            if (r.ok())
                r = WriteReportPdf(document, file, QStringLiteral("Tesorin - ") + kPapers);
        }
        if (r.failed())
            MsgBox(ErrorText(*r.error()), MsgIcon::Critical);
        else if (r.ok())
            MsgBox(QStringLiteral("Documentación para la asamblea guardada en %1.").arg(file), MsgIcon::Information);
    } catch (const RuntimeError &e) {
        MsgBox(ErrorText(e), MsgIcon::Critical);
    }
}
