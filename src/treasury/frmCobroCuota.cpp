#include "treasury/frmCobroCuota.h"
#include "data/DataCombo.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/IniFile.h"
#include "data/Ledger.h"
#include "data/FormHelpers.h"
#include "data/Parametros.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"
#include "members/frmSocio.h"
#include "reports/ReportOutput.h"
#include "treasury/rptReciboCuota.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlRecord>
#include <cmath>

namespace {

QPointer<frmCobroCuota> g_shared;

QLabel *label(QWidget *parent, const char *name, const QString &text, QWidget *buddy)
{
    auto *l = Named(new QLabel(text, parent), name);
    l->setBuddy(buddy);
    return l;
}

// A receipt number is a whole number from 1 to 2147483647.
std::optional<qint32> receiptNumber(const QString &answer)
{
    if (!IsNumeric(answer, env().locale))
        return std::nullopt;
    const double v = ToDouble(answer, env().locale);
    if (v < 1 || v > 2147483647.0 || std::floor(v) != v)
        return std::nullopt;
    return static_cast<qint32>(v);
}

} // namespace

frmCobroCuota::frmCobroCuota(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmCobroCuota"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Ingreso de cuota"));

    txtSocioNumero = new QLineEdit(this);
    txtSocioNumero->setObjectName(QStringLiteral("txtSocioNumero"));
    txtSocioNumero->installEventFilter(this);
    cmdBuscarSocio = new QPushButton(QStringLiteral("&Buscar socio"), this);
    cmdBuscarSocio->setObjectName(QStringLiteral("cmdBuscarSocio"));
    cmdBuscarSocio->setAutoDefault(false);
    lblSocioNombre = new QLabel(QString(41, QLatin1Char('X')), this);
    lblSocioNombre->setObjectName(QStringLiteral("lblSocioNombre"));
    datcboCurso = new DataCombo(this);
    datcboCurso->setObjectName(QStringLiteral("datcboCurso"));
    txtImporte = new QLineEdit(this);
    txtImporte->setObjectName(QStringLiteral("txtImporte"));
    calFechaOperacion = new QDateTimeEdit(this);
    calFechaOperacion->setObjectName(QStringLiteral("calFechaOperacion"));
    calFechaOperacion->setCalendarPopup(true);
    calFechaOperacion->setDisplayFormat(ShortDateFormat(env().locale) + QStringLiteral(" HH:mm"));
    chkRecibo = new QCheckBox(QStringLiteral("Se emitio recibo manual"), this);
    chkRecibo->setObjectName(QStringLiteral("chkRecibo"));
    cmdOk = new QPushButton(QStringLiteral("Aceptar"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);
    Cancel = new QPushButton(QStringLiteral("Cancelar"), this);
    Cancel->setObjectName(QStringLiteral("Cancel"));
    Cancel->setAutoDefault(false);

    auto *grid = new QGridLayout;
    grid->addWidget(label(this, "lblApellido", QStringLiteral("&Socio:"), txtSocioNumero), 0, 0);
    grid->addWidget(txtSocioNumero, 0, 1);
    grid->addWidget(cmdBuscarSocio, 0, 2);
    grid->addWidget(lblSocioNombre, 1, 1, 1, 2);
    grid->addWidget(label(this, "lblComprobante", QStringLiteral("C&uota:"), datcboCurso), 2, 0);
    grid->addWidget(datcboCurso, 2, 1, 1, 2);
    grid->addWidget(label(this, "Label1", QStringLiteral("&Importe"), txtImporte), 3, 0);
    grid->addWidget(txtImporte, 3, 1);
    grid->addWidget(label(this, "Label2", QStringLiteral("&Fecha de operacion: "), calFechaOperacion), 4, 0);
    grid->addWidget(calFechaOperacion, 4, 1);
    grid->addWidget(chkRecibo, 5, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(Cancel);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addStretch();
    outer->addLayout(buttons);
    resize(440, 240);

    connect(cmdBuscarSocio, &QPushButton::clicked, this, &frmCobroCuota::cmdBuscarSocio_Click);
    connect(cmdOk, &QPushButton::clicked, this, &frmCobroCuota::cmdOk_Click);
    connect(Cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(datcboCurso, &QComboBox::currentIndexChanged, this, &frmCobroCuota::datcboCurso_Change);

    // Window load.
    CenterForm(this);
    QString error;
    FillDataCombo(error, *datcboCurso, QStringLiteral("SELECT * FROM Cuota ORDER BY vigencia DESC"),
                  QStringLiteral("IDCuota"), QStringLiteral("Descripcion"), false);
    if (!error.isEmpty())
        MsgBox(QStringLiteral("Se ha producido un error al llenar el ComboBox de Cursos.") + QStringLiteral("\r\r") + error,
               MsgIcon::Critical);
    calFechaOperacion->setDateTime(env().clock->now());
}

frmCobroCuota *frmCobroCuota::shared()
{
    if (!g_shared)
        g_shared = new frmCobroCuota;
    return g_shared;
}

frmCobroCuota *frmCobroCuota::openFromList(frmSocio &list, qint32 idSocio)
{
    auto *w = new frmCobroCuota;
    w->show();
    w->txtSocioNumero->setText(QString::number(idSocio));
    w->txtSocioNumero->setFocus();
    w->txtSocioNumero_LostFocus();
    // The list goes to the top-left corner and the fee window stands at its right.
    QWidget *frame = list.frame();
    frame->move(0, 0);
    const QPoint right = frame->mapToGlobal(QPoint(frame->frameGeometry().width() + 1, 0));
    const int screenWidth = env().screenSize().width();
    w->move(qMax(0, qMin(right.x(), screenWidth - w->frameGeometry().width())), w->y());
    return w;
}

bool frmCobroCuota::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtSocioNumero && event->type() == QEvent::FocusOut)
        txtSocioNumero_LostFocus();
    return QWidget::eventFilter(watched, event);
}

