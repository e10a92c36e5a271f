#include "data/ConfigFile.h"
#include "data/IniFile.h"
#include "support/TestEnv.h"

#include <QDir>

#include <QFile>
#include <QTest>
#include <unistd.h>

class tst_IniFile : public QObject
{
    Q_OBJECT
private slots:
    void readsEntriesAsWritten();
    void badFilesReadAsMissing();
    void checkEntryResults();
    void checkEntryKinds();
    void unicodeFilesAndEveryLineEnd();
    void whereTheBooksAre();
    void writtenConfigurationReadsBack();
};

namespace {
// Whatever a test names with --ini or pretends of the file system ends with it.
struct ConfigGuard
{
    ~ConfigGuard()
    {
        env().iniFile.clear();
        env().networkFileSystem = nullptr;
    }
};
} // namespace

void tst_IniFile::whereTheBooksAre()
{
    TestEnv t;
    ConfigGuard guard;
    const QString ini = t.path("tesorin.INI");
    auto read = [](ConnectionSettings &s) { return ReadConnectionSettings(s); };
    ConnectionSettings s;
    QCOMPARE(read(s), "No existe el archivo de inicialización.\r\r" + ini);
    t.writeIni("[Location]\nNombre=x\n");
    QCOMPARE(read(s), "Falta la entrada DataSource de la sección DataSourceName en el archivo INI.\r\r" + ini);

    // A file, relative to the configuration file's folder, wherever that is.
    t.writeIni("[DataSourceName]\nDataSource=datos/coop.db\n");
    QCOMPARE(read(s), QString());
    QVERIFY(!s.isServer());
    QCOMPARE(s.file, t.path("datos/coop.db"));
    QDir(t.path(".")).mkpath("otra");
    env().iniFile = t.path("otra/mia.ini");
    QCOMPARE(read(s), "No existe el archivo de inicialización.\r\r" + t.path("otra/mia.ini"));
    t.writeIni("[DataSourceName]\nDataSource=coop.db\n", "otra/mia.ini");
    QCOMPARE(read(s), QString());
    QCOMPARE(s.file, t.path("otra/coop.db"));

    // A server: every key, then the defaults.
    t.writeIni("[DataSourceName]\nServidor=pc-tesorero\nPuerto=5433\nBase=coop\nUsuario=ana\nSSL=Verify-Full\n",
               "otra/mia.ini");
    QCOMPARE(read(s), QString());
    QVERIFY(s.isServer());
    QCOMPARE(s.describe(), QStringLiteral("coop@pc-tesorero:5433"));
    QCOMPARE(s.user, QStringLiteral("ana"));
    QCOMPARE(s.sslMode, QStringLiteral("verify-full"));
    t.writeIni("[DataSourceName]\nServidor=/var/run/postgresql\nBase=coop\n", "otra/mia.ini");
    QCOMPARE(read(s), QString());
    QCOMPARE(s.port, 5432);
    QCOMPARE(s.sslMode, QStringLiteral("prefer"));
    QCOMPARE(s.host, QStringLiteral("/var/run/postgresql"));

    // What is refused leaves the settings as they were.
    const QString at = "\r\r" + t.path("otra/mia.ini");
    const QList<std::pair<QByteArray, QString>> refused = {
        {"Servidor=a\nBase=coop\nPuerto=cinco",
         "La entrada Puerto de la sección DataSourceName debe ser un número de puerto, de 1 a 65535 (dice \"cinco\")."},
        {"Servidor=a\nBase=coop\nPuerto=70000",
         "La entrada Puerto de la sección DataSourceName debe ser un número de puerto, de 1 a 65535 (dice \"70000\")."},
        {"Servidor=a\nBase=coop\nSSL=si",
         "La entrada SSL de la sección DataSourceName debe ser uno de estos valores: disable, allow, prefer, require, "
         "verify-ca, verify-full (dice \"si\")."},
        {"Servidor=a\nBase=coop\nclave=secreta",
         "La entrada Clave de la sección DataSourceName no se admite: la clave nunca se escribe en el archivo de "
         "configuración. Guárdela en el archivo de claves de PostgreSQL (~/.pgpass) o escríbala cuando Tesorin la "
         "pida, y borre esa línea."},
        {"DataSource=coop.db\nPassword=x", "La entrada Password de la sección DataSourceName no se admite: la clave "
                                           "nunca se escribe en el archivo de configuración. Guárdela en el archivo "
                                           "de claves de PostgreSQL (~/.pgpass) o escríbala cuando Tesorin la pida, "
                                           "y borre esa línea."},
        {"DataSource=coop.db\nServidor=a", "La sección DataSourceName nombra a la vez un archivo (DataSource) y un "
                                           "servidor (Servidor); deje solo uno de los dos."},
        {"Servidor=a", "Falta la entrada Base de la sección DataSourceName en el archivo INI."},
    };
    for (const auto &[content, text] : refused) {
        t.writeIni("[DataSourceName]\n" + content + "\n", "otra/mia.ini");
        QCOMPARE(read(s), text + at);
        QCOMPARE(s.host, QStringLiteral("/var/run/postgresql"));
    }
}

