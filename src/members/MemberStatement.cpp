#include "members/MemberStatement.h"
#include "data/Environment.h"
#include "data/IniFile.h"
#include "data/Ledger.h"

std::unique_ptr<rptReciboCuota> MemberStatement(qint64 idSocio)
{
    auto doc = std::make_unique<rptReciboCuota>();
    doc->lblCooperadora.caption = OrganisationName();
    doc->lblRecibimos.caption = QString();
    doc->lblHistorialPagos.fontSize = 12;
    // The history label grows, so a long statement runs onto further pages.
    doc->lblHistorialPagos.caption = PaymentHistoryText(
        Ledger::instance().paymentHistory(idSocio, Ledger::HistoryOrder::NewestFirst), env().locale);
    return doc;
}
