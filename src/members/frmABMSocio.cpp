#include "members/frmABMSocio.h"
#include "data/DataCombo.h"
#include "data/Database.h"
#include "data/FormHelpers.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"

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

// Fills a box from the database and returns what it shows. The input limit
// holds for typing only: a longer stored value is shown whole, unless it is
// too long to show at all; then it is shown cut, and stays as stored unless
// the user edits the box.
QString fill(QLineEdit *box, const QString &value)
{
    const QString shown = DisplayText(value);
    if (shown.size() > box->maxLength())
        box->setMaxLength(int(shown.size()));
    box->setText(shown);
    if (shown != value)
        box->setToolTip(QStringLiteral("Se muestran %1 de sus %2 caracteres; lo guardado no cambia si no "
                                       "edita este dato.")
                            .arg(shown.size() - 1)
                            .arg(value.size()));
    return shown;
}

// The same value for what the row holds (null is only the same as null).
bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a.toString() == b.toString();
}

} // namespace

frmABMSocio::frmABMSocio(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmABMSocio"));
    setWindowTitle(QStringLiteral("Alta de socio"));

    // One labelled box of a frame, with its input limit and its column of Socio.
    auto row = [&](QGroupBox *frame, QGridLayout *grid, QLabel *&label, const char *labelName,
                   const QString &caption, QLineEdit *&box, const char *boxName, int limit, const char *column) {
        label = Named(new QLabel(caption, frame), labelName);
        box = Named(new QLineEdit(frame), boxName);
        box->setMaxLength(limit);
        label->setBuddy(box);
        const int r = grid->rowCount();
        grid->addWidget(label, r, 0);
        grid->addWidget(box, r, 1);
        m_fields.append({QString::fromLatin1(column), caption.chopped(1), box, QVariant(), QString()});
    };

    Frame1 = Named(new QGroupBox(QStringLiteral("Datos del Socio"), this), "Frame1");
    auto *socio = new QGridLayout(Frame1);
    row(Frame1, socio, lblApellido, "lblApellido", QStringLiteral("Socio:"), txtSocioNombre,
        "txtSocioNombre", 150, "Nombre");
    row(Frame1, socio, Label4, "Label4", QStringLiteral("E-mail:"), txtEmail, "txtEmail", 50, "Email");
    row(Frame1, socio, Label2, "Label2", QStringLiteral("Telefono:"), txtTelefono, "txtTelefono", 50, "Telefono");
    row(Frame1, socio, Label3, "Label3", QStringLiteral("Direccion:"), txtDireccion,
        "txtDireccion", 100, "Direccion");
    row(Frame1, socio, Label5, "Label5", QStringLiteral("DNI (socio):"), txtDNI, "txtDNI", 15, "DNI");

    Frame2 = Named(new QGroupBox(QStringLiteral("Datos del Alumno"), this), "Frame2");
    auto *alumno = new QGridLayout(Frame2);
    row(Frame2, alumno, Label1, "Label1", QStringLiteral("Alumno:"), txtAlumno, "txtAlumno", 150, "Alumno");
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
                  Dialect::OrderedAsFile(EngineOf(Conexion()),
                                         QStringLiteral("SELECT '' AS IDCurso, 'No Alumno' as Nombre from Curso UNION  "
                                                        "SELECT %1, Nombre FROM Curso")
                                             .arg(Dialect::KeyAsText(EngineOf(Conexion()), QStringLiteral("IDCurso"))),
                                         {{QStringLiteral("Nombre")}}),
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
    for (Field &f : m_fields) {
        f.stored = q.value(f.column);
        f.shown = fill(f.box, TextOrEmpty(f.stored));
    }
    m_storedCurso = q.value(QStringLiteral("IDCurso"));
    datcboCurso->setBoundText(TextOrEmpty(m_storedCurso));
}

QVariant frmABMSocio::chosenCurso() const
{
    // "No Alumno" (an empty bound value): no course. No selection at all (the
    // member's course is no longer listed): the stored course stays.
    const QSqlRecord *curso = datcboCurso->currentRow();
    if (!curso)
        return m_storedCurso;
    if (datcboCurso->boundText().isEmpty())
        return QVariant(QMetaType::fromType<qint64>());
    return curso->value(QStringLiteral("IDCurso"));
}

