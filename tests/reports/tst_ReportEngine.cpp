// The report engine on small designs: groups, sums, page breaks, hidden bands,
// growing labels, pictures, errors, the text and PDF outputs, the preview.
#include "data/Database.h"
#include "reports/Report.h"
#include "reports/ReportOutput.h"
#include "reports/ReportPreview.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QToolButton>
#include <QtTest>

namespace {

// A listing with two group levels, the page furniture of the listings and a
// count of rows at the end. Columns in the text: 0, 2, 4 and 40.
class Listing : public Report
{
public:
    Listing() : Report("rptListado")
    {
        caption = "Listado de prueba";
        addBand(BandKind::PageHeader, "PageHeader", 500).addLabel("lblTitulo", 0, 0, 6000, 300, "Listado", "Arial", 12);
        ReportGroup tipo = addGroup("grTipo", "Tipo", 300, "grTipoFT", 300);
        tipo.header.addField("txtTipo", 0, 0, 2000, 250, "Tipo", "Arial", 8);
        tipo.footer.addLabel("lblTotalTipo", 0, 0, 1200, 250, "Total", "Arial", 8);
        tipo.footer.addField("txtTipoFT", 1200, 0, 1000, 250, "Tipo", "Arial", 8);
        tipo.footer.addField("txtSumaTipo", 4800, 0, 1300, 250, "Importe", "Arial", 8, FieldSummary::Sum);
        ReportGroup cuenta = addGroup("grCuenta", "Cuenta", 300, "grCuentaFT", 300);
        cuenta.header.addField("txtCuenta", 240, 0, 3000, 250, "Cuenta", "Arial", 8);
        cuenta.footer.addField("txtCuentaFT", 240, 0, 3000, 250, "Cuenta", "Arial", 8);
        cuenta.footer.addField("txtSumaCuenta", 4800, 0, 1300, 250, "Importe", "Arial", 8, FieldSummary::Sum);
        ReportBand &detail = addBand(BandKind::Detail, "Detail", 300);
        detail.addField("txtNombre", 480, 0, 4000, 250, "Nombre", "Arial", 8);
        detail.addField("txtImporte", 4800, 0, 1300, 250, "Importe", "Arial", 8);
        ReportBand &pf = addBand(BandKind::PageFooter, "PageFooter", 360);
        pf.addLabel("lblPage", 0, 90, 630, 270, "Pag.", "Arial", 8.25);
        pf.addField("txtPage", 630, 90, 540, 270, QString(), "Arial", 8.25, FieldSummary::PageNumber);
        pf.addLabel("lblOf", 1170, 90, 270, 270, "de", "Arial", 8.25);
        pf.addField("txtPageCount", 1440, 90, 450, 270, QString(), "Arial", 8.25, FieldSummary::PageCount);
        ReportBand &rf = addBand(BandKind::ReportFooter, "ReportFooter", 400);
        rf.addLabel("lblFilas", 0, 100, 2000, 250, "Filas:", "Arial", 8);
        rf.addField("txtFilas", 2400, 100, 800, 250, "Nombre", "Arial", 8, FieldSummary::Count);
    }
};

// The text lines of one page of the last run.
QStringList pageLines(const Report &r, int page) { return r.text().split("\f\n").at(page).split('\n', Qt::SkipEmptyParts); }

QList<const ReportPrimitive *> itemsOf(const ReportPage &page, const QString &control)
{
    QList<const ReportPrimitive *> out;
    for (const ReportPrimitive &p : page.items)
        if (p.control == control)
            out << &p;
    return out;
}

QString col(int column, const QString &text) { return QString(column, ' ') + text; }

qint64 errorNumber(const ReportResult &r) { return r.failed() ? r.error()->number() : 0; }

} // namespace

class tst_ReportEngine : public QObject
{
    Q_OBJECT
private slots:
    void groupsSumsHiddenBandsAndNotifications();
    void pageBreaksKeepTheFooterFreeAndNumberEveryPage();
    void labelsGrowOrEndCutWithAMark();
    void picturesMissingUnreadableOrPresent();
    void errorsComeBackAsValues();
    void printsToPdfAndExportsText();
    void previewNavigatesAndKeepsItsPages();
};

