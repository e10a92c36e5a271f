#include "data/DemoData.h"
#include "data/Database.h"


QString DemoAdminPassword()
{
    return QStringLiteral("admin");
}

namespace {

void fill(const QSqlDatabase &db, const QDate &today)
{
    const int year = today.year();
    const QString insCurso = QStringLiteral("INSERT INTO Curso (IDCurso, Nombre) VALUES (?, ?)");
    const char *const cursos[] = {"1er grado A", "1er grado B", "2do grado", "3er grado",
                                  "4to grado", "5to grado", "6to grado", "7mo grado"};
    int id = 1;
    for (const char *c : cursos)
        Exec(db, insCurso, {id++, QString::fromUtf8(c)});

    const QString insCuenta = QStringLiteral(
        "INSERT INTO Cuenta (IDCuenta, Descripcion, Tipo, IDcuentaPadre) VALUES (?, ?, ?, ?)");
    const QVariant none(QMetaType::fromType<int>());
    Exec(db, insCuenta, {1, QStringLiteral("Ingresos"), QStringLiteral("I"), none});
    Exec(db, insCuenta, {2, QStringLiteral("Egresos"), QStringLiteral("E"), none});
    Exec(db, insCuenta, {10, QStringLiteral("Cuotas sociales"), QStringLiteral("I"), 1});
    Exec(db, insCuenta, {11, QStringLiteral("Donaciones"), QStringLiteral("I"), 1});
    Exec(db, insCuenta, {12, QStringLiteral("Kermesse y rifas"), QStringLiteral("I"), 1});
    Exec(db, insCuenta, {20, QStringLiteral("Mantenimiento edilicio"), QStringLiteral("E"), 2});
    Exec(db, insCuenta, {21, QStringLiteral("Librería y fotocopias"), QStringLiteral("E"), 2});
    Exec(db, insCuenta, {22, QStringLiteral("Servicios"), QStringLiteral("E"), 2});

    const QString insCuota = QStringLiteral(
        "INSERT INTO Cuota (IDCuota, Descripcion, vigencia, Valor, IDCuenta) VALUES (?, ?, ?, ?, ?)");
    Exec(db, insCuota, {1, QStringLiteral("Cuota anual %1").arg(year - 1),
                        QDateTime(QDate(year - 1, 3, 1), QTime(0, 0)), 1200.0, 10});
    Exec(db, insCuota, {2, QStringLiteral("Cuota anual %1").arg(year),
                        QDateTime(QDate(year, 3, 1), QTime(0, 0)), 1500.0, 10});
    Exec(db, insCuota, {3, QStringLiteral("Bono contribución %1").arg(year),
                        QDateTime(QDate(year, 6, 1), QTime(0, 0)), 350.5, 10});

    const char *const socios[][3] = {
        {"Acosta, María Laura", "Acosta, Juan Ignacio", "1"},
        {"Benítez, Carlos", "Benítez, Sofía", "2"},
        {"Castro, Ana", "", ""},
        {"D'Angelo, Roberto", "D'Angelo, Lucía", "3"},
        {"Domínguez, Patricia", "Domínguez, Tomás", "4"},
        {"Fernández, Jorge", "Fernández, Valentina", "5"},
        {"García, Silvia", "García, Mateo", "6"},
        {"Gómez, Raúl", "Gómez, Martina", "7"},
        {"Gutiérrez, Elena", "", ""},
        {"Herrera, Pablo", "Herrera, Camila", "8"},
        {"Ibáñez, Marta", "Ibáñez, Lautaro", "1"},
        {"Juárez, Alberto", "Juárez, Julieta", "2"},
        {"López, Claudia", "López, Benjamín", "3"},
        {"Martínez, Diego", "Martínez, Catalina", "4"},
        {"Medina, Susana", "", ""},
        {"Molina, Fernando", "Molina, Agustina", "5"},
        {"Morales, Graciela", "Morales, Santiago", "6"},
        {"Navarro, Luis", "Navarro, Emilia", "7"},
        {"Núñez, Beatriz", "Núñez, Joaquín", "8"},
        {"Ortiz, Ricardo", "", ""},
        {"Pereyra, Mónica", "Pereyra, Thiago", "1"},
        {"Quiroga, Hugo", "Quiroga, Mía", "2"},
        {"Ramírez, Laura", "Ramírez, Felipe", "3"},
        {"Ríos, Eduardo", "Ríos, Delfina", "4"},
        {"Romero, Verónica", "", ""},
        {"Ruiz, Gustavo", "Ruiz, Bautista", "5"},
        {"Sánchez, Liliana", "Sánchez, Renata", "6"},
        {"Sosa, Marcelo", "Sosa, Francisco", "7"},
        {"Suárez, Alicia", "Suárez, Olivia", "8"},
        {"Torres, Sergio", "", ""},
        {"Vázquez, Norma", "Vázquez, Lorenzo", "1"},
        {"Villalba, Oscar", "Villalba, Isabella", "2"},
        {"Zapata, Cristina", "Zapata, Nicolás", "3"},
        {"Ñancucheo, Rosa", "Ñancucheo, Ailén", "4"},
        {"Biblioteca Popular del Barrio", "", ""},
        {"Almacén Don José", "", ""},
    };
    const QString insSocio = QStringLiteral(
        "INSERT INTO Socio (Nombre, Alumno, IDCurso, Telefono, Email, Direccion, DNI)"
        " VALUES (?, ?, ?, ?, ?, ?, ?)");
    int n = 0;
    for (const auto &s : socios) {
        ++n;
        const QString curso = QString::fromUtf8(s[2]);
        Exec(db, insSocio,
             {QString::fromUtf8(s[0]), QString::fromUtf8(s[1]),
              curso.isEmpty() ? none : QVariant(curso.toInt()),
              QStringLiteral("11-4%1-%2").arg(100 + n * 7).arg(1000 + n * 37),
              QStringLiteral("socio%1@example.org").arg(n),
              QStringLiteral("Calle %1 %2").arg(n * 3).arg(100 + n * 11),
              QString::number(20000000 + n * 104729)});
    }

    const QString insMov = QStringLiteral(
        "INSERT INTO Movimiento (Fecha, IDSocio, IDCuota, IDCuenta, Tipo, Importe, MedioPago,"
        " Descripcion, Recibo, ChequeNumero, IDContraAsiento) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    auto at = [&](int month, int day) {
        QDate d(year, month, day);
        if (d > today)
            d = today.addDays(-(13 * month + day) % 60);
        return QDateTime(d, QTime(10 + month % 8, (day * 7) % 60, 0));
    };
    // Fee collections with receipts.
    int recibo = 1;
    for (int socio = 1; socio <= 30; ++socio) {
        if (socio % 3 == 0)
            continue;
        Exec(db, insMov, {at(3 + socio % 8, 1 + socio % 27), socio, 2, 10, QStringLiteral("I"), 1500.0,
                          QStringLiteral("E"), QStringLiteral("Cuota anual %1").arg(year), recibo++,
                          none, none});
        if (socio % 4 == 0)
            Exec(db, insMov, {QDateTime(QDate(year - 1, 4, socio % 27 + 1), QTime(11, 0)), socio, 1, 10,
                              QStringLiteral("I"), 1200.0, QStringLiteral("E"),
                              QStringLiteral("Cuota anual %1").arg(year - 1), recibo++, none, none});
        if (socio % 5 == 0)
            Exec(db, insMov, {at(6 + socio % 5, 2 + socio % 20), socio, 3, 10, QStringLiteral("I"), 350.5,
                              QStringLiteral("E"), QStringLiteral("Bono contribución %1").arg(year),
                              none, none, none});
    }
    // Other income.
    Exec(db, insMov, {at(4, 12), none, none, 11, QStringLiteral("I"), 5000.0, QStringLiteral("E"),
                      QStringLiteral("Donación de la Biblioteca Popular"), none, none, none});
    Exec(db, insMov, {at(9, 21), none, none, 12, QStringLiteral("I"), 18250.75, QStringLiteral("E"),
                      QStringLiteral("Kermesse de la primavera"), none, none, none});
    // Payments, cash and by cheque.
    Exec(db, insMov, {at(5, 3), none, none, 21, QStringLiteral("E"), 2340.0, QStringLiteral("E"),
                      QStringLiteral("Resmas y tóner"), none, none, none});
    Exec(db, insMov, {at(7, 15), none, none, 20, QStringLiteral("E"), 12500.0, QStringLiteral("C"),
                      QStringLiteral("Pintura del patio"), none, QStringLiteral("00012345"), none});
    Exec(db, insMov, {at(8, 10), none, none, 22, QStringLiteral("E"), 1875.4, QStringLiteral("E"),
                      QStringLiteral("Gas envasado"), none, none, none});

    // Transfers: two legs pointing at each other.
    auto transfer = [&](const QDateTime &when, double amount, bool toBank) {
        const QString desc = toBank ? QStringLiteral("Deposito en banco")
                                    : QStringLiteral("Extraccion de banco");
        QSqlQuery out = Exec(db, insMov, {when, none, none, none, QStringLiteral("E"), amount,
                                          toBank ? QStringLiteral("E") : QStringLiteral("C"), desc,
                                          none, toBank ? none : QVariant(QStringLiteral("ACAJA")), none});
        const qint64 outId = InsertedKey(out);
        QSqlQuery in = Exec(db, insMov, {when, none, none, none, QStringLiteral("I"), amount,
                                         toBank ? QStringLiteral("C") : QStringLiteral("E"), desc,
                                         none, none, outId});
        const qint64 inId = InsertedKey(in);
        Exec(db, QStringLiteral("UPDATE Movimiento set IDContraAsiento=? WHERE IDMovimiento=?"),
             {inId, outId});
    };
    transfer(at(6, 30), 20000.0, true);
    transfer(at(10, 5), 3000.0, false);

    const QString insParam = QStringLiteral("INSERT INTO Parametro (Parametro, Valor) VALUES (?, ?)");
    Exec(db, insParam, {QStringLiteral("PROXIMORECIBO"), QStringLiteral("1")});
    Exec(db, insParam, {QStringLiteral("ADMIN"), DemoAdminPassword()});
}

} // namespace

QString CreateDemoDatabase(const QString &path, const QDate &today)
{
    return CreateNewDatabase(path, [&](const QSqlDatabase &db) { fill(db, today); });
}
