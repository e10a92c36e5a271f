#include "masterdata/AdminGate.h"
#include "data/Database.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"

bool AskAdminPassword()
{
    const QString answer = InputBox(QStringLiteral("Ingrese contraseña de Admin"), AppTitle(), QString());
    if (answer.isEmpty())
        return false;
    try {
        QSqlQuery q = Exec(QStringLiteral("SELECT * from Parametro WHERE Parametro='ADMIN'"));
        if (!q.next())
            throw RuntimeError(3021, QStringLiteral("No existe el parámetro ADMIN en la tabla Parametro."));
        // Character for character: no trimming, upper and lower case distinct.
        return TextOrEmpty(q.value(QStringLiteral("Valor"))) == answer;
    } catch (const RuntimeError &e) {
        MsgBox(QStringLiteral("Ha ocurrido un error.\r\r") + ErrorText(e), MsgIcon::Critical);
        return false;
    }
}