void tst_ReportEngine::groupsSumsHiddenBandsAndNotifications()
{
    TestEnv t;
    t.openNewDb([](const QSqlDatabase &db) {
        Exec(db, "CREATE TABLE Dato (Tipo TEXT, Cuenta TEXT, Nombre TEXT, Importe REAL)");
        Exec(db, "INSERT INTO Dato VALUES ('E', 'Luz', 'a', 10), ('E', 'Luz', 'b', 5.5), ('E', 'Agua', 'c', 1),"
                 " ('I', 'Agua', 'd', 100), ('X', 'Otro', 'fuera', 7)");
    });
    Listing r;
    r.dataSource.sql = "SELECT Tipo, Cuenta, Nombre, Importe FROM Dato WHERE Tipo <> ?"
                       " ORDER BY Tipo, Cuenta DESC, Nombre";
    r.dataSource.binds = {"X"};
    QVERIFY(r.run().ok());
    // A footer shows the group that just ended, though the next row is already
    // read; a new outer key starts the inner group again, even with the same inner key.
    QCOMPARE(pageLines(r, 0), (QStringList{
                                  "Listado", "E",
                                  col(2, "Luz"), col(4, "a") + col(35, "10"), col(4, "b") + col(35, "5,5"),
                                  col(2, "Luz") + col(35, "15,5"),
                                  col(2, "Agua"), col(4, "c") + col(35, "1"), col(2, "Agua") + col(34, "1"),
                                  "Total" + col(5, "E") + col(29, "16,5"),
                                  "I", col(2, "Agua"), col(4, "d") + col(35, "100"), col(2, "Agua") + col(34, "100"),
                                  "Total" + col(5, "I") + col(29, "100"),
                                  "Filas:" + col(14, "4"), "Pag." + col(1, "1") + col(3, "de") + col(1, "1"),
                              }));

    // Hidden bands still sum; the notifications change captions and colours.
    r.onReportStart = [&] {
        r.band("Detail").visible = false;
        r.band("grCuenta").visible = false;
        r.control("lblTitulo").caption = "Resumen";
    };
    r.band("grTipoFT").onFormat = [](ReportBand &b) {
        ReportControl &tipo = *b.find("txtTipoFT");
        const bool egreso = tipo.value.toString() == "E";
        tipo.caption = egreso ? " EGRESOS " : " INGRESOS ";
        b.find("txtSumaTipo")->foreColor = egreso ? QColor(Qt::red) : QColor(Qt::blue);
    };
    QVERIFY(r.run().ok());
    QCOMPARE(pageLines(r, 0).mid(0, 9),
             (QStringList{"Resumen", "E", col(2, "Luz") + col(35, "15,5"), col(2, "Agua") + col(34, "1"),
                          "Total" + col(6, "EGRESOS") + col(22, "16,5"), "I", col(2, "Agua") + col(34, "100"),
                          "Total" + col(6, "INGRESOS") + col(21, "100"), "Filas:" + col(14, "4")}));
    const auto sums = itemsOf(r.document().pages[0], "txtSumaTipo");
    QCOMPARE(QList<QColor>({sums[0]->color, sums[1]->color}), QList<QColor>({Qt::red, Qt::blue}));
    r.onReportStart = [&] { r.band("PageFooter").visible = false; }; // no footer at all
    QVERIFY(r.run().ok());
    QVERIFY(!r.text().contains("Pag."));

    t.setLocale(QLocale(QLocale::English, QLocale::UnitedStates)); // numbers follow the user's locale
    QVERIFY(r.run().ok());
    QVERIFY(r.text().contains("16.5"));
}

