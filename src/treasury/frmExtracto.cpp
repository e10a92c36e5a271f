#include "treasury/frmExtracto.h"
#include "data/ColumnChooser.h"
#include "data/DataCombo.h"
#include "data/Database.h"
#include "data/DelimitedText.h"
#include "data/Environment.h"
#include "data/Errors.h"
#include "data/FormHelpers.h"
#include "data/Prompts.h"
#include "data/Storage.h"
#include "data/ValueRules.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QRegularExpression>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QVBoxLayout>
#include <memory>

namespace {

enum Column { ColLinea, ColFecha, ColDescripcion, ColImporte, ColEstado, ColCuenta, ColCount };

const QChar kSeparators[] = {QLatin1Char(';'), QLatin1Char(','), QLatin1Char('\t'), QLatin1Char('|')};

QString amountText(qint64 cents)
{
    return GeneralNumber(double(cents) / 100.0, env().locale);
}

QString dateText(const QDate &d)
{
    return d.toString(ShortDateFormat(env().locale));
}

} // namespace

void StatementModel::setStatement(const Statement *statement, QHash<qint64, QString> accounts)
{
    beginResetModel();
    m_statement = statement;
    m_accounts = std::move(accounts);
    endResetModel();
}

void StatementModel::lineChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, ColCount - 1));
}

int StatementModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_statement ? 0 : int(m_statement->lines.size());
}

int StatementModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColCount;
}

QVariant StatementModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) || !m_statement)
        return QVariant();
    const StatementLine &l = m_statement->lines.at(index.row());
    if (role == Qt::TextAlignmentRole)
        return index.column() == ColImporte || index.column() == ColLinea
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case ColLinea:
        return l.row;
    case ColFecha:
        return dateText(l.fecha);
    case ColDescripcion:
        return l.descripcion;
    case ColImporte:
        return amountText(l.centavos);
    case ColEstado:
        switch (l.state) {
        case StatementLine::State::Imported:
            return QStringLiteral("Ya importada");
        case StatementLine::State::Matched:
            return QStringLiteral("Concilia el movimiento %1 (%2, %3)")
                .arg(l.idMovimiento)
                .arg(dateText(l.fechaMovimiento.date()), l.descripcionMovimiento);
        case StatementLine::State::Unmatched:
            return l.crear && l.idCuenta ? QStringLiteral("Nuevo movimiento") : QStringLiteral("Sin asignar");
        }
        return QVariant();
    case ColCuenta:
        return l.state == StatementLine::State::Unmatched && l.idCuenta ? m_accounts.value(*l.idCuenta) : QString();
    }
    return QVariant();
}

QVariant StatementModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const titles[] = {"Línea", "Fecha", "Descripción", "Importe", "Qué se hace", "Cuenta"};
    return QString::fromUtf8(titles[section]);
}

frmExtracto *frmExtracto::openChosenFile()
{
    const QString path = ShowOpenFileDialog(
        QStringLiteral("Extractos bancarios|*.csv;*.txt|Todos los archivos|*"));
    if (path.isEmpty())
        return nullptr;
    return openFile(path);
}

