#pragma once
// The table editor's model on a connection of its own ("grilla"), as the
// editor window opens it, for the tests of what an edit by hand does.
#include "data/Database.h"
#include "masterdata/GrillaModel.h"

#include <QtGlobal>
#include <memory>

// Opens `table` in a new model kept in `holder` (the previous one dropped).
inline GrillaTableModel &OpenTableEditor(std::unique_ptr<GrillaTableModel> &holder, const QString &table)
{
    QList<DbErrorEntry> errors;
    if (!OpenConnection(QStringLiteral("grilla"), ConnectionString(), &errors))
        qFatal("no se abrió la conexión del editor");
    holder = std::make_unique<GrillaTableModel>(nullptr, QSqlDatabase::database(QStringLiteral("grilla"), false));
    if (!holder->open(table))
        qFatal("no se abrió la tabla %s", qPrintable(table));
    return *holder;
}
