// The report engine on small designs: groups, sums, page breaks, "Pag. N de M",
// hidden bands, growing labels, pictures, errors, the text and PDF outputs and
// the preview window.
#include "data/Database.h"
#include "reports/Report.h"
#include "reports/ReportPreview.h"
#include "reports/ReportText.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPrinter>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

// A listing with two group levels, the page furniture of the listings and a
// count of rows at the end. Columns in the text: 0, 2, 4 and 40.
class Listing : public Report
{
public:
    Listing() : Report(QStringLiteral("rptListado"))
    {
        caption = QStringLiteral("Listado de prueba");
        ReportBand &ph = addBand(BandKind::PageHeader, QStringLiteral("PageHeader"), 500);
        ph.addLabel(QStringLiteral("lblTitulo"), 0, 0, 6000, 300, QStringLiteral("Listado"), QStringLiteral("Arial"), 12);
        ReportGroup tipo = addGroup(QStringLiteral("grTipo"), QStringLiteral("Tipo"), 300, QStringLiteral("grTipoFT"), 300);
        tipo.header.addField(QStringLiteral("txtTipo"), 0, 0, 2000, 250, QStringLiteral("Tipo"), QStringLiteral("Arial"), 8);
        tipo.footer.addLabel(QStringLiteral("lblTotalTipo"), 0, 0, 1200, 250, QStringLiteral("Total"), QStringLiteral("Arial"), 8);
        tipo.footer.addField(QStringLiteral("txtTipoFT"), 1200, 0, 1000, 250, QStringLiteral("Tipo"), QStringLiteral("Arial"), 8);
        tipo.footer.addField(QStringLiteral("txtSumaTipo"), 4800, 0, 1300, 250, QStringLiteral("Importe"),
                             QStringLiteral("Arial"), 8, FieldSummary::Sum);
        ReportGroup cuenta = addGroup(QStringLiteral("grCuenta"), QStringLiteral("Cuenta"), 300, QStringLiteral("grCuentaFT"), 300);
        cuenta.header.addField(QStringLiteral("txtCuenta"), 240, 0, 3000, 250, QStringLiteral("Cuenta"), QStringLiteral("Arial"), 8);
        cuenta.footer.addField(QStringLiteral("txtCuentaFT"), 240, 0, 3000, 250, QStringLiteral("Cuenta"), QStringLiteral("Arial"), 8);
        cuenta.footer.addField(QStringLiteral("txtSumaCuenta"), 4800, 0, 1300, 250, QStringLiteral("Importe"),
                               QStringLiteral("Arial"), 8, FieldSummary::Sum);
        ReportBand &detail = addBand(BandKind::Detail, QStringLiteral("Detail"), 300);
        detail.addField(QStringLiteral("txtNombre"), 480, 0, 4000, 250, QStringLiteral("Nombre"), QStringLiteral("Arial"), 8);
        detail.addField(QStringLiteral("txtImporte"), 4800, 0, 1300, 250, QStringLiteral("Importe"), QStringLiteral("Arial"), 8);
        ReportBand &pf = addBand(BandKind::PageFooter, QStringLiteral("PageFooter"), 360);
        pf.addLabel(QStringLiteral("lblPage"), 0, 90, 630, 270, QStringLiteral("Pag."), QStringLiteral("Arial"), 8.25);
        pf.addField(QStringLiteral("txtPage"), 630, 90, 540, 270, QString(), QStringLiteral("Arial"), 8.25, FieldSummary::PageNumber);
        pf.addLabel(QStringLiteral("lblOf"), 1170, 90, 270, 270, QStringLiteral("de"), QStringLiteral("Arial"), 8.25);
        pf.addField(QStringLiteral("txtPageCount"), 1440, 90, 450, 270, QString(), QStringLiteral("Arial"), 8.25, FieldSummary::PageCount);
        ReportBand &rf = addBand(BandKind::ReportFooter, QStringLiteral("ReportFooter"), 400);
        rf.addLabel(QStringLiteral("lblFilas"), 0, 100, 2000, 250, QStringLiteral("Filas:"), QStringLiteral("Arial"), 8);
        rf.addField(QStringLiteral("txtFilas"), 2400, 100, 800, 250, QStringLiteral("Nombre"), QStringLiteral("Arial"), 8, FieldSummary::Count);
    }
};

