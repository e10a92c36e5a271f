#pragma once
// What the money windows share: a window of labelled boxes with "Aceptar"
// (Enter) and "Cancelar" (Escape, closes it), the combo fills with their
// error message, the amount check, the confirmation question, printing the
// receipt document, and the organisation's name it carries. Each window adds
// its own controls, rules and texts.
#include <QDateTime>
#include <QWidget>
#include <initializer_list>

class DataCombo;
class QDateTimeEdit;
class QGridLayout;
class QPlainTextEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class rptReciboCuota;
class RuntimeError;

class TreasuryWindow : public QWidget
{
    Q_OBJECT
protected:
    TreasuryWindow(const char *objectName, const QString &caption);

    // A label named `name` for `buddy`, its Alt shortcut reaching the box.
    QLabel *buddyLabel(const char *name, const QString &text, QWidget *buddy);
    // Puts a labelled box on a row of `grid`: the label in column 0, the box
    // from column 1 over `span` columns.
    void addRow(QGridLayout *grid, int row, const char *labelName, const QString &text, QWidget *box,
                int span = 1);
    // "txtImporte": at most 50 characters; `bold` in 12-point bold type.
    QLineEdit *amountBox(bool bold);
    // The window's date and time picker, set to now. Until the user changes
    // it, it follows the clock: see operationMoment().
    QDateTimeEdit *datePicker(const char *name);
    // The moment the movement is dated: the one the user chose in the picker,
    // or else now, which the picker then shows. Called when "Aceptar" is
    // clicked, so a window left open overnight never dates a movement to the
    // day it was opened.
    QDateTime operationMoment();
    // "txtDetalle" of several lines, holding at most `maxLength` characters.
    QPlainTextEdit *detailBox(int maxLength);
    // The focus order, first to last.
    void tabOrder(std::initializer_list<QWidget *> widgets);
    // Lays the window out: `body` above, the two buttons at the bottom right.
    void setBody(QLayout *body);

    // Fills a combo from a statement, nothing chosen; when that fails says
    // "Se ha producido un error al llenar el ComboBox de <what>." and the error.
    void fillCombo(DataCombo &combo, const QString &statement, const QString &boundColumn,
                   const QString &listField, const QString &what);
    // True when an account is chosen; otherwise says "Debe imputar a una
    // cuenta" and puts the focus on the combo.
    bool accountChosen(DataCombo *combo);
    // True when the amount text reads whole; otherwise says "El importe
    // ingresado no es valido" and puts the focus on the box.
    bool amountAccepted(QLineEdit *box);
    // A Yes/No question with No as the default; true for Yes.
    static bool confirmed(const QString &question);
    // True when `fecha` is after the closing day; otherwise says that the
    // year is closed and puts the focus on the date. Asked before the
    // question, so nobody confirms a movement for nothing; the ledger checks
    // again when it writes.
    bool dayOpen(const QDateTime &fecha);
    // A failed write: a closed day is said as the sentence it is, any other
    // error with its number. The window stays open.
    static void showError(const RuntimeError &error);

    // What Enter does: "Aceptar" (a window may look something up first).
    virtual void enterPressed();
    void keyPressEvent(QKeyEvent *event) override;

    QPushButton *cmdOk;
    QPushButton *Cancel;

private:
    QDateTimeEdit *m_datePicker = nullptr;
    bool m_dateChosen = false;
    QDateTime m_followed; // what the picker was last set to while following the clock
};

// Prints the document after the printer dialog; a declined dialog prints
// nothing. Throws RuntimeError when printing fails.
void PrintDocument(rptReciboCuota &document);
