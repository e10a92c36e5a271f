// The receipt and payment-order document: the texts callers leave alone, the
// second signature, the logo, and a long history over several pages.
#include "app/MDIForm1.h"
#include "reports/ReportOutput.h"
#include "reports/ReportPreview.h"
#include "reports/rptReciboCuota.h"
#include "support/TestEnv.h"

#include <QFileInfo>
#include <QPrinter>
#include <QTimer>
#include <QtTest>

namespace {

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
    void callerTextsDesignDefaultsAndLogo();
    void paymentOrderPrintsBothSignatures();
    void feeReceiptTextsInBothSeparators();
    void statementPreviewIsModalOwnedByTheMainWindowAndHoldsALongHistory();
};

void tst_rptReciboCuota::callerTextsDesignDefaultsAndLogo()
{
    TestEnv t;
    rptReciboCuota r;
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

void tst_rptReciboCuota::paymentOrderPrintsBothSignatures()
{
    TestEnv t;
    const QString pdf = t.path("recibo.pdf");
    rptReciboCuota r;
    r.lblRecibimos.caption = "Ordeno pagar a X";
    r.lblHistorialPagos.fontSize = 12;
    r.lblPresidente.visible = true;
    r.lnPresidente.visible = true;
    t.prompts->expectPrinter(true, [&](QPrinter &p) {
        QCOMPARE(p.docName(), QStringLiteral("Tesorin - cuota"));
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
    });
    QVERIFY(PrintReport(r).ok());
    const int signature = 1134 + 1080 + 2976; // margin, page header, place in the detail
    QList<QLine> lines;
    for (const ReportPrimitive &p : r.document().pages[0].items)
        if (p.kind == PrimitiveKind::Line)
            lines << p.line;
    QCOMPARE(lines, (QList<QLine>{QLine(1134 + 6520, signature, 1134 + 8929, signature),
                                  QLine(1134 + 1417, signature, 1134 + 3827, signature)}));
    QCOMPARE(textLines(r).last().simplified(), QStringLiteral("Presidente o Secretario Tesorero"));
    QVERIFY(QFileInfo(pdf).size() > 0);

    // A receipt declined at the printer dialog prints nothing, and a new
    // document has one signature only.
    rptReciboCuota second;
    second.lblRecibimos.caption = "Recibimos de Y";
    t.prompts->expectPrinter(false);
    QVERIFY(PrintReport(second).wasCancelled());
    QCOMPARE(textLines(second), (QStringList{"Cooperadora", "Recibimos de Y", "Cooperadora", "Tesorero"}));
}

void tst_rptReciboCuota::feeReceiptTextsInBothSeparators()
{
    QCOMPARE(FeeReceiptBody("Gómez, Raúl", "350.5", "Bono"),
             QStringLiteral("Recibimos de Gómez, Raúl la suma de $ 350.5, en concepto de pago de Bono"
                            "\r\n\r\n Agradecemos su colaboracion."));
    const QList<PaymentLine> lines{{"Cuota anual 2025", QDateTime(QDate(2025, 4, 2), QTime(0, 0)), 1200.25},
                                   {"Bono", QDateTime(QDate(2026, 12, 6), QTime(10, 0)), 350.5}};
    QCOMPARE(PaymentHistoryText(lines, QLocale(QLocale::Spanish, QLocale::Argentina)),
             QStringLiteral("Historial de pagos: \r\n"
                            "Cuota anual 2025 - 2/4/2025 - 1200,25\r\n"
                            "Bono - 6/12/2026 10:00:00 - 350,5\r\n"));
    QCOMPARE(PaymentHistoryText(lines, QLocale(QLocale::English, QLocale::UnitedStates)),
             QStringLiteral("Historial de pagos: \r\n"
                            "Cuota anual 2025 - 4/2/2025 - 1200.25\r\n"
                            "Bono - 12/6/2026 10:00:00 - 350.5\r\n"));
}

void tst_rptReciboCuota::statementPreviewIsModalOwnedByTheMainWindowAndHoldsALongHistory()
{
    TestEnv t;
    MDIForm1 *main = MDIForm1::instance();
    rptReciboCuota r;
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
    QVERIFY(ShowReport(r, PreviewMode::Modal, main).ok());
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
