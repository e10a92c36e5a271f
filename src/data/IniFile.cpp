#include "data/IniFile.h"
#include "data/Environment.h"
#include "data/ValueRules.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

constexpr int kMaxValue = 254;
constexpr qint64 kMaxLine = 64 * 1024;

QString decodeLine(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString s = utf8.decode(bytes);
    if (utf8.hasError())
        s = QString::fromLatin1(bytes);
    return s;
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
    return iniBase(false) + QLatin1String(".INI");
}

QString FindIniFile()
{
    return existingIni(iniBase(false));
}

std::optional<QString> ReadIniEntry(const QString &filePath, const QString &section,
                                    const QString &key)
{
    QFile f(filePath);
    if (filePath.isEmpty() || !f.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool inSection = false;
    bool first = true;
    while (!f.atEnd()) {
        QByteArray raw = f.readLine(kMaxLine);
        if (raw.isEmpty())
            break;
        if (!raw.endsWith('\n')) { // an overlong line: keep its start, skip the rest
            while (!f.atEnd()) {
                const QByteArray more = f.readLine(kMaxLine);
                if (more.isEmpty() || more.endsWith('\n'))
                    break;
            }
        }
        if (first && raw.startsWith("\xEF\xBB\xBF"))
            raw.remove(0, 3);
        first = false;
        const QString line = decodeLine(raw).trimmed();
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
    if (checkFile && existingIni(iniBase(true)).isEmpty())
        return QStringLiteral("No existe el archivo de inicialización.") + QStringLiteral("\r\r")
               + IniPathForMessages();
    const QVariant v = ReadIniValue(section, key);
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