void tst_IniFile::writtenConfigurationReadsBack()
{
    TestEnv t;
    ConfigGuard guard;
    ConnectionSettings server;
    server.engine = Engine::PostgreSQL;
    server.host = "servidor.escuela";
    server.port = 6543;
    server.database = "coop";
    server.user = "ana";
    server.sslMode = "require";
    const QString path = t.path("nueva/carpeta/tesorin.ini");
    QCOMPARE(WriteConfigFile(path, server, "Cooperadora Escuela Nº 12"), QString());
    env().iniFile = path;
    ConnectionSettings s;
    QCOMPARE(ReadConnectionSettings(s), QString());
    QCOMPARE(s.describe(), server.describe());
    QCOMPARE(s.user, QStringLiteral("ana"));
    QCOMPARE(s.sslMode, QStringLiteral("require"));
    QCOMPARE(OrganisationName(), QStringLiteral("Cooperadora Escuela Nº 12"));

    ConnectionSettings file;
    file.file = t.path("coop.db");
    QCOMPARE(WriteConfigFile(path, file, QString()), QString());
    QCOMPARE(ReadConnectionSettings(s), QString());
    QCOMPARE(s.file, t.path("coop.db"));
    QVERIFY(!s.isServer());

    // What the reader would read otherwise is not written; the file stays as it was.
    file.file = QString(300, 'x');
    QVERIFY(WriteConfigFile(path, file, "x").contains("no puede tener más de 254 caracteres"));
    QVERIFY(WriteConfigFile(path, server, " Cooperadora").contains("espacios al principio"));
    QCOMPARE(ReadConnectionSettings(s), QString());
    QCOMPARE(s.file, t.path("coop.db"));

    // The file system: a local disk is not a network drive; a pretended one is warned about.
    QCOMPARE(NetworkFileSystem(t.path("coop.db")), QString());
    QCOMPARE(NetworkDriveWarning(t.path("coop.db")), QString());
    env().networkFileSystem = [](const QString &) { return QStringLiteral("SMB/CIFS"); };
    QVERIFY(NetworkDriveWarning(t.path("coop.db")).startsWith("La base de datos está en una unidad de red (SMB/CIFS)."));
}

void tst_IniFile::unicodeFilesAndEveryLineEnd()
{
    TestEnv t;
    const QString text = QStringLiteral("[DataSourceName]\r\nDataSource=C:\\Cooperadora\\tesorín.db\r\n"
                                        "[Location]\r\nNombre=Escuela Nº 5\r\n");
    QByteArray le("\xFF\xFE"), be("\xFE\xFF");
    for (QChar c : text) {
        le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    }
    for (const QByteArray &file : {le, be, QString(text).replace("\r\n", "\r").toUtf8()}) {
        t.writeIni(file);
        QCOMPARE(ReadIniValue("Location", "Nombre").toString(), QStringLiteral("Escuela Nº 5"));
        QCOMPARE(ReadIniValue("DataSourceName", "DataSource").toString(), QStringLiteral("C:\\Cooperadora\\tesorín.db"));
    }

    // A NUL would cut a path short: refused, with its own message.
    t.writeIni(QByteArray("[DataSourceName]\nDataSource=/tmp/a\0b.db\n", 37));
    QVariant value;
    QCOMPARE(CheckIniEntry("DataSourceName", "DataSource", value, QString(), IniText, true, true).toString(),
             "La entrada DataSource de la sección DataSourceName contiene un carácter nulo y no se puede usar.\r\r"
                 + t.path("tesorin.INI"));

    if (geteuid() == 0)
        QSKIP("root reads files without permission");
    QFile::setPermissions(t.path("tesorin.ini"), QFileDevice::Permissions());
    QCOMPARE(CheckIniEntry("DataSourceName", "DataSource", value, QString(), IniText, true, true).toString(),
             "No se puede leer el archivo de inicialización (revise sus permisos).\r\r" + t.path("tesorin.ini"));
}

void tst_IniFile::readsEntriesAsWritten()
{
    TestEnv t;
    const QByteArray longValue(10000, 'x');
    t.writeIni("; comentario\r\n"
               "[datasourcename]\r\n"
               "DATASOURCE =   C:\\datos\\coop, \"vieja\".mdb  ; sin cortar\r\n"
               "\r\n"
               "[ Location ]\r\n"
               "Nombre=Cooperadora Escuela N° 12\r\n"
               "Vacio=   \r\n"
               "Largo=" + longValue + "\r\n"
               ";Oculto=no\r\n");
    QCOMPARE(ReadIniValue("DataSourceName", "DataSource").toString(),
             QStringLiteral("C:\\datos\\coop, \"vieja\".mdb  ; sin cortar"));
    QCOMPARE(ReadIniValue("LOCATION", "nombre").toString(), QStringLiteral("Cooperadora Escuela N° 12"));
    QVERIFY(!ReadIniValue("Location", "Vacio").isValid());
    QCOMPARE(ReadIniValue("Location", "Largo").toString(), QString(254, 'x'));
    QVERIFY(!ReadIniValue("Location", "Oculto").isValid());
    QVERIFY(!ReadIniValue("Location", "DataSource").isValid()); // keys belong to their section
    QVERIFY(!ReadIniValue("Otra", "Nombre").isValid());
}

