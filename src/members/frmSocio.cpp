#include "members/frmSocio.h"
#include "data/DataCombo.h"
#include "data/Database.h"
#include "data/FormHelpers.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"
#include "members/SocioSearch.h"
#include "members/frmABMSocio.h"

#include <QApplication>
#include <QBrush>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <cmath>
#include <memory>

std::function<void(frmSocio &, qint64)> frmSocio::CobrarCuota;

namespace {

QPointer<frmSocio> g_shared;

const char *const kColumns[] = {"IDSocio", "Nombre", "Alumno", "Telefono", "Curso"};
constexpr int kColumnWidths[] = {55, 210, 200, 110, 100}; // pixels

} // namespace

// ---------------------------------------------------------------- model

void SocioListModel::setTable(SocioTable table)
{
    beginResetModel();
    m_table = std::move(table);
    endResetModel();
}

QString SocioListModel::cell(int row, int column) const
{
    const SocioTable::Row &r = m_table.rows[size_t(row)];
    switch (column) {
    case 0:
        return QString::number(r.idSocio);
    case 1:
    case 2:
    case 3:
        return QString::fromUtf8(m_table.text.data() + r.offset[column - 1],
                                 qsizetype(r.length[column - 1]));
    case 4:
        return r.curso >= 0 ? m_table.cursos.at(r.curso) : QString();
    }
    return QString();
}

int SocioListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_table.rows.size());
}

int SocioListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(std::size(kColumns));
}

QVariant SocioListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return cell(index.row(), index.column());
    case Qt::BackgroundRole:
        return index.row() % 2 ? QBrush(QColor(192, 192, 255)) : QBrush(Qt::white);
    case Qt::ForegroundRole:
        return QBrush(Qt::black);
    default:
        return QVariant();
    }
}

QVariant SocioListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < int(std::size(kColumns)))
        return QString::fromLatin1(kColumns[section]);
    return QVariant();
}

Qt::ItemFlags SocioListModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// ---------------------------------------------------------------- window