void tst_ReportEngine::pageBreaksKeepTheFooterFreeAndNumberEveryPage()
{
    TestEnv t;
    t.openNewDb();
    Listing r;
    r.band("Detail").height = 1000;
    r.dataSource.sql = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30)"
                       " SELECT 'E' AS Tipo, CASE WHEN i <= 20 THEN 'Luz' ELSE 'Gas' END AS Cuenta,"
                       " 'fila ' || i AS Nombre, i AS Importe FROM n";
    QVERIFY(r.run().ok());
    // Body: from 1134 + 500 of page header to 16838 - 1134 - 360 of page footer.
    const int bodyTop = 1634, bodyBottom = 15344;
    const QStringList furniture = {"lblTitulo", "lblPage", "txtPage", "lblOf", "txtPageCount"};
    QCOMPARE(r.pageCount(), 3);
    QStringList rows;
    for (int p = 0; p < 3; ++p) {
        const ReportPage &page = r.document().pages[size_t(p)];
        QCOMPARE(itemsOf(page, "lblTitulo").first()->rect.top(), 1134);
        QCOMPARE(itemsOf(page, "lblPage").first()->rect.top(), bodyBottom + 90);
        QCOMPARE(pageLines(r, p).last(), QString("Pag. %1   de 3").arg(p + 1));
        rows << pageLines(r, p).filter("fila");
        for (const ReportPrimitive &it : page.items)
            QVERIFY2(furniture.contains(it.control) || (it.rect.top() >= bodyTop && it.rect.bottom() < bodyBottom),
                     qPrintable(it.control));
    }
    QCOMPARE(QSet<QString>(rows.begin(), rows.end()).size(), 30); // every row exactly once
    QCOMPARE(rows.size(), 30);
    // 13 rows fit under the headers of the first page; the account sum spans the
    // page break and still counts every row of the account.
    QCOMPARE(pageLines(r, 0).filter("fila").size(), 13);
    QVERIFY(pageLines(r, 1).contains(col(2, "Luz") + col(35, "210")));
    QVERIFY(pageLines(r, 2).contains("Total" + col(5, "E") + col(29, "465")));
    QVERIFY(pageLines(r, 2).contains("Filas:" + col(14, "30")));
}

