#include "data/QtPrompts.h"
#include "data/Environment.h"
#include "data/ValueRules.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString displayText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QList<QMessageBox::StandardButton> buttonsOf(MsgButtons b)
{
    switch (b) {
    case MsgButtons::OK: return {QMessageBox::Ok};
    case MsgButtons::OKCancel: return {QMessageBox::Ok, QMessageBox::Cancel};
    case MsgButtons::YesNo: return {QMessageBox::Yes, QMessageBox::No};
    case MsgButtons::YesNoCancel: return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case MsgButtons::RetryCancel: return {QMessageBox::Retry, QMessageBox::Cancel};
    }
    return {QMessageBox::Ok};
}

MsgResult resultOf(int button)
{
    switch (button) {
    case QMessageBox::Ok: return MsgResult::OK;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Retry: return MsgResult::Retry;
    default: return MsgResult::Cancel;
    }
}

QMessageBox::Icon iconOf(MsgIcon i)
{
    switch (i) {
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MsgResult QtPrompts::message(const QString &text, MsgIcon icon, MsgButtons buttons,
                             int defaultButton, const QString &title)
{
    QMessageBox box(iconOf(icon), title.isEmpty() ? AppTitle() : title, displayText(text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    const auto list = buttonsOf(buttons);
    for (auto b : list)
        box.addButton(b);
    if (defaultButton >= 0 && defaultButton < list.size())
        box.setDefaultButton(list.at(defaultButton));
    if (buttons == MsgButtons::YesNo)
        box.setEscapeButton(QMessageBox::No);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int r = box.exec();
    QApplication::restoreOverrideCursor();
    return resultOf(r);
}

std::optional<QString> QtPrompts::input(const QString &prompt, const QString &title, const QString &defaultText,
                                        bool hidden)
{
    QInputDialog dlg(QApplication::activeWindow());
    dlg.setWindowTitle(title);
    dlg.setLabelText(displayText(prompt));
    if (hidden)
        dlg.setTextEchoMode(QLineEdit::Password);
    dlg.setTextValue(defaultText);
    dlg.setOkButtonText(QMessageBox::tr("OK"));
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.textValue();
}

QString QtPrompts::qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    if (parts.size() < 2)
        return filter.isEmpty() ? QString() : filter + QLatin1String(" (") + filter + QLatin1Char(')');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts.at(i) + QLatin1String(" (") + QString(parts.at(i + 1)).replace(QLatin1Char(';'), QLatin1Char(' ')) + QLatin1Char(')');
    return out.join(QLatin1String(";;"));
}

QString QtPrompts::saveFileName(const QString &filter, const QString &defaultExtension,
                                const QString &initialDirectory)
{
    QFileDialog dlg(QApplication::activeWindow(), QString(), initialDirectory, qtFilter(filter));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    if (!defaultExtension.isEmpty())
        dlg.setDefaultSuffix(defaultExtension);
    // The dialog asks before overwriting an existing file (Qt's default).
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}

QString QtPrompts::openFileName(const QString &filter, const QString &initialDirectory)
{
    QFileDialog dlg(QApplication::activeWindow(), QString(), initialDirectory, qtFilter(filter));
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}

bool QtPrompts::choosePrinter(QPrinter &printer)
{
    QPrintDialog dlg(&printer, QApplication::activeWindow());
    return dlg.exec() == QDialog::Accepted;
}

std::optional<int> QtPrompts::choose(const QString &prompt, const QString &title, const QStringList &items,
                                     int current)
{
    // A list rather than a drop-down: the items are seen at once, and two of
    // the same text are still told apart by their place.
    QDialog dlg(QApplication::activeWindow());
    dlg.setObjectName(QStringLiteral("frmElegir"));
    dlg.setWindowTitle(title.isEmpty() ? AppTitle() : title);
    auto *label = new QLabel(displayText(prompt), &dlg);
    auto *list = new QListWidget(&dlg);
    list->setObjectName(QStringLiteral("lstOpciones"));
    list->addItems(items);
    if (current >= 0 && current < items.size())
        list->setCurrentRow(current);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    buttons->button(QDialogButtonBox::Ok)->setText(QMessageBox::tr("OK"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemActivated, &dlg, &QDialog::accept);
    auto *layout = new QVBoxLayout(&dlg);
    layout->addWidget(label);
    layout->addWidget(list);
    layout->addWidget(buttons);
    label->setBuddy(list);
    dlg.resize(360, 300);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool accepted = dlg.exec() == QDialog::Accepted;
    QApplication::restoreOverrideCursor();
    if (!accepted || list->currentRow() < 0)
        return std::nullopt;
    return list->currentRow();
}
