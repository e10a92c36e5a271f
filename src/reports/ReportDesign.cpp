#include "reports/ReportDesign.h"

#include <QFontDatabase>
#include <QHash>
#include <QFileInfo>
#include <QImageReader>

int ReportControl::boxTop() const
{
    return kind == ControlKind::Line ? qMin(y1, y2) : top;
}

int ReportControl::boxBottom() const
{
    return kind == ControlKind::Line ? qMax(y1, y2) : top + height;
}

ReportBand::ReportBand(BandKind kind, QString name, int height)
    : height(height), m_kind(kind), m_name(std::move(name))
{
}

ReportControl &ReportBand::add(ControlKind kind, const QString &name, int left, int top, int width,
                               int height)
{
    m_controls.push_back(std::make_unique<ReportControl>());
    ReportControl &c = *m_controls.back();
    c.kind = kind;
    c.name = name;
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    return c;
}

ReportControl &ReportBand::addLabel(const QString &name, int left, int top, int width, int height,
                                    const QString &caption, const QString &fontName, double fontSize)
{
    ReportControl &c = add(ControlKind::Label, name, left, top, width, height);
    c.caption = caption;
    c.fontName = fontName;
    c.fontSize = fontSize;
    return c;
}

ReportControl &ReportBand::addField(const QString &name, int left, int top, int width, int height,
                                    const QString &dataField, const QString &fontName,
                                    double fontSize, FieldSummary summary)
{
    ReportControl &c = add(ControlKind::Field, name, left, top, width, height);
    c.dataField = dataField;
    c.fontName = fontName;
    c.fontSize = fontSize;
    c.summary = summary;
    return c;
}

ReportControl &ReportBand::addLine(const QString &name, int x1, int y1, int x2, int y2)
{
    ReportControl &c = add(ControlKind::Line, name);
    c.x1 = x1;
    c.y1 = y1;
    c.x2 = x2;
    c.y2 = y2;
    return c;
}

ReportControl &ReportBand::addPicture(const QString &name, int left, int top, int width, int height)
{
    ReportControl &c = add(ControlKind::Picture, name, left, top, width, height);
    return c;
}

ReportControl *ReportBand::find(const QString &name) const
{
    for (const auto &c : m_controls)
        if (c->name.compare(name, Qt::CaseInsensitive) == 0)
            return c.get();
    return nullptr;
}

QString InstalledFontFamily(const QString &designFamily)
{
    static QHash<QString, QString> cache;
    const QString key = designFamily.toLower();
    const auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    // Our reports are set in Arial and Comic Sans MS; where those are not
    // installed (most Linux desktops) a look-alike of the same widths stands in.
    static const QHash<QString, QString> lookAlikes = {
        {QStringLiteral("comic sans ms"), QStringLiteral("Comic Neue")},
        {QStringLiteral("arial"), QStringLiteral("Liberation Sans")},
    };
    QString family = designFamily;
    if (!QFontDatabase::hasFamily(designFamily)) {
        const QString alike = lookAlikes.value(key);
        if (!alike.isEmpty() && QFontDatabase::hasFamily(alike))
            family = alike;
    }
    cache.insert(key, family);
    return family;
}

QFont ReportFont(const QString &family, double points, bool bold, bool italic)
{
    QFont f(InstalledFontFamily(family));
    f.setPixelSize(qMax(1, qRound(points * 20))); // 20 twips to the point
    f.setBold(bold);
    f.setItalic(italic);
    // Unhinted outlines measure alike at every size, so the line breaks found
    // while laying out hold on the screen and on paper.
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferOutline);
    return f;
}

QImage LoadReportPicture(const QString &path, const QSize &box)
{
    // Asked for on every page: a missing file costs one look, and a file
    // unchanged since the last page (same size and time) is not decoded again.
    const QFileInfo info(path);
    if (!info.isFile())
        return QImage();
    struct Last
    {
        QString path;
        QSize box;
        qint64 size = -1;
        QDateTime modified;
        QImage image;
    };
    thread_local Last last;
    const QDateTime modified = info.lastModified();
    if (last.path == path && last.box == box && last.size == info.size() && last.modified == modified)
        return last.image;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize stored = reader.size(); // invalid when missing or unreadable
    if (box.isValid() && stored.isValid() && !(reader.transformation() & QImageIOHandler::TransformationRotate90)) {
        const QSize most(qMax(1, box.width() * kReportPictureDpi / 1440),
                         qMax(1, box.height() * kReportPictureDpi / 1440));
        if (stored.width() > most.width() || stored.height() > most.height())
            reader.setScaledSize(stored.scaled(most, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    last = Last{path, box, info.size(), modified, reader.read()}; // null when unreadable
    return last.image;
}

ReportBand &ReportDesign::addBand(BandKind kind, const QString &name, int height)
{
    Q_ASSERT(kind != BandKind::GroupHeader && kind != BandKind::GroupFooter);
    if (ReportBand *b = bandOf(kind))
        return *b;
    m_single.push_back(std::make_unique<ReportBand>(kind, name, height));
    return *m_single.back();
}

ReportGroup ReportDesign::addGroup(const QString &headerName, const QString &field, int headerHeight,
                                   const QString &footerName, int footerHeight)
{
    auto header = std::make_unique<ReportBand>(BandKind::GroupHeader, headerName, headerHeight);
    auto footer = std::make_unique<ReportBand>(BandKind::GroupFooter, footerName, footerHeight);
    header->groupField = field;
    m_groups.emplace_back(std::move(header), std::move(footer));
    return ReportGroup{*m_groups.back().first, *m_groups.back().second};
}

ReportBand *ReportDesign::findBand(const QString &name) const
{
    for (ReportBand *b : bands())
        if (b->name().compare(name, Qt::CaseInsensitive) == 0)
            return b;
    return nullptr;
}

ReportBand *ReportDesign::bandOf(BandKind kind) const
{
    for (const auto &b : m_single)
        if (b->kind() == kind)
            return b.get();
    return nullptr;
}

ReportControl *ReportDesign::findControl(const QString &name) const
{
    for (ReportBand *b : bands())
        if (ReportControl *c = b->find(name))
            return c;
    return nullptr;
}

ReportBand &ReportDesign::band(const QString &name) const
{
    ReportBand *b = findBand(name);
    Q_ASSERT_X(b, "ReportDesign::band", qPrintable(name));
    return *b;
}

ReportControl &ReportDesign::control(const QString &name) const
{
    ReportControl *c = findControl(name);
    Q_ASSERT_X(c, "ReportDesign::control", qPrintable(name));
    return *c;
}

std::vector<ReportBand *> ReportDesign::bands() const
{
    std::vector<ReportBand *> out;
    auto single = [&](BandKind k) {
        if (ReportBand *b = bandOf(k))
            out.push_back(b);
    };
    single(BandKind::ReportHeader);
    single(BandKind::PageHeader);
    for (const auto &g : m_groups)
        out.push_back(g.first.get());
    single(BandKind::Detail);
    for (auto it = m_groups.rbegin(); it != m_groups.rend(); ++it)
        out.push_back(it->second.get());
    single(BandKind::PageFooter);
    single(BandKind::ReportFooter);
    return out;
}
