#include "data/ConfigFile.h"
#include "data/Environment.h"
#include "data/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#ifdef Q_OS_LINUX
#include <sys/vfs.h>
#endif

namespace {

const QString kSection = QStringLiteral("DataSourceName");

QString withPath(const QString &text)
{
    return text + QStringLiteral("\r\r") + IniPathForMessages();
}

std::optional<QString> entry(const QString &key)
{
    return ReadIniEntry(FindIniFile(), kSection, key);
}

// Today's message for a required entry that is missing.
QString missing(const QString &key)
{
    QVariant unused;
    return CheckIniEntry(kSection, key, unused, QString(), IniText, true, false).toString();
}

QString serverSettings(ConnectionSettings &s)
{
    s.engine = Engine::PostgreSQL;
    s.host = *entry(QStringLiteral("Servidor"));
    if (const auto port = entry(QStringLiteral("Puerto"))) {
        bool ok = false;
        s.port = port->toInt(&ok);
        if (!ok || s.port < 1 || s.port > 65535)
            return withPath(QStringLiteral("La entrada Puerto de la sección DataSourceName debe ser un número de "
                                           "puerto, de 1 a 65535 (dice \"")
                            + *port + QStringLiteral("\")."));
    }
    const auto base = entry(QStringLiteral("Base"));
    if (!base)
        return missing(QStringLiteral("Base"));
    s.database = *base;
    s.user = entry(QStringLiteral("Usuario")).value_or(QString());
    if (const auto ssl = entry(QStringLiteral("SSL"))) {
        s.sslMode = ssl->toLower();
        if (!SslModes().contains(s.sslMode))
            return withPath(QStringLiteral("La entrada SSL de la sección DataSourceName debe ser uno de estos "
                                           "valores: ")
                            + SslModes().join(QStringLiteral(", ")) + QStringLiteral(" (dice \"") + *ssl
                            + QStringLiteral("\")."));
    }
    return QString();
}

} // namespace

QStringList SslModes()
{
    return {QStringLiteral("disable"), QStringLiteral("allow"),     QStringLiteral("prefer"),
            QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
}

QString ReadConnectionSettings(ConnectionSettings &out)
{
    QVariant path;
    const QVariant r = CheckIniEntry(kSection, QStringLiteral("DataSource"), path, QString(), IniText, false, true);
    if (r.typeId() == QMetaType::QString)
        return r.toString();
    // Whoever can read the file could read a password in it.
    for (const char *key : {"Clave", "Contraseña", "Contrasena", "Password", "PWD"})
        if (entry(QString::fromUtf8(key)))
            return withPath(QStringLiteral("La entrada ") + QString::fromUtf8(key)
                            + QStringLiteral(" de la sección DataSourceName no se admite: la clave nunca se escribe "
                                             "en el archivo de configuración. Guárdela en el archivo de claves de "
                                             "PostgreSQL (~/.pgpass) o escríbala cuando Tesorin la pida, y borre "
                                             "esa línea."));
    const bool server = entry(QStringLiteral("Servidor")).has_value();
    ConnectionSettings s;
    if (r.toInt() == 0) {
        if (server)
            return withPath(QStringLiteral("La sección DataSourceName nombra a la vez un archivo (DataSource) y un "
                                           "servidor (Servidor); deje solo uno de los dos."));
        const QString file = path.toString();
        s.file = QFileInfo(QFileInfo(file).isRelative() ? QDir(IniFolder()).filePath(file) : file).absoluteFilePath();
    } else if (!server) {
        return missing(QStringLiteral("DataSource"));
    } else if (const QString problem = serverSettings(s); !problem.isEmpty()) {
        return problem;
    }
    out = s;
    return QString();
}

QString UserConfigPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/tesorin/tesorin.ini");
}

QString WriteConfigFile(const QString &path, const ConnectionSettings &where, const QString &nombre)
{
    const auto fail = [&](const QString &why) {
        return QStringLiteral("No se pudo guardar la configuración en ") + path + QStringLiteral(". ") + why;
    };
    QList<std::pair<const char *, QString>> values;
    if (where.isServer()) {
        values = {{"Servidor", where.host},
                  {"Puerto", QString::number(where.port)},
                  {"Base", where.database},
                  {"Usuario", where.user},
                  {"SSL", where.sslMode}};
    } else {
        values = {{"DataSource", where.file}};
    }
    // The reader trims values, cuts them at 254 characters and knows no line break inside one.
    for (const auto &[key, value] : values + QList<std::pair<const char *, QString>>{{"Nombre", nombre}})
        if (value.size() > 254 || value != value.trimmed() || value.contains(QLatin1Char('\n'))
            || value.contains(QLatin1Char('\r')) || value.contains(QChar(0)))
            return fail(QStringLiteral("El valor de ") + QLatin1String(key)
                        + QStringLiteral(" no puede tener más de 254 caracteres, saltos de línea ni espacios al "
                                         "principio o al final."));
    QByteArray text = "; Configuración de Tesorin. La clave del servidor nunca se escribe aquí:\n"
                      "; va en ~/.pgpass, o Tesorin la pide al empezar.\n"
                      "[DataSourceName]\n";
    for (const auto &[key, value] : values)
        if (!value.isEmpty())
            text += QByteArray(key) + '=' + value.toUtf8() + '\n';
    text += "[Location]\nNombre=" + nombre.toUtf8() + '\n';

    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(QStringLiteral("No se pudo crear la carpeta ") + QFileInfo(path).absolutePath()
                    + QStringLiteral("."));
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.commit())
        return fail(f.errorString());
    return QString();
}

QString NetworkFileSystem(const QString &path)
{
    if (env().networkFileSystem)
        return env().networkFileSystem(path);
#ifdef Q_OS_LINUX
    QFileInfo where(path);
    if (!where.exists())
        where = QFileInfo(where.absolutePath());
    struct statfs st;
    if (statfs(QFile::encodeName(where.absoluteFilePath()).constData(), &st) != 0)
        return QString();
    switch (quint32(st.f_type)) {
    case 0x6969:
        return QStringLiteral("NFS");
    case 0x517B:
    case 0xFF534D42:
    case 0xFE534D42:
        return QStringLiteral("SMB/CIFS");
    case 0x65735546: { // FUSE: sshfs is told by its entry in the mount table
        QFile mounts(QStringLiteral("/proc/self/mounts"));
        if (!mounts.open(QIODevice::ReadOnly))
            return QString();
        const QString target = where.canonicalFilePath();
        QString best, type;
        for (const QByteArray &line : mounts.readAll().split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() < 3)
                continue;
            const QString dir = QString::fromUtf8(QByteArray(f[1]).replace("\\040", " "));
            if ((target == dir || target.startsWith(dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/')))
                && dir.size() >= best.size()) {
                best = dir;
                type = QString::fromUtf8(f[2]);
            }
        }
        return type == QLatin1String("fuse.sshfs") ? QStringLiteral("SSHFS") : QString();
    }
    default:
        return QString();
    }
#else
    return QString();
#endif
}

QString NetworkDriveWarning(const QString &database)
{
    const QString kind = NetworkFileSystem(database);
    if (kind.isEmpty())
        return QString();
    return QStringLiteral("La base de datos está en una unidad de red (") + kind
           + QStringLiteral("). El bloqueo de archivos a través de la red no es confiable: si dos PC la usan a la "
                            "vez, el archivo se puede dañar. Para que varias personas lleven los libros, use un "
                            "servidor PostgreSQL (vea la sección \"Varios usuarios\" del README).\r\rArchivo: ")
           + database;
}
