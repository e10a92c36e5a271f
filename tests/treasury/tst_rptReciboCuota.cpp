// The receipt and payment-order document: its design, the texts callers leave
// alone, the second signature, the logo, and every use starting from the design.
#include "app/MDIForm1.h"
#include "reports/ReportPreview.h"
#include "treasury/rptReciboCuota.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QPrinter>
#include <QTimer>
#include <QtTest>

namespace {

QStringList controlsOn(const ReportPage &page)
{
    QStringList names;
    for (const ReportPrimitive &p : page.items)
        if (!names.contains(p.control))
            names << p.control;
    return names;
}

QStringList textLines(const Report &r)
{
    QStringList lines = r.text().split(QLatin1Char('\n'));
    lines.removeLast();
    for (QString &l : lines)
        l = l.trimmed();
    return lines;
}

void writeLogo(const QString &path)
{
    QImage logo(120, 120, QImage::Format_RGB32);
    logo.fill(QColor(46, 125, 50));
    QVERIFY(logo.save(path, "JPG"));
}

} // namespace

class tst_rptReciboCuota : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { rptReciboCuota::discard(); }
    void designState();
    void callerTextsAndDesignDefaults();
    void paymentOrderShowsBothSignatures();
    void twoInARowEachStartFromTheDesign();
    void logoReadEachTimeThePageHeaderIsLaidOut();
    void longHistoryIsPrintedWholeAboveTheSignature();
    void statementPreviewIsModalAndOwnedByTheMainWindow();
};

void tst_rptReciboCuota::designState()
{
    TestEnv t;
    rptReciboCuota &r = rptReciboCuota::instance();
    QCOMPARE(r.caption, QStringLiteral("Recibo pago cuota"));
    QCOMPARE(r.documentTitle, QStringLiteral("Tesorin - cuota"));
    QVERIFY(r.dataSource.sql.isEmpty());
    QStringList bands;
    for (ReportBand *b : r.bands())
        bands << QStringLiteral("%1 %2").arg(b->name()).arg(b->height);
    QCOMPARE(bands, (QStringList{"ReportHeader 0", "PageHeader 1080", "Detail 3405", "PageFooter 15", "ReportFooter 0"}));

    struct Expected
    {
        const char *name;
        int left, top, width, height;
        double size;
        const char *caption;
        bool visible;
    };
    const Expected labels[] = {
        {"lblCooperadora", 283, 0, 7796, 425, 14.25, "Cooperadora", true},
        {"lblRecibimos", 0, 0, 9071, 1134, 9.75, "Cooperadora", true},
        {"lblHistorialPagos", 0, 1276, 9071, 1133, 9.75, "Cooperadora", true},
        {"lblTesorero", 6520, 2976, 2409, 426, 8.25, "Tesorero", true},
        {"lblPresidente", 1417, 2976, 2410, 426, 8.25, "Presidente o Secretario", false},
    };
    for (const Expected &e : labels) {
        const ReportControl &c = r.control(QString::fromLatin1(e.name));
        QCOMPARE(c.kind, ControlKind::Label);
        QCOMPARE(QList<int>({c.left, c.top, c.width, c.height}), QList<int>({e.left, e.top, e.width, e.height}));
        QCOMPARE(c.fontName, QStringLiteral("Comic Sans MS"));
        QCOMPARE(c.fontSize, e.size);
        QCOMPARE(c.caption, QString::fromLatin1(e.caption));
        QCOMPARE(c.visible, e.visible);
    }
    QCOMPARE(QList<int>({r.Image1.left, r.Image1.top, r.Image1.width, r.Image1.height}), QList<int>({7795, 0, 1134, 992}));
    QCOMPARE(QList<int>({r.Line1.x1, r.Line1.y1, r.Line1.x2, r.Line1.y2}), QList<int>({6520, 2976, 8929, 2976}));
    QCOMPARE(QList<int>({r.lnPresidente.x1, r.lnPresidente.y1, r.lnPresidente.x2, r.lnPresidente.y2}),
             QList<int>({1417, 2976, 3827, 2976}));
    QVERIFY(r.Line1.visible);
    QVERIFY(!r.lnPresidente.visible);
    QCOMPARE(&r.lblCooperadora, r.PageHeader.find(QStringLiteral("lblCooperadora")));
    QCOMPARE(&r.lblRecibimos, r.Detail.find(QStringLiteral("lblRecibimos")));
    QVERIFY(r.PageFooter.controls().empty());
}

