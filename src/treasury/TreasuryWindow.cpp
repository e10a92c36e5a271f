#include "treasury/TreasuryWindow.h"
#include "data/ClosedYear.h"
#include "data/Database.h"
#include "data/DataCombo.h"
#include "data/Environment.h"
#include "data/FormHelpers.h"
#include "data/IniFile.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"
#include "reports/ReportOutput.h"
#include "reports/rptReciboCuota.h"

#include <QDateTimeEdit>
#include <QGridLayout>
#include <QPlainTextEdit>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TreasuryWindow::TreasuryWindow(const char *objectName, const QString &caption) : QWidget(nullptr, Qt::Window)
{
    setObjectName(QString::fromLatin1(objectName));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);
    cmdOk = Named(new QPushButton(QStringLiteral("Aceptar"), this), "cmdOk");
    cmdOk->setDefault(true);
    Cancel = Named(new QPushButton(QStringLiteral("Cancelar"), this), "Cancel");
    Cancel->setAutoDefault(false);
    connect(Cancel, &QPushButton::clicked, this, &QWidget::close);
}

QLabel *TreasuryWindow::buddyLabel(const char *name, const QString &text, QWidget *buddy)
{
    auto *l = Named(new QLabel(text, this), name);
    l->setBuddy(buddy);
    return l;
}

void TreasuryWindow::addRow(QGridLayout *grid, int row, const char *labelName, const QString &text, QWidget *box,
                            int span)
{
    grid->addWidget(buddyLabel(labelName, text, box), row, 0);
    grid->addWidget(box, row, 1, 1, span);
}

QLineEdit *TreasuryWindow::amountBox(bool bold)
{
    auto *box = Named(new QLineEdit(this), "txtImporte");
    box->setMaxLength(50);
    if (bold) {
        QFont f = box->font();
        f.setPointSize(12);
        f.setBold(true);
        box->setFont(f);
    }
    return box;
}

QDateTimeEdit *TreasuryWindow::datePicker(const char *name)
{
    auto *picker = Named(new QDateTimeEdit(this), name);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(ShortDateFormat(env().locale) + QStringLiteral(" HH:mm"));
    m_followed = env().clock->now();
    picker->setDateTime(m_followed);
    // Any change that shows something else than the clock's moment is the
    // user's choice; the settings of operationMoment() show that moment.
    connect(picker, &QDateTimeEdit::dateTimeChanged, this, [this, picker](const QDateTime &value) {
        const QString format = picker->displayFormat();
        if (value.toString(format) != m_followed.toString(format))
            m_dateChosen = true;
    });
    m_datePicker = picker;
    return picker;
}

QDateTime TreasuryWindow::operationMoment()
{
    if (m_dateChosen)
        return m_datePicker->dateTime();
    m_followed = env().clock->now();
    m_datePicker->setDateTime(m_followed);
    return m_followed;
}

QPlainTextEdit *TreasuryWindow::detailBox(int maxLength)
{
    auto *box = Named(new QPlainTextEdit(this), "txtDetalle");
    box->setTabChangesFocus(true);
    connect(box, &QPlainTextEdit::textChanged, box, [box, maxLength] {
        const QString text = box->toPlainText();
        if (text.size() <= maxLength)
            return;
        box->setPlainText(text.left(maxLength));
        box->moveCursor(QTextCursor::End);
    });
    return box;
}

void TreasuryWindow::tabOrder(std::initializer_list<QWidget *> widgets)
{
    QWidget *previous = nullptr;
    for (QWidget *w : widgets) {
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }
}

void TreasuryWindow::setBody(QLayout *body)
{
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(Cancel);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(body);
    outer->addStretch();
    outer->addLayout(buttons);
}

void TreasuryWindow::fillCombo(DataCombo &combo, const QString &statement, const QString &boundColumn,
                               const QString &listField, const QString &what)
{
    QString error;
    FillDataCombo(error, combo, statement, boundColumn, listField, false);
    if (!error.isEmpty())
        MsgBox(QStringLiteral("Se ha producido un error al llenar el ComboBox de ") + what + QStringLiteral(".\r\r")
                   + error,
               MsgIcon::Critical);
}

bool TreasuryWindow::accountChosen(DataCombo *combo)
{
    if (!combo->boundText().isEmpty())
        return true;
    MsgBox(QStringLiteral("Debe imputar a una cuenta"), MsgIcon::Exclamation);
    combo->setFocus();
    return false;
}

bool TreasuryWindow::amountAccepted(QLineEdit *box)
{
    const AmountReading reading = ReadUserAmount(box->text(), env().locale);
    if (reading == AmountReading::Ok || reading == AmountReading::Empty) // an empty box is 0
        return true;
    MsgBox(QStringLiteral("El importe ingresado no es valido"), MsgIcon::Exclamation);
    box->setFocus();
    return false;
}

bool TreasuryWindow::confirmed(const QString &question)
{
    return MsgBox(question, MsgIcon::Question, MsgButtons::YesNo, 1) == MsgResult::Yes;
}

bool TreasuryWindow::dayOpen(const QDateTime &fecha)
{
    try {
        RefuseIfClosed(Conexion(), fecha);
        return true;
    } catch (const RuntimeError &e) {
        showError(e);
        if (m_datePicker)
            m_datePicker->setFocus();
        return false;
    }
}

void TreasuryWindow::showError(const RuntimeError &error)
{
    if (error.number() == ErrClosedPeriod)
        MsgBox(error.description(), MsgIcon::Exclamation);
    else
        MsgBox(ErrorText(error), MsgIcon::Critical);
}

void TreasuryWindow::enterPressed()
{
    cmdOk->click();
}

void TreasuryWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        Cancel->click();
        return;
    }
    // A multi-line box keeps its Enter for a new line.
    const QWidget *f = focusWidget();
    const bool multiLine = f && (f->inherits("QTextEdit") || f->inherits("QPlainTextEdit"));
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !multiLine) {
        enterPressed();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PrintDocument(rptReciboCuota &document)
{
    const ReportResult printed = PrintReport(document);
    if (printed.failed())
        throw *printed.error();
}
