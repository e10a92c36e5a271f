// Reading the text that spreadsheets and banks export.
#include "data/DelimitedText.h"
#include "data/Errors.h"

#include <QTemporaryDir>
#include <QTest>

class tst_DelimitedText : public QObject
{
    Q_OBJECT
private slots:
    void quotedFieldsKeepSeparatorsBreaksAndQuotes()
    {
        const QString text = QStringLiteral("a;\"b;c\";\"say \"\"hi\"\"\"\r\n\r\n"
                                            "\"two\nlines\";;x\n  \n"
                                            "last;row");
        const QList<QStringList> rows = SplitDelimited(text, QLatin1Char(';'));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], (QStringList{"a", "b;c", "say \"hi\""}));
        QCOMPARE(rows[1], (QStringList{"two\nlines", "", "x"}));
        QCOMPARE(rows[2], (QStringList{"last", "row"}));
    }

    void encodingsAreToldApart()
    {
        TextEncoding e;
        // "Débito ñ €" as Windows-1252, then as UTF-8 with a byte-order mark.
        QCOMPARE(DecodeSpreadsheetText(QByteArray("D\xE9" "bito \xF1 \x80"), &e), QStringLiteral("Débito ñ €"));
        QCOMPARE(e, TextEncoding::Windows1252);
        QCOMPARE(DecodeSpreadsheetText(QByteArray("\xEF\xBB\xBF") + QStringLiteral("Débito ñ €").toUtf8(), &e),
                 QStringLiteral("Débito ñ €"));
        QCOMPARE(e, TextEncoding::Utf8);
    }

    void theSeparatorIsTheOneMostLinesAgreeOn()
    {
        // A bank's heading lines, then a table whose amounts carry decimal commas.
        const QString bank = QStringLiteral("Cuenta 123-456/7, Caja de ahorro\nPeriodo: 1/3 al 31/3\n"
                                            "Fecha;Concepto;Débito;Crédito\n01/03/2026;Comisión, mant.;1500,00;\n"
                                            "02/03/2026;Transferencia;;25000,50\n");
        QCOMPARE(GuessSeparator(bank), QChar(QLatin1Char(';')));
        QCOMPARE(GuessSeparator(QStringLiteral("Nombre,Alumno\nAna,Luis\nEva,\"Paz, Sol\"\n")),
                 QChar(QLatin1Char(',')));
        QCOMPARE(GuessSeparator(QStringLiteral("a\tb\tc\n1\t2\t3\n")), QChar(QLatin1Char('\t')));
    }

    void aFileIsReadOrRefusedByName()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lista.csv"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Nombre;Curso\nJos\xE9 P\xE9rez;1\xBA A\n");
        f.close();
        const DelimitedText t = ReadDelimitedFile(path);
        QCOMPARE(t.encoding, TextEncoding::Windows1252);
        QCOMPARE(t.columns, 2);
        QCOMPARE(t.rows.value(1), (QStringList{QStringLiteral("José Pérez"), QStringLiteral("1º A")}));
        try {
            ReadDelimitedFile(dir.filePath(QStringLiteral("no-existe.csv")));
            QFAIL("a missing file was read");
        } catch (const RuntimeError &e) {
            QVERIFY2(e.description().startsWith(QStringLiteral("No se pudo leer el archivo \"")), qPrintable(e.description()));
        }
    }

    void titlesProposeColumns()
    {
        const QHash<QString, int> c = ColumnsFromTitles(
            {QStringLiteral("FECHA"), QStringLiteral("Descripción"), QStringLiteral("Débito"),
             QStringLiteral("Crédito"), QStringLiteral("Saldo")},
            {{QStringLiteral("fecha"), {QStringLiteral("fecha")}},
             {QStringLiteral("detalle"), {QStringLiteral("concepto"), QStringLiteral("descripcion")}},
             {QStringLiteral("debito"), {QStringLiteral("debito"), QStringLiteral("debe")}},
             {QStringLiteral("credito"), {QStringLiteral("credito"), QStringLiteral("haber")}},
             {QStringLiteral("importe"), {QStringLiteral("importe"), QStringLiteral("monto")}}});
        QCOMPARE(c.value(QStringLiteral("fecha"), -1), 0);
        QCOMPARE(c.value(QStringLiteral("detalle"), -1), 1);
        QCOMPARE(c.value(QStringLiteral("debito"), -1), 2);
        QCOMPARE(c.value(QStringLiteral("credito"), -1), 3);
        QVERIFY(!c.contains(QStringLiteral("importe")));
        QCOMPARE(FoldedWords(QStringLiteral("  José   PÉREZ ")), QStringLiteral("jose perez"));
    }
};

QTEST_GUILESS_MAIN(tst_DelimitedText)
#include "tst_DelimitedText.moc"
