#include "data/IniFile.h"
#include "data/Environment.h"
#include "data/ValueRules.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

constexpr int kMaxValue = 254;
constexpr qint64 kMaxLine = 64 * 1024;

// The whole file as text: UTF-8 (with or without its byte-order mark), UTF-16
// with its byte-order mark (what Windows editors save as "Unicode"), or, when
// it is not valid UTF-8, Latin-1. Lines may end in CR LF, LF or CR alone.
QStringList iniLines(const QByteArray &bytes)
{
    QString text;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        text = utf16.decode(bytes.mid(2));
    } else {
        const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
        QStringDecoder utf8(QStringDecoder::Utf8);
        text = utf8.decode(body);
        if (utf8.hasError())
            text = QString::fromLatin1(body);
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.split(QLatin1Char('\n'));
}

QString iniBase(bool trimmed)
{
    const QString base = trimmed ? env().exeBaseName.trimmed() : env().exeBaseName;
    return env().appDir + QLatin1Char('/') + base;
}

QString existingIni(const QString &base)
{
    for (const char *ext : {".ini", ".INI"}) {
        const QFileInfo f(base + QLatin1String(ext));
        if (f.exists() && f.isFile())
            return f.filePath();
    }
    return QString();
}

} // namespace

QString IniPathForMessages()
{
    if (!env().iniFile.isEmpty())
        return env().iniFile;
    return iniBase(false) + QLatin1String(".INI");
}

QString FindIniFile()
{
    if (!env().iniFile.isEmpty())
        return QFileInfo(env().iniFile).isFile() ? env().iniFile : QString();
    return existingIni(iniBase(false));
}

QString IniFolder()
{
    return env().iniFile.isEmpty() ? env().appDir : QFileInfo(env().iniFile).absolutePath();
}

bool IniFileReadable(const QString &filePath)
{
    QFile f(filePath);
    return !filePath.isEmpty() && f.open(QIODevice::ReadOnly);
}

std::optional<QString> ReadIniEntry(const QString &filePath, const QString &section,
                                    const QString &key)
{
    QFile f(filePath);
    if (filePath.isEmpty() || !f.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A configuration file is a few lines; what lies beyond 64 MB is not read.
    return ReadIniEntryFromBytes(f.read(64 << 20), section, key);
}

std::optional<QString> ReadIniEntryFromBytes(const QByteArray &bytes, const QString &section, const QString &key)
{
    bool inSection = false;
    for (QString line : iniLines(bytes)) {
        line = line.left(kMaxLine).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const int close = line.indexOf(QLatin1Char(']'));
            if (close > 0) {
                inSection = line.mid(1, close - 1).trimmed().compare(section, Qt::CaseInsensitive) == 0;
                continue;
            }
        }
        if (!inSection)
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        const QString value = line.mid(eq + 1).trimmed().left(kMaxValue);
        if (value.isEmpty())
            return std::nullopt;
        return value;
    }
    return std::nullopt;
}

QVariant ReadIniValue(const QString &section, const QString &key)
{
    const auto v = ReadIniEntry(FindIniFile(), section, key);
    return v ? QVariant(*v) : QVariant();
}

QString OrganisationName()
{
    return ReadIniValue(QStringLiteral("Location"), QStringLiteral("Nombre")).toString();
}

namespace {

// The value read, converted to the kind asked for; invalid when it is not of it.
QVariant ofKind(const QString &v, int kind)
{
    switch (kind) {
    case IniNumber: {
        if (!IsNumeric(v, env().locale))
            return QVariant();
        return ToDouble(v, env().locale);
    }
    case IniYesNo: {
        const QString t = v.trimmed().toLower();
        if (t == QLatin1String("1") || t == QLatin1String("si") || t == QStringLiteral("sí")
            || t == QLatin1String("true") || t == QLatin1String("verdadero") || t == QLatin1String("yes"))
            return true;
        if (t == QLatin1String("0") || t == QLatin1String("no") || t == QLatin1String("false")
            || t == QLatin1String("falso"))
            return false;
        return QVariant();
    }
    case IniDate: {
        QDate d = QDate::fromString(v.trimmed(), Qt::ISODate);
        if (!d.isValid())
            d = env().locale.toDate(v.trimmed(), ShortDateFormat(env().locale));
        return d.isValid() ? QVariant(d) : QVariant();
    }
    default:
        return v;
    }
}

} // namespace

QVariant CheckIniEntry(const QString &section, const QString &key, QVariant &value,
                       const QVariant &defaultValue, int kind, bool reportMissing,
                       bool checkFile)
{
    if (checkFile && (env().iniFile.isEmpty() ? existingIni(iniBase(true)) : FindIniFile()).isEmpty())
        return QStringLiteral("No existe el archivo de inicialización.") + QStringLiteral("\r\r")
               + IniPathForMessages();
    if (checkFile && !IniFileReadable(FindIniFile()))
        return QStringLiteral("No se puede leer el archivo de inicialización (revise sus permisos).")
               + QStringLiteral("\r\r") + FindIniFile();
    const QVariant v = ReadIniValue(section, key);
    // A NUL would cut the value short where the file is used (a path, above all).
    if (v.isValid() && v.toString().contains(QChar(0)))
        return QStringLiteral("La entrada ") + key + QStringLiteral(" de la sección ") + section
               + QStringLiteral(" contiene un carácter nulo y no se puede usar.") + QStringLiteral("\r\r")
               + IniPathForMessages();
    if (v.isValid()) {
        const QVariant typed = ofKind(v.toString(), kind);
        if (typed.isValid()) {
            value = typed;
            return 0;
        }
        value = defaultValue;
        return 1;
    }
    if (reportMissing)
        return QStringLiteral("Falta la entrada ") + key + QStringLiteral(" de la sección ") + section
               + QStringLiteral(" en el archivo INI.") + QStringLiteral("\r\r") + IniPathForMessages();
    value = defaultValue;
    return 1;
}
