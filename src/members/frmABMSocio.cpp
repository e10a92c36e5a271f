#include "members/frmABMSocio.h"
#include "data/DataCombo.h"
#include "data/Database.h"
#include "data/FormHelpers.h"
#include "data/Prompts.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPointer<frmABMSocio> g_current;

// The text of a box as stored: never null, so an empty box stores "".
QString stored(const QLineEdit *box)
{
    const QString t = box->text();
    return t.isNull() ? QStringLiteral("") : t;
}

// Fills a box from the database. The input limit holds for typing only: a
// longer stored value is shown (and stored back) whole.
void fill(QLineEdit *box, const QString &value)
{
    if (value.size() > box->maxLength())
        box->setMaxLength(int(value.size()));
    box->setText(value);
}

} // namespace

frmABMSocio::frmABMSocio(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmABMSocio"));
    setWindowTitle(QStringLiteral("Alta de socio"));

    // One labelled box of a frame, with its input limit.
    auto row = [&](QGroupBox *frame, QGridLayout *grid, QLabel *&label, const char *labelName,
                   const QString &caption, QLineEdit *&box, const char *boxName, int limit) {
        label = Named(new QLabel(caption, frame), labelName);
        box = Named(new QLineEdit(frame), boxName);
        box->setMaxLength(limit);
        label->setBuddy(box);
        const int r = grid->rowCount();
        grid->addWidget(label, r, 0);
        grid->addWidget(box, r, 1);
    };

    Frame1 = Named(new QGroupBox(QStringLiteral("Datos del Socio"), this), "Frame1");
    auto *socio = new QGridLayout(Frame1);
    row(Frame1, socio, lblApellido, "lblApellido", QStringLiteral("Socio:"), txtSocioNombre,
        "txtSocioNombre", 150);
    row(Frame1, socio, Label4, "Label4", QStringLiteral("E-mail:"), txtEmail, "txtEmail", 50);
    row(Frame1, socio, Label2, "Label2", QStringLiteral("Telefono:"), txtTelefono, "txtTelefono", 50);
    row(Frame1, socio, Label3, "Label3", QStringLiteral("Direccion:"), txtDireccion,
        "txtDireccion", 100);
    row(Frame1, socio, Label5, "Label5", QStringLiteral("DNI (socio):"), txtDNI, "txtDNI", 15);

    Frame2 = Named(new QGroupBox(QStringLiteral("Datos del Alumno"), this), "Frame2");
    auto *alumno = new QGridLayout(Frame2);
    row(Frame2, alumno, Label1, "Label1", QStringLiteral("Alumno:"), txtAlumno, "txtAlumno", 150);
    lblComprobante = Named(new QLabel(QStringLiteral("Curso:"), Frame2), "lblComprobante");
    datcboCurso = Named(new DataCombo(Frame2), "datcboCurso");
    lblComprobante->setBuddy(datcboCurso);
    const int last = alumno->rowCount();
    alumno->addWidget(lblComprobante, last, 0);
    alumno->addWidget(datcboCurso, last, 1);

    cmdOk = Named(new QPushButton(QStringLiteral("Aceptar"), this), "cmdOk");
    cmdOk->setDefault(true);
    Cancel = Named(new QPushButton(QStringLiteral("Cancelar"), this), "Cancel");

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOk);
    buttons->addWidget(Cancel);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(366, 318);

    connect(cmdOk, &QPushButton::clicked, this, &frmABMSocio::cmdOk_Click);
    connect(Cancel, &QPushButton::clicked, this, &frmABMSocio::Cancel_Click);
}

frmABMSocio *frmABMSocio::current()
{
    return g_current;
}

void frmABMSocio::Form_Load()
{
    QString error;
    FillDataCombo(error, *datcboCurso,
                  QStringLiteral("SELECT '' AS IDCurso, 'No Alumno' as Nombre from Curso UNION  "
                                 "SELECT * FROM Curso ORDER BY Nombre"),
                  QStringLiteral("IDCurso"), QStringLiteral("Nombre"), true);
    if (!error.isEmpty())
        MsgBox(QStringLiteral("Se ha producido un error al llenar el ComboBox de Cursos.\r\r") + error,
               MsgIcon::Critical);
    CenterForm(this);
}

