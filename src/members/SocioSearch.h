#pragma once
// The member list's search as one statement: what the four boxes of the list
// select, in the order the list shows.
#include <QString>
#include <QVariantList>

struct SocioFilter
{
    QString numero; // as typed
    QString nombre;
    QString alumno;
    QString curso; // the course's number, "" for every course
};

// The statement (IDSocio, Nombre, Alumno, Telefono, IDCurso, Curso) and its
// bound values. Names are searched without regard to case or accents (fold_es,
// a function of every connection) and listed in Spanish order (SocioOrderKey).
QString SocioSearchSql(const SocioFilter &filter, QVariantList *binds);
