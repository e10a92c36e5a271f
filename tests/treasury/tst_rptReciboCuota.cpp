// The receipt and payment-order document: its design, the texts callers leave
// alone, the second signature, the logo, and every use starting from the design.
#include "app/MDIForm1.h"
#include "reports/ReportPreview.h"
#include "treasury/rptReciboCuota.h"
#include "support/TestEnv.h"

#include <QFileInfo>
#include <QPrinter>
#include <QTimer>
#include <QtTest>

namespace {

// Each band with its height and each control with its band, box (or end
// points), font, caption and "hidden" when it is, sorted.
QStringList designOf(const Report &r)
{
    QStringList out;
    for (ReportBand *b : r.bands()) {
        out << QString("%1 %2").arg(b->name()).arg(b->height);
        for (const auto &c : b->controls()) {
            const bool line = c->kind == ControlKind::Line;
            QString s = QString("%1 %2 %3 %4 %5 %6").arg(b->name(), c->name).arg(line ? c->x1 : c->left)
                            .arg(line ? c->y1 : c->top).arg(line ? c->x2 : c->width).arg(line ? c->y2 : c->height);
            if (c->kind == ControlKind::Label)
                s += QString(" %1 %2 %3").arg(c->fontName).arg(c->fontSize).arg(c->caption);
            out << (c->visible ? s : s + " hidden");
        }
    }
    out.sort();
    return out;
}

QStringList textLines(const Report &r)
{
    QStringList lines = r.text().split('\n', Qt::SkipEmptyParts);
    for (QString &l : lines)
        l = l.trimmed();
    return lines;
}

QList<QRect> picturesOn(const ReportPage &page)
{
    QList<QRect> out;
    for (const ReportPrimitive &p : page.items)
        if (p.kind == PrimitiveKind::Picture)
            out << p.rect;
    return out;
}

} // namespace

class tst_rptReciboCuota : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { rptReciboCuota::discard(); }
    void designState();
    void callerTextsDesignDefaultsAndLogo();
    void twoInARowEachStartFromTheDesign();
    void statementPreviewIsModalOwnedByTheMainWindowAndHoldsALongHistory();
};

void tst_rptReciboCuota::designState()
{
    TestEnv t;
    rptReciboCuota &r = rptReciboCuota::instance();
    QCOMPARE(r.caption, QStringLiteral("Recibo pago cuota"));
    QCOMPARE(r.documentTitle, QStringLiteral("Tesorin - cuota"));
    QVERIFY(r.dataSource.sql.isEmpty());
    QCOMPARE(designOf(r), (QStringList{
                              "Detail 3405",
                              "Detail Line1 6520 2976 8929 2976",
                              "Detail lblHistorialPagos 0 1276 9071 1133 Comic Sans MS 9.75 Cooperadora",
                              "Detail lblPresidente 1417 2976 2410 426 Comic Sans MS 8.25 Presidente o Secretario hidden",
                              "Detail lblRecibimos 0 0 9071 1134 Comic Sans MS 9.75 Cooperadora",
                              "Detail lblTesorero 6520 2976 2409 426 Comic Sans MS 8.25 Tesorero",
                              "Detail lnPresidente 1417 2976 3827 2976 hidden",
                              "PageFooter 15",
                              "PageHeader 1080",
                              "PageHeader Image1 7795 0 1134 992",
                              "PageHeader lblCooperadora 283 0 7796 425 Comic Sans MS 14.25 Cooperadora",
                              "ReportFooter 0",
                              "ReportHeader 0",
                          }));
}

void tst_rptReciboCuota::callerTextsDesignDefaultsAndLogo()
{
    TestEnv t;
    rptReciboCuota &r = rptReciboCuota::instance();
    r.lblCooperadora.caption = "Cooperadora Escuela 12";
    r.lblRecibimos.caption = "Recibimos de Ana Diaz la suma de $ 1500, en concepto de pago de Cuota 2026"
                             "\r\n\r\n Agradecemos su colaboracion.";
    QVERIFY(r.run().ok());
    // The history label nobody wrote prints its design text; the second signature stays hidden.
    QCOMPARE(textLines(r), (QStringList{"Cooperadora Escuela 12",
                                        "Recibimos de Ana Diaz la suma de $ 1500, en concepto de pago de Cuota 2026",
                                        "Agradecemos su colaboracion.", "Cooperadora", "Tesorero"}));
    QVERIFY(picturesOn(r.document().pages[0]).isEmpty()); // no logo beside the executable

    // Other income writes an empty history: nothing is printed there. The same
    // instance reads the logo it finds now.
    r.lblHistorialPagos.caption = QString();
    QImage logo(120, 120, QImage::Format_RGB32);
    logo.fill(QColor(46, 125, 50));
    QVERIFY(logo.save(t.path("logo.jpg"), "JPG"));
    QVERIFY(r.run().ok());
    QVERIFY(!textLines(r).contains("Cooperadora"));
    QCOMPARE(picturesOn(r.document().pages[0]), QList<QRect>{QRect(1134 + 7795 + (1134 - 992) / 2, 1134, 992, 992)});
}

