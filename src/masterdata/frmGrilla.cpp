#include "masterdata/frmGrilla.h"
#include "data/ChangeRecord.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/FormHelpers.h"
#include "data/Ledger.h"
#include "data/Prompts.h"
#include "data/TableInfo.h"
#include "masterdata/GrillaModel.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSqlError>
#include <algorithm>

namespace {

// Pixels.
constexpr int kOuterWidth = 367;
constexpr int kOuterHeight = 361;
constexpr int kGridMargin = 4; // the grid's distance from the window's edge
constexpr int kGridShrink = 8; // inner size minus the grid's size
constexpr int kMaxColumnWidth = 220;

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

// ---------------------------------------------------------------------------
// GrillaView, GrillaDelegate

void GrillaView::commitOpenEditor()
{
    if (state() != EditingState)
        return;
    if (QWidget *editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void GrillaView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    emit gridDoubleClicked();
}

void GrillaView::keyPressEvent(QKeyEvent *event)
{
    if (state() != EditingState && event->modifiers() == Qt::NoModifier) {
        if (event->key() == Qt::Key_Escape) {
            emit escapePressed();
            return;
        }
        if (event->key() == Qt::Key_Delete) {
            emit deletePressed();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

QWidget *GrillaDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const
{
    auto *editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("txtCelda"));
    editor->setFrame(false);
    return editor;
}

void GrillaDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *line = qobject_cast<QLineEdit *>(editor);
    const QString text = index.data(Qt::EditRole).toString();
    line->setText(text);
    line->setProperty("shownText", text);
}

void GrillaDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *line = qobject_cast<QLineEdit *>(editor);
    // A cell left as it was shown changes nothing (a number shown rounded stays as stored).
    if (line->text() == line->property("shownText").toString())
        return;
    model->setData(index, line->text(), Qt::EditRole);
}

// ---------------------------------------------------------------------------
// frmGrilla

frmGrilla::frmGrilla(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmGrilla"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Seguridad"));
    resize(kOuterWidth, kOuterHeight);

    m_grid = new GrillaView(this);
    m_grid->setObjectName(QStringLiteral("tdbgGrilla"));
    m_grid->setItemDelegate(new GrillaDelegate(m_grid));
    m_grid->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
                            | QAbstractItemView::AnyKeyPressed);
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setAlternatingRowColors(false);
    m_grid->setSortingEnabled(false); // the header click is handled here
    QHeaderView *header = m_grid->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSectionsMovable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    QHeaderView *selector = m_grid->verticalHeader();
    selector->setSectionResizeMode(QHeaderView::Fixed);
    selector->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    selector->setMinimumWidth(m_grid->fontMetrics().horizontalAdvance(QStringLiteral("MM")));
    m_grid->setGeometry(kGridMargin, kGridMargin, width() - kGridShrink, height() - kGridShrink);

    auto *remove = new QAction(QStringLiteral("&Eliminar registro\tSupr"), m_grid);
    remove->setObjectName(QStringLiteral("mnuEliminarRegistro"));
    auto *discard = new QAction(QStringLiteral("&Descartar cambios de la fila\tEsc"), m_grid);
    discard->setObjectName(QStringLiteral("mnuDescartarCambios"));
    m_grid->addAction(remove);
    m_grid->addAction(discard);
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);

    connect(remove, &QAction::triggered, this, &frmGrilla::DeleteRows);
    connect(discard, &QAction::triggered, this, &frmGrilla::DiscardRowChanges);
    connect(m_grid, &GrillaView::gridDoubleClicked, this, &frmGrilla::tdbgGrilla_DblClick);
    connect(m_grid, &GrillaView::deletePressed, this, &frmGrilla::DeleteRows);
    connect(m_grid, &GrillaView::escapePressed, this, &frmGrilla::DiscardRowChanges);
    connect(header, &QHeaderView::sectionClicked, this, &frmGrilla::tdbgGrilla_SelChange);
    connect(selector, &QHeaderView::sectionClicked, this, &frmGrilla::tdbgGrilla_SelChange);
}

frmGrilla::~frmGrilla()
{
    // The models go before the connection they read from.
    m_grid->setModel(nullptr);
    delete m_proxy;
    delete m_model;
    if (!m_connection.isEmpty())
        CloseConnection(m_connection);
}