frmExtracto *frmExtracto::openFile(const QString &path)
{
    auto *w = new frmExtracto(path);
    if (!w->load()) {
        delete w;
        return nullptr;
    }
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

frmExtracto::frmExtracto(const QString &path)
    : TreasuryWindow("frmExtracto", QStringLiteral("Importar extracto bancario")), m_path(path)
{
    lblArchivo = Named(new QLabel(this), "lblArchivo");
    lblArchivo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cboSeparador = Named(new QComboBox(this), "cboSeparador");
    cboSeparador->addItems({QStringLiteral("Punto y coma (;)"), QStringLiteral("Coma (,)"),
                            QStringLiteral("Tabulación"), QStringLiteral("Barra (|)")});
    cboDecimal = Named(new QComboBox(this), "cboDecimal");
    cboDecimal->addItems({QStringLiteral("Coma (1.234,56)"), QStringLiteral("Punto (1,234.56)")});
    cboOrdenFecha = Named(new QComboBox(this), "cboOrdenFecha");
    cboOrdenFecha->addItems({QStringLiteral("Día/mes/año"), QStringLiteral("Mes/día/año")});
    columns = new ColumnChooser({{QStringLiteral("Fecha"), QStringLiteral("&Fecha:")},
                                 {QStringLiteral("Descripcion"), QStringLiteral("&Descripción:")},
                                 {QStringLiteral("Importe"), QStringLiteral("Importe con si&gno:")},
                                 {QStringLiteral("Debito"), QStringLiteral("Dé&bito:")},
                                 {QStringLiteral("Credito"), QStringLiteral("C&rédito:")},
                                 {QStringLiteral("Referencia"), QStringLiteral("Re&ferencia:")},
                                 {QStringLiteral("Saldo"), QStringLiteral("Sa&ldo:")}},
                                this);
    columns->setObjectName(QStringLiteral("columns"));
    m_model = new StatementModel(this);
    grdLineas = Named(new QTableView(this), "grdLineas");
    grdLineas->setModel(m_model);
    grdLineas->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdLineas->setSelectionMode(QAbstractItemView::SingleSelection);
    grdLineas->verticalHeader()->hide();
    grdLineas->horizontalHeader()->setStretchLastSection(true);
    grdLineas->setAccessibleName(QStringLiteral("Líneas del extracto"));
    datcboCuenta = Named(new DataCombo(this), "datcboCuenta");
    chkCrear = Named(new QCheckBox(QStringLiteral("Crear el &movimiento"), this), "chkCrear");
    lblResumen = Named(new QLabel(this), "lblResumen");
    lblSaldos = Named(new QLabel(this), "lblSaldos");

    auto *body = new QVBoxLayout;
    body->addWidget(lblArchivo);
    auto *options = new QHBoxLayout;
    options->addWidget(buddyLabel("lblSeparador", QStringLiteral("&Separador:"), cboSeparador));
    options->addWidget(cboSeparador);
    options->addWidget(buddyLabel("lblDecimal", QStringLiteral("Marca decimal:"), cboDecimal));
    options->addWidget(cboDecimal);
    options->addWidget(buddyLabel("lblOrdenFecha", QStringLiteral("Orden de la fec&ha:"), cboOrdenFecha));
    options->addWidget(cboOrdenFecha);
    options->addStretch();
    body->addLayout(options);
    body->addWidget(columns, 2);
    body->addWidget(buddyLabel("lblLineas", QStringLiteral("Lí&neas del extracto:"), grdLineas));
    body->addWidget(grdLineas, 2);
    auto *line = new QHBoxLayout;
    line->addWidget(buddyLabel("lblCuenta", QStringLiteral("Cuen&ta del movimiento nuevo:"), datcboCuenta));
    line->addWidget(datcboCuenta, 1);
    line->addWidget(chkCrear);
    body->addLayout(line);
    body->addWidget(lblResumen);
    body->addWidget(lblSaldos);
    setBody(body);
    QList<QWidget *> chain{cboSeparador, cboDecimal, cboOrdenFecha};
    chain << columns->focusChain() << grdLineas << datcboCuenta << chkCrear << cmdOk << Cancel;
    for (int i = 0; i + 1 < chain.size(); ++i)
        setTabOrder(chain[i], chain[i + 1]);
    resize(900, 700);

    try {
        QSqlQuery q = Exec(QStringLiteral("SELECT IDCuenta, Descripcion FROM Cuenta"));
        while (q.next())
            m_accountNames.insert(q.value(0).toLongLong(), q.value(1).toString());
    } catch (const RuntimeError &e) {
        MsgBox(QStringLiteral("Se ha producido un error al llenar el ComboBox de Cuentas.\r\r") + ErrorText(e),
               MsgIcon::Critical);
    }

    for (QComboBox *c : {cboSeparador, cboDecimal, cboOrdenFecha})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { reread(); });
    connect(columns, &ColumnChooser::changed, this, [this] { reread(); });
    connect(grdLineas->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { lineSelected(); });
    connect(datcboCuenta, &QComboBox::activated, this, [this] { accountChosenForLine(); });
    connect(chkCrear, &QCheckBox::toggled, this, [this](bool on) { createToggled(on); });
    connect(cmdOk, &QPushButton::clicked, this, &frmExtracto::cmdOk_Click);
    CenterForm(this);
}