void tst_rptReciboCuota::twoInARowEachStartFromTheDesign()
{
    TestEnv t;
    const QString pdf = t.path("recibo.pdf");
    const QStringList design = designOf(rptReciboCuota::instance());
    {
        // A payment order: both signatures.
        rptReciboCuota &r = rptReciboCuota::instance();
        r.lblRecibimos.caption = "Ordeno pagar a X";
        r.lblHistorialPagos.fontSize = 12;
        r.lblPresidente.visible = true;
        r.lnPresidente.visible = true;
        t.prompts->expectPrinter(true, [&](QPrinter &p) {
            QCOMPARE(p.docName(), QStringLiteral("Tesorin - cuota"));
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(pdf);
        });
        QVERIFY(r.print().ok());
        const int signature = 1134 + 1080 + 2976; // margin, page header, place in the detail
        QList<QLine> lines;
        for (const ReportPrimitive &p : r.document().pages[0].items)
            if (p.kind == PrimitiveKind::Line)
                lines << p.line;
        QCOMPARE(lines, (QList<QLine>{QLine(1134 + 6520, signature, 1134 + 8929, signature),
                                      QLine(1134 + 1417, signature, 1134 + 3827, signature)}));
        QCOMPARE(textLines(r).last().simplified(), QStringLiteral("Presidente o Secretario Tesorero"));
        rptReciboCuota::discard();
    }
    QVERIFY(QFileInfo(pdf).size() > 0);

    rptReciboCuota &second = rptReciboCuota::instance();
    QCOMPARE(designOf(second), design);
    second.lblRecibimos.caption = "Recibimos de Y";
    t.prompts->expectPrinter(false);
    QVERIFY(second.print().wasCancelled());
    QCOMPARE(textLines(second), (QStringList{"Cooperadora", "Recibimos de Y", "Cooperadora", "Tesorero"}));
}

void tst_rptReciboCuota::statementPreviewIsModalOwnedByTheMainWindowAndHoldsALongHistory()
{
    TestEnv t;
    MDIForm1 *main = MDIForm1::instance();
    rptReciboCuota &r = rptReciboCuota::instance();
    QString history = "Historial de pagos: \r\n";
    for (int i = 1; i <= 70; ++i)
        history += QString("Cuota mes %1 - 1/5/2026 10:00:00 - 1500\r\n").arg(i);
    r.lblRecibimos.caption = QString();
    r.lblHistorialPagos.caption = history;
    r.lblHistorialPagos.fontSize = 12;
    QWidget *owner = nullptr;
    QString title;
    QTimer::singleShot(0, [&] {
        if (auto *w = qobject_cast<ReportPreview *>(QApplication::activeModalWidget())) {
            owner = w->parentWidget();
            title = w->windowTitle();
            w->close();
        }
    });
    QVERIFY(r.show(PreviewMode::Modal).ok());
    QCOMPARE(owner, static_cast<QWidget *>(main));
    QCOMPARE(title, QStringLiteral("Recibo pago cuota"));
    // The whole history, over as many pages as it needs, then the signature.
    QVERIFY(r.pageCount() >= 2);
    const QStringList lines = textLines(r);
    QCOMPARE(lines.filter(QRegularExpression("^Cuota mes \\d+ - 1/5/2026 10:00:00 - 1500$")).size(), 70);
    QCOMPARE(lines.count("Cooperadora"), r.pageCount()); // the header of each page
    QCOMPARE(lines.last(), QStringLiteral("Tesorero"));
}

QTEST_MAIN(tst_rptReciboCuota)
#include "tst_rptReciboCuota.moc"
