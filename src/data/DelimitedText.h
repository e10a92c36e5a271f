#pragma once
// The lists that spreadsheets and home banking export as text: one record a
// line, its fields split by a separator (";" where the comma is the decimal
// mark, "," elsewhere, sometimes a tab). A field in double quotes may hold
// the separator, a line break or a doubled quote. The bank statement and the
// class lists are read with it.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The two encodings such files come in: spreadsheets save UTF-8, most banks
// and older spreadsheets Windows-1252.
enum class TextEncoding { Utf8, Windows1252 };

// The file's text: UTF-8 when the bytes are valid UTF-8 (a leading byte-order
// mark dropped), Windows-1252 otherwise. `found` receives which.
QString DecodeSpreadsheetText(const QByteArray &bytes, TextEncoding *found = nullptr);

// The separator that splits most of the first lines into the same number of
// fields, of ";", ",", tab and "|"; ";" when none does better.
QChar GuessSeparator(const QString &text);

// The records of the text, each a list of fields with quotes removed and
// surrounding blanks kept. Blank lines are left out.
QList<QStringList> SplitDelimited(const QString &text, QChar separator);

struct DelimitedText
{
    QList<QStringList> rows;
    QChar separator;
    TextEncoding encoding = TextEncoding::Utf8;
    int columns = 0; // the widest row's fields
};

// A whole file's text, decoded as above. Throws RuntimeError, in Spanish,
// naming the file, when it cannot be read.
QString ReadSpreadsheetFile(const QString &path, TextEncoding *found = nullptr);

// Reads a whole file: its encoding found, split by `separator`, or by the
// guessed one when that is null. Throws RuntimeError, in Spanish, naming the
// file, when it cannot be read.
DelimitedText ReadDelimitedFile(const QString &path, QChar separator = QChar());

// A text folded for comparing names the way people write them: accents and
// case gone, blanks collapsed, the ends trimmed ("  José  PÉREZ" → "jose perez").
QString FoldedWords(const QString &text);

// Proposes a column for each field from a title row: `names` gives, for each
// field, the titles that mean it (folded), the first that a title starts with
// wins; each column serves one field at most. Fields without a match are
// left out.
QHash<QString, int> ColumnsFromTitles(const QStringList &titles, const QList<std::pair<QString, QStringList>> &names);
