#pragma once
// The administrator password that guards the settings and the ledger editor.

// Asks for the administrator password and compares it, exactly as typed, with
// the stored ADMIN setting. True when they are equal. An empty answer (or
// Cancel) and a wrong password are refused without a word; a missing ADMIN
// setting or a database error is reported and refused.
bool AskAdminPassword();