class SharedListing : public Listing, public SharedReport<SharedListing>
{
};

ReportRows rowsOf(const QList<QVariantList> &data)
{
    ReportRows r;
    r.bound = true;
    r.fields = QStringList{QStringLiteral("Tipo"), QStringLiteral("Cuenta"), QStringLiteral("Nombre"), QStringLiteral("Importe")};
    for (const QVariantList &d : data)
        r.rows.push_back(QVector<QVariant>(d.begin(), d.end()));
    return r;
}

QStringList pageLines(const ReportDocument &doc, int page)
{
    ReportDocument one;
    one.page = doc.page;
    one.pages.push_back(doc.pages[size_t(page)]);
    QStringList lines = ReportDocumentText(one).split(QLatin1Char('\n'));
    lines.removeLast();
    return lines;
}

QList<const ReportPrimitive *> itemsOf(const ReportPage &page, const QString &control)
{
    QList<const ReportPrimitive *> out;
    for (const ReportPrimitive &p : page.items)
        if (p.control == control)
            out << &p;
    return out;
}

QString col(int column, const QString &text) { return QString(column, QLatin1Char(' ')) + text; }

} // namespace

class tst_ReportEngine : public QObject
{
    Q_OBJECT
private slots:
    void groupsSumsAndCountFromTheReportsOwnConnection();
    void pageBreaksKeepTheFooterFreeAndNumberEveryPage();
    void hiddenBandsStillSumAndNotificationsChangeTheOutput();
    void unboundDesignGrowingLabelsAndTallBands();
    void picturesMissingOrPresent();
    void errorsComeBackAsValues();
    void printsThroughThePainterToPdf();
    void exportWritesTheTextFile();
    void previewNavigatesZoomsAndOwnsTheSharedInstance();
};

void tst_ReportEngine::groupsSumsAndCountFromTheReportsOwnConnection()
{
    TestEnv t;
    t.openNewDb([](const QSqlDatabase &db) {
        Exec(db, QStringLiteral("CREATE TABLE Dato (Tipo TEXT, Cuenta TEXT, Nombre TEXT, Importe REAL)"));
        const QString ins = QStringLiteral("INSERT INTO Dato VALUES (?, ?, ?, ?)");
        Exec(db, ins, {QStringLiteral("E"), QStringLiteral("Luz"), QStringLiteral("a"), 10});
        Exec(db, ins, {QStringLiteral("E"), QStringLiteral("Luz"), QStringLiteral("b"), 5.5});
        Exec(db, ins, {QStringLiteral("E"), QStringLiteral("Agua"), QStringLiteral("c"), 1});
        Exec(db, ins, {QStringLiteral("I"), QStringLiteral("Agua"), QStringLiteral("d"), 100});
        Exec(db, ins, {QStringLiteral("X"), QStringLiteral("Otro"), QStringLiteral("fuera"), 7});
    });
    Listing r;
    QStringList footerSaw;
    r.band(QStringLiteral("grCuentaFT")).onFormat = [&](ReportBand &b) {
        footerSaw << b.find(QStringLiteral("txtCuentaFT"))->value.toString();
    };
    r.dataSource.sql = QStringLiteral("SELECT Tipo, Cuenta, Nombre, Importe FROM Dato WHERE Tipo <> ? ORDER BY Tipo, Cuenta DESC, Nombre");
    r.dataSource.binds = {QStringLiteral("X")};
    QVERIFY(r.run().ok());
    QCOMPARE(r.pageCount(), 1);
    // A footer sees the group that just ended, though the next row is already read.
    QCOMPARE(footerSaw, (QStringList{QStringLiteral("Luz"), QStringLiteral("Agua"), QStringLiteral("Agua")}));
    const QStringList expected = {
        QStringLiteral("Listado"),
        QStringLiteral("E"),
        col(2, QStringLiteral("Luz")),
        col(4, QStringLiteral("a")) + col(35, QStringLiteral("10")),
        col(4, QStringLiteral("b")) + col(35, QStringLiteral("5,5")),
        col(2, QStringLiteral("Luz")) + col(35, QStringLiteral("15,5")),
        col(2, QStringLiteral("Agua")),
        col(4, QStringLiteral("c")) + col(35, QStringLiteral("1")),
        col(2, QStringLiteral("Agua")) + col(34, QStringLiteral("1")),
        QStringLiteral("Total") + col(5, QStringLiteral("E")) + col(29, QStringLiteral("16,5")),
        QStringLiteral("I"),
        // A new outer key starts the inner group again, even with the same inner key.
        col(2, QStringLiteral("Agua")),
        col(4, QStringLiteral("d")) + col(35, QStringLiteral("100")),
        col(2, QStringLiteral("Agua")) + col(34, QStringLiteral("100")),
        QStringLiteral("Total") + col(5, QStringLiteral("I")) + col(29, QStringLiteral("100")),
        QStringLiteral("Filas:") + col(14, QStringLiteral("4")),
        QStringLiteral("Pag.") + col(1, QStringLiteral("1")) + col(3, QStringLiteral("de")) + col(1, QStringLiteral("1")),
    };
    QCOMPARE(pageLines(r.document(), 0), expected);

    // Numbers follow the user's locale.
    t.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(r.run().ok());
    QVERIFY(r.text().contains(QStringLiteral("16.5")));
}

