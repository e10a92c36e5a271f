#include "reports/ReportText.h"

#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Asks the system to put what was written on the disk itself: some disks
// report that they are full only then. 0, or the system's error number.
int syncToDisk(int fd)
{
#ifdef Q_OS_WIN
    return ::_commit(fd) == 0 ? 0 : errno;
#else
    return ::fsync(fd) == 0 ? 0 : errno;
#endif
}

// What the user reads when a file could not be written: the file, what to
// do, and the system's own words.
ReportResult fileFailure(const QString &fileName, const QString &systemText)
{
    bool full = systemText == qt_error_string(ENOSPC);
#ifdef EDQUOT
    full = full || systemText == qt_error_string(EDQUOT);
#endif
    const QString advice = full ? QStringLiteral("el disco está lleno. Libere espacio y vuelva a intentar.")
                                : QStringLiteral("compruebe que la carpeta exista y que se pueda escribir en"
                                                 " ella, o elija otra.");
    return ReportResult::failed(RuntimeError(
        ErrReportFile, QStringLiteral("No se pudo escribir el archivo \"%1\": %2 (%3)").arg(fileName, advice, systemText)));
}

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
    // The bytes go to a new file beside the target, which takes the target's
    // place only once every byte is on the disk; on any failure QSaveFile's
    // destructor removes it and the previous file stays as it was. Its commit
    // misses a failed last flush, so nothing is left buffered for it: each
    // write reaches the system and is checked here, and so is the sync.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fileFailure(fileName, file.errorString());
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) // a short write is retried, so a full disk shows as an error
            return fileFailure(fileName, file.errorString());
        done += n;
    }
    if (!file.flush())
        return fileFailure(fileName, file.errorString());
    if (const int error = syncToDisk(file.handle()))
        return fileFailure(fileName, qt_error_string(error));
    if (!file.commit())
        return fileFailure(fileName, file.errorString());
    return ReportResult::done();
}
