#pragma once
#include <QDate>
#include <QString>

// The administrator password of the demo database.
QString DemoAdminPassword();
// Creates a demo database at `path` (a new file): courses, fees, a two-level
// chart of accounts, a few dozen members and movements of every kind dated
// around `today`. Returns "" or an error text; refuses an existing file.
QString CreateDemoDatabase(const QString &path, const QDate &today);