void tst_ReportEngine::labelsGrowOrEndCutWithAMark()
{
    TestEnv t;
    Report r("rptSuelto");
    r.addBand(BandKind::PageHeader, "PageHeader", 600).addLabel("lblCabecera", 0, 0, 5000, 400, "Cabecera", "Comic Sans MS", 14.25);
    ReportBand &detail = r.addBand(BandKind::Detail, "Detail", 1500);
    ReportControl &fixed = detail.addLabel("lblFijo", 0, 0, 9000, 500, QString(), "Arial", 8.25);
    ReportControl &body = detail.addLabel("lblCuerpo", 0, 600, 9000, 300, QString(), "Arial", 8.25);
    body.canGrow = true;
    detail.addLabel("lblFirma", 6000, 1200, 2000, 250, "Firma", "Arial", 8.25);
    ReportControl &line = detail.addLine("Linea", 6000, 1200, 8000, 1200);

    // CR LF, CR and LF each end a line; a fixed label keeps the lines its
    // height holds, the last one marked as cut.
    fixed.caption = "uno\r\ndos\rtres\ncuatro";
    body.caption = "Recibimos de Juan\r\n\r\n Agradecemos su colaboracion.";
    QVERIFY(r.run().ok());
    QCOMPARE(pageLines(r, 0), (QStringList{"Cabecera", "uno", "dos…", "Recibimos de Juan",
                                           " Agradecemos su colaboracion.", col(50, "Firma")}));
    const ReportPage &page = r.document().pages[0];
    const auto bodyLines = itemsOf(page, "lblCuerpo");
    QCOMPARE(bodyLines.size(), 2);
    const int L = bodyLines[0]->rect.height();
    QCOMPARE(bodyLines[1]->rect.top() - bodyLines[0]->rect.top(), 2 * L); // the empty line keeps its room
    QCOMPARE(bodyLines[0]->font.pixelSize(), 165);                         // 8.25 pt in twips
    // The grown label pushes what lies below it down by its growth.
    const int below = 1134 + 600 + 1200 + 3 * L - 300;
    QCOMPARE(itemsOf(page, "lblFirma").first()->rect.top(), below);
    QCOMPARE(itemsOf(page, "Linea").first()->line.y1(), below);

    // A label of one line shows its line breaks as blanks, and a text too
    // long for it as much as fits, ending in "…".
    fixed.height = 250;
    fixed.width = 2000;
    fixed.caption = "Gómez,\r\nAna\nMaría";
    QVERIFY(r.run().ok());
    QCOMPARE(pageLines(r, 0).at(1), QStringLiteral("Gómez, Ana María"));
    fixed.caption = QString(250, 'n');
    QVERIFY(r.run().ok());
    const auto cut = itemsOf(r.document().pages[0], "lblFijo");
    QCOMPARE(cut.size(), 1);
    QVERIFY(cut[0]->text.endsWith(QString("nnn…")));
    QVERIFY(QFontMetricsF(cut[0]->font).horizontalAdvance(cut[0]->text) <= 2000);
    QVERIFY(QFontMetricsF(cut[0]->font).horizontalAdvance(cut[0]->text + "n") >= 2000);

    // A long word breaks inside the width.
    body.caption = QString(60, 'x') + " fin";
    body.width = 1000;
    QVERIFY(r.run().ok());
    for (const ReportPrimitive *p : itemsOf(r.document().pages[0], "lblCuerpo"))
        QVERIFY(QFontMetricsF(p->font).horizontalAdvance(p->text) <= 1000);
    QVERIFY(r.text().contains("fin"));

    // A text longer than a page goes on over the next pages, inside the margins.
    QStringList many;
    for (int i = 1; i <= 120; ++i)
        many << QString("Cuota %1 - 1/5/2026 - 1500").arg(i);
    body.width = 9000;
    body.caption = many.join("\r\n");
    line.visible = false;
    QVERIFY(r.run().ok());
    QVERIFY(r.pageCount() >= 2);
    const QString text = r.text();
    QCOMPARE(text.count("Cuota "), 120);
    QCOMPARE(text.count("Cabecera"), r.pageCount());
    QVERIFY(text.indexOf("Firma") > text.indexOf("Cuota 120 "));
    for (const ReportPage &pg : r.document().pages)
        for (const ReportPrimitive &p : pg.items)
            QVERIFY(p.rect.bottom() <= 16838 - 1134);
}

void tst_ReportEngine::picturesMissingUnreadableOrPresent()
{
    TestEnv t;
    Report r("rptFoto");
    ReportBand &ph = r.addBand(BandKind::PageHeader, "PageHeader", 1080);
    ReportControl &pic = ph.addPicture("Image1", 7795, 0, 1134, 992);
    const QString path = t.path("logo.jpg");
    ph.onFormat = [&](ReportBand &) { pic.picture = LoadReportPicture(path, QSize(pic.width, pic.height)); };
    r.addBand(BandKind::Detail, "Detail", 300);

    QVERIFY(r.run().ok()); // missing file
    QVERIFY(itemsOf(r.document().pages[0], "Image1").isEmpty());
    t.writeIni("esto no es una imagen", "logo.jpg");
    QVERIFY(r.run().ok()); // unreadable file
    QVERIFY(itemsOf(r.document().pages[0], "Image1").isEmpty());

    QImage wide(400, 200, QImage::Format_RGB32);
    wide.fill(Qt::darkGreen);
    QVERIFY(wide.save(path, "JPG"));
    QVERIFY(r.run().ok());
    const auto items = itemsOf(r.document().pages[0], "Image1");
    QCOMPARE(items.size(), 1);
    // Kept in proportion inside its box, centred.
    QCOMPARE(items[0]->rect, QRect(1134 + 7795, 1134 + (992 - 567) / 2, 1134, 567));
    QVERIFY(items[0]->image.width() <= 1134 * 300 / 1440); // no finer than 300 dpi
}

