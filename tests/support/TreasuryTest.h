#pragma once
// What the tests of the money windows share: a chart of accounts, the ledger
// as text, and a printer that writes a PDF and keeps the printed text.
#include "data/Database.h"
#include "reports/ReportOutput.h"
#include "support/TestEnv.h"

#include <QPrinter>
#include <QSqlRecord>
#include <QStringList>

// Income accounts 1 (parent), 11, 12; expense accounts 2 (parent), 20, 21.
inline void AddAccounts(const QSqlDatabase &db)
{
    Exec(db, "INSERT INTO Cuenta VALUES (1, 'Ingresos', 'I', NULL), (11, 'Kermesse', 'I', 1),"
             " (12, 'Donaciones', 'I', 1), (2, 'Egresos', 'E', NULL), (20, 'Servicios', 'E', 2),"
             " (21, 'Compras', 'E', 2)");
}

// The ledger, a row per movement, every field in table order, null as "-".
inline QStringList LedgerRows()
{
    QStringList out;
    QSqlQuery q = Exec("SELECT * FROM Movimiento ORDER BY IDMovimiento");
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < q.record().count(); ++i)
            fields << (q.value(i).isNull() ? QStringLiteral("-") : q.value(i).toString());
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}

// Accepts the next printer dialog, printing to `pdf`, and keeps in `*text`
// the lines of the document printed.
inline void ExpectPrintout(TestEnv &t, const QString &pdf, QStringList *text)
{
    t.prompts->expectPrinter(true, [pdf, text](QPrinter &p) {
        if (const Report *r = ReportBeingPrinted()) {
            *text = r->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            for (QString &l : *text)
                l = l.trimmed();
            text->removeAll(QString());
        }
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
    });
}

// The question before a movement is written: "Va a ingresar un movimiento de
// <kind> a  <cuenta>, por $<importe> Esta seguro?", No by default.
inline void ExpectMovementQuestion(TestEnv &t, const QString &kind, const QString &cuenta, const QString &importe,
                                   MsgResult answer = MsgResult::Yes)
{
    t.prompts->expectMessage("Va a ingresar un movimiento de " + kind + " a  " + cuenta + ", por $" + importe
                                 + " Esta seguro?",
                             MsgIcon::Question, MsgButtons::YesNo, answer, 1);
}