QString frmABMSocio::shownCurso(const QVariant &idCurso) const
{
    if (idCurso.isNull())
        return QStringLiteral("No Alumno");
    QSqlQuery q = Exec(QStringLiteral("SELECT Nombre FROM Curso WHERE IDCurso=?"), {idCurso});
    return q.next() ? DisplayText(TextOrEmpty(q.value(0))) : idCurso.toString();
}

void frmABMSocio::store()
{
    if (m_IDSocio == 0) {
        QStringList columns;
        QVariantList values;
        for (const Field &f : m_fields) {
            columns << f.column;
            values << stored(f.box);
        }
        columns << QStringLiteral("IDCurso");
        values << chosenCurso();
        Exec(QStringLiteral("INSERT INTO Socio (%1) VALUES (?%2)")
                 .arg(columns.join(QStringLiteral(", ")), QStringLiteral(", ?").repeated(columns.size() - 1)),
             values);
        return;
    }

    // Only what the user changed is written. Another program may change the
    // member while this window is open (a new phone number); writing back
    // every value the window loaded would silently undo that. A field that
    // both changed is the one case that needs the user: it is asked about,
    // with nothing locked while the question is open, and the row is read
    // again under the write lock before anything is written.
    struct Change
    {
        QString column, label;
        QVariant mine, base; // base: the value the user's change was made over
    };
    QList<Change> changes;
    for (const Field &f : m_fields)
        if (f.box->text() != f.shown)
            changes.append({f.column, f.label, stored(f.box), f.stored});
    if (const QVariant curso = chosenCurso(); !sameValue(curso, m_storedCurso))
        changes.append({QStringLiteral("IDCurso"), QStringLiteral("Curso"), curso, m_storedCurso});

    for (;;) {
        QList<std::pair<qsizetype, QVariant>> conflicts; // change, value the other program wrote
        QStringList shown;
        {
            Transaction write(Conexion(), Transaction::Mode::Immediate);
            QSqlQuery row = Exec(QStringLiteral("SELECT * FROM Socio WHERE IDSocio=?"), {m_IDSocio});
            if (!row.next())
                throw RuntimeError(3021, QStringLiteral("El socio %1 ya no existe; la operación solicitada "
                                                        "requiere un registro actual.")
                                             .arg(m_IDSocio));
            for (qsizetype i = 0; i < changes.size(); ++i) {
                const Change &c = changes.at(i);
                const QVariant now = row.value(c.column);
                if (sameValue(now, c.base) || sameValue(now, c.mine))
                    continue;
                conflicts.append({i, now});
                const QString text = c.column == QLatin1String("IDCurso") ? shownCurso(now)
                                                                           : DisplayText(TextOrEmpty(now));
                shown << c.label + QStringLiteral(": ") + (text.isEmpty() ? QStringLiteral("(vacío)") : text);
            }
            if (conflicts.isEmpty()) {
                if (!changes.isEmpty()) {
                    QStringList sets;
                    QVariantList values;
                    for (const Change &c : changes) {
                        sets << c.column + QStringLiteral("=?");
                        values << c.mine;
                    }
                    values << m_IDSocio;
                    Exec(QStringLiteral("UPDATE Socio SET ") + sets.join(QStringLiteral(", "))
                             + QStringLiteral(" WHERE IDSocio=?"),
                         values);
                }
                write.commit();
                return;
            }
        }
        const bool mine =
            MsgBox(QStringLiteral("Mientras usted editaba el socio %1, otro programa cambió:\r").arg(m_IDSocio)
                       + shown.join(QLatin1Char('\r'))
                       + QStringLiteral("\r\r¿Guardar lo que usted escribió en su lugar? (No: queda lo del otro "
                                        "programa.)"),
                   MsgIcon::Question, MsgButtons::YesNo, 1)
            == MsgResult::Yes;
        // Yes: the user's value goes over the one just seen (asked again if
        // that changes once more); No: the other program's value stays.
        for (auto it = conflicts.crbegin(); it != conflicts.crend(); ++it) {
            if (mine)
                changes[it->first].base = it->second;
            else
                changes.removeAt(it->first);
        }
    }
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
