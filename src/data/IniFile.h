#pragma once
// The configuration file: the one named with --ini, or the one beside the
// executable (base name + ".ini").
#include <QString>
#include <QVariant>
#include <optional>

// The file as messages show it: the --ini path as given, or folder + "/" +
// base name + ".INI".
QString IniPathForMessages();
// The file on disk: the --ini path, or ".ini" or ".INI" beside the
// executable; "" when there is none.
QString FindIniFile();
// The folder a relative path in the file is taken from: the file's own.
QString IniFolder();

// True when the file can be opened for reading.
bool IniFileReadable(const QString &filePath);

// Reads one entry of an INI file (UTF-8, UTF-16 with its mark, or Latin-1;
// any line ends). Section and key names compare without regard
// to case; the value is trimmed and cut to 254 characters; an empty value, a
// missing entry, section or file give nothing. Lines starting with ';' are
// comments. Nothing else in a value is interpreted.
std::optional<QString> ReadIniEntry(const QString &filePath, const QString &section,
                                    const QString &key);

// The same, from the file's bytes.
std::optional<QString> ReadIniEntryFromBytes(const QByteArray &bytes, const QString &section, const QString &key);

// The entry of the configuration file, or an invalid QVariant (Empty).
QVariant ReadIniValue(const QString &section, const QString &key);

// The organisation's name (Nombre of section Location) as receipts and
// reports print it; "" when the file has none.
QString OrganisationName();

enum IniKind { IniText = 0, IniNumber = 1, IniYesNo = 2, IniDate = 3 };

// 0 when the entry was found (and `value` set), 1 when it is missing (or not of
// the kind asked for) and not to be reported (`value` = `defaultValue`),
// otherwise the error text to show.
QVariant CheckIniEntry(const QString &section, const QString &key, QVariant &value,
                       const QVariant &defaultValue, int kind, bool reportMissing,
                       bool checkFile);
