// Builds the user manual: the Markdown text of docs/manual.md, with pictures
// of the real windows taken here on a demo database, written as a PDF. The
// build runs it without a screen (QT_QPA_PLATFORM=offscreen), so the pictures
// always show the windows as they are in this version.
//
//   make_manual manual.md "manual de usuario.pdf"
#include "app/MDIForm1.h"
#include "app/MainLocal.h"
#include "data/ChangeRecord.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Environment.h"
#include "data/Prompts.h"
#include "masterdata/frmCierreEjercicio.h"
#include "members/frmImportarSocios.h"
#include "members/frmSocio.h"
#include "reports/ReportOutput.h"
#include "reports/ReportPreview.h"
#include "reports/rptBalance.h"
#include "reports/rptCambios.h"
#include "reports/rptCuotaImpaga.h"
#include "treasury/frmCobroCuota.h"
#include "treasury/frmExtracto.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <cstdio>
#include <deque>

namespace {

// The day the pictures are taken on, so that they do not change from one
// build to the next.
class FixedClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 11, 16), QTime(10, 30)); }
    void idle() override {}
};

// The questions the windows ask while the pictures are taken, answered from a
// list; anything else is reported and declined.
class ManualPrompts : public Prompts
{
public:
    std::deque<QString> answers;
    MsgResult message(const QString &text, MsgIcon, MsgButtons, int, const QString &) override
    {
        std::fprintf(stderr, "make_manual: mensaje inesperado: %s\n", qPrintable(text));
        return MsgResult::Cancel;
    }
    std::optional<QString> input(const QString &prompt, const QString &, const QString &defaultText, bool) override
    {
        if (answers.empty()) {
            std::fprintf(stderr, "make_manual: pregunta inesperada: %s\n", qPrintable(prompt));
            return defaultText;
        }
        QString a = answers.front();
        answers.pop_front();
        return a;
    }
    QString saveFileName(const QString &, const QString &, const QString &) override { return QString(); }
    QString openFile; // the file the open dialog gives once
    QString openFileName(const QString &, const QString &) override { return std::exchange(openFile, QString()); }
    bool choosePrinter(QPrinter &) override { return false; }
    std::deque<int> choices;
    std::optional<int> choose(const QString &prompt, const QString &, const QStringList &, int current) override
    {
        if (choices.empty()) {
            std::fprintf(stderr, "make_manual: lista inesperada: %s\n", qPrintable(prompt));
            return current;
        }
        const int c = choices.front();
        choices.pop_front();
        return c;
    }
};

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

QImage picture(QWidget *w)
{
    settle();
    return w->grab().toImage();
}

bool fail(const QString &why)
{
    std::fprintf(stderr, "make_manual: %s\n", qPrintable(why));
    return false;
}

// The pictures named in the text ("captura:NAME"), taken from the windows.
bool takePictures(QMap<QString, QImage> &out, ManualPrompts &prompts)
{
    MDIForm1 *main = MDIForm1::instance();
    main->resize(1000, 640);
    main->show();
    RefreshSaldos();
    main->menuItem(QStringLiteral("mnuSocio"))->trigger();
    settle();
    QMdiSubWindow *sub = main->mdiArea()->activeSubWindow();
    if (!sub)
        return fail(QStringLiteral("no se abrió la lista de socios"));
    sub->setGeometry(10, 10, 900, 500);
    out[QStringLiteral("principal")] = picture(main);
    out[QStringLiteral("socios")] = picture(sub);

    auto *list = qobject_cast<frmSocio *>(sub->widget());
    if (!list)
        return fail(QStringLiteral("no se abrió la lista de socios"));
    frmCobroCuota *fee = frmCobroCuota::openFromList(*list, 3);
    out[QStringLiteral("cuota")] = picture(fee);
    fee->close();

    // The class list the tests import.
    prompts.openFile = QStringLiteral(TESORIN_SOURCE_DIR "/tests/samples/lista-curso.csv");
    QTimer::singleShot(0, [&out] {
        if (frmImportarSocios *w = frmImportarSocios::current()) {
            w->resize(900, 640);
            out[QStringLiteral("importar-socios")] = picture(w);
            w->close();
        }
    });
    frmImportarSocios::Import(main);
    if (!out.contains(QStringLiteral("importar-socios")))
        return fail(QStringLiteral("no se abrió la importación de socios"));

    // The bank statement the tests import, against the demo's bank movements.
    prompts.openFile = QStringLiteral(TESORIN_SOURCE_DIR "/tests/samples/extracto-banco.csv");
    frmExtracto *statement = frmExtracto::openChosenFile();
    if (!statement)
        return fail(QStringLiteral("no se abrió el extracto bancario"));
    statement->resize(900, 700);
    settle();
    out[QStringLiteral("extracto")] = picture(statement);
    statement->close();

    prompts.answers = {QStringLiteral("01/03/2026"), QStringLiteral("31/10/2026"), QStringLiteral("SI")};
    rptBalance balance;
    ReportPreview *preview = nullptr;
    const ReportResult shown = ShowReport(balance, PreviewMode::Modeless, main, &preview);
    if (!shown.ok() || !preview)
        return fail(QStringLiteral("no se pudo mostrar el balance"));
    preview->showNormal();
    preview->resize(900, 640);
    preview->setFit(ReportPreview::Fit::Width);
    out[QStringLiteral("balance")] = picture(preview);
    preview->close();

    prompts.choices = {1}; // this year's fee, after the newer contribution
    rptCuotaImpaga unpaid;
    preview = nullptr;
    if (!ShowReport(unpaid, PreviewMode::Modeless, main, &preview).ok() || !preview)
        return fail(QStringLiteral("no se pudo mostrar la cuota impaga"));
    preview->resize(900, 640);
    preview->setFit(ReportPreview::Fit::Width);
    out[QStringLiteral("impagos")] = picture(preview);
    preview->close();

    // A payment corrected by hand in the movements' editor, and what the
    // record of changes then says of it.
    env().userName = QStringLiteral("tesorera");
    env().machineName = QStringLiteral("PC-TESORERIA");
    {
        QSqlQuery q = Exec(QStringLiteral("SELECT IDMovimiento FROM Movimiento WHERE Descripcion = ?"),
                           {QStringLiteral("Resmas y tóner")});
        if (!q.next())
            return fail(QStringLiteral("no está el pago de resmas de la demostración"));
        const qint64 id = q.value(0).toLongLong();
        const QStringList columns{QStringLiteral("Importe"), QStringLiteral("Descripcion")};
        const QVector<QVariant> before{2340.0, QStringLiteral("Resmas y tóner")};
        const QVector<QVariant> after{2430.0, QStringLiteral("Resmas, tóner y carpetas")};
        Transaction t(Conexion(), Transaction::Mode::Immediate);
        Exec(QStringLiteral("UPDATE Movimiento SET Importe = ?, Descripcion = ? WHERE IDMovimiento = ?"),
             {after[0], after[1], id});
        RecordChanges(Conexion(), RowChanges(QStringLiteral("Movimiento"), id, columns, before, after));
        t.commit();
    }
    prompts.answers = {QStringLiteral("16/11/2025"), QStringLiteral("16/11/2026")};
    rptCambios changes;
    preview = nullptr;
    if (!ShowReport(changes, PreviewMode::Modeless, main, &preview).ok() || !preview)
        return fail(QStringLiteral("no se pudo mostrar el registro de cambios"));
    preview->resize(900, 640);
    preview->setFit(ReportPreview::Fit::Width);
    out[QStringLiteral("cambios")] = picture(preview);
    preview->close();

    frmCierreEjercicio *closing = frmCierreEjercicio::open();
    out[QStringLiteral("cierre")] = picture(closing);
    closing->close();
    main->close();
    return true;
}

