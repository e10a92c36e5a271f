#include "masterdata/FilterCriterion.h"
#include "data/Database.h"
#include "data/TableInfo.h"

namespace {

struct Token
{
    enum Type { End, Name, Op, Open, Close, Number, Text, Date, Bad } type = End;
    QString text;  // as written (names without brackets, texts without quotes)
    QString shown; // as written, for messages
};

struct ParseError
{
    QString message;
};

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

class Scanner
{
public:
    Scanner(const QString &text, const QLocale &locale) : m_t(text), m_decimal(locale.decimalPoint()) {}

    Token next()
    {
        while (m_i < m_t.size() && m_t.at(m_i).isSpace())
            ++m_i;
        Token k;
        if (m_i >= m_t.size())
            return k;
        const int start = m_i;
        const QChar c = m_t.at(m_i);
        if (c.isLetter() || c == QLatin1Char('_')) {
            while (m_i < m_t.size() && (m_t.at(m_i).isLetterOrNumber() || m_t.at(m_i) == QLatin1Char('_')))
                ++m_i;
            k.type = Token::Name;
            k.text = m_t.mid(start, m_i - start);
        } else if (c == QLatin1Char('[')) {
            const int close = m_t.indexOf(QLatin1Char(']'), m_i + 1);
            if (close < 0)
                throw ParseError{QStringLiteral("Falta el corchete que cierra el nombre ")
                                 + quoted(m_t.mid(start)) + QLatin1Char('.')};
            k.type = Token::Name;
            k.text = m_t.mid(start + 1, close - start - 1).trimmed();
            m_i = close + 1;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            k.type = Token::Text;
            ++m_i;
            for (;;) {
                if (m_i >= m_t.size())
                    throw ParseError{QStringLiteral("Falta la comilla que cierra el texto ")
                                     + m_t.mid(start) + QLatin1Char('.')};
                if (m_t.at(m_i) == c) {
                    if (m_i + 1 < m_t.size() && m_t.at(m_i + 1) == c) { // doubled: one quote
                        k.text += c;
                        m_i += 2;
                        continue;
                    }
                    ++m_i;
                    break;
                }
                k.text += m_t.at(m_i++);
            }
        } else if (c == QLatin1Char('#')) {
            const int close = m_t.indexOf(QLatin1Char('#'), m_i + 1);
            if (close < 0)
                throw ParseError{QStringLiteral("Falta el # que cierra la fecha ") + m_t.mid(start)
                                 + QLatin1Char('.')};
            k.type = Token::Date;
            k.text = m_t.mid(start + 1, close - start - 1);
            m_i = close + 1;
        } else if (c.isDigit() || ((c == QLatin1Char('-') || c == QLatin1Char('+') || isDecimal(c))
                                   && m_i + 1 < m_t.size() && (m_t.at(m_i + 1).isDigit() || isDecimal(m_t.at(m_i + 1))))) {
            ++m_i;
            while (m_i < m_t.size() && (m_t.at(m_i).isDigit() || isDecimal(m_t.at(m_i))))
                ++m_i;
            k.type = Token::Number;
            k.text = m_t.mid(start, m_i - start);
        } else if (c == QLatin1Char('(') || c == QLatin1Char(')')) {
            k.type = c == QLatin1Char('(') ? Token::Open : Token::Close;
            k.text = c;
            ++m_i;
        } else if (c == QLatin1Char('=') || c == QLatin1Char('<') || c == QLatin1Char('>')) {
            ++m_i;
            if (m_i < m_t.size() && c != QLatin1Char('=')
                && (m_t.at(m_i) == QLatin1Char('=') || (c == QLatin1Char('<') && m_t.at(m_i) == QLatin1Char('>'))))
                ++m_i;
            k.type = Token::Op;
            k.text = m_t.mid(start, m_i - start);
        } else {
            ++m_i;
            k.type = Token::Bad;
            k.text = c;
        }
        k.shown = m_t.mid(start, m_i - start);
        return k;
    }

private:
    bool isDecimal(QChar c) const { return c == QLatin1Char('.') || m_decimal == QString(c); }

    const QString &m_t;
    QString m_decimal;
    int m_i = 0;
};

bool isKeyword(const Token &t, const char *word)
{
    return t.type == Token::Name && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

} // namespace

class CriterionParser
{
public:
    CriterionParser(FilterCriterion &out, const QString &text, const QList<GridField> &fields,
                    const QLocale &locale)
        : m_out(out), m_scan(text, locale), m_fields(fields), m_locale(locale)
    {
        advance();
    }