void tst_ReportEngine::errorsComeBackAsValues()
{
    TestEnv t;
    t.openNewDb();
    Listing r;
    r.dataSource.sql = "SELECT Nada FROM Ninguna";
    ReportResult res = r.run();
    QVERIFY(res.failed());
    QVERIFY(res.error()->description().contains("Ninguna"));
    QVERIFY(!res.error()->dbErrors().isEmpty());
    QCOMPARE(r.pageCount(), 0);

    r.dataSource.sql = "SELECT 'E' AS Tipo, 'Luz' AS Cuenta, 1 AS Importe";
    res = r.run();
    QCOMPARE(errorNumber(res), qint64(ErrReportField));
    QVERIFY(res.error()->description().contains("\"Nombre\""));

    r.dataSource.connectionString = t.path("no-existe.db");
    QVERIFY(r.run().failed());
    QVERIFY(!QFile::exists(t.path("no-existe.db")));

    // A failing notification ends the run with its error.
    Report n("rptFalla");
    n.addBand(BandKind::Detail, "Detail", 300).onFormat = [](ReportBand &) {
        throw RuntimeError(13, "No coinciden los tipos");
    };
    QCOMPARE(errorNumber(n.run()), qint64(13));
}

void tst_ReportEngine::printsToPdfAndExportsText()
{
    TestEnv t;
    t.openNewDb();
    Listing r;
    r.documentTitle = "Tesorin - prueba";
    r.band("Detail").height = 12000; // one row a page
    r.dataSource.sql = "SELECT 'E' AS Tipo, 'Luz' AS Cuenta, 'ñandú' AS Nombre, 2 AS Importe"
                       " UNION ALL SELECT 'E', 'Luz', 'b', 2";

    t.prompts->expectPrinter(false); // cancelling the printer dialog prints nothing
    QVERIFY(PrintReport(r).wasCancelled());
    const QString pdf = t.path("listado.pdf");
    t.prompts->expectPrinter(true, [&](QPrinter &p) {
        QCOMPARE(p.docName(), QStringLiteral("Tesorin - prueba"));
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
    });
    QVERIFY(PrintReport(r).ok());
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.contains("/MediaBox [0 0 595.000000 842.000000]")); // A4 in points
    QCOMPARE(bytes.count("/Type /Page\n"), 2);

    const QString file = t.path("listado.txt");
    QVERIFY(r.exportText(file).ok());
    QFile txt(file);
    QVERIFY(txt.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(txt.readAll());
    QCOMPARE(text, r.text());
    QVERIFY(text.contains(col(4, "ñandú")));
    QCOMPARE(text.count("\n\f\n"), 1); // the page separator
    QCOMPARE(errorNumber(r.exportText(t.path("no/hay/carpeta.txt"))), qint64(ErrReportFile));
}

void tst_ReportEngine::previewNavigatesAndKeepsItsPages()
{
    TestEnv t;
    t.openNewDb();
    QPointer<ReportPreview> w;
    {
        Listing r;
        r.band("Detail").height = 12000; // one row a page
        r.dataSource.sql = "SELECT 'E' AS Tipo, 'Luz' AS Cuenta, 'a' AS Nombre, 1 AS Importe"
                           " UNION ALL SELECT 'E', 'Luz', 'b', 2 UNION ALL SELECT 'E', 'Luz', 'c', 3";
        ReportPreview *shown = nullptr;
        QVERIFY(ShowReport(r, PreviewMode::Modeless, nullptr, &shown).ok());
        w = shown;
    } // the preview keeps the pages after the report is gone
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Listado de prueba"));
    QCOMPARE(w->findChild<QLabel *>("lblPaginas")->text(), QStringLiteral("de 3"));
    w->findChild<QToolButton *>("cmdSiguiente")->click();
    QCOMPARE(w->currentPage(), 2);
    w->findChild<QToolButton *>("cmdUltima")->click();
    QCOMPARE(w->currentPage(), 3);
    QVERIFY(!w->findChild<QToolButton *>("cmdSiguiente")->isEnabled());

    w->close();
    QTRY_VERIFY(!w); // deleted on closing
}

QTEST_MAIN(tst_ReportEngine)
#include "tst_ReportEngine.moc"