void tst_rptReciboCuota::callerTextsAndDesignDefaults()
{
    TestEnv t;
    rptReciboCuota &r = rptReciboCuota::instance();
    r.lblCooperadora.caption = QStringLiteral("Cooperadora Escuela 12");
    r.lblRecibimos.caption = QStringLiteral("Recibimos de Ana Diaz la suma de $ 1500, en concepto de pago de Cuota 2026")
                             + QStringLiteral("\r\n\r\n Agradecemos su colaboracion.");
    QVERIFY(r.run().ok());
    QCOMPARE(r.pageCount(), 1);
    // The history label nobody wrote prints its design text; the body's CR LF pairs give separate lines.
    QCOMPARE(textLines(r), (QStringList{
                               QStringLiteral("Cooperadora Escuela 12"),
                               QStringLiteral("Recibimos de Ana Diaz la suma de $ 1500, en concepto de pago de Cuota 2026"),
                               QStringLiteral("Agradecemos su colaboracion."),
                               QStringLiteral("Cooperadora"),
                               QStringLiteral("Tesorero"),
                           }));
    const QStringList on = controlsOn(r.document().pages[0]);
    QVERIFY(on.contains(QStringLiteral("Line1")));
    QVERIFY(!on.contains(QStringLiteral("lblPresidente")));
    QVERIFY(!on.contains(QStringLiteral("lnPresidente")));

    // Other income writes an empty history: nothing is printed there.
    r.lblHistorialPagos.caption = QString();
    QVERIFY(r.run().ok());
    QVERIFY(!controlsOn(r.document().pages[0]).contains(QStringLiteral("lblHistorialPagos")));
}

void tst_rptReciboCuota::paymentOrderShowsBothSignatures()
{
    TestEnv t;
    rptReciboCuota &r = rptReciboCuota::instance();
    r.lblPresidente.visible = true;
    r.lnPresidente.visible = true;
    QVERIFY(r.run().ok());
    const int signature = 1134 + 1080 + 2976; // margin, page header, place in the detail
    QList<QLine> lines;
    for (const ReportPrimitive &p : r.document().pages[0].items)
        if (p.kind == PrimitiveKind::Line)
            lines << p.line;
    QCOMPARE(lines, (QList<QLine>{QLine(1134 + 6520, signature, 1134 + 8929, signature),
                                  QLine(1134 + 1417, signature, 1134 + 3827, signature)}));
    QCOMPARE(textLines(r).last().simplified(), QStringLiteral("Presidente o Secretario Tesorero"));
}

void tst_rptReciboCuota::twoInARowEachStartFromTheDesign()
{
    TestEnv t;
    const QString pdf = t.path(QStringLiteral("recibo.pdf"));
    {
        rptReciboCuota &r = rptReciboCuota::instance();
        r.lblCooperadora.caption = QStringLiteral("Cooperadora Escuela 12");
        r.lblRecibimos.caption = QStringLiteral("Ordeno pagar a X");
        r.lblHistorialPagos.caption = QStringLiteral("Historial de pagos: \r\n");
        r.lblHistorialPagos.fontSize = 12;
        r.lblPresidente.visible = true;
        r.lnPresidente.visible = true;
        t.prompts->expectPrinter(true, [&](QPrinter &p) {
            QCOMPARE(p.docName(), QStringLiteral("Tesorin - cuota"));
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(pdf);
        });
        QVERIFY(r.print().ok());
        rptReciboCuota::discard();
    }
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.read(5) == "%PDF-");

    rptReciboCuota &second = rptReciboCuota::instance();
    QCOMPARE(second.lblCooperadora.caption, QStringLiteral("Cooperadora"));
    QCOMPARE(second.lblRecibimos.caption, QStringLiteral("Cooperadora"));
    QCOMPARE(second.lblHistorialPagos.caption, QStringLiteral("Cooperadora"));
    QCOMPARE(second.lblHistorialPagos.fontSize, 9.75);
    QVERIFY(!second.lblPresidente.visible);
    QVERIFY(!second.lnPresidente.visible);
    second.lblRecibimos.caption = QStringLiteral("Recibimos de Y");
    t.prompts->expectPrinter(false);
    QVERIFY(second.print().wasCancelled());
    QCOMPARE(textLines(second), (QStringList{QStringLiteral("Cooperadora"), QStringLiteral("Recibimos de Y"),
                                             QStringLiteral("Cooperadora"), QStringLiteral("Tesorero")}));
}