void tst_IniFile::badFilesReadAsMissing()
{
    TestEnv t;
    QVERIFY(!ReadIniValue("Location", "Nombre").isValid()); // no file at all

    t.writeIni("");
    QVERIFY(!ReadIniValue("Location", "Nombre").isValid());

    QByteArray binary;
    for (int i = 0; i < 70000; ++i)
        binary.append(char((i * 7919) % 256));
    t.writeIni(binary + "\n[Location]\nNombre=Tras lo binario\n");
    QCOMPARE(ReadIniValue("Location", "Nombre").toString(), QStringLiteral("Tras lo binario"));

    // A large file with the entry at its end is still read, and quickly enough to start.
    QByteArray big;
    big.reserve(8 << 20);
    for (int i = 0; i < 200000; ++i)
        big.append("clave" + QByteArray::number(i) + "=valor de relleno para agrandar el archivo\n");
    t.writeIni("[Relleno]\n" + big + "[Location]\nNombre=Al final\n");
    QCOMPARE(ReadIniValue("Location", "Nombre").toString(), QStringLiteral("Al final"));

    // A Latin-1 file written by an old editor.
    t.writeIni("[Location]\nNombre=Cooperadora N\xBA 5 \xD1" "and\xFA\n");
    QCOMPARE(ReadIniValue("Location", "Nombre").toString(), QStringLiteral("Cooperadora Nº 5 Ñandú"));
}

void tst_IniFile::checkEntryResults()
{
    TestEnv t;
    const QString iniPath = t.path("tesorin.INI");
    QVariant value = "sin tocar";
    QVariant r = CheckIniEntry("DataSourceName", "DataSource", value, QString(), IniText, true, true);
    QCOMPARE(r.toString(), "No existe el archivo de inicialización.\r\r" + iniPath);
    QCOMPARE(value.toString(), QStringLiteral("sin tocar"));

    // Either spelling of the extension is found.
    t.writeIni("[Location]\nNombre=x\n", "tesorin.INI");
    r = CheckIniEntry("DataSourceName", "DataSource", value, QString(), IniText, true, true);
    QCOMPARE(r.toString(),
             "Falta la entrada DataSource de la sección DataSourceName en el archivo INI.\r\r" + iniPath);
    QCOMPARE(value.toString(), QStringLiteral("sin tocar"));
    QFile::remove(iniPath);

    t.writeIni("[DataSourceName]\nDataSource=\n");
    r = CheckIniEntry("DataSourceName", "DataSource", value, QString(), IniText, true, true);
    QVERIFY(r.toString().startsWith("Falta la entrada DataSource"));

    r = CheckIniEntry("DataSourceName", "DataSource", value, "por omisión", IniText, false, true);
    QCOMPARE(r.toInt(), 1);
    QCOMPARE(value.toString(), QStringLiteral("por omisión"));

    t.writeIni("[DataSourceName]\nDataSource= /datos/coop.db \n");
    r = CheckIniEntry("DataSourceName", "DataSource", value, QString(), IniText, true, true);
    QCOMPARE(r.metaType().id(), QMetaType::Int);
    QCOMPARE(r.toInt(), 0);
    QCOMPARE(value.toString(), QStringLiteral("/datos/coop.db"));
}

void tst_IniFile::checkEntryKinds()
{
    TestEnv t;
    t.writeIni("[S]\nN=12,5\nMal=doce\nB=Sí\nD=2026-03-01\nDMal=31/02/2026\n");
    QVariant v;
    QCOMPARE(CheckIniEntry("S", "N", v, 0, IniNumber, true, false).toInt(), 0);
    QCOMPARE(v.toDouble(), 12.5);
    QCOMPARE(CheckIniEntry("S", "Mal", v, 7, IniNumber, true, false).toInt(), 1);
    QCOMPARE(v.toInt(), 7);
    QCOMPARE(CheckIniEntry("S", "B", v, false, IniYesNo, true, false).toInt(), 0);
    QCOMPARE(v.toBool(), true);
    QCOMPARE(CheckIniEntry("S", "D", v, QVariant(), IniDate, true, false).toInt(), 0);
    QCOMPARE(v.toDate(), QDate(2026, 3, 1));
    QCOMPARE(CheckIniEntry("S", "DMal", v, QDate(2000, 1, 1), IniDate, true, false).toInt(), 1);
    QCOMPARE(v.toDate(), QDate(2000, 1, 1));
}

QTEST_MAIN(tst_IniFile)
#include "tst_inifile.moc"