frmSocio::frmSocio(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmSocio"));
    setWindowTitle(QStringLiteral("Socios de cooperadora"));

    auto box = [&](const char *name) {
        QLineEdit *e = Named(new QLineEdit(this), name);
        e->setMaxLength(50);
        return e;
    };
    auto button = [&](const char *name, const QString &caption) {
        QPushButton *b = Named(new QPushButton(caption, this), name);
        b->setAutoDefault(false);
        b->setMinimumWidth(106);
        return b;
    };

    lblApellido = Named(new QLabel(QStringLiteral("Socio:"), this), "lblApellido");
    txtSocioNumero = box("txtSocioNumero");
    txtSocioNumero->setFixedWidth(60);
    txtSocioNombre = box("txtSocioNombre");
    Label1 = Named(new QLabel(QStringLiteral("Alumno:"), this), "Label1");
    txtAlumno = box("txtAlumno");
    lblComprobante = Named(new QLabel(QStringLiteral("Curso:"), this), "lblComprobante");
    datcboCurso = Named(new DataCombo(this), "datcboCurso");
    datcboCurso->setFixedWidth(252);
    cmdBuscar = button("cmdBuscar", QStringLiteral("Buscar!"));
    cmdBuscar->setDefault(true);
    lblApellido->setBuddy(txtSocioNombre);
    // "Socio:" stands before both boxes; screen readers tell them apart by name.
    txtSocioNumero->setAccessibleName(QStringLiteral("Número de socio"));
    txtSocioNombre->setAccessibleName(QStringLiteral("Nombre del socio"));
    Label1->setBuddy(txtAlumno);
    lblComprobante->setBuddy(datcboCurso);

    m_model = new SocioListModel(this);
    tdbgrdComodidadUtilizada = Named(new QTableView(this), "tdbgrdComodidadUtilizada");
    QTableView *grid = tdbgrdComodidadUtilizada;
    grid->setModel(m_model);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setWordWrap(false);
    grid->verticalHeader()->hide();
    // Fixed row heights and column widths: nothing is measured row by row, so
    // a list of any length shows at once.
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    for (int c = 0; c < int(std::size(kColumnWidths)); ++c)
        grid->setColumnWidth(c, kColumnWidths[c]);
    grid->horizontalHeader()->setStretchLastSection(true);

    cmdNuevoS = button("cmdNuevoS", QStringLiteral("&Nuevo Socio"));
    cmdEdit = button("cmdEdit", QStringLiteral("&Editar Socio"));
    cmdDelete = button("cmdDelete", QStringLiteral("Borrar Socio"));
    cmdCobrar = button("cmdCobrar", QStringLiteral("&Cobrar Cuota"));
    cmdSelect = button("cmdSelect", QStringLiteral("Seleccionar!"));
    cmdSelect->hide();

    auto *filters = new QGridLayout;
    filters->addWidget(lblApellido, 0, 0);
    auto *socio = new QHBoxLayout;
    socio->addWidget(txtSocioNumero);
    socio->addWidget(txtSocioNombre, 1);
    filters->addLayout(socio, 0, 1);
    filters->addWidget(Label1, 0, 2);
    filters->addWidget(txtAlumno, 0, 3);
    filters->addWidget(lblComprobante, 1, 0);
    auto *curso = new QHBoxLayout;
    curso->addWidget(datcboCurso);
    curso->addStretch(1);
    filters->addLayout(curso, 1, 1, 1, 2);
    filters->addWidget(cmdBuscar, 1, 3, Qt::AlignRight);
    filters->setColumnStretch(1, 4);
    filters->setColumnStretch(3, 4);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdNuevoS);
    buttons->addWidget(cmdEdit);
    buttons->addWidget(cmdDelete);
    buttons->addStretch(1);
    buttons->addWidget(cmdCobrar);
    buttons->addStretch(1);
    buttons->addWidget(cmdSelect);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(grid, 1);
    layout->addLayout(buttons);

    connect(cmdBuscar, &QPushButton::clicked, this, &frmSocio::cmdBuscar_Click);
    connect(cmdNuevoS, &QPushButton::clicked, this, &frmSocio::cmdNuevoS_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmSocio::cmdEdit_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmSocio::cmdDelete_Click);
    connect(cmdCobrar, &QPushButton::clicked, this, &frmSocio::cmdCobrar_Click);
    connect(cmdSelect, &QPushButton::clicked, this, &frmSocio::cmdSelect_Click);
}

frmSocio::~frmSocio() = default;

QSize frmSocio::sizeHint() const
{
    return QSize(741, 357).expandedTo(minimumSizeHint());
}

QWidget *frmSocio::frame()
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        return sub;
    if (auto *picker = qobject_cast<QDialog *>(parentWidget()))
        return picker;
    return this;
}

void frmSocio::Form_Load()
{
    QWidget *window = frame();
    CenterForm(window);
    if (qobject_cast<QMdiSubWindow *>(window)) { // inside the main window: keep it within the area's view
        const QWidget *area = window->parentWidget();
        window->move(qMax(0, qMin(window->x(), area->width() - window->width())),
                     qMax(0, qMin(window->y(), area->height() - window->height())));
    }

    QString error;
    FillDataCombo(error, *datcboCurso,
                  Dialect::OrderedAsFile(EngineOf(Conexion()),
                                         QStringLiteral("SELECT '' AS IDCurso, ' <TODOS>' as Nombre from Curso UNION  "
                                                        "SELECT %1, Nombre FROM Curso")
                                             .arg(Dialect::KeyAsText(EngineOf(Conexion()), QStringLiteral("IDCurso"))),
                                         {{QStringLiteral("Nombre")}}),
                  QStringLiteral("IDCurso"), QStringLiteral("Nombre"), true);
    if (!error.isEmpty())
        MsgBox(QStringLiteral("Se ha producido un error al llenar el ComboBox de Cursos.\r\r") + error,
               MsgIcon::Critical);

    FillSocioGrid();
    cmdSelect->hide();
}