void tst_rptReciboCuota::logoReadEachTimeThePageHeaderIsLaidOut()
{
    TestEnv t;
    rptReciboCuota &r = rptReciboCuota::instance();
    auto pictures = [&] {
        QList<QRect> out;
        for (const ReportPrimitive &p : r.document().pages[0].items)
            if (p.kind == PrimitiveKind::Picture)
                out << p.rect;
        return out;
    };
    QVERIFY(r.run().ok()); // no logo beside the executable: printed without it
    QVERIFY(pictures().isEmpty());

    writeLogo(t.path(QStringLiteral("logo.jpg")));
    QVERIFY(r.run().ok()); // the same instance reads the file it finds now
    QCOMPARE(pictures(), QList<QRect>{QRect(1134 + 7795 + (1134 - 992) / 2, 1134, 992, 992)});

    QFile bad(t.path(QStringLiteral("logo.jpg")));
    QVERIFY(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
    bad.write("\xff\xd8 roto");
    bad.close();
    QVERIFY(r.run().ok());
    QVERIFY(pictures().isEmpty());
}

void tst_rptReciboCuota::longHistoryIsPrintedWholeAboveTheSignature()
{
    TestEnv t;
    rptReciboCuota &r = rptReciboCuota::instance();
    QString history = QStringLiteral("Historial de pagos: \r\n");
    for (int i = 1; i <= 70; ++i)
        history += QStringLiteral("Cuota mes %1 - 1/5/2026 10:00:00 - 1500\r\n").arg(i);
    r.lblHistorialPagos.caption = history;
    r.lblHistorialPagos.fontSize = 12;
    QVERIFY(r.run().ok());
    QVERIFY(r.pageCount() >= 2);
    const QStringList lines = textLines(r);
    for (int i = 1; i <= 70; ++i)
        QVERIFY2(lines.contains(QStringLiteral("Cuota mes %1 - 1/5/2026 10:00:00 - 1500").arg(i)), qPrintable(QString::number(i)));
    QCOMPARE(lines.count(QStringLiteral("Cooperadora")), r.pageCount() + 1); // the header of each page, and the body
    QCOMPARE(lines.last(), QStringLiteral("Tesorero"));
}

void tst_rptReciboCuota::statementPreviewIsModalAndOwnedByTheMainWindow()
{
    TestEnv t;
    MDIForm1 *main = MDIForm1::instance();
    rptReciboCuota &r = rptReciboCuota::instance();
    r.lblRecibimos.caption = QString();
    r.lblHistorialPagos.fontSize = 12;
    r.lblHistorialPagos.caption = QStringLiteral("Historial de pagos: \r\n");
    QWidget *owner = nullptr;
    QString title;
    int pages = -1;
    QTimer::singleShot(0, [&] {
        auto *w = qobject_cast<ReportPreview *>(QApplication::activeModalWidget());
        if (!w)
            return;
        owner = w->parentWidget();
        title = w->windowTitle();
        pages = w->pageCount();
        w->close();
    });
    QVERIFY(r.show(PreviewMode::Modal).ok());
    QCOMPARE(owner, static_cast<QWidget *>(main));
    QCOMPARE(title, QStringLiteral("Recibo pago cuota"));
    QCOMPARE(pages, 1);
    const QStringList lines = textLines(r);
    QVERIFY(lines.contains(QStringLiteral("Historial de pagos:")));
    for (const ReportPrimitive &p : r.document().pages[0].items)
        if (p.control == QLatin1String("lblHistorialPagos"))
            QCOMPARE(p.font.pixelSize(), 240); // 12 pt
}

QTEST_MAIN(tst_rptReciboCuota)
#include "tst_rptReciboCuota.moc"
