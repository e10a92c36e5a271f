#pragma once
// What a report is made of: bands holding controls placed in twips (1440 to the
// inch) from the band's top-left corner. The layout reads this model; the band
// notifications change it while the report runs.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

enum class BandKind { ReportHeader, PageHeader, GroupHeader, Detail, GroupFooter, PageFooter, ReportFooter };
enum class ControlKind { Label, Field, Line, Picture };

// What a bound field shows besides its data field's value.
enum class FieldSummary {
    None,       // the data field's value in the current row
    Sum,        // the sum of the numeric data field over the band's group (the whole report outside groups)
    Count,      // the number of rows over the band's group (the whole report outside groups)
    PageNumber, // the current page number
    PageCount   // the total number of pages
};

struct ReportControl
{
    QString name;
    ControlKind kind = ControlKind::Label;

    // Labels, fields and pictures: the box.
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    // Lines: the two end points.
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;

    bool visible = true;

    // Labels and fields. A field's caption is recomputed from its value each time
    // its band is laid out, before the band's notification runs, which may
    // replace it. CR LF, CR or LF start a new line; long lines wrap at blanks.
    QString caption;
    QString fontName = QStringLiteral("Arial");
    double fontSize = 8.25; // points
    bool bold = false;
    bool italic = false;
    QColor foreColor = Qt::black; // text colour; lines use it too
    Qt::Alignment alignment = Qt::AlignLeft;
    // A growing control keeps every line of its text: its box gets taller, the
    // controls below it in the band move down and the band grows.
    bool canGrow = false;

    // Fields.
    QString dataField;
    FieldSummary summary = FieldSummary::None;
    std::function<QString(const QVariant &)> format; // empty: the default text of the value
    QVariant value;                                  // the value at the band being laid out

    // Lines.
    int lineWidth = 15;

    // Pictures: drawn inside the box, keeping their proportions. A null image draws nothing.
    QImage picture;

    int boxTop() const;    // the top of the box, or of the line
    int boxBottom() const; // the bottom of the box, or of the line
};

class ReportBand
{
public:
    ReportBand(BandKind kind, QString name, int height);

    const QString &name() const { return m_name; }
    BandKind kind() const { return m_kind; }

    int height = 0;
    bool visible = true;
    // Group headers: the data field whose change of value starts a new group.
    QString groupField;
    // The band layout notification: runs each time the band is laid out, after
    // the fields took their values and before anything is drawn.
    std::function<void(ReportBand &)> onFormat;

    ReportControl &addLabel(const QString &name, int left, int top, int width, int height,
                            const QString &caption, const QString &fontName, double fontSize);
    ReportControl &addField(const QString &name, int left, int top, int width, int height,
                            const QString &dataField, const QString &fontName, double fontSize,
                            FieldSummary summary = FieldSummary::None);
    ReportControl &addLine(const QString &name, int x1, int y1, int x2, int y2);
    ReportControl &addPicture(const QString &name, int left, int top, int width, int height);

    ReportControl *find(const QString &name) const;
    const std::vector<std::unique_ptr<ReportControl>> &controls() const { return m_controls; }

private:
    ReportControl &add(ControlKind kind, const QString &name, int left = 0, int top = 0,
                        int width = 0, int height = 0);

    BandKind m_kind;
    QString m_name;
    std::vector<std::unique_ptr<ReportControl>> m_controls;
};

struct ReportGroup
{
    ReportBand &header;
    ReportBand &footer;
};

// The bands of a report in their printing order: report header, page header,
// group headers (outermost first), detail, group footers (innermost first),
// page footer, report footer. Each kind but the groups' exists at most once.
class ReportDesign
{
public:
    ReportDesign() = default;
    virtual ~ReportDesign() = default;
    ReportDesign(const ReportDesign &) = delete;
    ReportDesign &operator=(const ReportDesign &) = delete;

    // Adds (or returns the existing) band of a kind other than the groups'.
    ReportBand &addBand(BandKind kind, const QString &name, int height);
    // Adds a group inside the groups added before it, keyed on `field`.
    ReportGroup addGroup(const QString &headerName, const QString &field, int headerHeight,
                         const QString &footerName, int footerHeight);

    ReportBand *findBand(const QString &name) const;
    ReportBand *bandOf(BandKind kind) const; // nullptr for groups and missing bands
    ReportControl *findControl(const QString &name) const;
    ReportBand &band(const QString &name) const;       // the band must exist
    ReportControl &control(const QString &name) const; // the control must exist

    int groupCount() const { return int(m_groups.size()); }
    ReportBand &groupHeader(int level) const { return *m_groups[size_t(level)].first; }
    ReportBand &groupFooter(int level) const { return *m_groups[size_t(level)].second; }
    std::vector<ReportBand *> bands() const; // printing order

private:
    std::vector<std::unique_ptr<ReportBand>> m_single; // bands other than the groups'
    std::vector<std::pair<std::unique_ptr<ReportBand>, std::unique_ptr<ReportBand>>> m_groups;
};

// The font a control is measured and painted with: the design's family (or its
// installed look-alike) with its size in twips as pixel size, so that the same
// font serves every resolution once the painter maps twips to device units.
QString InstalledFontFamily(const QString &designFamily);
QFont ReportFont(const QString &family, double points, bool bold = false, bool italic = false);

// Pictures are kept at no more than this resolution of their box.
constexpr int kReportPictureDpi = 300;

// A picture read from a file: a null image when the file is missing or
// unreadable. Given the box it goes into (twips), a larger picture is read at
// no more than kReportPictureDpi of that box, so that a photograph used as a
// logo is not decoded whole on every page.
QImage LoadReportPicture(const QString &path, const QSize &box = QSize());