void frmABMSocio::load()
{
    if (m_IDSocio == 0) {
        setWindowTitle(QStringLiteral("Alta de socio Nuevo"));
        // Whatever the course names, a new member starts without a course.
        datcboCurso->setBoundText(QString());
        return;
    }
    setWindowTitle(QStringLiteral("Edicion de socio ") + QString::number(m_IDSocio));
    QSqlQuery q = Exec(QStringLiteral("SELECT * from Socio WHERE IDSocio=?"), {m_IDSocio});
    if (!q.next())
        return; // a member that no longer exists: "Aceptar" will say so
    fill(txtSocioNombre, TextOrEmpty(q.value(QStringLiteral("Nombre"))));
    fill(txtEmail, TextOrEmpty(q.value(QStringLiteral("Email"))));
    fill(txtTelefono, TextOrEmpty(q.value(QStringLiteral("Telefono"))));
    fill(txtDireccion, TextOrEmpty(q.value(QStringLiteral("Direccion"))));
    fill(txtDNI, TextOrEmpty(q.value(QStringLiteral("DNI"))));
    fill(txtAlumno, TextOrEmpty(q.value(QStringLiteral("Alumno"))));
    m_storedCurso = q.value(QStringLiteral("IDCurso"));
    datcboCurso->setBoundText(TextOrEmpty(m_storedCurso));
}

void frmABMSocio::store()
{
    // "No Alumno" (an empty bound value): no course. No selection at all (the
    // member's course is no longer listed): the stored course stays.
    const QSqlRecord *curso = datcboCurso->currentRow();
    QVariant idCurso = curso ? QVariant(QMetaType::fromType<qint64>()) : m_storedCurso;
    if (curso && !datcboCurso->boundText().isEmpty())
        idCurso = curso->value(QStringLiteral("IDCurso"));
    QVariantList values = {stored(txtSocioNombre), stored(txtEmail),    stored(txtTelefono),
                           stored(txtDireccion),   stored(txtDNI),      stored(txtAlumno),
                           idCurso};
    if (m_IDSocio == 0) {
        Exec(QStringLiteral("INSERT INTO Socio (Nombre, Email, Telefono, Direccion, DNI, Alumno, "
                            "IDCurso) VALUES (?, ?, ?, ?, ?, ?, ?)"),
             values);
        return;
    }
    values << m_IDSocio;
    const QSqlQuery q = Exec(QStringLiteral("UPDATE Socio SET Nombre=?, Email=?, Telefono=?, "
                                            "Direccion=?, DNI=?, Alumno=?, IDCurso=? "
                                            "WHERE IDSocio=?"),
                             values);
    if (q.numRowsAffected() < 1)
        throw RuntimeError(3021, QStringLiteral("El socio %1 ya no existe; la operación solicitada "
                                                "requiere un registro actual.")
                                     .arg(m_IDSocio));
}

bool frmABMSocio::Edit(qint64 IDSocio, QWidget *owner)
{
    bool stored = false;
    QPointer<frmABMSocio> form = new frmABMSocio(owner ? owner : QApplication::activeWindow());
    form->setWindowModality(Qt::ApplicationModal);
    g_current = form;
    try {
        form->Form_Load();
        form->m_IDSocio = IDSocio;
        form->load();
        form->exec();
        if (form && form->m_tag == QLatin1String("OK")) {
            form->store();
            stored = true;
        }
    } catch (const RuntimeError &e) {
        MsgBox(ErrorText(e), MsgIcon::Critical);
    }
    // Released whatever happened, so the next Edit starts with a new window.
    delete form;
    return stored;
}

void frmABMSocio::cmdOk_Click()
{
    if (MsgBox(QStringLiteral("Va a guardar los cambios realizados, esta seguro?"), MsgIcon::Question,
               MsgButtons::YesNo, 1)
        != MsgResult::Yes)
        return;
    m_tag = QStringLiteral("OK");
    hide();
}

void frmABMSocio::Cancel_Click()
{
    if (MsgBox(QStringLiteral("Va a PERDER los cambios realizados, esta seguro?"), MsgIcon::Question,
               MsgButtons::YesNo, 1)
        != MsgResult::Yes)
        return;
    m_tag = QStringLiteral("CANCEL");
    hide();
}

void frmABMSocio::keyPressEvent(QKeyEvent *event)
{
    // Escape asks as "Cancelar" does; the close box closes without asking.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Cancel_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}
