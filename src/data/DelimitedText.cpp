#include "data/DelimitedText.h"
#include "data/Errors.h"
#include "data/TextRules.h"

#include <QFile>
#include <QStringDecoder>

namespace {

// Windows-1252 is Latin-1 but for 0x80–0x9F, where it keeps the euro, the
// typographic quotes and dashes; the five it leaves unused stand for themselves.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(const QByteArray &bytes)
{
    QString s(bytes.size(), Qt::Uninitialized);
    QChar *out = s.data();
    for (const char c : bytes) {
        const uchar b = uchar(c);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
    return s;
}

} // namespace

QString DecodeSpreadsheetText(const QByteArray &bytes, TextEncoding *found)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    const bool isUtf8 = !utf8.hasError();
    if (!isUtf8)
        text = fromWindows1252(bytes);
    else if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    if (found)
        *found = isUtf8 ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    return text;
}

QChar GuessSeparator(const QString &text)
{
    // The first twenty lines are enough; a bank's heading lines (the account,
    // the period) split into fewer fields and count for no one.
    const QStringList lines = text.left(20000).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(0, 20);
    QChar best = QLatin1Char(';');
    int bestScore = 0;
    for (const QChar sep : {QLatin1Char(';'), QLatin1Char(','), QLatin1Char('\t'), QLatin1Char('|')}) {
        QHash<int, int> linesWithFields;
        for (const QString &line : lines) {
            const int fields = SplitDelimited(line, sep).value(0).size();
            if (fields > 1)
                ++linesWithFields[fields];
        }
        // The most lines agreeing on one count of fields, more fields breaking a tie.
        int score = 0;
        for (auto it = linesWithFields.cbegin(); it != linesWithFields.cend(); ++it)
            score = std::max(score, it.value() * 1000 + it.key());
        if (score > bestScore) {
            bestScore = score;
            best = sep;
        }
    }
    return best;
}

QList<QStringList> SplitDelimited(const QString &text, QChar separator)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;     // inside a quoted stretch
    bool anyContent = false; // the record has something but blanks
    auto endField = [&] {
        row << field;
        field.clear();
    };
    auto endRecord = [&] {
        endField();
        if (anyContent)
            rows << row;
        row.clear();
        anyContent = false;
    };
    const int n = int(text.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            anyContent = true;
        } else if (c == separator) {
            endField();
            anyContent = true;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            endRecord();
        } else {
            field += c;
            if (!c.isSpace())
                anyContent = true;
        }
    }
    if (anyContent || !field.isEmpty())
        endRecord();
    return rows;
}

QString ReadSpreadsheetFile(const QString &path, TextEncoding *found)
{
    QFile f(path);
    QByteArray bytes;
    if (f.open(QIODevice::ReadOnly))
        bytes = f.readAll();
    if (!f.isOpen() || f.error() != QFileDevice::NoError)
        throw RuntimeError(53, QStringLiteral("No se pudo leer el archivo \"%1\": %2.").arg(path, f.errorString()));
    return DecodeSpreadsheetText(bytes, found);
}

DelimitedText ReadDelimitedFile(const QString &path, QChar separator)
{
    DelimitedText t;
    const QString text = ReadSpreadsheetFile(path, &t.encoding);
    t.separator = separator.isNull() ? GuessSeparator(text) : separator;
    t.rows = SplitDelimited(text, t.separator);
    for (const QStringList &r : std::as_const(t.rows))
        t.columns = std::max(t.columns, int(r.size()));
    return t;
}

QString FoldedWords(const QString &text)
{
    return FoldSpanish(text, Enye::AsN).simplified();
}

QHash<QString, int> ColumnsFromTitles(const QStringList &titles, const QList<std::pair<QString, QStringList>> &names)
{
    QHash<QString, int> chosen;
    QList<bool> taken(titles.size(), false);
    QStringList folded;
    for (const QString &t : titles)
        folded << FoldedWords(t);
    for (const auto &[field, words] : names) {
        for (const QString &word : words) {
            for (int c = 0; c < folded.size() && !chosen.contains(field); ++c)
                if (!taken[c] && !folded[c].isEmpty() && folded[c].startsWith(word)) {
                    chosen.insert(field, c);
                    taken[c] = true;
                }
            if (chosen.contains(field))
                break;
        }
    }
    return chosen;
}