void tst_ReportEngine::pageBreaksKeepTheFooterFreeAndNumberEveryPage()
{
    TestEnv t;
    Listing r;
    r.band(QStringLiteral("Detail")).height = 1000;
    QList<QVariantList> data;
    for (int i = 1; i <= 30; ++i)
        data << QVariantList{QStringLiteral("E"), i <= 20 ? QStringLiteral("Luz") : QStringLiteral("Gas"),
                             QStringLiteral("fila %1").arg(i), i};
    ReportDocument doc;
    QVERIFY(LayoutReport(r, rowsOf(data), r.pageSetup, &doc).ok());

    // Body: from 1134 + 500 of page header to 16838 - 1134 - 360 of page footer.
    const int bodyTop = 1634, bodyBottom = 15344;
    QCOMPARE(int(doc.pages.size()), 3);
    QSet<QString> seen;
    for (int p = 0; p < 3; ++p) {
        const ReportPage &page = doc.pages[size_t(p)];
        QCOMPARE(itemsOf(page, QStringLiteral("lblTitulo")).size(), 1);
        QCOMPARE(itemsOf(page, QStringLiteral("lblTitulo")).first()->rect.top(), 1134);
        const QStringList lines = pageLines(doc, p);
        QCOMPARE(lines.last(), QStringLiteral("Pag. %1   de %2").arg(p + 1).arg(3));
        QCOMPARE(itemsOf(page, QStringLiteral("lblPage")).first()->rect.top(), bodyBottom + 90);
        for (const ReportPrimitive &it : page.items) {
            if (it.control.startsWith(QLatin1String("lblTitulo")) || it.control == QLatin1String("lblPage")
                || it.control.startsWith(QLatin1String("txtPage")) || it.control == QLatin1String("lblOf"))
                continue;
            QVERIFY2(it.rect.top() >= bodyTop && it.rect.bottom() < bodyBottom, qPrintable(it.control));
            if (it.control == QLatin1String("txtNombre")) {
                QVERIFY2(!seen.contains(it.text), qPrintable(it.text));
                seen.insert(it.text);
            }
        }
    }
    QCOMPARE(seen.size(), 30); // every row exactly once
    // Bands of 1000 twips: 13 fit under the headers of the first page; the
    // account sum spans the page break and still counts every row of the account.
    QCOMPARE(pageLines(doc, 0).filter(QStringLiteral("fila")).size(), 13);
    const QStringList second = pageLines(doc, 1);
    QVERIFY(second.contains(col(2, QStringLiteral("Luz")) + col(35, QStringLiteral("210"))));
    const QStringList third = pageLines(doc, 2);
    QVERIFY(third.contains(QStringLiteral("Total") + col(5, QStringLiteral("E")) + col(29, QStringLiteral("465"))));
    QVERIFY(third.contains(QStringLiteral("Filas:") + col(14, QStringLiteral("30"))));
}

