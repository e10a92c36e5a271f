// The report engine on 10,000 movements grouped on three levels (type, parent
// account, account) with sums in every group footer and "Pag. N de M" on every
// page: reading the rows, laying the pages out, writing them as plain text.
#include "BenchSupport.h"
#include "app/MainLocal.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "reports/Report.h"
#include "reports/ReportText.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kRows = 10000;
constexpr int kRepeats = 7;

class BenchReport : public Report
{
public:
    BenchReport() : Report(QStringLiteral("rptBench"))
    {
        const QString arial = QStringLiteral("Arial");
        ReportBand &ph = addBand(BandKind::PageHeader, QStringLiteral("PageHeader"), 1305);
        ph.addLabel(QStringLiteral("lblCooperadora"), 0, 0, 7796, 425, QStringLiteral("Cooperadora Escuela 12"),
                    QStringLiteral("Comic Sans MS"), 14.25);
        ph.addLabel(QStringLiteral("lblLibro"), 0, 645, 9240, 420, QStringLiteral("Balance periodo"),
                    QStringLiteral("Comic Sans MS"), 14.25);
        ReportGroup tipo = addGroup(QStringLiteral("grTipo"), QStringLiteral("Tipo"), 360, QStringLiteral("grTipoFT"), 375);
        tipo.header.addField(QStringLiteral("txtTipo"), 71, 71, 2835, 212, QStringLiteral("Tipo"), arial, 8);
        tipo.header.onFormat = [](ReportBand &b) {
            ReportControl &c = *b.find(QStringLiteral("txtTipo"));
            c.caption = c.value.toString() == QLatin1String("E") ? QStringLiteral("EGRESOS") : QStringLiteral("INGRESOS");
        };
        tipo.footer.addField(QStringLiteral("txtTipoFT"), 213, 71, 2834, 212, QStringLiteral("Tipo"), arial, 9.75);
        tipo.footer.addField(QStringLiteral("txtSumaTipo"), 7512, 71, 1346, 212, QStringLiteral("Importe"), arial, 9.75,
                             FieldSummary::Sum);
        tipo.footer.addLine(QStringLiteral("Line3"), 0, 71, 9000, 71);
        ReportGroup padre = addGroup(QStringLiteral("grPadre"), QStringLiteral("CuentaPadre"), 360, QStringLiteral("grPadreFT"), 360);
        padre.header.addField(QStringLiteral("txtPadre"), 425, 71, 4394, 212, QStringLiteral("CuentaPadre"), arial, 8);
        padre.footer.addField(QStringLiteral("txtPadreFT"), 567, 71, 4394, 212, QStringLiteral("CuentaPadre"), arial, 8);
        padre.footer.addField(QStringLiteral("txtSumaPadre"), 7441, 71, 1346, 212, QStringLiteral("Importe"), arial, 8,
                              FieldSummary::Sum);
        padre.footer.addLine(QStringLiteral("Line2"), 567, 0, 9000, 0);
        ReportGroup cuenta = addGroup(QStringLiteral("grCuenta"), QStringLiteral("Cuenta"), 360, QStringLiteral("grCuentaFT"), 315);
        cuenta.header.addField(QStringLiteral("txtCuenta"), 780, 71, 4039, 212, QStringLiteral("Cuenta"), arial, 8);
        cuenta.footer.addField(QStringLiteral("txtCuentaFT"), 850, 71, 4040, 212, QStringLiteral("Cuenta"), arial, 8);
        cuenta.footer.addField(QStringLiteral("txtSumaCuenta"), 7441, 71, 1346, 212, QStringLiteral("Importe"), arial, 8,
                               FieldSummary::Sum);
        cuenta.footer.addLine(QStringLiteral("Line1"), 850, 0, 9000, 0);
        ReportBand &detail = addBand(BandKind::Detail, QStringLiteral("Detail"), 210);
        detail.addField(QStringLiteral("lblFecha"), 1134, 0, 1205, 213, QStringLiteral("Fecha"), arial, 8);
        detail.addField(QStringLiteral("lblDetalle"), 2551, 0, 4252, 213, QStringLiteral("Descripcion"), arial, 8);
        detail.addField(QStringLiteral("lblImporte"), 7441, 0, 1346, 213, QStringLiteral("Importe"), arial, 8);
        ReportBand &pf = addBand(BandKind::PageFooter, QStringLiteral("PageFooter"), 360);
        pf.addLabel(QStringLiteral("lblPage"), 0, 90, 630, 270, QStringLiteral("Pag."), arial, 8.25);
        pf.addField(QStringLiteral("txtPage"), 630, 90, 540, 270, QString(), arial, 8.25, FieldSummary::PageNumber);
        pf.addLabel(QStringLiteral("lblOf"), 1170, 90, 270, 270, QStringLiteral("de"), arial, 8.25);
        pf.addField(QStringLiteral("txtPageCount"), 1440, 90, 450, 270, QString(), arial, 8.25, FieldSummary::PageCount);
        pf.addLabel(QStringLiteral("lblDate"), 5760, 90, 3510, 270, QStringLiteral("Impresa: domingo, 6 de diciembre de 2026"), arial, 8.25);
    }
};