void frmSocio::FillSocioGrid()
{
    QVariantList binds;
    const QString sql = SocioSearchSql(
        {txtSocioNumero->text(), txtSocioNombre->text(), txtAlumno->text(), datcboCurso->boundText()}, &binds);

    try {
        WaitCursor wait;
        SocioTable table;
        {
            RowReader q(Conexion(), sql, binds);
            QHash<qint64, int> cursos; // IDCurso -> position of its name
            while (q.next()) {
                SocioTable::Row r;
                r.idSocio = q.integer(0);
                for (int c = 0; c < 3; ++c) {
                    QByteArrayView t = q.text(c + 1);
                    QByteArray shown;
                    if (t.size() > kDisplayChars) { // only then can it hold more characters
                        shown = DisplayText(QString::fromUtf8(t)).toUtf8();
                        t = shown;
                    }
                    r.offset[c] = quint32(table.text.size());
                    r.length[c] = quint32(t.size());
                    table.text.append(t.data(), size_t(t.size()));
                }
                if (!q.isNull(4)) {
                    auto it = cursos.find(q.integer(4));
                    if (it == cursos.end()) {
                        it = cursos.insert(q.integer(4), int(table.cursos.size()));
                        table.cursos << DisplayText(QString::fromUtf8(q.text(5)));
                    }
                    r.curso = *it;
                }
                table.rows.push_back(r);
            }
        } // the result is released before the grid shows the rows
        table.rows.shrink_to_fit();
        table.text.shrink_to_fit();
        m_model->setTable(std::move(table));
    } catch (const RuntimeError &e) {
        MsgBox(QStringLiteral("Ha ocurrido un error al llenar la lista de Socios.\r\r") + ErrorText(e),
               MsgIcon::Critical);
        return;
    }
    if (m_model->rowCount() > 0) { // the first row is the current one
        tdbgrdComodidadUtilizada->setCurrentIndex(m_model->index(0, 0));
        tdbgrdComodidadUtilizada->scrollToTop();
    }
}

std::optional<qint64> frmSocio::currentIDSocio() const
{
    const QModelIndex i = tdbgrdComodidadUtilizada->currentIndex();
    if (!i.isValid())
        return std::nullopt;
    return m_model->idSocio(i.row());
}

void frmSocio::cmdBuscar_Click()
{
    FillSocioGrid();
}

void frmSocio::cmdNuevoS_Click()
{
    frmABMSocio::Edit(0, window());
    FillSocioGrid();
}

void frmSocio::cmdEdit_Click()
{
    const auto id = currentIDSocio();
    if (!id)
        return;
    frmABMSocio::Edit(*id, window());
    FillSocioGrid();
}

namespace {
qint64 paymentCount(qint64 idSocio)
{
    QSqlQuery q = Exec(QStringLiteral("SELECT COUNT(*) FROM Movimiento WHERE IDSocio=?"), {idSocio});
    return q.next() ? q.value(0).toLongLong() : 0;
}

// The member's payments stay where they are; the question says what deleting
// the member does to them.
QString deleteQuestion(qint64 idSocio, qint64 payments)
{
    QString text;
    if (payments > 0)
        text = QStringLiteral("El socio %1 tiene %2 (seguirán en la caja y en el balance, pero no en el libro "
                              "de socios).\r\r")
                   .arg(idSocio)
                   .arg(payments == 1 ? QStringLiteral("1 pago registrado, que quedará sin socio")
                                      : QStringLiteral("%1 pagos registrados, que quedarán sin socio").arg(payments));
    return text + QStringLiteral("Esta seguro de eliminar el socio ") + QString::number(idSocio) + QLatin1Char('?');
}
} // namespace