    void run()
    {
        m_out.m_root = orExpr();
        if (m_tok.type == Token::Bad)
            throw ParseError{QStringLiteral("El carácter ") + quoted(m_tok.text)
                             + QStringLiteral(" no se entiende en el criterio.")};
        if (m_tok.type == Token::Close)
            throw ParseError{QStringLiteral("Hay un paréntesis de cierre de más.")};
        if (m_tok.type != Token::End)
            throw ParseError{QStringLiteral("Falta AND u OR antes de ") + quoted(m_tok.shown)
                             + QLatin1Char('.')};
    }

private:
    void advance() { m_tok = m_scan.next(); }

    int add(FilterCriterion::Node n)
    {
        if (n.type == FilterCriterion::Node::Compare && ++m_conditions > kMaxConditions)
            throw ParseError{QStringLiteral("El criterio tiene demasiadas condiciones (como máximo %1).")
                                 .arg(kMaxConditions)};
        m_out.m_nodes.push_back(std::move(n));
        return int(m_out.m_nodes.size()) - 1;
    }

    int joined(FilterCriterion::Node::Type type, const char *word, int (CriterionParser::*operand)())
    {
        int left = (this->*operand)();
        while (isKeyword(m_tok, word)) {
            advance();
            FilterCriterion::Node n;
            n.type = type;
            n.left = left;
            n.right = (this->*operand)();
            left = add(n);
        }
        return left;
    }
    int orExpr() { return joined(FilterCriterion::Node::Or, "OR", &CriterionParser::andExpr); }
    int andExpr() { return joined(FilterCriterion::Node::And, "AND", &CriterionParser::condition); }

    int condition()
    {
        if (m_tok.type == Token::Open) {
            // Each parenthesis is one level of this parser's own recursion.
            if (++m_depth > kMaxNesting)
                throw ParseError{QStringLiteral("El criterio tiene demasiados paréntesis uno dentro de otro "
                                                "(como máximo %1).")
                                     .arg(kMaxNesting)};
            advance();
            const int inner = orExpr();
            --m_depth;
            if (m_tok.type != Token::Close)
                throw ParseError{QStringLiteral("Falta cerrar un paréntesis.")};
            advance();
            return inner;
        }
        if (m_tok.type == Token::End)
            throw ParseError{QStringLiteral("Falta una condición al final del criterio.")};
        if (m_tok.type == Token::Bad)
            throw ParseError{QStringLiteral("El carácter ") + quoted(m_tok.text)
                             + QStringLiteral(" no se entiende en el criterio.")};
        if (m_tok.type != Token::Name || isKeyword(m_tok, "AND") || isKeyword(m_tok, "OR")
            || isKeyword(m_tok, "LIKE"))
            throw ParseError{QStringLiteral("Se esperaba el nombre de un campo en lugar de ")
                             + quoted(m_tok.shown) + QLatin1Char('.')};

        FilterCriterion::Node n;
        n.field = fieldIndex(m_tok.text);
        const GridField &field = m_fields.at(n.field);
        n.kind = field.kind;
        advance();

        if (isKeyword(m_tok, "LIKE")) {
            n.op = FilterCriterion::Op::Like;
        } else if (m_tok.type == Token::Op) {
            static const char *const ops[] = {"=", "<>", "<", ">", "<=", ">="};
            static const FilterCriterion::Op kinds[] = {FilterCriterion::Op::Eq, FilterCriterion::Op::Ne,
                                                        FilterCriterion::Op::Lt, FilterCriterion::Op::Gt,
                                                        FilterCriterion::Op::Le, FilterCriterion::Op::Ge};
            for (int i = 0; i < 6; ++i)
                if (m_tok.text == QLatin1String(ops[i]))
                    n.op = kinds[i];
        } else {
            throw ParseError{QStringLiteral("Después del campo ") + field.name
                             + QStringLiteral(" falta un operador de comparación: =, <>, <, >, <=, >= o LIKE.")};
        }
        advance();
        readValue(n, field);
        advance();
        return add(n);
    }