void frmCobroCuota::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        Cancel->click();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // "Aceptar" is the default button; a number just typed is looked up first,
        // as when the box loses focus to a click.
        if (txtSocioNumero->hasFocus())
            txtSocioNumero_LostFocus();
        cmdOk->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmCobroCuota::txtSocioNumero_LostFocus()
{
    const QString text = txtSocioNumero->text().trimmed();
    if (text.isEmpty() || !IsNumeric(text, env().locale))
        return;
    // A number outside 32 bits matches no member.
    if (const auto n = CLng(ToDouble(text, env().locale)))
        LoadSocio(*n);
}

void frmCobroCuota::LoadSocio(qint32 numero)
{
    try {
        QSqlQuery q = Exec(QStringLiteral("SELECT * from socio where IDSocio=?"), {numero});
        if (q.next()) {
            lblSocioNombre->setText(TextOrEmpty(q.value(QStringLiteral("Nombre"))));
            m_socio = numero;
        }
    } catch (const RuntimeError &e) {
        MsgBox(QStringLiteral("Ha ocurrido un error al llenar la lista de Socios.") + QStringLiteral("\r\r") + ErrorText(e),
               MsgIcon::Critical);
    }
}

void frmCobroCuota::cmdBuscarSocio_Click()
{
    const qint32 n = SelectSocio(this);
    if (n != 0) {
        txtSocioNumero->setText(QString::number(n));
        LoadSocio(n);
    }
}

void frmCobroCuota::datcboCurso_Change()
{
    if (const QSqlRecord *cuota = datcboCurso->currentRow())
        // Written the way the amount is read back: with a point as decimal mark.
        txtImporte->setText(GeneralNumber(NumberOrZero(cuota->value(QStringLiteral("Valor"))), QLocale::c()));
}

