#include "data/Parametros.h"
#include "app/MDIForm1.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/FormHelpers.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"

#include <QSqlRecord>
#include <cmath>

namespace {

QString readErrorText(const RuntimeError &e)
{
    return QStringLiteral("Se produjo un Error al leer los Datos.") + QStringLiteral("\r\r")
           + ADOErrorText(e);
}

double sumOf(const QString &sql)
{
    QSqlQuery q = Exec(sql);
    if (!q.next())
        return 0;
    return NumberOrZero(q.value(QStringLiteral("Suma")));
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
        QSqlQuery q = Exec(QStringLiteral("SELECT * from Parametro where Parametro=?"), {name});
        if (!q.next())
            return QString();
        return TextOrEmpty(q.value(QStringLiteral("Valor"))).trimmed();
    } catch (const RuntimeError &e) {
        ResetMousePointer();
        MsgBox(readErrorText(e));
        return QString();
    }
}

namespace {
// Sums of amounts carry binary leftovers (1000.10 - 1000 = 0.100000000000023);
// no amount has more than a few decimals, so the balance keeps six.
double withoutLeftovers(double v)
{
    return std::round(v * 1e6) / 1e6;
}
} // namespace

double GetSaldo(const QString &medio)
{
    try {
        if (medio == QLatin1String("CAJA")) {
            const double ingresos = sumOf(QStringLiteral(
                "SELECT SUM(Importe) as Suma from Movimiento where Tipo='I' AND MedioPago='E'"));
            const double egresos = sumOf(QStringLiteral(
                "SELECT SUM(Importe) as Suma from Movimiento where Tipo='E' AND MedioPago='E'"));
            return withoutLeftovers(ingresos - egresos);
        }
        const double ingresos = sumOf(QStringLiteral(
            "SELECT SUM(Importe) as Suma from Movimiento where Tipo='I' AND MedioPago='C'"));
        const double egresos = sumOf(QStringLiteral(
            "SELECT SUM(Importe) as Suma from Movimiento where Tipo='E' AND MedioPago='C'"));
        return withoutLeftovers(ingresos - egresos);
    } catch (const RuntimeError &e) {
        MsgBox(readErrorText(e));
        return 0;
    }
}

void RefreshSaldos()
{
    MDIForm1 *main = MDIForm1::instance();
    const QLocale &loc = env().locale;
    main->setPanelText(1, QStringLiteral("Saldo Caja: ") + GeneralNumber(GetSaldo(QStringLiteral("CAJA")), loc));
    main->setPanelText(2, QStringLiteral("Saldo Banco: ") + GeneralNumber(GetSaldo(QStringLiteral("BANCO")), loc));
}

qint32 GetProximoRecibo()
{
    try {
        QSqlQuery q = Exec(QStringLiteral("SELECT max(Recibo) as ReciboNumero from Movimiento "));
        if (!q.next())
            return numericValueOrThrow(GetParametro(QStringLiteral("PROXIMORECIBO")));
        const QVariant numero = q.value(QStringLiteral("ReciboNumero"));
        const qint32 v = numericValueOrThrow(QLatin1Char('0') + TextOrEmpty(numero));
        if (v != 0) {
            if (numero.toLongLong() >= 2147483647LL)
                throw RuntimeError(ErrOverflow, QStringLiteral("Desbordamiento"));
            return static_cast<qint32>(numero.toLongLong() + 1);
        }
        return numericValueOrThrow(GetParametro(QStringLiteral("ProximoRecibo")));
    } catch (const RuntimeError &e) {
        ResetMousePointer();
        MsgBox(readErrorText(e));
        return 0;
    }
}
