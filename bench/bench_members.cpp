// Times the member list on a large roll: opening a list from the menu and
// searching by each filter, on a generated database of 100,000 members (or the
// count given as first argument). Runs headless unless a platform is set. With
// a second argument the generated database is also left at that path, to try
// the program on it by hand.
//
//   build/bench/bench_members [members [database-to-keep]]
#include "BenchSupport.h"
#include "app/MDIForm1.h"
#include "app/MainLocal.h"
#include "data/DataCombo.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/Prompts.h"
#include "members/frmSocio.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const char *const kApellidos[] = {
    "Acosta", "Aguirre", "Álvarez", "Benítez", "Blanco", "Cabrera", "Castro", "Chávez",
    "D'Angelo", "Díaz", "Domínguez", "Fernández", "Figueroa", "García", "Giménez", "Gómez",
    "González", "Gutiérrez", "Hernández", "Herrera", "Ibáñez", "Juárez", "Ledesma", "López",
    "Luna", "Martínez", "Medina", "Méndez", "Molina", "Morales", "Muñoz", "Núñez", "Ojeda",
    "Ortiz", "Pérez", "Peña", "Ponce", "Quiroga", "Ramírez", "Ríos", "Rodríguez", "Romero",
    "Rojas", "Ruiz", "Sánchez", "Sosa", "Suárez", "Torres", "Vázquez", "Vega", "Yáñez", "Zárate"};
const char *const kNombres[] = {
    "Adrián", "Agustina", "Ana", "Andrés", "Belén", "Benjamín", "Camila", "Carlos", "Catalina",
    "Claudia", "Diego", "Elena", "Emilia", "Facundo", "Florencia", "Gastón", "Inés", "Joaquín",
    "Jorge", "Julieta", "Lautaro", "Lucía", "Marta", "Martina", "Mateo", "Matías", "Mónica",
    "Nicolás", "Patricia", "Ramón", "Raúl", "Rocío", "Santiago", "Sofía", "Tomás", "Valentina"};
constexpr int kCursos = 21;

template <size_t N>
QString pick(const char *const (&list)[N], QRandomGenerator &rng)
{
    return QString::fromUtf8(list[rng.bounded(int(N))]);
}