// Pictures are set 15 cm wide at most, keeping their proportions.
void placePictures(QTextDocument &doc, const QMap<QString, QImage> &pictures)
{
    for (auto it = pictures.cbegin(); it != pictures.cend(); ++it)
        doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("captura:") + it.key()), *it);
    const double widest = doc.pageSize().width() * 0.9;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto f = b.begin(); !f.atEnd(); ++f) {
            const QTextFragment frag = f.fragment();
            QTextImageFormat image = frag.charFormat().toImageFormat();
            if (!image.isValid())
                continue;
            const QImage img = pictures.value(image.name().mid(int(qstrlen("captura:"))));
            if (img.isNull())
                continue;
            const double w = qMin(widest, double(img.width()));
            image.setWidth(w);
            image.setHeight(w * img.height() / img.width());
            QTextCursor c(&doc);
            c.setPosition(frag.position());
            c.setPosition(frag.position() + frag.length(), QTextCursor::KeepAnchor);
            c.setCharFormat(image);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "uso: make_manual manual.md salida.pdf\n");
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("no se puede leer ") + source.fileName()), 1;
    const QString markdown = QString::fromUtf8(source.readAll());

    InstallSystemEnvironment();
    QTemporaryDir dir;
    Environment &e = env();
    auto prompts = std::make_shared<ManualPrompts>();
    e.clock = std::make_shared<FixedClock>();
    e.prompts = prompts;
    e.screenSize = [] { return QSize(1280, 800); };
    e.locale = QLocale(QLocale::Spanish, QLocale::Argentina);
    QLocale::setDefault(e.locale);
    e.appDir = dir.path();
    e.exeBaseName = QStringLiteral("tesorin");
    const QString db = dir.filePath(QStringLiteral("demo.db"));
    {
        QFile ini(dir.filePath(QStringLiteral("tesorin.ini")));
        if (!ini.open(QIODevice::WriteOnly))
            return 1;
        ini.write("[DataSourceName]\nDataSource=demo.db\n[Location]\nNombre=Cooperadora Escuela N\xC2\xB0 12\n");
    }
    const QString created = CreateDemoDatabase(db, e.clock->now().date());
    if (!created.isEmpty())
        return fail(created), 1;
    QList<DbErrorEntry> errors;
    if (!OpenConexion(db, &errors))
        return fail(QStringLiteral("no se pudo abrir la base de demostración")), 1;

    QMap<QString, QImage> pictures;
    if (!takePictures(pictures, *prompts))
        return 1;

    QSaveFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("no se puede escribir ") + out.fileName()), 1;
    {
        QPdfWriter pdf(&out);
        pdf.setTitle(QStringLiteral("Tesorin — Manual de usuario"));
        pdf.setCreator(QStringLiteral("Tesorin"));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter);
        QTextDocument doc;
        doc.setDefaultFont(QFont(QStringLiteral("Liberation Sans"), 10));
        doc.setMarkdown(markdown);
        // QTextDocument::print lays the text out on the PDF's pages, numbered.
        doc.setPageSize(QSizeF(600, 850));
        placePictures(doc, pictures);
        doc.print(&pdf);
    }
    if (!out.commit())
        return fail(QStringLiteral("no se pudo guardar ") + out.fileName()), 1;
    return 0;
}