void tst_ReportEngine::hiddenBandsStillSumAndNotificationsChangeTheOutput()
{
    TestEnv t;
    Listing r;
    r.onReportStart = [&] {
        r.band(QStringLiteral("Detail")).visible = false;
        r.band(QStringLiteral("grCuenta")).visible = false;
        r.control(QStringLiteral("lblTitulo")).caption = QStringLiteral("Resumen");
    };
    r.band(QStringLiteral("grTipoFT")).onFormat = [](ReportBand &b) {
        ReportControl &tipo = *b.find(QStringLiteral("txtTipoFT"));
        const bool egreso = tipo.value.toString() == QLatin1String("E");
        tipo.caption = egreso ? QStringLiteral(" EGRESOS ") : QStringLiteral(" INGRESOS ");
        b.find(QStringLiteral("txtSumaTipo"))->foreColor = egreso ? QColor(Qt::red) : QColor(Qt::blue);
    };
    r.dataSource.sql = QStringLiteral("SELECT 'E' AS Tipo, 'Luz' AS Cuenta, 'a' AS Nombre, 2 AS Importe"
                                      " UNION ALL SELECT 'I', 'Cuota', 'b', 3");
    t.openNewDb();
    QVERIFY(r.run().ok());
    const QStringList lines = pageLines(r.document(), 0);
    QCOMPARE(lines.mid(0, 8), (QStringList{
                                  QStringLiteral("Resumen"),
                                  QStringLiteral("E"),
                                  col(2, QStringLiteral("Luz")) + col(35, QStringLiteral("2")),
                                  QStringLiteral("Total") + col(6, QStringLiteral("EGRESOS")) + col(22, QStringLiteral("2")),
                                  QStringLiteral("I"),
                                  col(2, QStringLiteral("Cuota")) + col(33, QStringLiteral("3")),
                                  QStringLiteral("Total") + col(6, QStringLiteral("INGRESOS")) + col(21, QStringLiteral("3")),
                                  QStringLiteral("Filas:") + col(14, QStringLiteral("2")),
                              }));
    const auto sums = itemsOf(r.document().pages[0], QStringLiteral("txtSumaTipo"));
    QCOMPARE(sums.size(), 2);
    QCOMPARE(sums[0]->color, QColor(Qt::red));
    QCOMPARE(sums[1]->color, QColor(Qt::blue));
    QVERIFY(itemsOf(r.document().pages[0], QStringLiteral("txtNombre")).isEmpty());

    // A hidden page footer leaves no footer and keeps no room for it.
    r.onReportStart = [&] { r.band(QStringLiteral("PageFooter")).visible = false; };
    QVERIFY(r.run().ok());
    QVERIFY(!r.text().contains(QStringLiteral("Pag.")));
}