void fillMembers(const QSqlDatabase &db, int count)
{
    QSqlQuery curso(db);
    curso.prepare(QStringLiteral("INSERT INTO Curso (IDCurso, Nombre) VALUES (?, ?)"));
    for (int i = 1; i <= kCursos; ++i) {
        curso.addBindValue(i);
        curso.addBindValue(QStringLiteral("%1º grado %2").arg((i - 1) / 3 + 1).arg(QChar('A' + (i - 1) % 3)));
        if (!curso.exec())
            throw RuntimeError::fromSql(curso.lastError());
    }
    QRandomGenerator rng(20261206);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO Socio (Nombre, Alumno, IDCurso, Telefono, Email, "
                             "Direccion, DNI) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    const QVariant none(QMetaType::fromType<qint64>());
    for (int i = 0; i < count; ++i) {
        const QString apellido = pick(kApellidos, rng);
        const bool alumno = rng.bounded(10) < 8;
        q.addBindValue(apellido + QStringLiteral(", ") + pick(kNombres, rng));
        q.addBindValue(alumno ? apellido + QStringLiteral(", ") + pick(kNombres, rng) : QStringLiteral(""));
        q.addBindValue(alumno ? QVariant(rng.bounded(kCursos) + 1) : none);
        q.addBindValue(QStringLiteral("4%1").arg(rng.bounded(1000000, 9999999)));
        q.addBindValue(QStringLiteral("socio%1@correo.com.ar").arg(i));
        q.addBindValue(QStringLiteral("Calle %1 %2").arg(pick(kApellidos, rng)).arg(rng.bounded(1, 5000)));
        q.addBindValue(QString::number(rng.bounded(20000000, 50000000)));
        if (!q.exec())
            throw RuntimeError::fromSql(q.lastError());
    }
}

// Milliseconds of `work` plus the paint that follows it.
double timed(const std::function<void()> &work)
{
    return elapsedMs([&] {
        work();
        QCoreApplication::processEvents();
    });
}

void report(const char *what, std::vector<double> ms, int rows)
{
    const double first = ms.front();
    std::sort(ms.begin(), ms.end());
    std::printf("%-30s %7d filas   primera %6.1f ms   mediana %6.1f ms   max %6.1f ms\n", what,
                rows, first, ms[ms.size() / 2], ms.back());
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication bench(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    QElapsedTimer t;
    t.start();
    const QString error = CreateNewDatabase(path, [&](const QSqlDatabase &db) { fillMembers(db, count); });
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("Base de %d socios generada en %.1f s (%lld KiB)\n", count, t.elapsed() / 1000.0,
                QFileInfo(path).size() / 1024);
    if (argc > 2 && !QFile::copy(path, QString::fromLocal8Bit(argv[2])))
        std::fprintf(stderr, "No se pudo dejar una copia en %s\n", argv[2]);
    QList<DbErrorEntry> errors;
    if (!OpenConexion(path, &errors)) {
        std::fprintf(stderr, "No se pudo abrir la base\n");
        return 1;
    }
    MDIForm1 *main = MDIForm1::instance();
    main->show();
    QCoreApplication::processEvents();

    const int runs = 7;
    QAction *menu = main->menuItem(QStringLiteral("mnuSocio"));
    // The first list opened reads the file cold.
    const double first = timed([&] { menu->trigger(); });
    std::printf("Primera apertura: %.1f ms\n", first);
    std::vector<double> open;
    frmSocio *list = nullptr;
    long rssBefore = 0, rssAfter = 0;
    for (int i = 0; i < runs; ++i) {
        for (QMdiSubWindow *w : main->mdiArea()->subWindowList())
            delete w;
        QCoreApplication::processEvents();
        rssBefore = residentKiB();
        open.push_back(timed([&] { menu->trigger(); }));
        rssAfter = residentKiB();
        list = qobject_cast<frmSocio *>(main->mdiArea()->subWindowList().last()->widget());
    }
    report("Abrir la lista (menu &Socios)", open, list->rows().rowCount());

    auto *numero = list->findChild<QLineEdit *>(QStringLiteral("txtSocioNumero"));
    auto *nombre = list->findChild<QLineEdit *>(QStringLiteral("txtSocioNombre"));
    auto *alumno = list->findChild<QLineEdit *>(QStringLiteral("txtAlumno"));
    auto *curso = list->findChild<DataCombo *>(QStringLiteral("datcboCurso"));
    auto *buscar = list->findChild<QPushButton *>(QStringLiteral("cmdBuscar"));
    struct Search
    {
        const char *what;
        QString numero, nombre, alumno;
        int curso;
    };
    const Search searches[] = {
        {"Nombre \"gomez\"", {}, QStringLiteral("gomez"), {}, 0},
        {"Nombre \"NUNEZ, SOFIA\"", {}, QStringLiteral("NUNEZ, SOFIA"), {}, 0},
        {"Alumno \"martina\"", {}, {}, QStringLiteral("martina"), 0},
        {"Numero \"54321\"", QStringLiteral("54321"), {}, {}, 0},
        {"Curso (3er grado)", {}, {}, {}, 8},
        {"Nombre + alumno + curso", {}, QStringLiteral("garcia"), QStringLiteral("a"), 8},
        {"Sin filtros (Buscar!)", {}, {}, {}, 0},
    };
    for (const Search &s : searches) {
        numero->setText(s.numero);
        nombre->setText(s.nombre);
        alumno->setText(s.alumno);
        curso->setCurrentIndex(s.curso);
        std::vector<double> ms;
        for (int i = 0; i < runs; ++i)
            ms.push_back(timed([&] { buscar->click(); }));
        report(s.what, ms, list->rows().rowCount());
    }
    std::printf("Memoria de una lista de %d filas: %ld KiB (%.0f bytes por fila)\n",
                list->rows().rowCount(), rssAfter - rssBefore,
                list->rows().rowCount() ? 1024.0 * double(rssAfter - rssBefore) / list->rows().rowCount() : 0.0);
    delete main;
    CloseConexion();
    return 0;
}