bool frmGrilla::Load(const QString &table)
{
    static int serial = 0;
    m_table = table;
    setWindowTitle(table);
    m_connection = QStringLiteral("frmGrilla-%1").arg(++serial);

    QList<DbErrorEntry> errors;
    bool ok = false;
    {
        WaitCursor wait;
        ok = OpenConnection(m_connection, ConnectionString(), &errors);
        if (ok) {
            m_model = new GrillaTableModel(this, QSqlDatabase::database(m_connection, false));
            m_model->setObjectName(QStringLiteral("datGrilla"));
            ok = m_model->open(table);
            if (!ok)
                errors = RuntimeError::fromSql(m_model->lastError()).dbErrors();
        }
    }
    if (!ok) {
        MsgBox(QStringLiteral("No se pudo abrir la tabla ") + table + QStringLiteral(".\r\r")
                   + ADOErrorText(errors, RuntimeError(0, QString())),
               MsgIcon::Critical);
        return false;
    }

    m_proxy = new GrillaProxy(m_model, this);
    m_proxy->beforeNewRow = [this] { return savePendingRow(Tell::Later); };
    m_proxy->onSubmit = [this] { return savePendingRow(Tell::Quietly); };
    m_grid->setModel(m_proxy);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &frmGrilla::currentRowChanged);
    connect(m_model, &GrillaTableModel::valueRefused, this,
            [](const QString &message) { MsgBox(message, MsgIcon::Exclamation); }, Qt::QueuedConnection);
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this] { m_refused = false; });
    connect(m_model, &GrillaTableModel::rowsUnreadable, this, [this](const QSqlError &error) {
        MsgBox(QStringLiteral("No se pudieron leer algunos registros de la tabla ") + m_table
                   + QStringLiteral(": se muestran como ") + GrillaTableModel::kUnreadText
                   + QStringLiteral(" y no se pueden modificar. Se vuelven a leer al ordenar o filtrar la tabla, "
                                    "o al modificar uno de ellos.\r\r")
                   + ErrorText(RuntimeError::fromSql(error)),
               MsgIcon::Critical);
    }, Qt::QueuedConnection);

    m_grid->resizeColumnsToContents();
    QHeaderView *header = m_grid->horizontalHeader();
    for (int c = 0; c < header->count(); ++c)
        header->resizeSection(c, std::min(header->sectionSize(c) + 8, kMaxColumnWidth));
    m_grid->setCurrentIndex(m_proxy->index(0, 0));
    return true;
}

void frmGrilla::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_sized)
        return;
    m_sized = true;
    // The size is the window's outer size, frame included.
    const QSize frame = frameGeometry().size() - size();
    resize(QSize(kOuterWidth, kOuterHeight) - frame);
}

void frmGrilla::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int w = width() - kGridShrink, h = height() - kGridShrink;
    if (w < 0 || h < 0) // too small to hold the grid: it stays as it was
        return;
    m_grid->setGeometry(kGridMargin, kGridMargin, w, h);
}