void tst_ReportEngine::unboundDesignGrowingLabelsAndTallBands()
{
    TestEnv t;
    Report r(QStringLiteral("rptSuelto"));
    ReportBand &ph = r.addBand(BandKind::PageHeader, QStringLiteral("PageHeader"), 600);
    ph.addLabel(QStringLiteral("lblCabecera"), 0, 0, 5000, 400, QStringLiteral("Cabecera"), QStringLiteral("Comic Sans MS"), 14.25);
    ReportBand &detail = r.addBand(BandKind::Detail, QStringLiteral("Detail"), 1500);
    ReportControl &fixed = detail.addLabel(QStringLiteral("lblFijo"), 0, 0, 9000, 500, QString(), QStringLiteral("Arial"), 8.25);
    ReportControl &body = detail.addLabel(QStringLiteral("lblCuerpo"), 0, 600, 9000, 300, QString(), QStringLiteral("Arial"), 8.25);
    body.canGrow = true;
    detail.addLabel(QStringLiteral("lblFirma"), 6000, 1200, 2000, 250, QStringLiteral("Firma"), QStringLiteral("Arial"), 8.25);
    ReportControl &line = detail.addLine(QStringLiteral("Linea"), 6000, 1200, 8000, 1200);
    int formats = 0;
    detail.onFormat = [&](ReportBand &) { ++formats; };

    // CR LF, CR and LF each end a line; a fixed label keeps only the lines its height holds.
    fixed.caption = QStringLiteral("uno\r\ndos\rtres\ncuatro");
    body.caption = QStringLiteral("Recibimos de Juan\r\n\r\n Agradecemos su colaboracion.");
    QVERIFY(r.run().ok());
    QCOMPARE(formats, 1); // no data source: the detail once
    QCOMPARE(r.text().split(QLatin1Char('\n')).mid(0, 6),
             (QStringList{QStringLiteral("Cabecera"), QStringLiteral("uno"), QStringLiteral("dos"),
                          QStringLiteral("Recibimos de Juan"), QStringLiteral(" Agradecemos su colaboracion."),
                          col(50, QStringLiteral("Firma"))}));
    const ReportPage &page = r.document().pages[0];
    const auto bodyLines = itemsOf(page, QStringLiteral("lblCuerpo"));
    QCOMPARE(bodyLines.size(), 2);
    const int L = bodyLines[0]->rect.height();
    QCOMPARE(bodyLines[1]->rect.top() - bodyLines[0]->rect.top(), 2 * L); // the empty line keeps its room
    QCOMPARE(bodyLines[0]->font.pixelSize(), 165);                         // 8.25 pt in twips
    QCOMPARE(bodyLines[0]->font.family(), InstalledFontFamily(QStringLiteral("Arial")));
    if (!QFontDatabase::hasFamily(QStringLiteral("Arial"))) // the look-alikes stand in
        QCOMPARE(InstalledFontFamily(QStringLiteral("Arial")), QStringLiteral("Liberation Sans"));
    if (!QFontDatabase::hasFamily(QStringLiteral("Comic Sans MS")))
        QCOMPARE(InstalledFontFamily(QStringLiteral("Comic Sans MS")), QStringLiteral("Comic Neue"));
    // The grown label pushes what lies below it down by its growth.
    const int growth = 3 * L - 300;
    QCOMPARE(itemsOf(page, QStringLiteral("lblFirma")).first()->rect.top(), 1134 + 600 + 1200 + growth);
    QCOMPARE(itemsOf(page, QStringLiteral("Linea")).first()->line.y1(), 1134 + 600 + 1200 + growth);

    // A long word breaks inside; a text longer than a page goes on over the next pages.
    body.caption = QString(60, QLatin1Char('x')) + QStringLiteral(" fin");
    body.width = 1000;
    QVERIFY(r.run().ok());
    for (const ReportPrimitive *p : itemsOf(r.document().pages[0], QStringLiteral("lblCuerpo")))
        QVERIFY(QFontMetricsF(p->font).horizontalAdvance(p->text) <= 1000);
    QVERIFY(r.text().contains(QStringLiteral("fin")));
    QStringList many;
    for (int i = 1; i <= 120; ++i)
        many << QStringLiteral("Cuota %1 - 1/5/2026 - 1500").arg(i);
    body.width = 9000;
    body.caption = many.join(QStringLiteral("\r\n"));
    line.visible = false;
    QVERIFY(r.run().ok());
    QVERIFY(r.pageCount() >= 2);
    const QString text = r.text();
    for (int i = 1; i <= 120; ++i)
        QVERIFY(text.contains(QStringLiteral("Cuota %1 - ").arg(i)));
    QCOMPARE(text.count(QStringLiteral("Cabecera")), r.pageCount());
    QVERIFY(text.indexOf(QStringLiteral("Firma")) > text.indexOf(QStringLiteral("Cuota 120 ")));
    for (const ReportPage &pg : r.document().pages)
        for (const ReportPrimitive &p : pg.items)
            QVERIFY(p.rect.bottom() <= 16838 - 1134);
    QCOMPARE(formats, 3);
}