void frmSocio::cmdDelete_Click()
{
    const auto id = currentIDSocio();
    if (!id)
        return;
    try {
        // Another program may pay for the member, or delete it, while the
        // question is open: the deletion counts again under the write lock,
        // and asks again when the count it would go by is not the one shown.
        qint64 shown = paymentCount(*id);
        for (;;) {
            if (MsgBox(deleteQuestion(*id, shown), MsgIcon::Question, MsgButtons::YesNo, 1,
                       QStringLiteral("ELIMINACION DE REGISTRO"))
                != MsgResult::Yes)
                return;
            bool gone;
            {
                Transaction write(Conexion(), Transaction::Mode::Immediate);
                gone = !Exec(QStringLiteral("SELECT 1 FROM Socio WHERE IDSocio=?"), {*id}).next();
                const qint64 payments = gone ? shown : paymentCount(*id);
                if (payments != shown) {
                    shown = payments;
                    continue; // rolled back: nothing is locked while asking again
                }
                if (!gone) {
                    Exec(QStringLiteral("DELETE FROM Socio WHERE IDSocio=?"), {*id});
                    write.commit();
                }
            }
            if (gone)
                MsgBox(QStringLiteral("El socio %1 ya no existe: otro programa lo eliminó.").arg(*id),
                       MsgIcon::Exclamation);
            break;
        }
    } catch (const RuntimeError &e) {
        MsgBox(ErrorText(e), MsgIcon::Critical);
        return;
    }
    FillSocioGrid();
}

void frmSocio::cmdCobrar_Click()
{
    const auto id = currentIDSocio();
    if (id && CobrarCuota)
        CobrarCuota(*this, *id);
}

void frmSocio::cmdSelect_Click()
{
    const auto id = currentIDSocio();
    m_tag = id ? QString::number(*id) : QStringLiteral("0");
    hide();
}

QPushButton *frmSocio::defaultButton() const
{
    return m_picker ? cmdSelect : cmdBuscar;
}

void frmSocio::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            QPushButton *b = defaultButton();
            if (b->isVisibleTo(this) && b->isEnabled())
                b->click();
            return;
        }
        break;
    }
    QWidget::keyPressEvent(event);
}

void frmSocio::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Only a real hide ends the picker, not the window system hiding it along
    // with a minimised main window.
    if (!event->spontaneous())
        emit hidden();
}

frmSocio *frmSocio::sharedInstance()
{
    return g_shared;
}

namespace {
// The picker's frame: a dialog around the list. The list has no cancel
// button, so Escape does not close it; the close box does, choosing nobody.
class PickerDialog : public QDialog
{
public:
    using QDialog::QDialog;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape) {
            event->accept();
            return;
        }
        QDialog::keyPressEvent(event);
    }
};
} // namespace

qint64 frmSocio::SelectSocio(QWidget *owner)
{
    PickerDialog host(owner ? owner : QApplication::activeWindow());
    host.setObjectName(QStringLiteral("frmSocioPicker"));
    auto *form = new frmSocio(&host);
    host.setWindowTitle(form->windowTitle());
    auto *frameLayout = new QVBoxLayout(&host);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    frameLayout->addWidget(form);
    host.resize(host.sizeHint()); // its size is needed to centre it
    g_shared = form;

    form->Form_Load();
    form->m_picker = true;
    form->cmdSelect->show();
    form->cmdBuscar->setDefault(false);
    form->cmdSelect->setDefault(true);
    for (QPushButton *b : {form->cmdEdit, form->cmdNuevoS, form->cmdDelete, form->cmdCobrar})
        b->hide();

    // "Seleccionar" hides the list; that ends the dialog.
    QObject::connect(form, &frmSocio::hidden, &host, [&host] {
        if (host.isVisible())
            host.reject();
    });
    host.exec();
    return form->m_tag.toLongLong(); // our own number text, or "0"
}

qint64 SelectSocio(QWidget *owner)
{
    return frmSocio::SelectSocio(owner);
}
