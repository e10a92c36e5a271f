#pragma once
// The member edit window: a modal dialog that creates a member or changes one,
// driven entirely by Edit.
#include <QDialog>
#include <QList>
#include <QVariant>

class DataCombo;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmABMSocio : public QDialog
{
    Q_OBJECT
public:
    // Edits member `IDSocio`, or creates a new one when it is 0, in a modal
    // window over `owner` (nullptr: the active window). Returns once the window
    // has closed: true when the member was stored (after a confirmed
    // "Aceptar"), false when it was left as it was.
    static bool Edit(qint64 IDSocio, QWidget *owner = nullptr);
    // The window while Edit shows it, otherwise nullptr.
    static frmABMSocio *current();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    explicit frmABMSocio(QWidget *parent);
    void Form_Load();
    void load(); // throws RuntimeError
    void store(); // throws RuntimeError
    void cmdOk_Click();
    void Cancel_Click();

    QVariant chosenCurso() const;
    QString shownCurso(const QVariant &idCurso) const; // throws RuntimeError

    // A text field of Socio and its box: the value as loaded, and the text
    // the box was given (the loaded value, cut when it was too long to show).
    struct Field
    {
        QString column;
        QString label;
        QLineEdit *box;
        QVariant stored;
        QString shown;
    };
    QList<Field> m_fields;
    qint64 m_IDSocio = 0;
    QVariant m_storedCurso{QMetaType::fromType<qint64>()}; // the course as stored (null: none)
    QString m_tag; // "OK" or "CANCEL" once a question was answered Yes

    QGroupBox *Frame1;
    QLabel *lblApellido;
    QLineEdit *txtSocioNombre;
    QLabel *Label4;
    QLineEdit *txtEmail;
    QLabel *Label2;
    QLineEdit *txtTelefono;
    QLabel *Label3;
    QLineEdit *txtDireccion;
    QLabel *Label5;
    QLineEdit *txtDNI;
    QGroupBox *Frame2;
    QLabel *Label1;
    QLineEdit *txtAlumno;
    QLabel *lblComprobante;
    DataCombo *datcboCurso;
    QPushButton *cmdOk;
    QPushButton *Cancel;
};
