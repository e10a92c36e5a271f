#include "reports/ReportText.h"

#include <QSaveFile>
#include <algorithm>

namespace {

void appendPage(const ReportDocument &document, const ReportPage &page, QString &out)
{
    std::vector<const ReportPrimitive *> texts;
    for (const ReportPrimitive &p : page.items)
        if (p.kind == PrimitiveKind::Text && !p.text.isEmpty())
            texts.push_back(&p);
    std::stable_sort(texts.begin(), texts.end(), [](const ReportPrimitive *a, const ReportPrimitive *b) {
        return a->rect.top() != b->rect.top() ? a->rect.top() < b->rect.top() : a->rect.left() < b->rect.left();
    });

    std::vector<const ReportPrimitive *> row;
    auto flush = [&] {
        if (row.empty())
            return;
        std::stable_sort(row.begin(), row.end(), [](const ReportPrimitive *a, const ReportPrimitive *b) {
            return a->rect.left() < b->rect.left();
        });
        QString line;
        for (const ReportPrimitive *p : row) {
            const int column = qMax(0, (p->rect.left() - document.page.leftMargin) / kTwipsPerTextColumn);
            if (line.size() < column)
                line += QString(column - line.size(), QLatin1Char(' '));
            else if (!line.isEmpty() && !line.endsWith(QLatin1Char(' ')))
                line += QLatin1Char(' ');
            line += p->text;
        }
        int end = int(line.size());
        while (end > 0 && line[end - 1].isSpace())
            --end;
        line.truncate(end);
        out += line;
        out += QLatin1Char('\n');
        row.clear();
    };
    int rowTop = 0;
    int rowReach = 0;
    for (const ReportPrimitive *p : texts) {
        if (row.empty() || p->rect.top() >= rowReach) {
            flush();
            rowTop = p->rect.top();
            rowReach = rowTop + qMax(1, p->rect.height() / 2);
        }
        row.push_back(p);
    }
    flush();
}

} // namespace

QString ReportDocumentText(const ReportDocument &document)
{
    QString out;
    for (size_t i = 0; i < document.pages.size(); ++i) {
        if (i > 0)
            out += QStringLiteral("\f\n");
        appendPage(document, document.pages[i], out);
    }
    return out;
}

ReportResult WriteReportText(const ReportDocument &document, const QString &fileName)
{
    return WriteReportFile(fileName, ReportDocumentText(document).toUtf8());
}

ReportResult WriteReportFile(const QString &fileName, const QByteArray &bytes)
{
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
        if (file.commit())
            return ReportResult::done();
    }
    return ReportResult::failed(RuntimeError(
        ErrReportFile, QStringLiteral("No se pudo escribir el archivo \"%1\": %2").arg(fileName, file.errorString())));
}