bool frmCobroCuota::inputAccepted()
{
    QString refusal;
    if (m_socio == 0)
        refusal = QStringLiteral("Debe seleccionar un socio");
    else if (!datcboCurso->currentRow())
        refusal = QStringLiteral("Debe seleccionar una cuota");
    else if (!ReadsWholeAmount(txtImporte->text())
             || AmountLooksLikeThousands(txtImporte->text(), env().locale))
        refusal = QStringLiteral("El importe ingresado no es valido");
    if (refusal.isEmpty())
        return true;
    MsgBox(refusal, MsgIcon::Exclamation);
    return false;
}

void frmCobroCuota::cmdOk_Click()
{
    if (!inputAccepted())
        return;
    const QString cuotaTexto = datcboCurso->currentText();
    const QString socioNombre = lblSocioNombre->text();
    const QString importeTexto = txtImporte->text();
    if (MsgBox(QStringLiteral("Va a ingresar el pago de cuota ") + cuotaTexto + QStringLiteral(" para ") + socioNombre
                   + QStringLiteral(", por $") + importeTexto + QStringLiteral(" Esta seguro?"),
               MsgIcon::Question, MsgButtons::YesNo, 1)
        != MsgResult::Yes)
        return;

    try {
        const QSqlRecord cuota = *datcboCurso->currentRow();
        const qint64 idCuota = cuota.value(QStringLiteral("IDCuota")).toLongLong();
        Ledger &ledger = Ledger::instance();
        // Asked before the receipt number, so nobody types one for nothing; the
        // ledger checks again when it writes.
        if (ledger.feeAlreadyPaid(m_socio, idCuota)) {
            MsgBox(QStringLiteral("Ya esta cobrada esa cuota!"), MsgIcon::Exclamation);
            return;
        }

        Movement pago;
        if (chkRecibo->isChecked()) {
            const qint32 proximo = GetProximoRecibo();
            const auto numero = receiptNumber(
                InputBox(QStringLiteral("Ingrese numero de recibo"), AppTitle(), QString::number(proximo)));
            if (!numero) {
                MsgBox(QStringLiteral("El recibo debe ser numerico"), MsgIcon::Exclamation);
                return;
            }
            pago.recibo = *numero;
        }
        pago.fecha = calFechaOperacion->dateTime();
        pago.idSocio = m_socio;
        pago.idCuota = idCuota;
        const QVariant cuenta = cuota.value(QStringLiteral("IDCuenta"));
        if (!cuenta.isNull())
            pago.idCuenta = cuenta.toLongLong();
        pago.tipo = Direction::Income;
        pago.importe = ReadAmount(importeTexto);
        pago.medio = Medium::Cash;
        pago.descripcion = TextOrEmpty(cuota.value(QStringLiteral("Descripcion")));
        if (ledger.recordFee(pago) == Ledger::FeeOutcome::AlreadyPaid) {
            MsgBox(QStringLiteral("Ya esta cobrada esa cuota!"), MsgIcon::Exclamation);
            return;
        }

        if (pago.recibo) {
            MsgBox(QStringLiteral("Datos guardados con recibo ") + QString::number(*pago.recibo),
                   MsgIcon::Information);
        } else if (MsgBox(QStringLiteral("Desea imprimir el recibo?"), MsgIcon::Question, MsgButtons::YesNo)
                   == MsgResult::Yes) {
            rptReciboCuota r;
            r.lblCooperadora.caption = ReadIniValue(QStringLiteral("Location"), QStringLiteral("Nombre")).toString();
            r.lblRecibimos.caption = FeeReceiptBody(socioNombre, importeTexto, cuotaTexto);
            r.lblHistorialPagos.caption =
                PaymentHistoryText(ledger.paymentHistory(m_socio), env().locale);
            const ReportResult printed = PrintReport(r);
            if (printed.failed())
                throw *printed.error();
        }
        datcboCurso->setBoundText(QString());
    } catch (const RuntimeError &e) {
        // A movement already stored stays: the ledger has told the balances.
        MsgBox(ErrorText(e), MsgIcon::Critical);
    }
}
