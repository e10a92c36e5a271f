#include "members/frmImportarSocios.h"
#include "data/ColumnChooser.h"
#include "data/Database.h"
#include "data/FormHelpers.h"
#include "data/Prompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPointer<frmImportarSocios> g_current;

QList<ColumnChooser::Field> chooserFields()
{
    // Alt letters apart from the window's own (P, F, Z, L, I, C).
    const QHash<QString, QString> captions{
        {QStringLiteral("Nombre"), QStringLiteral("&Socio:")},      {QStringLiteral("Alumno"), QStringLiteral("&Alumno:")},
        {QStringLiteral("Curso"), QStringLiteral("C&urso:")},       {QStringLiteral("Telefono"), QStringLiteral("&Teléfono:")},
        {QStringLiteral("Email"), QStringLiteral("&E-mail:")},      {QStringLiteral("Direccion"), QStringLiteral("&Dirección:")},
        {QStringLiteral("DNI"), QStringLiteral("D&NI:")}};
    QList<ColumnChooser::Field> fields;
    for (const QString &f : MemberImportFields())
        fields.append({f, captions.value(f)});
    return fields;
}

QString actionText(MemberImportRow::Action a)
{
    switch (a) {
    case MemberImportRow::Action::Add: return QStringLiteral("Se agrega");
    case MemberImportRow::Action::Update: return QStringLiteral("Se actualiza");
    case MemberImportRow::Action::Omit: break;
    }
    return QStringLiteral("Se omite");
}

} // namespace

QString frmImportarSocios::fileFilter()
{
    return QStringLiteral("Planilla (CSV)|*.csv|Texto|*.txt|Todos los archivos|*");
}

frmImportarSocios *frmImportarSocios::current()
{
    return g_current;
}

frmImportarSocios::frmImportarSocios(const QString &path, DelimitedText text, MemberRoll roll, QWidget *parent)
    : QDialog(parent), m_path(path), m_text(std::move(text)), m_roll(std::move(roll))
{
    setObjectName(QStringLiteral("frmImportarSocios"));
    setWindowTitle(QStringLiteral("Importar socios"));

    lblArchivo = Named(new QLabel(this), "lblArchivo");
    lblArchivo->setText(QStringLiteral("Archivo: %1 (%2, separado por «%3»)")
                            .arg(QDir::toNativeSeparators(path),
                                 m_text.encoding == TextEncoding::Utf8 ? QStringLiteral("UTF-8")
                                                                       : QStringLiteral("Windows-1252"),
                                 m_text.separator == QLatin1Char('\t') ? QStringLiteral("tabulador")
                                                                       : QString(m_text.separator)));
    lblArchivo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chooser = Named(new ColumnChooser(chooserFields(), this), "chooser");
    chooser->setRows(m_text.rows, m_text.columns);
    chkTitulos = Named(new QCheckBox(QStringLiteral("La primera &fila tiene los títulos"), this), "chkTitulos");
    chkActualizar = Named(new QCheckBox(QStringLiteral("Actuali&zar los socios que ya figuran"), this), "chkActualizar");
    chkActualizar->setChecked(true);

    lblFilas = Named(new QLabel(QStringLiteral("&Lo que se hará con cada fila:"), this), "lblFilas");
    grdFilas = Named(new QTableWidget(0, 6, this), "grdFilas");
    grdFilas->setHorizontalHeaderLabels({QStringLiteral("Fila"), QStringLiteral("Socio"), QStringLiteral("Alumno"),
                                         QStringLiteral("Curso"), QStringLiteral("Acción"), QStringLiteral("Detalle")});
    grdFilas->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdFilas->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdFilas->verticalHeader()->hide();
    grdFilas->verticalHeader()->setDefaultSectionSize(grdFilas->fontMetrics().height() + 6);
    grdFilas->horizontalHeader()->setStretchLastSection(true);
    grdFilas->setAccessibleName(QStringLiteral("Lo que se hará con cada fila"));
    lblFilas->setBuddy(grdFilas);
    lblResumen = Named(new QLabel(this), "lblResumen");
    lblResumen->setWordWrap(true);

    cmdImportar = Named(new QPushButton(QStringLiteral("&Importar"), this), "cmdImportar");
    cmdImportar->setDefault(true);
    cmdCancelar = Named(new QPushButton(QStringLiteral("&Cancelar"), this), "cmdCancelar");

    auto *checks = new QHBoxLayout;
    checks->addWidget(chkTitulos);
    checks->addWidget(chkActualizar);
    checks->addStretch(1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdImportar);
    buttons->addWidget(cmdCancelar);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblArchivo);
    layout->addWidget(chooser, 3);
    layout->addLayout(checks);
    layout->addWidget(lblFilas);
    layout->addWidget(grdFilas, 2);
    layout->addWidget(lblResumen);
    layout->addLayout(buttons);
    resize(820, 640);

    QWidget *previous = nullptr;
    for (QWidget *w : chooser->focusChain() + QList<QWidget *>{chkTitulos, chkActualizar, grdFilas, cmdImportar, cmdCancelar}) {
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }

    // The titles propose the columns; a first row that names none is a member.
    const QHash<QString, int> proposed =
        m_text.rows.isEmpty() ? QHash<QString, int>() : ColumnsFromTitles(m_text.rows.first(), MemberImportTitles());
    chkTitulos->setChecked(proposed.contains(QStringLiteral("Nombre")));
    for (auto it = proposed.cbegin(); it != proposed.cend(); ++it)
        chooser->setColumn(it.key(), it.value());

    connect(chooser, &ColumnChooser::changed, this, &frmImportarSocios::refresh);
    connect(chkTitulos, &QCheckBox::toggled, this, &frmImportarSocios::refresh);
    connect(chkActualizar, &QCheckBox::toggled, this, &frmImportarSocios::refresh);
    connect(cmdImportar, &QPushButton::clicked, this, &frmImportarSocios::cmdImportar_Click);
    connect(cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
    refresh();
}

