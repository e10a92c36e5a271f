#pragma once
// Following what other programs write to the books, whichever engine keeps
// them: on a file, the file's change token looked at once a second; on a
// server, the notices its triggers send (LISTEN). Whoever shows data that
// another PC may change asks for a watch and is told when to read it again.
#include <QSqlDatabase>
#include <functional>

class QObject;

// How often a file is looked at, in milliseconds (a cheap question to SQLite).
inline constexpr int kChangeCheckMs = 1000;

// Watches the database of `db` for writes made by other connections (this
// connection's own writes are not reported: whoever made them knows). After
// one or more such writes, `onChange` runs on `context`'s thread; it returns
// false when it cannot act now (a question is open), and is then asked again
// about a second later. It is never re-entered.
// The watch is a child of `context`: deleting it stops it. It stops by itself
// when the connection is closed or opened again, and never keeps it open.
// Throws RuntimeError (in Spanish) when a server cannot be listened to.
QObject *WatchChanges(const QSqlDatabase &db, QObject *context, std::function<bool()> onChange);
