#include "data/TextRules.h"
#include "data/Environment.h"

#include <QCollator>
#include <memory>

namespace {

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// The next code point of UTF-8 text; a malformed byte stands for itself.
char32_t nextCodePoint(const unsigned char *&p, const unsigned char *end)
{
    const unsigned char c = *p++;
    const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (more == 0 || end - p < more)
        return c;
    char32_t cp = c & (0x3F >> more);
    for (int i = 0; i < more; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return c;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    p += more;
    return cp;
}

// What each Latin letter up to U+024F folds to: lower-case ASCII without the
// accent ("É" -> "e", "Ǆ" -> "dz"), or "" for signs that stay as they are.
struct LatinFolds
{
    char to[0x250][4] = {};
    LatinFolds()
    {
        for (char32_t cp = 0x80; cp < 0x250; ++cp) {
            const QString d = QString::fromUcs4(&cp, 1).normalized(QString::NormalizationForm_KD);
            std::string ascii;
            bool letters = true;
            for (QChar ch : d) {
                if (ch.unicode() >= 0x300 && ch.unicode() <= 0x36F)
                    continue; // a combining accent
                if (ch.unicode() >= 0x80 || !ch.isLetter()) {
                    letters = false;
                    break;
                }
                ascii += char(ch.toLower().unicode());
            }
            if (letters && !ascii.empty() && ascii.size() < 4)
                qstrncpy(to[cp], ascii.c_str(), 4);
        }
        const struct { char32_t cp; const char *to; } extra[] = {
            {0xDF, "ss"}, {0xC6, "ae"}, {0xE6, "ae"}, {0x152, "oe"}, {0x153, "oe"},
            {0xD8, "o"}, {0xF8, "o"}, {0x110, "d"}, {0x111, "d"}, {0x141, "l"},
            {0x142, "l"}, {0x126, "h"}, {0x127, "h"}, {0x131, "i"}};
        for (const auto &e : extra)
            qstrncpy(to[e.cp], e.to, 4);
    }
};

void foldCodePoint(char32_t cp, Enye enye, std::string &out)
{
    static const LatinFolds latin;
    if (cp < 0x80) {
        out += cp >= 'A' && cp <= 'Z' ? char(cp + ('a' - 'A')) : char(cp);
    } else if (enye == Enye::AfterN && (cp == 0xF1 || cp == 0xD1)) {
        out += "n~";
    } else if (cp < 0x250 && latin.to[cp][0]) {
        out += latin.to[cp];
    } else if (QChar::category(cp) == QChar::Mark_NonSpacing) {
        // an accent typed apart from its letter
    } else if (cp >= 0x250 && QChar::decompositionTag(cp) == QChar::Canonical) {
        for (char32_t part : QChar::decomposition(cp).toUcs4()) // a letter and its accents
            foldCodePoint(part, enye, out);
    } else {
        appendUtf8(out, QChar::toLower(cp));
    }
}

} // namespace

void FoldSpanish(QByteArrayView utf8, Enye enye, std::string &out)
{
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *end = p + utf8.size();
    while (p < end) {
        if (*p < 0x80) { // the frequent case first
            const char c = char(*p++);
            out += c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
            continue;
        }
        foldCodePoint(nextCodePoint(p, end), enye, out);
    }
}

QString FoldSpanish(const QString &text, Enye enye)
{
    std::string out;
    FoldSpanish(text.toUtf8(), enye, out);
    return QString::fromStdString(out);
}

QString SocioOrderKey(const QString &column)
{
    static const char16_t letters[] = u"áÁéÉíÍóÓúÚüÜñÑ";
    QString key = column;
    for (const char16_t *c = letters; *c; ++c) {
        const QString letter(QChar{*c});
        key = QStringLiteral("replace(%1,'%2','%3')").arg(key, letter, FoldSpanish(letter, Enye::AfterN));
    }
    return key + QStringLiteral(" COLLATE NOCASE");
}

int CompareTexts(QStringView a, QStringView b)
{
    // The collator of the locale in use, made again only when the locale changes.
    thread_local QString name;
    thread_local std::unique_ptr<QCollator> c;
    if (!c || name != env().locale.name()) {
        name = env().locale.name();
        c = std::make_unique<QCollator>(env().locale);
        c->setCaseSensitivity(Qt::CaseInsensitive);
    }
    return c->compare(a, b);
}

namespace {
// A text folded for searching (FoldSpanish, ñ as n), as code points.
void foldedCodePoints(QByteArrayView utf8, std::vector<char32_t> &out)
{
    thread_local std::string folded;
    folded.clear();
    FoldSpanish(utf8, Enye::AsN, folded);
    out.clear();
    const auto *p = reinterpret_cast<const unsigned char *>(folded.data());
    const auto *end = p + folded.size();
    while (p < end)
        out.push_back(*p < 0x80 ? char32_t(*p++) : nextCodePoint(p, end));
}
} // namespace

LikeMatcher::LikeMatcher(const QString &pattern)
{
    std::vector<char32_t> current, folded;
    foldedCodePoints(pattern.toUtf8(), folded);
    bool afterAny = false;
    for (char32_t c : folded) {
        if (c == U'%' || c == U'*') {
            if (m_segments.empty() && current.empty())
                m_leadingAny = true;
            if (!current.empty() || m_segments.empty())
                m_segments.push_back(std::move(current));
            current.clear();
            m_anyAtAll = true;
            afterAny = true;
            continue;
        }
        afterAny = false;
        current.push_back(c == U'_' || c == U'?' ? kOne : c);
    }
    m_trailingAny = afterAny;
    m_segments.push_back(std::move(current));
    // A leading mark left an empty first stretch: it needs no place.
    if (m_leadingAny && !m_segments.empty() && m_segments.front().empty())
        m_segments.erase(m_segments.begin());
    if (m_trailingAny && !m_segments.empty() && m_segments.back().empty())
        m_segments.pop_back();
}

bool LikeMatcher::matchAt(const std::vector<char32_t> &segment, const std::vector<char32_t> &text, size_t at) const
{
    if (at + segment.size() > text.size())
        return false;
    for (size_t i = 0; i < segment.size(); ++i)
        if (segment[i] != kOne && segment[i] != text[at + i])
            return false;
    return true;
}

bool LikeMatcher::matches(const QString &value) const
{
    return matchesUtf8(value.toUtf8());
}

bool LikeMatcher::matchesUtf8(QByteArrayView utf8) const
{
    thread_local std::vector<char32_t> text;
    foldedCodePoints(utf8, text);
    if (!m_anyAtAll)
        return m_segments.size() == 1 && m_segments[0].size() == text.size() && matchAt(m_segments[0], text, 0);
    size_t first = 0, last = m_segments.size();
    size_t pos = 0, end = text.size();
    if (!m_leadingAny) {
        if (first == last || !matchAt(m_segments[first], text, 0))
            return false;
        pos = m_segments[first].size();
        ++first;
    }
    if (!m_trailingAny && first < last) {
        const std::vector<char32_t> &tail = m_segments[last - 1];
        if (tail.size() > end - pos || !matchAt(tail, text, end - tail.size()))
            return false;
        end -= tail.size();
        --last;
    }
    for (size_t k = first; k < last; ++k) {
        const std::vector<char32_t> &segment = m_segments[k];
        bool found = false;
        for (size_t at = pos; at + segment.size() <= end; ++at) {
            if (matchAt(segment, text, at)) {
                pos = at + segment.size();
                found = true;
                break;
            }
        }
        if (!found)
            return false;
    }
    return pos <= end;
}