MemberImportSource frmImportarSocios::source() const
{
    return {m_text.rows, chooser->columns(), chkTitulos->isChecked()};
}

void frmImportarSocios::refresh()
{
    m_plan = PlanMemberImport(m_roll, source(), chkActualizar->isChecked());
    grdFilas->setRowCount(0);
    grdFilas->setRowCount(int(m_plan.rows.size()));
    int r = 0;
    for (const MemberImportRow &row : std::as_const(m_plan.rows)) {
        QStringList detail;
        if (!row.note.isEmpty())
            detail << row.note;
        detail << row.changes;
        if (!row.cut.isEmpty())
            detail << QStringLiteral("Cortado a lo que admite el socio: ") + row.cut.join(QStringLiteral(", "));
        const QStringList cells{QString::number(row.line),    row.values.value(QStringLiteral("Nombre")),
                                row.values.value(QStringLiteral("Alumno")), row.course,
                                actionText(row.action),       detail.join(QStringLiteral("; "))};
        for (int c = 0; c < cells.size(); ++c)
            grdFilas->setItem(r, c, new QTableWidgetItem(cells[c]));
        ++r;
    }
    grdFilas->resizeColumnsToContents();

    QString text;
    if (chooser->column(QStringLiteral("Nombre")) < 0) {
        text = QStringLiteral("Elija la columna que tiene el nombre del socio.");
    } else {
        text = QStringLiteral("Se agregarán %1 socios, se actualizarán %2 y se omitirán %3.")
                   .arg(m_plan.added)
                   .arg(m_plan.updated)
                   .arg(m_plan.omitted);
        if (!m_plan.newCourses.isEmpty())
            text += QStringLiteral(" Cursos nuevos: ") + m_plan.newCourses.join(QStringLiteral(", ")) + QLatin1Char('.');
        if (m_plan.cutValues > 0)
            text += QStringLiteral(" %1 datos son más largos de lo que admite el socio y se guardarán cortados.")
                        .arg(m_plan.cutValues);
    }
    lblResumen->setText(text);
    cmdImportar->setEnabled(chooser->column(QStringLiteral("Nombre")) >= 0 && m_plan.added + m_plan.updated > 0);
}

void frmImportarSocios::cmdImportar_Click()
{
    if (!m_plan.newCourses.isEmpty()
        && MsgBox(QStringLiteral("Estos cursos no existen y se crearán:\r\r") + m_plan.newCourses.join(QLatin1Char('\r'))
                      + QStringLiteral("\r\r¿Crearlos e importar la lista?"),
                  MsgIcon::Question, MsgButtons::YesNo, 1)
               != MsgResult::Yes)
        return;
    if (m_plan.cutValues > 0
        && MsgBox(QStringLiteral("%1 datos son más largos de lo que admite el socio y se guardarán cortados (ver "
                                 "el detalle de cada fila).\r\r¿Importar igual?")
                      .arg(m_plan.cutValues),
                  MsgIcon::Question, MsgButtons::YesNo, 1)
               != MsgResult::Yes)
        return;
    try {
        const MemberImportPlan done =
            WriteMemberImport(Conexion(), source(), chkActualizar->isChecked(), QFileInfo(m_path).fileName());
        m_imported = true;
        MsgBox(MemberImportSummary(done), MsgIcon::Information);
        accept();
    } catch (const RuntimeError &e) {
        MsgBox(ErrorText(e), MsgIcon::Critical);
    }
}

bool frmImportarSocios::Import(QWidget *owner)
{
    const QString path = ShowOpenFileDialog(fileFilter());
    if (path.isEmpty())
        return false;
    bool imported = false;
    try {
        DelimitedText text = ReadDelimitedFile(path);
        MemberRoll roll = ReadMemberRoll(Conexion());
        QPointer<frmImportarSocios> form =
            new frmImportarSocios(path, std::move(text), std::move(roll), owner ? owner : QApplication::activeWindow());
        form->setWindowModality(Qt::ApplicationModal);
        CenterForm(form);
        g_current = form;
        form->exec();
        imported = form && form->m_imported;
        delete form;
    } catch (const RuntimeError &e) {
        MsgBox(ErrorText(e), MsgIcon::Critical);
    }
    return imported;
}
