// A second program holding a database while a test tries things on it:
//   db_holder open PATH   opens it as the program does, and stays idle
//   db_holder lock PATH   holds SQLite's exclusive lock on it, as a tool would
// Prints "listo" once it holds the file, and lets go when its input closes.
#include "data/Database.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[2]);
    sqlite3 *h = nullptr;
    if (std::strcmp(argv[1], "open") == 0) {
        QList<DbErrorEntry> errors;
        if (!OpenConexion(path, &errors))
            return 1;
    } else if (sqlite3_open_v2(QFile::encodeName(path).constData(), &h, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK
               || sqlite3_exec(h, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return 1;
    }
    std::puts("listo");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    sqlite3_close(h);
    CloseConexion();
    return 0;
}