void tst_ReportEngine::picturesMissingOrPresent()
{
    TestEnv t;
    Report r(QStringLiteral("rptFoto"));
    ReportBand &ph = r.addBand(BandKind::PageHeader, QStringLiteral("PageHeader"), 1080);
    ReportControl &pic = ph.addPicture(QStringLiteral("Image1"), 7795, 0, 1134, 992);
    const QString path = t.path(QStringLiteral("logo.jpg"));
    ph.onFormat = [&](ReportBand &) { pic.picture = LoadReportPicture(path); };
    r.addBand(BandKind::Detail, QStringLiteral("Detail"), 300);

    QVERIFY(r.run().ok()); // missing file
    QVERIFY(itemsOf(r.document().pages[0], QStringLiteral("Image1")).isEmpty());

    QFile bad(path);
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("esto no es una imagen");
    bad.close();
    QVERIFY(r.run().ok()); // unreadable file
    QVERIFY(itemsOf(r.document().pages[0], QStringLiteral("Image1")).isEmpty());

    QImage wide(400, 200, QImage::Format_RGB32);
    wide.fill(Qt::darkGreen);
    QVERIFY(wide.save(path, "JPG"));
    QVERIFY(r.run().ok());
    const auto items = itemsOf(r.document().pages[0], QStringLiteral("Image1"));
    QCOMPARE(items.size(), 1);
    // Kept in proportion inside its box, centred.
    QCOMPARE(items[0]->rect, QRect(1134 + 7795, 1134 + (992 - 567) / 2, 1134, 567));
    QVERIFY(items[0]->image.width() <= 1134 * 300 / 1440);
}

void tst_ReportEngine::errorsComeBackAsValues()
{
    TestEnv t;
    t.openNewDb();
    Listing r;
    r.dataSource.sql = QStringLiteral("SELECT Nada FROM Ninguna");
    ReportResult res = r.run();
    QVERIFY(res.failed());
    QVERIFY(res.error()->description().contains(QStringLiteral("Ninguna")));
    QVERIFY(!res.error()->dbErrors().isEmpty());
    QCOMPARE(r.pageCount(), 0);

    r.dataSource.sql = QStringLiteral("SELECT 'E' AS Tipo, 'Luz' AS Cuenta, 1 AS Importe");
    res = r.run();
    QVERIFY(res.failed());
    QCOMPARE(res.error()->number(), qint64(ErrReportField));
    QVERIFY(res.error()->description().contains(QStringLiteral("\"Nombre\"")));

    r.dataSource.connectionString = t.path(QStringLiteral("no-existe.db"));
    QVERIFY(r.run().failed());
    QVERIFY(!QFile::exists(t.path(QStringLiteral("no-existe.db"))));

    // A failing notification ends the run with its error.
    Report n(QStringLiteral("rptFalla"));
    n.addBand(BandKind::Detail, QStringLiteral("Detail"), 300).onFormat = [](ReportBand &) {
        throw RuntimeError(13, QStringLiteral("No coinciden los tipos"));
    };
    res = n.run();
    QVERIFY(res.failed());
    QCOMPARE(res.error()->number(), qint64(13));
}

void tst_ReportEngine::printsThroughThePainterToPdf()
{
    TestEnv t;
    Listing r;
    r.documentTitle = QStringLiteral("Tesorin - prueba");
    r.dataSource.sql = QStringLiteral("SELECT 'E' AS Tipo, 'Luz' AS Cuenta, 'ñandú' AS Nombre, 2 AS Importe");
    t.openNewDb();

    // Cancelling the printer dialog prints nothing.
    t.prompts->expectPrinter(false);
    QVERIFY(r.print().wasCancelled());

    const QString pdf = t.path(QStringLiteral("listado.pdf"));
    t.prompts->expectPrinter(true, [&](QPrinter &p) {
        QCOMPARE(p.docName(), QStringLiteral("Tesorin - prueba"));
        QCOMPARE(p.pageLayout().pageSize().id(), QPageSize::A4);
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
    });
    QVERIFY(r.print().ok());
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("%PDF-"));
    QVERIFY(bytes.contains("/MediaBox [0 0 595.000000 842.000000]")); // A4 in points
    QCOMPARE(bytes.count("/Type /Page\n"), 1);
}

