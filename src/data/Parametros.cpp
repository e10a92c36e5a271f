#include "data/Parametros.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/Ledger.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"
#include "data/WaitCursor.h"

#include <QSqlRecord>

namespace {

constexpr qint64 kLastReceipt = 2147483647;

QString readErrorText(const RuntimeError &e)
{
    return QStringLiteral("Se produjo un Error al leer los Datos.") + QStringLiteral("\r\r")
           + ADOErrorText(e);
}

qint32 numericValueOrThrow(const QString &text)
{
    const auto v = NumericValue(text);
    if (!v)
        throw RuntimeError(ErrOverflow, QStringLiteral("Desbordamiento"));
    return *v;
}

} // namespace

QString GetParametro(const QString &name)
{
    try {
        QSqlQuery q = Exec(QStringLiteral("SELECT * from Parametro where ")
                               + Dialect::SameNoCase(EngineOf(Conexion()), QStringLiteral("Parametro")),
                           {name});
        if (!q.next())
            return QString();
        return TextOrEmpty(q.value(QStringLiteral("Valor"))).trimmed();
    } catch (const RuntimeError &e) {
        ResetMousePointer();
        MsgBox(readErrorText(e));
        return QString();
    }
}

std::optional<double> GetSaldo(const QString &medio)
{
    try {
        return Ledger::instance().balance(medio == QLatin1String("CAJA") ? Medium::Cash : Medium::Bank);
    } catch (const RuntimeError &e) {
        MsgBox(readErrorText(e));
        return std::nullopt;
    }
}

std::optional<Balances> ReadBalances()
{
    try {
        return Ledger::instance().balances();
    } catch (const RuntimeError &e) {
        MsgBox(readErrorText(e));
        return std::nullopt;
    }
}

std::optional<qint32> GetProximoRecibo()
{
    try {
        // A receipt number written as text by another tool would pass for the highest one.
        if (Dialect::NumbersMayHoldText(EngineOf(Conexion()))) {
            QSqlQuery bad = Exec(QStringLiteral("SELECT IDMovimiento, Recibo FROM Movimiento WHERE Recibo >= '' LIMIT 1"));
            if (bad.next())
                throw RuntimeError(ErrTypeMismatch,
                                   QStringLiteral("El movimiento %1 tiene un número de recibo que no es un número: \"%2\".")
                                       .arg(bad.value(0).toString(), bad.value(1).toString()));
        }
        QSqlQuery q = Exec(QStringLiteral("SELECT max(Recibo) as ReciboNumero from Movimiento "));
        if (!q.next())
            return numericValueOrThrow(GetParametro(QStringLiteral("PROXIMORECIBO")));
        const QVariant numero = q.value(QStringLiteral("ReciboNumero"));
        if (!numero.isNull() && numero.toLongLong() >= kLastReceipt) {
            // No number follows; the user must know which movement used the last one up.
            const qint64 holder = Ledger::instance().movementWithReceipt(numero.toLongLong()).value_or(0);
            ResetMousePointer();
            MsgBox(QStringLiteral("No quedan números de recibo: el movimiento %1 tiene el recibo %2 y el último posible es %3.")
                       .arg(holder)
                       .arg(numero.toLongLong())
                       .arg(kLastReceipt),
                   MsgIcon::Exclamation);
            return std::nullopt;
        }
        const qint32 v = numericValueOrThrow(QLatin1Char('0') + TextOrEmpty(numero));
        if (v != 0)
            return static_cast<qint32>(numero.toLongLong() + 1);
        return numericValueOrThrow(GetParametro(QStringLiteral("ProximoRecibo")));
    } catch (const RuntimeError &e) {
        ResetMousePointer();
        MsgBox(readErrorText(e));
        return std::nullopt;
    }
}
