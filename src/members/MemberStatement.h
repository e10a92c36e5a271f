#pragma once
// A member's account statement: the receipt document with an empty body and
// every movement of the member, newest first, where the history goes.
#include "reports/rptReciboCuota.h"

#include <memory>

// The document for the member, ready to be shown; nothing is written.
// Throws RuntimeError when the movements cannot be read.
std::unique_ptr<rptReciboCuota> MemberStatement(qint64 idSocio);