void tst_ReportEngine::exportWritesTheTextFile()
{
    TestEnv t;
    Listing r;
    r.dataSource.sql = QStringLiteral("SELECT 'E' AS Tipo, 'Luz' AS Cuenta, 'ñandú' AS Nombre, 2 AS Importe"
                                      " UNION ALL SELECT 'E', 'Luz', 'b', 2");
    t.openNewDb();
    r.band(QStringLiteral("Detail")).height = 12000; // one row a page
    QVERIFY(r.run().ok());
    QCOMPARE(r.pageCount(), 2);
    const QString file = t.path(QStringLiteral("listado.txt"));
    QVERIFY(r.exportText(file).ok());
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    QCOMPARE(text, r.text());
    QVERIFY(text.contains(col(4, QStringLiteral("ñandú"))));
    QCOMPARE(text.count(QStringLiteral("\n\f\n")), 1); // the page separator

    const ReportResult bad = r.exportText(t.path(QStringLiteral("no/hay/carpeta.txt")));
    QVERIFY(bad.failed());
    QCOMPARE(bad.error()->number(), qint64(ErrReportFile));
}

void tst_ReportEngine::previewNavigatesZoomsAndOwnsTheSharedInstance()
{
    TestEnv t;
    SharedListing &r = SharedListing::instance();
    r.band(QStringLiteral("Detail")).height = 12000; // one row a page
    r.dataSource.sql = QStringLiteral("SELECT 'E' AS Tipo, 'Luz' AS Cuenta, 'a' AS Nombre, 1 AS Importe"
                                      " UNION ALL SELECT 'E', 'Luz', 'b', 2 UNION ALL SELECT 'E', 'Luz', 'c', 3");
    t.openNewDb();
    QVERIFY(r.show().ok());
    QPointer<ReportPreview> w = r.previewWindow();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Listado de prueba"));
    QCOMPARE(w->pageCount(), 3);
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("lblPaginas"))->text(), QStringLiteral("de 3"));
    w->findChild<QToolButton *>(QStringLiteral("cmdSiguiente"))->click();
    QCOMPARE(w->currentPage(), 2);
    w->findChild<QToolButton *>(QStringLiteral("cmdUltima"))->click();
    QCOMPARE(w->currentPage(), 3);
    QVERIFY(!w->findChild<QToolButton *>(QStringLiteral("cmdSiguiente"))->isEnabled());
    w->findChild<QSpinBox *>(QStringLiteral("spnPagina"))->setValue(1);
    QCOMPARE(w->currentPage(), 1);
    auto *view = w->findChild<ReportPageView *>(QStringLiteral("pagPagina"));
    QCOMPARE(view->width(), 11906 / 15 + 24); // 100 %: 15 twips to the pixel
    QComboBox *zoom = w->findChild<QComboBox *>(QStringLiteral("cboZoom"));
    zoom->setCurrentIndex(zoom->findData(2.0));
    emit zoom->activated(zoom->currentIndex());
    QCOMPARE(view->width(), 11906 * 2 / 15 + 24);

    // Printing from the preview goes through the printer dialog.
    const QString pdf = t.path(QStringLiteral("vista.pdf"));
    t.prompts->expectPrinter(true, [&](QPrinter &p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
    });
    w->findChild<QToolButton *>(QStringLiteral("cmdImprimir"))->click();
    QVERIFY(QFile::exists(pdf));

    // Showing again brings the open window forward; closing it lets the instance go.
    QVERIFY(SharedListing::instance().show().ok());
    QCOMPARE(SharedListing::instance().previewWindow(), w.data());
    w->close();
    QTRY_VERIFY(!w);
    QVERIFY(!SharedListing::exists());

    // Modal: returns once the window is closed.
    SharedListing &m = SharedListing::instance();
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        wasModal = qobject_cast<ReportPreview *>(modal) != nullptr;
        if (modal)
            modal->close();
    });
    QVERIFY(m.show(PreviewMode::Modal).ok());
    QVERIFY(wasModal);
    QVERIFY(SharedListing::exists()); // the caller discards it
    SharedListing::discard();
}

QTEST_MAIN(tst_ReportEngine)
#include "tst_ReportEngine.moc"