// Type, parent account, account, date, description, amount; in report order.
ReportRows makeRows()
{
    ReportRows r;
    r.bound = true;
    r.fields = QStringList{QStringLiteral("Tipo"), QStringLiteral("CuentaPadre"), QStringLiteral("Cuenta"),
                           QStringLiteral("Fecha"), QStringLiteral("Descripcion"), QStringLiteral("Importe")};
    for (int i = 0; i < kRows; ++i) {
        const int tipo = i * 2 / kRows;
        const int padre = (i * 10 / kRows) % 5;
        const int cuenta = (i * 40 / kRows) % 4;
        r.rows.push_back(QVector<QVariant>{
            tipo == 0 ? QStringLiteral("E") : QStringLiteral("I"),
            QStringLiteral("Cuenta padre %1").arg(padre + 1),
            QStringLiteral("Cuenta %1.%2").arg(padre + 1).arg(cuenta + 1),
            QStringLiteral("%1/%2/2026").arg(i % 12 + 1).arg(i % 28 + 1),
            QStringLiteral("Movimiento numero %1 de la cuenta").arg(i + 1),
            double(100 + i % 900) + 0.5,
        });
    }
    return r;
}

double median(std::vector<double> v)
{
    return medianOf(std::move(v));
}

double timeMs(const std::function<void()> &f)
{
    return elapsedMs(f);
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication bench(argc, argv);
    env().locale = QLocale(QLocale::Spanish, QLocale::Argentina);

    const ReportRows rows = makeRows();
    BenchReport design;
    std::vector<double> layout, text, both;
    ReportDocument doc;
    QString out;
    for (int i = 0; i < kRepeats; ++i) {
        ReportDocument d;
        layout.push_back(timeMs([&] { LayoutReport(design, rows, design.pageSetup, &d); }));
        text.push_back(timeMs([&] { out = ReportDocumentText(d); }));
        both.push_back(layout.back() + text.back());
        doc = std::move(d);
    }
    size_t primitives = 0;
    for (const ReportPage &p : doc.pages)
        primitives += p.items.size();

    // The same through a database: the report reads its rows on its own connection.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    const QString err = CreateNewDatabase(path, [&](const QSqlDatabase &db) {
        Exec(db, QStringLiteral("CREATE TABLE Dato (Tipo TEXT, CuentaPadre TEXT, Cuenta TEXT, Fecha TEXT,"
                                " Descripcion TEXT, Importe REAL)"));
        for (const QVector<QVariant> &r : rows.rows)
            Exec(db, QStringLiteral("INSERT INTO Dato VALUES (?, ?, ?, ?, ?, ?)"), QVariantList(r.begin(), r.end()));
    });
    if (!err.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(err));
        return 1;
    }
    BenchReport bound;
    bound.dataSource.connectionString = path;
    bound.dataSource.sql = QStringLiteral("SELECT * FROM Dato ORDER BY Tipo, CuentaPadre, Cuenta, rowid");
    std::vector<double> run, exportMs;
    const QString file = dir.filePath(QStringLiteral("bench.txt"));
    for (int i = 0; i < kRepeats; ++i) {
        run.push_back(timeMs([&] { bound.run(); }));
        exportMs.push_back(timeMs([&] { bound.exportText(file); }));
    }

    std::printf("Report engine, %d detail rows, 3 group levels (median of %d runs)\n", kRows, kRepeats);
    std::printf("  pages %zu, primitives %zu, text %lld characters\n", doc.pages.size(), primitives,
                static_cast<long long>(out.size()));
    std::printf("  layout                          %8.1f ms\n", median(layout));
    std::printf("  plain text                      %8.1f ms\n", median(text));
    std::printf("  layout + plain text             %8.1f ms\n", median(both));
    std::printf("  run from SQLite (read + layout) %8.1f ms\n", median(run));
    std::printf("  export to text file             %8.1f ms\n", median(exportMs));
    return 0;
}