bool frmExtracto::load()
{
    TextEncoding encoding;
    try {
        m_text = ReadSpreadsheetFile(m_path, &encoding);
    } catch (const RuntimeError &e) {
        MsgBox(e.description(), MsgIcon::Critical);
        return false;
    }
    lblArchivo->setText(QStringLiteral("Archivo: %1 (%2)")
                            .arg(QDir::toNativeSeparators(m_path),
                                 encoding == TextEncoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1252")));
    proposeFormat();
    return true;
}

void frmExtracto::proposeFormat()
{
    std::optional<StatementFormat> saved;
    try {
        saved = SavedStatementFormat(Conexion());
    } catch (const RuntimeError &) {
        // Without the remembered columns the file's titles propose them.
    }
    StatementFormat f;
    if (saved) {
        f = *saved;
    } else {
        f.separator = GuessSeparator(m_text);
        const QList<QStringList> rows = SplitDelimited(m_text, f.separator);
        // The row of titles is the first that names a date.
        for (const QStringList &row : rows.mid(0, 20)) {
            const QHash<QString, int> c = ColumnsFromTitles(
                row, {{QStringLiteral("fecha"), {QStringLiteral("fecha")}},
                      {QStringLiteral("descripcion"),
                       {QStringLiteral("descripcion"), QStringLiteral("concepto"), QStringLiteral("detalle")}},
                      {QStringLiteral("debito"), {QStringLiteral("debito"), QStringLiteral("debe")}},
                      {QStringLiteral("credito"), {QStringLiteral("credito"), QStringLiteral("haber")}},
                      {QStringLiteral("importe"), {QStringLiteral("importe"), QStringLiteral("monto")}},
                      {QStringLiteral("referencia"),
                       {QStringLiteral("referencia"), QStringLiteral("comprobante"), QStringLiteral("nro")}},
                      {QStringLiteral("saldo"), {QStringLiteral("saldo")}}});
            if (!c.contains(QStringLiteral("fecha")))
                continue;
            f.fecha = c.value(QStringLiteral("fecha"));
            f.descripcion = c.value(QStringLiteral("descripcion"), -1);
            f.debito = c.value(QStringLiteral("debito"), -1);
            f.credito = c.value(QStringLiteral("credito"), -1);
            f.importe = f.debito < 0 && f.credito < 0 ? c.value(QStringLiteral("importe"), -1) : -1;
            f.referencia = c.value(QStringLiteral("referencia"), -1);
            f.saldo = c.value(QStringLiteral("saldo"), -1);
            break;
        }
        // A comma followed by two digits at a field's end is a decimal comma.
        static const QRegularExpression pointCents(QStringLiteral("\\d\\.\\d\\d(\"|;|,|\\t|$)"),
                                                   QRegularExpression::MultilineOption);
        static const QRegularExpression commaCents(QStringLiteral("\\d,\\d\\d(\"|;|\\t|$)"),
                                                   QRegularExpression::MultilineOption);
        if (!commaCents.match(m_text).hasMatch() && pointCents.match(m_text).hasMatch())
            f.decimal = QLatin1Char('.');
    }
    showFormat(f);
}

void frmExtracto::showFormat(const StatementFormat &f)
{
    m_showing = true;
    int sep = 0;
    for (int i = 0; i < 4; ++i)
        if (kSeparators[i] == f.separator)
            sep = i;
    cboSeparador->setCurrentIndex(sep);
    cboDecimal->setCurrentIndex(f.decimal == QLatin1Char('.') ? 1 : 0);
    cboOrdenFecha->setCurrentIndex(f.monthFirst ? 1 : 0);
    m_rows = SplitDelimited(m_text, f.separator);
    int width = 0;
    for (const QStringList &r : std::as_const(m_rows))
        width = std::max(width, int(r.size()));
    columns->setRows(m_rows, width);
    columns->setColumn(QStringLiteral("Fecha"), f.fecha);
    columns->setColumn(QStringLiteral("Descripcion"), f.descripcion);
    columns->setColumn(QStringLiteral("Importe"), f.importe);
    columns->setColumn(QStringLiteral("Debito"), f.debito);
    columns->setColumn(QStringLiteral("Credito"), f.credito);
    columns->setColumn(QStringLiteral("Referencia"), f.referencia);
    columns->setColumn(QStringLiteral("Saldo"), f.saldo);
    m_showing = false;
    reread();
}

StatementFormat frmExtracto::chosenFormat() const
{
    StatementFormat f;
    f.separator = kSeparators[std::max(0, cboSeparador->currentIndex())];
    f.decimal = cboDecimal->currentIndex() == 1 ? QLatin1Char('.') : QLatin1Char(',');
    f.monthFirst = cboOrdenFecha->currentIndex() == 1;
    f.fecha = columns->column(QStringLiteral("Fecha"));
    f.descripcion = columns->column(QStringLiteral("Descripcion"));
    f.importe = columns->column(QStringLiteral("Importe"));
    f.debito = columns->column(QStringLiteral("Debito"));
    f.credito = columns->column(QStringLiteral("Credito"));
    f.referencia = columns->column(QStringLiteral("Referencia"));
    f.saldo = columns->column(QStringLiteral("Saldo"));
    return f;
}

void frmExtracto::reread()
{
    if (m_showing)
        return;
    const StatementFormat f = chosenFormat();
    // Another separator splits the file again, and offers its columns.
    if (m_rows.isEmpty() || SplitDelimited(m_text.left(m_text.indexOf(QLatin1Char('\n')) + 1), f.separator).value(0)
                                != m_rows.value(0)) {
        StatementFormat kept = f;
        showFormat(kept);
        return;
    }
    m_statement = f.usable() ? ReadStatement(m_rows, f) : Statement{};
    try {
        WaitCursor wait;
        MatchStatement(Conexion(), m_statement);
    } catch (const RuntimeError &e) {
        m_statement = Statement{};
        ResetMousePointer();
        MsgBox(ErrorText(e), MsgIcon::Critical);
    }
    m_model->setStatement(&m_statement, m_accountNames);
    grdLineas->resizeColumnsToContents();
    lineSelected();
    showSummary();
}

void frmExtracto::showSummary()
{
    const StatementSummary s = Summarize(m_statement);
    if (!chosenFormat().usable()) {
        lblResumen->setText(QStringLiteral("Elija la columna de la fecha y la del importe (o las de débito y crédito)."));
        lblSaldos->clear();
        return;
    }
    lblResumen->setText(QStringLiteral("%1 líneas: %2 concilian movimientos, %3 serán movimientos nuevos, %4 ya "
                                       "importadas, %5 sin asignar; %6 filas del archivo no son movimientos.")
                            .arg(m_statement.lines.size())
                            .arg(s.matched)
                            .arg(s.created)
                            .arg(s.imported)
                            .arg(s.leftOut)
                            .arg(m_statement.ignoredRows));
    qint64 reconciled = 0;
    try {
        reconciled = ReconciledCents(Conexion());
    } catch (const RuntimeError &e) {
        lblSaldos->setText(ErrorText(e));
        return;
    }
    for (const StatementLine &l : std::as_const(m_statement.lines))
        if (l.state == StatementLine::State::Matched
            || (l.state == StatementLine::State::Unmatched && l.crear && l.idCuenta))
            reconciled += l.centavos;
    QString text = QStringLiteral("Saldo conciliado con este extracto: %1").arg(amountText(reconciled));
    if (m_statement.closingBalance) {
        text += QStringLiteral("    Saldo final del extracto: %1").arg(amountText(*m_statement.closingBalance));
        if (*m_statement.closingBalance != reconciled)
            text += QStringLiteral("    Diferencia: %1").arg(amountText(*m_statement.closingBalance - reconciled));
    }
    lblSaldos->setText(text);
}

void frmExtracto::lineSelected()
{
    const int row = grdLineas->currentIndex().row();
    const bool open = row >= 0 && row < m_statement.lines.size()
                      && m_statement.lines[row].state == StatementLine::State::Unmatched;
    datcboCuenta->setEnabled(open);
    chkCrear->setEnabled(open);
    const QSignalBlocker block(chkCrear);
    if (!open) {
        datcboCuenta->setCurrentIndex(-1);
        chkCrear->setChecked(false);
        return;
    }
    const StatementLine &l = m_statement.lines[row];
    // A debit takes an expense account, a credit an income one.
    const QString kind = DirectionCode(l.centavos < 0 ? Direction::Expense : Direction::Income);
    if (kind != m_accountKind) {
        m_accountKind = kind;
        fillCombo(*datcboCuenta,
                  Dialect::OrderedAsFile(EngineOf(Conexion()), l.centavos < 0 ? QStringLiteral("SELECT * FROM Cuenta WHERE Tipo = 'E'")
                                                                : QStringLiteral("SELECT * FROM Cuenta WHERE Tipo = 'I'"),
                                         {{QStringLiteral("IDcuentapadre"), false}, {QStringLiteral("Descripcion")}}),
                  QStringLiteral("IDCuenta"), QStringLiteral("Descripcion"), QStringLiteral("Cuentas"));
    }
    datcboCuenta->setBoundText(l.idCuenta ? QString::number(*l.idCuenta) : QString());
    chkCrear->setChecked(l.crear);
}

void frmExtracto::accountChosenForLine()
{
    const int row = grdLineas->currentIndex().row();
    if (row < 0 || row >= m_statement.lines.size() || datcboCuenta->boundText().isEmpty())
        return;
    const qint64 cuenta = datcboCuenta->boundText().toLongLong();
    const QString descripcion = m_statement.lines[row].descripcion;
    // The same charge on other days takes the same account at once.
    for (int i = 0; i < m_statement.lines.size(); ++i) {
        StatementLine &l = m_statement.lines[i];
        if (l.state != StatementLine::State::Unmatched || (i != row && (l.idCuenta || l.descripcion != descripcion)))
            continue;
        l.idCuenta = cuenta;
        l.crear = true;
        m_model->lineChanged(i);
    }
    lineSelected();
    showSummary();
}

void frmExtracto::createToggled(bool on)
{
    const int row = grdLineas->currentIndex().row();
    if (row < 0 || row >= m_statement.lines.size())
        return;
    StatementLine &l = m_statement.lines[row];
    if (on && !l.idCuenta) {
        const QSignalBlocker block(chkCrear);
        chkCrear->setChecked(false);
        MsgBox(QStringLiteral("Elija primero la cuenta del movimiento nuevo."), MsgIcon::Exclamation);
        datcboCuenta->setFocus();
        return;
    }
    l.crear = on;
    m_model->lineChanged(row);
    showSummary();
}

void frmExtracto::cmdOk_Click()
{
    const StatementFormat format = chosenFormat();
    if (!format.usable()) {
        MsgBox(QStringLiteral("Elija la columna de la fecha y la del importe (o las de débito y crédito)."),
               MsgIcon::Exclamation);
        columns->setFocus();
        return;
    }
    const StatementSummary s = Summarize(m_statement);
    if (s.matched + s.created == 0) {
        MsgBox(s.imported > 0 && s.leftOut == 0
                   ? QStringLiteral("Todas las líneas de este extracto ya estaban importadas: no se agrega nada.")
                   : QStringLiteral("No hay líneas para conciliar ni movimientos nuevos para agregar."),
               MsgIcon::Information);
        return;
    }
    if (!confirmed(QStringLiteral("Se conciliarán %1 movimientos del banco y se agregarán %2 movimientos nuevos. "
                                  "Desea continuar?")
                       .arg(s.matched)
                       .arg(s.created)))
        return;
    try {
        auto wait = std::make_unique<WaitCursor>();
        if (RecordStatement(Ledger::instance(), m_statement, env().clock->now())
            == Ledger::StatementOutcome::ChangedMeanwhile) {
            wait.reset();
            MsgBox(QStringLiteral("Mientras tanto otra computadora concilió o cambió movimientos de este extracto: no se "
                                  "guardó nada. Revise las líneas, que se vuelven a leer, y acepte otra vez."),
                   MsgIcon::Exclamation);
            reread();
            return;
        }
        try {
            SaveStatementFormat(Conexion(), format);
        } catch (const RuntimeError &) {
            // The statement is in the books; only the columns are not remembered.
        }
    } catch (const RuntimeError &e) {
        ResetMousePointer();
        MsgBox(ErrorText(e), MsgIcon::Critical);
        return;
    }
    MsgBox(QStringLiteral("Extracto importado: %1 movimientos conciliados, %2 movimientos nuevos, %3 líneas ya "
                          "importadas, %4 sin asignar.")
               .arg(s.matched)
               .arg(s.created)
               .arg(s.imported)
               .arg(s.leftOut),
           MsgIcon::Information);
    close();
}
