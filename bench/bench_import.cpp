// Times importing a class list of 5,000 rows on a large association (100,000
// members and 1,000,000 movements, or the counts given): 4,000 new members,
// two of them in new courses, and 1,000 already on the roll with a new phone.
// Each run starts from a fresh copy of the books: reading the file and
// planning (what the window does when it opens), then the import itself.
//
//   build/bench/bench_import [members [movements [database-to-keep]]]
#include "BenchSupport.h"
#include "GenerateLedger.h"
#include "data/Database.h"
#include "data/DelimitedText.h"
#include "members/MemberImport.h"

#include <QSqlQuery>

int main(int argc, char **argv)
{
    BenchApplication bench(argc, argv);
    const int members = argc > 1 ? std::max(1000, atoi(argv[1])) : 100000;
    const int movements = argc > 2 ? std::max(1, atoi(argv[2])) : 1000000;
    QTemporaryDir dir;
    const QString path = PrepareBenchDatabase(dir, members, movements, argc > 3 ? argv[3] : nullptr);
    const QString books = dir.filePath(QStringLiteral("libros.db"));
    QList<DbErrorEntry> errors;
    if (path.isEmpty() || !OpenConexion(path, &errors))
        return 1;

    // The list: the roll's first thousand members with a new phone, and new ones.
    QString csv = QStringLiteral("Alumno;Curso;Padre, madre o tutor;DNI;Teléfono;Correo electrónico;Domicilio\n");
    {
        QSqlQuery q = Exec(QStringLiteral("SELECT Nombre, Alumno FROM Socio WHERE IDSocio <= 1000"));
        while (q.next())
            csv += QStringLiteral("%1;1º grado A;%2;;15-0000-0000;;\n").arg(q.value(1).toString(), q.value(0).toString());
    }
    for (int i = 0; i < 4000; ++i)
        csv += QStringLiteral("Nuevo %1, Lucía;%2;Nuevo %1, Ramón;%3;11-4000-%4;n%1@correo.com.ar;Calle %1\n")
                   .arg(i)
                   .arg(i % 100 == 0 ? QStringLiteral("Sala %1").arg(i % 200 ? 5 : 4) : QStringLiteral("2º grado B"))
                   .arg(30000000 + i)
                   .arg(i % 10000, 4, 10, QLatin1Char('0'));
    const QString list = dir.filePath(QStringLiteral("lista.csv"));
    QFile f(list);
    if (!f.open(QIODevice::WriteOnly) || f.write(csv.toUtf8()) < 0)
        return 1;
    f.close();
    CloseConexion();

    std::vector<double> plans, writes;
    QString summary;
    for (int run = 0; run < 5; ++run) {
        QFile::remove(books);
        if (!QFile::copy(path, books) || !OpenConexion(books, &errors))
            return 1;
        MemberImportSource source;
        plans.push_back(elapsedMs([&] {
            const DelimitedText t = ReadDelimitedFile(list);
            source = {t.rows, ColumnsFromTitles(t.rows.first(), MemberImportTitles()), true};
            PlanMemberImport(ReadMemberRoll(Conexion()), source, true);
        }));
        writes.push_back(elapsedMs([&] {
            summary = MemberImportSummary(WriteMemberImport(Conexion(), source, true, QStringLiteral("lista.csv")));
        }));
        CloseConexion();
    }
    std::printf("%s\n", qPrintable(summary));
    std::printf("%-46s %9.2f ms\n", "lista leida y plan (al abrir la ventana)", medianOf(plans));
    std::printf("%-46s %9.2f ms\n", "importacion (plan de nuevo, escritura)", medianOf(writes));
    std::printf("%-46s %9.2f ms\n", "total", medianOf(plans) + medianOf(writes));
    return 0;
}
