#include "reports/ReportLayout.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/ValueRules.h"

#include <QFontMetricsF>
#include <QHash>
#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>

namespace {

struct FontEntry
{
    explicit FontEntry(const QFont &f)
        : font(f), metrics(f), lineHeight(int(std::ceil(metrics.lineSpacing()))), widest(metrics.maxWidth())
    {
    }
    QFont font;
    QFontMetricsF metrics;
    int lineHeight;
    qreal widest; // the widest character of the font

    // True when the text is surely no wider than `width`: the sum of the
    // advances of its characters, with room for kerning, fits. Only for the
    // Latin letters (one advance each); anything else, or a text near the
    // limit, is left to the exact measure.
    bool surelyFits(const QString &text, int width)
    {
        if (text.size() * widest <= width)
            return true;
        qreal sum = 0;
        for (QChar ch : text) {
            const char16_t u = ch.unicode();
            if (u >= kLatin)
                return false;
            qreal &a = advance[u];
            if (a < 0)
                a = metrics.horizontalAdvance(ch);
            sum += a;
        }
        return sum * 1.02 + 1 <= width;
    }

private:
    static constexpr char16_t kLatin = 0x250;
    std::vector<qreal> advance = std::vector<qreal>(kLatin, -1.0);
};

// Breaks one paragraph (no line ends inside) into lines of at most `width`.
void wrapParagraph(const QString &para, FontEntry &fe, int width, QStringList &out)
{
    const QFontMetricsF &fm = fe.metrics;
    // Short texts, the most of a listing, fit without being shaped.
    if (para.isEmpty() || fe.surelyFits(para, width) || fm.horizontalAdvance(para) <= width) {
        out << para;
        return;
    }
    // A word wider than the line is cut at the last character that fits.
    auto pushLong = [&](QString &current) {
        while (current.size() > 1 && fm.horizontalAdvance(current) > width) {
            int lo = 1, hi = int(current.size()) - 1; // the longest prefix that fits, at least 1
            while (lo < hi) {
                const int mid = (lo + hi + 1) / 2;
                if (fm.horizontalAdvance(current.left(mid)) <= width)
                    lo = mid;
                else
                    hi = mid - 1;
            }
            out << current.left(lo);
            current = current.mid(lo);
        }
    };
    const QStringList words = para.split(QLatin1Char(' '));
    QString current = words.first();
    pushLong(current);
    for (int i = 1; i < words.size(); ++i) {
        const QString candidate = current + QLatin1Char(' ') + words[i];
        if (fm.horizontalAdvance(candidate) <= width) {
            current = candidate;
        } else {
            out << current;
            current = words[i];
            pushLong(current);
        }
    }
    out << current;
}

QStringList wrap(const QString &text, FontEntry &fe, int width)
{
    QStringList out;
    if (text.isEmpty())
        return out;
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        wrapParagraph(text, fe, width, out);
        return out;
    }
    int start = 0;
    const int n = int(text.size());
    for (int i = 0; i <= n; ++i) {
        if (i == n || text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')) {
            wrapParagraph(text.mid(start, i - start), fe, width, out);
            if (i < n && text[i] == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    // A text ending in a line end has no empty line after it.
    if (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        out.removeLast();
    return out;
}

bool hasLineEnd(const QString &text)
{
    for (QChar ch : text)
        if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r'))
            return true;
    return false;
}

// The text with each line end (CR LF, CR or LF) turned into one blank.
QString onOneLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

bool sameKey(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b;
}

class Layouter
{
public:
    Layouter(ReportDesign &design, const ReportRows &rows, const PageSetup &page)
        : m_d(design), m_rows(rows), m_ps(page)
    {
    }

    ReportResult run(ReportDocument *out);

private:
    struct Range
    {
        int first = 0;
        int last = 0; // one past
    };
    struct BandImage
    {
        int height = 0;
        std::vector<ReportPrimitive> items;
    };

    int rowCount() const { return m_rows.bound ? int(m_rows.rows.size()) : 1; }
    QVariant valueAt(int row, int column) const
    {
        if (column < 0 || row < 0 || row >= int(m_rows.rows.size()))
            return QVariant();
        const QVector<QVariant> &r = m_rows.rows[size_t(row)];
        return column < r.size() ? r[column] : QVariant();
    }
    int columnOf(const QString &field);
    std::optional<RuntimeError> checkFields();

    void startPage(int row);
    void endPage();
    void place(BandImage img, int row);
    void put(const BandImage &img, int y, int below = -1);
    void put(BandImage &&img, int y);
    std::optional<BandImage> build(ReportBand &band, int row, Range range);
    void setFieldValues(ReportBand &band, int row, Range range);
    BandImage render(const ReportBand &band);
    FontEntry &fontOf(const ReportControl &c);
    Range groupRange(int level, int first) const;

    ReportDesign &m_d;
    const ReportRows &m_rows;
    PageSetup m_ps;
    std::vector<ReportPage> m_pages;
    int m_y = 0;
    int m_bodyBottom = 0;
    int m_footerReserve = 0;
    bool m_bodyOnPage = false;
    int m_lastRow = -1;
    std::vector<int> m_breakLevel; // per row: the outermost group level whose key changes there
    std::vector<int> m_keyColumn;  // per group level
    std::vector<Range> m_groups;   // the current group of each level
    QHash<QString, int> m_columns; // lower-case field name -> column
    std::unordered_map<QString, std::unique_ptr<FontEntry>> m_fonts;
    struct CachedFont
    {
        FontEntry *entry = nullptr;
        QString name;
        double size = 0;
        bool bold = false;
        bool italic = false;
    };
    std::unordered_map<const ReportControl *, CachedFont> m_controlFonts;
    std::vector<const ReportControl *> m_sorted; // render's working list, kept to spare its allocation
};

int Layouter::columnOf(const QString &field)
{
    if (field.isEmpty())
        return -1;
    return m_columns.value(field.toLower(), -1);
}

std::optional<RuntimeError> Layouter::checkFields()
{
    for (int i = 0; i < int(m_rows.fields.size()); ++i)
        if (!m_columns.contains(m_rows.fields[i].toLower()))
            m_columns.insert(m_rows.fields[i].toLower(), i);
    if (!m_rows.bound)
        return std::nullopt;
    auto missing = [](const QString &field, const QString &where) {
        return RuntimeError(ErrReportField, QStringLiteral("El campo \"%1\" de \"%2\" no existe en el origen de datos del informe.")
                                                .arg(field, where));
    };
    for (ReportBand *b : m_d.bands()) {
        if (b->kind() == BandKind::GroupHeader && columnOf(b->groupField) < 0)
            return missing(b->groupField, b->name());
        for (const auto &c : b->controls()) {
            const bool needsColumn = c->kind == ControlKind::Field
                                     && (c->summary == FieldSummary::None || c->summary == FieldSummary::Sum)
                                     && !c->dataField.isEmpty();
            if (needsColumn && columnOf(c->dataField) < 0)
                return missing(c->dataField, c->name);
        }
    }
    return std::nullopt;
}

FontEntry &Layouter::fontOf(const ReportControl &c)
{
    // Asked for every field of every row: remembered per control, and looked
    // up by name only when the control's font changed.
    CachedFont &cached = m_controlFonts[&c];
    if (cached.entry && cached.size == c.fontSize && cached.bold == c.bold && cached.italic == c.italic
        && cached.name == c.fontName)
        return *cached.entry;
    QString key = c.fontName;
    key += QLatin1Char('|') + QString::number(c.fontSize) + QLatin1Char(c.bold ? 'b' : '-')
           + QLatin1Char(c.italic ? 'i' : '-');
    auto it = m_fonts.find(key);
    if (it == m_fonts.end())
        it = m_fonts.emplace(key, std::make_unique<FontEntry>(ReportFont(c.fontName, c.fontSize, c.bold, c.italic))).first;
    cached = CachedFont{it->second.get(), c.fontName, c.fontSize, c.bold, c.italic};
    return *it->second;
}

Layouter::Range Layouter::groupRange(int level, int first) const
{
    int last = first + 1;
    while (last < rowCount() && m_breakLevel[size_t(last)] > level)
        ++last;
    return Range{first, last};
}

void Layouter::setFieldValues(ReportBand &band, int row, Range range)
{
    for (const auto &cp : band.controls()) {
        ReportControl &c = *cp;
        if (c.kind != ControlKind::Field)
            continue;
        switch (c.summary) {
        case FieldSummary::None:
            c.value = valueAt(row, columnOf(c.dataField));
            break;
        case FieldSummary::Sum: {
            const int col = columnOf(c.dataField);
            // Counted in millionths, as the ledger counts its balances: a
            // total over a hundred thousand amounts carries no drift.
            qint64 millionths = 0;
            for (int k = range.first; k < range.last; ++k)
                millionths += std::llround(NumberOrZero(valueAt(k, col)) * 1000000.0);
            c.value = double(millionths) / 1000000.0;
            break;
        }
        case FieldSummary::Count:
            c.value = range.last - range.first;
            break;
        case FieldSummary::PageNumber:
            c.value = int(m_pages.size());
            break;
        case FieldSummary::PageCount:
            c.value = QVariant(); // known once every page is laid out
            break;
        }
        c.caption = c.format ? c.format(c.value) : DefaultFieldText(c.value);
    }
}

std::optional<Layouter::BandImage> Layouter::build(ReportBand &band, int row, Range range)
{
    if (!band.visible)
        return std::nullopt;
    setFieldValues(band, row, range);
    if (band.onFormat)
        band.onFormat(band);
    if (!band.visible)
        return std::nullopt;
    return render(band);
}

Layouter::BandImage Layouter::render(const ReportBand &band)
{
    BandImage img;
    img.height = band.height;
    std::vector<const ReportControl *> &controls = m_sorted;
    controls.clear();
    for (const auto &c : band.controls())
        if (c->visible)
            controls.push_back(c.get());
    std::stable_sort(controls.begin(), controls.end(),
                     [](const ReportControl *a, const ReportControl *b) { return a->boxTop() < b->boxTop(); });

    std::vector<std::pair<int, int>> grown; // design bottom, growth
    const int x0 = m_ps.leftMargin;
    for (const ReportControl *c : controls) {
        int shift = 0;
        for (const auto &g : grown)
            if (g.first <= c->boxTop())
                shift += g.second;
        int bottom = c->boxBottom() + shift;
        switch (c->kind) {
        case ControlKind::Label:
        case ControlKind::Field: {
            FontEntry &fe = fontOf(*c);
            ReportPrimitive p;
            p.kind = PrimitiveKind::Text;
            p.control = c->name;
            p.font = fe.font;
            p.color = c->foreColor;
            p.alignment = c->alignment & Qt::AlignHorizontal_Mask;
            const int L = fe.lineHeight;
            if (c->kind == ControlKind::Field && c->summary == FieldSummary::PageCount) {
                p.rect = QRect(x0 + c->left, c->top + shift, c->width, L);
                p.pendingPageCount = c;
                img.items.push_back(p);
                break;
            }
            // The lines a control that cannot grow holds; 0 for one that can.
            const int fit = c->canGrow ? 0 : qMax(1, c->height / L);
            QString text = c->caption;
            bool breaks = hasLineEnd(text);
            if (fit == 1 && breaks) { // a name typed over two lines still reads on one
                text = onOneLine(text);
                breaks = false;
            }
            // The usual field: one line that fits, placed without measuring it exactly.
            if (!breaks && !text.isEmpty() && fe.surelyFits(text, c->width)) {
                p.rect = QRect(x0 + c->left, c->top + shift, c->width, L);
                p.text = std::move(text);
                img.items.push_back(std::move(p));
                if (c->canGrow && L > c->height) {
                    grown.emplace_back(c->top + c->height, L - c->height);
                    bottom = c->top + shift + L;
                }
                break;
            }
            // A text longer than its control ends in "…" where it is cut.
            QStringList lines;
            if (fit == 1) {
                if (!text.isEmpty())
                    lines << fe.metrics.elidedText(text, Qt::ElideRight, c->width);
            } else {
                lines = wrap(text, fe, c->width);
                if (fit > 0 && lines.size() > fit) {
                    lines.resize(fit);
                    lines.last() = fe.metrics.elidedText(lines.last() + QChar(0x2026), Qt::ElideRight, c->width);
                }
            }
            const int shown = int(lines.size());
            for (int k = 0; k < shown; ++k) {
                if (lines[k].isEmpty())
                    continue;
                p.rect = QRect(x0 + c->left, c->top + shift + k * L, c->width, L);
                p.text = lines[k];
                img.items.push_back(p);
            }
            if (c->canGrow && shown * L > c->height) {
                grown.emplace_back(c->top + c->height, shown * L - c->height);
                bottom = c->top + shift + shown * L;
            }
            break;
        }
        case ControlKind::Line: {
            ReportPrimitive p;
            p.kind = PrimitiveKind::Line;
            p.control = c->name;
            p.line = QLine(x0 + c->x1, c->y1 + shift, x0 + c->x2, c->y2 + shift);
            p.color = c->foreColor;
            p.lineWidth = c->lineWidth;
            img.items.push_back(p);
            break;
        }
        case ControlKind::Picture: {
            if (c->picture.isNull() || c->width <= 0 || c->height <= 0)
                break;
            const QSize fitted = c->picture.size().scaled(c->width, c->height, Qt::KeepAspectRatio);
            ReportPrimitive p;
            p.kind = PrimitiveKind::Picture;
            p.control = c->name;
            p.rect = QRect(x0 + c->left + (c->width - fitted.width()) / 2,
                           c->top + shift + (c->height - fitted.height()) / 2, fitted.width(), fitted.height());
            const QSize most(qMax(1, c->width * kReportPictureDpi / 1440), qMax(1, c->height * kReportPictureDpi / 1440));
            p.image = c->picture.width() > most.width() || c->picture.height() > most.height()
                          ? c->picture.scaled(most, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                          : c->picture;
            img.items.push_back(p);
            break;
        }
        }
        if (shift > 0 || bottom > c->boxBottom())
            img.height = qMax(img.height, bottom);
    }
    return img;
}

// Puts the items of `img` whose top lies above `below` (all when -1) on the
// current page, `y` twips down.
void Layouter::put(const BandImage &img, int y, int below)
{
    std::vector<ReportPrimitive> &items = m_pages.back().items;
    for (size_t i = 0; i < img.items.size(); ++i) {
        const ReportPrimitive &p = img.items[i];
        if (below >= 0 && p.top() >= below)
            continue;
        ReportPrimitive q = p;
        if (q.kind == PrimitiveKind::Line)
            q.line.translate(0, y);
        else
            q.rect.translate(0, y);
        items.push_back(std::move(q));
    }
}

// The same for a whole band that is no longer needed: its items are moved.
void Layouter::put(BandImage &&img, int y)
{
    std::vector<ReportPrimitive> &items = m_pages.back().items;
    for (ReportPrimitive &p : img.items) {
        if (p.kind == PrimitiveKind::Line)
            p.line.translate(0, y);
        else
            p.rect.translate(0, y);
        items.push_back(std::move(p));
    }
}

void Layouter::startPage(int row)
{
    m_pages.emplace_back();
    m_y = m_ps.topMargin;
    m_bodyOnPage = false;
    ReportBand *footer = m_d.bandOf(BandKind::PageFooter);
    m_footerReserve = footer && footer->visible ? footer->height : 0;
    m_bodyBottom = m_ps.height - m_ps.bottomMargin - m_footerReserve;
    const Range all{0, rowCount()};
    if (m_pages.size() == 1)
        if (ReportBand *rh = m_d.bandOf(BandKind::ReportHeader))
            if (auto img = build(*rh, row, all)) {
                put(*img, m_y);
                m_y += img->height;
            }
    if (ReportBand *ph = m_d.bandOf(BandKind::PageHeader))
        if (auto img = build(*ph, row, all)) {
            put(*img, m_y);
            m_y += img->height;
        }
}

void Layouter::endPage()
{
    ReportBand *footer = m_d.bandOf(BandKind::PageFooter);
    if (!footer)
        return;
    if (auto img = build(*footer, m_lastRow, Range{0, rowCount()})) {
        const int room = m_footerReserve > 0 ? m_footerReserve : img->height;
        put(*img, m_ps.height - m_ps.bottomMargin - room);
    }
}

void Layouter::place(BandImage img, int row)
{
    if (img.height > m_bodyBottom - m_y && m_bodyOnPage) {
        endPage();
        startPage(row);
    }
    // A band taller than a page is cut at the highest point that splits no item.
    while (img.height > m_bodyBottom - m_y && m_bodyBottom - m_y > 0) {
        const int space = m_bodyBottom - m_y;
        int cut = space;
        for (bool moved = true; moved;) {
            moved = false;
            for (const ReportPrimitive &p : img.items)
                if (p.top() > 0 && p.top() < cut && p.bottom() > cut) {
                    cut = p.top();
                    moved = true;
                }
        }
        put(img, m_y, cut);
        BandImage rest;
        rest.height = img.height - cut;
        for (ReportPrimitive &p : img.items) {
            if (p.top() < cut)
                continue;
            if (p.kind == PrimitiveKind::Line)
                p.line.translate(0, -cut);
            else
                p.rect.translate(0, -cut);
            rest.items.push_back(std::move(p));
        }
        img = std::move(rest);
        m_lastRow = row;
        endPage();
        startPage(row);
    }
    const int height = img.height;
    put(std::move(img), m_y);
    m_y += height;
    m_bodyOnPage = true;
    m_lastRow = row;
}

ReportResult Layouter::run(ReportDocument *out)
{
    if (auto err = checkFields())
        return ReportResult::failed(*err);

    const int n = rowCount();
    const int levels = m_d.groupCount();
    for (int g = 0; g < levels; ++g)
        m_keyColumn.push_back(columnOf(m_d.groupHeader(g).groupField));
    m_breakLevel.assign(size_t(n), levels);
    for (int k = 1; k < n; ++k)
        for (int g = 0; g < levels; ++g)
            if (!sameKey(valueAt(k - 1, m_keyColumn[size_t(g)]), valueAt(k, m_keyColumn[size_t(g)]))) {
                m_breakLevel[size_t(k)] = g;
                break;
            }
    if (n > 0)
        m_breakLevel[0] = 0;
    m_groups.assign(size_t(levels), Range{});
    const Range all{0, n};

    startPage(n > 0 ? 0 : -1);
    ReportBand *detail = m_d.bandOf(BandKind::Detail);
    for (int i = 0; i < n; ++i) {
        const int from = m_breakLevel[size_t(i)];
        if (i > 0)
            for (int g = levels - 1; g >= from; --g)
                if (auto img = build(m_d.groupFooter(g), i - 1, m_groups[size_t(g)]))
                    place(std::move(*img), i - 1);
        for (int g = from; g < levels; ++g) {
            m_groups[size_t(g)] = groupRange(g, i);
            if (auto img = build(m_d.groupHeader(g), i, m_groups[size_t(g)]))
                place(std::move(*img), i);
        }
        if (detail)
            if (auto img = build(*detail, i, all))
                place(std::move(*img), i);
    }
    if (n > 0)
        for (int g = levels - 1; g >= 0; --g)
            if (auto img = build(m_d.groupFooter(g), n - 1, m_groups[size_t(g)]))
                place(std::move(*img), n - 1);
    if (ReportBand *rf = m_d.bandOf(BandKind::ReportFooter))
        if (auto img = build(*rf, n - 1, all))
            place(std::move(*img), n - 1);
    endPage();

    const QVariant count = int(m_pages.size());
    for (ReportPage &page : m_pages)
        for (ReportPrimitive &p : page.items)
            if (const ReportControl *c = p.pendingPageCount) {
                p.text = c->format ? c->format(count) : DefaultFieldText(count);
                p.pendingPageCount = nullptr;
            }
    out->page = m_ps;
    out->pages = std::move(m_pages);
    return ReportResult::done();
}

} // namespace

int ReportRows::column(const QString &field) const
{
    for (int i = 0; i < int(fields.size()); ++i)
        if (fields[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

ReportResult LayoutReport(ReportDesign &design, const ReportRows &rows, const PageSetup &page,
                          ReportDocument *out)
{
    try {
        Layouter layouter(design, rows, page);
        return layouter.run(out);
    } catch (const RuntimeError &e) {
        return ReportResult::failed(e);
    } catch (const std::exception &e) {
        return ReportResult::failed(RuntimeError(ErrInvalidUse, QString::fromUtf8(e.what())));
    }
}

QString DefaultFieldText(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return QString();
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return GeneralNumber(value.toDouble(), env().locale);
    case QMetaType::QDateTime:
        return GeneralDate(value.toDateTime(), env().locale);
    case QMetaType::QDate:
        return GeneralDate(QDateTime(value.toDate(), QTime(0, 0)), env().locale);
    default:
        return value.toString();
    }
}