    int fieldIndex(const QString &name) const
    {
        for (int i = 0; i < m_fields.size(); ++i)
            if (m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        throw ParseError{QStringLiteral("No existe el campo ") + quoted(name)
                         + QStringLiteral(" en esta tabla.")};
    }

    void readValue(FilterCriterion::Node &n, const GridField &field)
    {
        const QString example = field.name + QLatin1Char('=');
        switch (m_tok.type) {
        case Token::End:
        case Token::Op:
        case Token::Close:
            throw ParseError{QStringLiteral("Falta el valor con el que se compara el campo ") + field.name
                             + QLatin1Char('.')};
        case Token::Name:
            // A bare word: a text lacking its quotes, or no value of a number or date field.
            if (field.kind == FieldKind::Text)
                throw ParseError{QStringLiteral("El texto ") + m_tok.text
                                 + QStringLiteral(" debe ir entre comillas simples: '") + m_tok.text
                                 + QStringLiteral("'.")};
            break;
        case Token::Bad:
        case Token::Open:
            throw ParseError{QStringLiteral("El valor ") + quoted(m_tok.shown)
                             + QStringLiteral(" no se entiende.")};
        default:
            break;
        }

        if (n.op == FilterCriterion::Op::Like) {
            if (field.kind != FieldKind::Text)
                throw ParseError{QStringLiteral("LIKE sólo se usa con campos de texto, y el campo ")
                                 + field.name + QStringLiteral(" no lo es.")};
            n.like = LikeMatcher(m_tok.text);
            n.value = m_tok.text;
            return;
        }

        switch (field.kind) {
        case FieldKind::Text:
            if (m_tok.type == Token::Date)
                throw ParseError{QStringLiteral("El campo ") + field.name
                                 + QStringLiteral(" es de texto: escriba el valor entre comillas simples, por ejemplo ")
                                 + example + QStringLiteral("'texto'.")};
            n.value = m_tok.text;
            FoldSpanish(m_tok.text.toUtf8(), Enye::AfterN, n.sortKey);
            return;
        case FieldKind::Integer:
        case FieldKind::Real: {
            const bool written = m_tok.type == Token::Number || m_tok.type == Token::Text;
            if (m_tok.type == Token::Number) {
                double number = 0;
                const AmountReading reading = toNumber(m_tok.text, &number);
                if (reading != AmountReading::Ok)
                    throw ParseError{NumberRefusal(reading, m_tok.text, field.name)};
                n.value = number;
                return;
            }
            if (written && m_tok.type == Token::Text) {
                double number = 0;
                if (toNumber(m_tok.text, &number) == AmountReading::Ok) {
                    n.value = number;
                    return;
                }
            }
            throw ParseError{QStringLiteral("El campo ") + field.name
                             + QStringLiteral(" es numérico: compárelo con un número, por ejemplo ")
                             + example + QStringLiteral("3.")};
        }
        case FieldKind::Date: {
            if (m_tok.type == Token::Number || m_tok.type == Token::Name)
                throw ParseError{QStringLiteral("El campo ") + field.name
                                 + QStringLiteral(" es una fecha: escríbala entre numerales, por ejemplo ")
                                 + example + QLatin1Char('#') + ExampleDate(m_locale) + QStringLiteral("#.")};
            const QDateTime d = ReadUserDate(m_tok.text, m_locale);
            if (!d.isValid())
                throw ParseError{quoted(m_tok.text) + QStringLiteral(" no es una fecha válida; escríbala como ")
                                 + ExampleDate(m_locale) + QLatin1Char('.')};
            qint64 key = 0;
            DateKey(DbDateText(d), &key);
            n.value = key;
            return;
        }
        }
    }

    // A number as amounts are typed everywhere in the program, with a sign allowed.
    AmountReading toNumber(QString t, double *value) const
    {
        t = t.trimmed();
        const bool negative = t.startsWith(QLatin1Char('-'));
        if (negative || t.startsWith(QLatin1Char('+')))
            t = t.mid(1);
        const AmountReading reading = ReadUserAmount(t, m_locale, value);
        if (reading == AmountReading::Empty)
            return AmountReading::Unreadable;
        if (negative)
            *value = -*value;
        return reading;
    }

    // Far beyond any criterion typed by hand, and well within what the parser's
    // recursion, the evaluation and SQLite's expression depth can take.
    static constexpr int kMaxNesting = 50;
    static constexpr int kMaxConditions = 200;
    int m_depth = 0;
    int m_conditions = 0;
    FilterCriterion &m_out;
    Scanner m_scan;
    const QList<GridField> &m_fields;
    const QLocale &m_locale;
    Token m_tok;
};

FilterCriterion::FilterCriterion() = default;

bool FilterCriterion::parse(const QString &text, const QList<GridField> &fields, const QLocale &locale,
                            QString *error)
{
    m_nodes.clear();
    m_root = -1;
    m_text = text;
    try {
        CriterionParser p(*this, text, fields, locale);
        p.run();
        return true;
    } catch (const ParseError &e) {
        m_nodes.clear();
        m_root = -1;
        if (error)
            *error = e.message;
        return false;
    }
}

bool FilterCriterion::matches(const std::function<QVariant(int)> &stored) const
{
    return m_root < 0 || eval(m_root, stored);
}

bool FilterCriterion::eval(int node, const std::function<QVariant(int)> &stored) const
{
    const Node &n = m_nodes[size_t(node)];
    switch (n.type) {
    case Node::And:
        return eval(n.left, stored) && eval(n.right, stored);
    case Node::Or:
        return eval(n.left, stored) || eval(n.right, stored);
    case Node::Compare:
        break;
    }
    return compare(n, stored(n.field));
}

bool FilterCriterion::compare(const Node &n, const QVariant &v) const
{
    if (v.isNull()) // as in SQL: a missing value satisfies no comparison
        return false;
    if (n.op == Op::Like)
        return n.like.matches(v.toString());

    int c = 0;
    switch (n.kind) {
    case FieldKind::Text: {
        thread_local std::string folded;
        folded.clear();
        FoldSpanish(v.toString().toUtf8(), Enye::AfterN, folded);
        c = folded.compare(n.sortKey);
        break;
    }
    case FieldKind::Integer:
    case FieldKind::Real: {
        bool ok = false;
        const double x = v.toDouble(&ok);
        if (!ok)
            return false;
        const double y = n.value.toDouble();
        c = x < y ? -1 : (x > y ? 1 : 0);
        break;
    }
    case FieldKind::Date: {
        qint64 x = 0;
        if (!DateKey(v, &x))
            return false;
        const qint64 y = n.value.toLongLong();
        c = x < y ? -1 : (x > y ? 1 : 0);
        break;
    }
    }
    switch (n.op) {
    case Op::Eq: return c == 0;
    case Op::Ne: return c != 0;
    case Op::Lt: return c < 0;
    case Op::Gt: return c > 0;
    case Op::Le: return c <= 0;
    case Op::Ge: return c >= 0;
    case Op::Like: break;
    }
    return false;
}

namespace {
const char *sqlOperator(int op)
{
    static const char *const ops[] = {"=", "<>", "<", ">", "<=", ">="};
    return ops[op];
}

QString dateText(qint64 key)
{
    const qint64 date = key / 1000000, time = key % 1000000;
    return QString::asprintf("%04lld-%02lld-%02lld %02lld:%02lld:%02lld", date / 10000, date / 100 % 100, date % 100,
                             time / 10000, time / 100 % 100, time % 100);
}
} // namespace

void FilterCriterion::toSql(const QSqlDatabase &db, const std::function<QString(int field)> &column,
                            const std::function<bool(int field)> &irregularDates, QString *where,
                            QVariantList *binds) const
{
    where->clear();
    binds->clear();
    if (m_root >= 0)
        *where = sqlOf(db, m_root, column, irregularDates, binds);
}

QString FilterCriterion::sqlOf(const QSqlDatabase &db, int node, const std::function<QString(int)> &column,
                               const std::function<bool(int)> &irregularDates, QVariantList *binds) const
{
    const Node &n = m_nodes[size_t(node)];
    if (n.type != Node::Compare) {
        const QString left = sqlOf(db, n.left, column, irregularDates, binds);
        const QString right = sqlOf(db, n.right, column, irregularDates, binds);
        return QLatin1Char('(') + left + (n.type == Node::And ? QStringLiteral(" AND ") : QStringLiteral(" OR "))
               + right + QLatin1Char(')');
    }
    const QString c = column(n.field);
    if (n.op == Op::Like) {
        *binds << SqlLikePattern(db, n.value.toString());
        return SqlLikeCondition(db, c);
    }
    const QString op = QLatin1String(sqlOperator(int(n.op)));
    switch (n.kind) {
    case FieldKind::Text:
        *binds << n.value.toString();
        return QStringLiteral("(%1 %2 %3)").arg(SqlSortText(db, c), op, SqlSortText(db, QStringLiteral("?")));
    case FieldKind::Integer:
    case FieldKind::Real:
        // Only numbers compare with a number; the column's index serves.
        *binds << n.value.toDouble();
        return QStringLiteral("(%1 %2 ? AND %3)").arg(c, op, SqlIsNumber(db, c));
    case FieldKind::Date:
        if (irregularDates(n.field)) {
            *binds << n.value.toLongLong();
            return QStringLiteral("(date_key(%1) %2 ?)").arg(c, op);
        }
        // Every date is stored as "YYYY-MM-DD HH:MM:SS": the text orders as the
        // date does, and the column's index serves.
        *binds << dateText(n.value.toLongLong());
        return QStringLiteral("(%1 %2 ?)").arg(c, op);
    }
    return QString();
}