void frmGrilla::closeEvent(QCloseEvent *event)
{
    if (m_proxy) {
        m_grid->commitOpenEditor();
        if (!savePendingRow(Tell::Closing)) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

void frmGrilla::tdbgGrilla_DblClick()
{
    if (!m_proxy || !savePendingRow(Tell::Now))
        return;
    if (m_filterOn) {
        WaitCursor wait;
        if (!m_proxy->setCriterion(FilterCriterion())) {
            showQueryError();
            return;
        }
        m_filterOn = false;
        m_proxy->setCurrentRow(m_grid->currentIndex().row());
        return;
    }
    const QModelIndex current = m_grid->currentIndex();
    const QList<GridField> &fields = m_model->fields();
    const QString field = fields.value(current.isValid() ? current.column() : 0).name;
    const QString answer = InputBox(QStringLiteral("Ingrese criterio de filtrado."),
                                    QStringLiteral("Filtro de Registros"), field + QLatin1Char('='))
                               .trimmed();
    if (m_proxy->shownRows() == 0 || answer.isEmpty())
        return;
    FilterCriterion criterion;
    QString why;
    if (!criterion.parse(answer, fields, env().locale, &why)) {
        MsgBox(QStringLiteral("El criterio de filtrado ") + quoted(answer) + QStringLiteral(" no es válido.\r\r") + why,
               MsgIcon::Exclamation);
        return;
    }
    bool filtered = false;
    {
        WaitCursor wait;
        filtered = m_proxy->setCriterion(criterion);
    }
    if (!filtered) {
        showQueryError();
        return;
    }
    m_filterOn = true;
    m_proxy->setCurrentRow(m_grid->currentIndex().row());
}

void frmGrilla::tdbgGrilla_SelChange()
{
    if (!m_proxy)
        return;
    // The selected columns, left to right as shown; the first one counts.
    QList<int> columns;
    for (const QModelIndex &i : m_grid->selectionModel()->selectedColumns())
        columns << i.column();
    const QHeaderView *header = m_grid->horizontalHeader();
    std::sort(columns.begin(), columns.end(),
              [header](int a, int b) { return header->visualIndex(a) < header->visualIndex(b); });
    const int c = columns.isEmpty() ? -1 : columns.first();
    const bool sorts = c != -1 && m_proxy->shownRows() > 0;

    if (sorts && !savePendingRow(Tell::Now)) {
        clearColumnSelection();
        showSortIndicator();
        return;
    }
    m_ascending = c == m_lastSortedColumn ? !m_ascending : true;
    m_lastSortedColumn = qint16(c);
    if (sorts) {
        bool sorted = false;
        {
            WaitCursor wait;
            sorted = m_proxy->sortBy(c, m_ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
        }
        if (!sorted)
            showQueryError();
        m_proxy->setCurrentRow(m_grid->currentIndex().row());
    }
    clearColumnSelection();
    showSortIndicator();
}

void frmGrilla::showQueryError()
{
    MsgBox(ErrorText(RuntimeError::fromSql(m_model->lastError())), MsgIcon::Critical);
}

void frmGrilla::clearColumnSelection()
{
    QItemSelectionModel *selection = m_grid->selectionModel();
    const int last = m_proxy->rowCount() - 1;
    for (const QModelIndex &i : selection->selectedColumns())
        selection->select(QItemSelection(m_proxy->index(0, i.column()), m_proxy->index(last, i.column())),
                          QItemSelectionModel::Deselect);
}

void frmGrilla::showSortIndicator()
{
    QHeaderView *header = m_grid->horizontalHeader();
    if (m_proxy->sortColumn() >= 0)
        header->setSortIndicator(m_proxy->sortColumn(), m_proxy->sortOrder());
    else
        header->setSortIndicator(-1, Qt::AscendingOrder);
}

void frmGrilla::DeleteRows()
{
    if (!m_proxy)
        return;
    m_grid->commitOpenEditor();
    QList<int> sources;
    for (const QModelIndex &i : m_grid->selectionModel()->selectedRows())
        if (m_proxy->sourceRow(i.row()) >= 0)
            sources << m_proxy->sourceRow(i.row());
    if (sources.isEmpty() && m_proxy->sourceRow(m_grid->currentIndex().row()) >= 0)
        sources << m_proxy->sourceRow(m_grid->currentIndex().row());
    if (sources.isEmpty())
        return;

    const int pending = m_model->pendingRow();
    if (pending >= 0 && !sources.contains(pending) && !savePendingRow(Tell::Now))
        return;
    // A row that others use is refused before the question (and again when it is deleted).
    for (int row : std::as_const(sources)) {
        QString refusal;
        if (!m_model->deleteRefusal(row, &refusal)) {
            MsgBox(QStringLiteral("No se pudo eliminar el registro.\r\r")
                       + ErrorText(RuntimeError::fromSql(m_model->lastError())),
                   MsgIcon::Critical);
            return;
        }
        if (!refusal.isEmpty()) {
            MsgBox(refusal, MsgIcon::Exclamation);
            return;
        }
    }
    const QString question = sources.size() == 1
        ? QStringLiteral("Se eliminará 1 registro de la tabla ") + m_table + QStringLiteral(". Esta seguro?")
        : QStringLiteral("Se eliminarán %1 registros de la tabla ").arg(sources.size()) + m_table
              + QStringLiteral(". Esta seguro?");
    if (MsgBox(question, MsgIcon::Question, MsgButtons::YesNo, 1) != MsgResult::Yes)
        return;

    // A transfer's half goes with its other half, when the user says so; a No
    // deletes nothing. Two halves both selected go together without asking.
    std::vector<qint64> keys; // the model's, for the rows move as rows go
    QList<QVariant> partners;
    QList<int> covered;
    for (int row : std::as_const(sources)) {
        if (covered.contains(row) || (row == pending && m_model->pendingIsNew()))
            continue;
        QVariant partner;
        if (!m_model->transferPartner(row, &partner)) {
            MsgBox(QStringLiteral("No se pudo eliminar el registro.\r\r")
                       + ErrorText(RuntimeError::fromSql(m_model->lastError())),
                   MsgIcon::Critical);
            return;
        }
        const int partnerRow = m_model->rowOfKey(partner);
        if (partnerRow >= 0 && sources.contains(partnerRow))
            covered << partnerRow;
        else if (!partner.isNull()
                 && MsgBox(QStringLiteral("El movimiento %1 es una mitad de una transferencia; la otra mitad es el "
                                          "movimiento %2. ¿Elimina también el movimiento %2?\r\rSi responde No, no "
                                          "se elimina ningún registro.")
                               .arg(QString::number(m_model->keyOf(row)), ChangeText(partner).toString()),
                           MsgIcon::Question, MsgButtons::YesNo, 1)
                        != MsgResult::Yes)
            return;
        keys.push_back(m_model->keyOf(row));
        partners << partner;
    }

    // A row being edited is first given back its stored values; a new one, never stored, just goes.
    if (pending >= 0 && sources.contains(pending)) {
        m_model->revertRow(pending);
        m_refused = false;
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        const int row = m_model->rowsOfKeys({keys[i]}).front();
        if (row < 0)
            continue;
        if (m_model->removeTransfer(row, partners.at(qsizetype(i))))
            continue;
        m_model->revertRow(row);
        if (!m_model->lastRefusal().isEmpty())
            MsgBox(m_model->lastRefusal(), MsgIcon::Exclamation);
        else
            MsgBox(QStringLiteral("No se pudo eliminar el registro.\r\r")
                       + ErrorText(RuntimeError::fromSql(m_model->lastError())),
                   MsgIcon::Critical);
        break;
    }
    ledgerChanged();
    m_proxy->setCurrentRow(m_grid->currentIndex().row());
}

void frmGrilla::DiscardRowChanges()
{
    if (!m_model || m_model->pendingRow() < 0)
        return;
    m_model->revertRow(m_model->pendingRow());
    m_refused = false;
    m_refusalQueued = false;
    m_proxy->setCurrentRow(m_grid->currentIndex().row());
}

void frmGrilla::currentRowChanged(const QModelIndex &current, const QModelIndex &previous)
{
    m_proxy->setCurrentRow(current.row());
    const int pending = m_model->pendingRow();
    if (pending < 0 || m_proxy->sourceRow(current.row()) == pending)
        return;
    if (savePendingRow(Tell::Later))
        return;
    // The refused row stays for correction: back to it once this change is over.
    const int column = previous.isValid() ? previous.column() : 0;
    QMetaObject::invokeMethod(
        this,
        [this, column] {
            const int row = m_proxy->rowOfSource(m_model->pendingRow());
            if (row >= 0)
                m_grid->setCurrentIndex(m_proxy->index(row, column));
        },
        Qt::QueuedConnection);
}

bool frmGrilla::savePendingRow(Tell tell)
{
    if (m_model->pendingRow() < 0)
        return true;
    // A refused row that has not changed since is tried again only on a deliberate action.
    const bool deliberate = tell == Tell::Now || tell == Tell::Closing;
    if (m_refused && !deliberate) {
        if (tell == Tell::Quietly)
            return false;
    } else {
        // A transfer's half whose amount or date changes: the other half too,
        // when the user says so; a No gives the row back its stored values.
        GrillaTableModel::TransferEdit transfer;
        if (!m_model->pendingTransferEdit(&transfer)) {
            transfer = GrillaTableModel::TransferEdit();
        } else if (!transfer.partner.isNull()) {
            // Never asked in the middle of the grid's own handling of a key or
            // a row change: once it is over, and back on the row.
            if (tell == Tell::Later || tell == Tell::Quietly) {
                askTransferLater();
                return false;
            }
            if (!askTransfer(transfer)) {
                DiscardRowChanges();
                return true;
            }
        }
        if (m_model->writePending(transfer.partner)) {
            m_refused = false;
            m_refusalQueued = false;
            ledgerChanged();
            return true;
        }
        m_refused = true;
        m_refusal = refusalText();
        if (tell == Tell::Quietly)
            tell = Tell::Later;
    }
    const QString hint = QStringLiteral("\r\rCorrija los datos de la fila o presione Esc para descartar sus cambios.");
    switch (tell) {
    case Tell::Now:
        m_refusalQueued = false;
        MsgBox(m_refusal + hint, MsgIcon::Exclamation);
        break;
    case Tell::Quietly:
    case Tell::Later:
        if (!m_refusalQueued) {
            m_refusalQueued = true;
            QMetaObject::invokeMethod(
                this,
                [this, hint] {
                    if (!m_refusalQueued)
                        return;
                    m_refusalQueued = false;
                    MsgBox(m_refusal + hint, MsgIcon::Exclamation);
                },
                Qt::QueuedConnection);
        }
        break;
    case Tell::Closing:
        m_refusalQueued = false;
        if (MsgBox(m_refusal + QStringLiteral("\r\r¿Cierra la ventana y descarta los cambios de esa fila?"),
                   MsgIcon::Question, MsgButtons::YesNo, 1)
            == MsgResult::Yes) {
            DiscardRowChanges();
            return true;
        }
        break;
    }
    return false;
}

bool frmGrilla::askTransfer(const GrillaTableModel::TransferEdit &transfer)
{
    QStringList what;
    for (const QString &field : transfer.fields)
        what << (field.compare(QLatin1String("Importe"), Qt::CaseInsensitive) == 0 ? QStringLiteral("el importe")
                                                                                   : QStringLiteral("la fecha"));
    const QString key = QString::number(m_model->keyOf(m_model->pendingRow()));
    const QString other = ChangeText(transfer.partner).toString();
    return MsgBox(QStringLiteral("El movimiento %1 es una mitad de una transferencia; la otra mitad es el movimiento "
                                 "%2. ¿Cambia también %3 del movimiento %2?\r\rSi responde No, no se guarda ningún "
                                 "cambio de esta fila.")
                      .arg(key, other, what.join(QStringLiteral(" y "))),
                  MsgIcon::Question, MsgButtons::YesNo, 1)
           == MsgResult::Yes;
}

void frmGrilla::askTransferLater()
{
    if (m_transferQueued)
        return;
    m_transferQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_transferQueued = false;
            if (m_model->pendingRow() < 0)
                return;
            const int row = m_proxy->rowOfSource(m_model->pendingRow());
            if (row >= 0 && m_proxy->sourceRow(m_grid->currentIndex().row()) != m_model->pendingRow())
                m_grid->setCurrentIndex(m_proxy->index(row, std::max(0, m_grid->currentIndex().column())));
            savePendingRow(Tell::Now);
        },
        Qt::QueuedConnection);
}

void frmGrilla::ledgerChanged()
{
    // The status bar shows the balances of the whole ledger.
    if (m_table.compare(QLatin1String("Movimiento"), Qt::CaseInsensitive) == 0 && ConexionIsOpen())
        Ledger::instance().notifyChanged();
}

QString frmGrilla::refusalText() const
{
    if (!m_model->lastRefusal().isEmpty())
        return m_model->lastRefusal();
    const QSqlError error = m_model->lastError();
    const QString head = QStringLiteral("No se pudo guardar el registro en la tabla ") + m_table;
    const BrokenRule rule = BrokenRuleOf(error, m_table);
    // The field as the grid names it (the server names its columns in lower case).
    GridField field{rule.column, FieldKind::Text};
    for (const GridField &f : m_model->fields())
        if (f.name.compare(rule.column, Qt::CaseInsensitive) == 0)
            field = f;

    QString reason;
    switch (rule.kind) {
    case BrokenRule::Kind::Unique:
        reason = QStringLiteral("ya existe otro registro con el mismo valor en el campo ") + field.name + QLatin1Char('.');
        break;
    case BrokenRule::Kind::NotNull:
        reason = QStringLiteral("el campo ") + field.name + QStringLiteral(" no puede quedar vacío.");
        break;
    case BrokenRule::Kind::OneCharacter:
        reason = QStringLiteral("el campo ") + field.name + QStringLiteral(" admite un solo carácter.");
        break;
    case BrokenRule::Kind::Check:
        if (field.kind == FieldKind::Date)
            reason = QStringLiteral("el campo ") + field.name + QStringLiteral(" sólo admite fechas.");
        else if (field.kind != FieldKind::Text)
            reason = QStringLiteral("el campo ") + field.name + QStringLiteral(" sólo admite números.");
        else
            reason = QStringLiteral("la tabla no admite el valor del campo ") + field.name + QLatin1Char('.');
        break;
    case BrokenRule::Kind::Busy:
        reason = QStringLiteral("la base de datos está ocupada por otra operación; intente nuevamente en unos segundos.");
        break;
    case BrokenRule::Kind::KeyNotInteger:
        reason = QStringLiteral("la clave del registro sólo admite números enteros.");
        break;
    case BrokenRule::Kind::None:
        break;
    }
    if (reason.isEmpty())
        return head + QStringLiteral(".\r\r") + ErrorText(RuntimeError::fromSql(error));
    return head + QStringLiteral(": ") + reason;
}
