#pragma once
#include "data/Prompts.h"

// The real dialogs: QMessageBox, QInputDialog, QFileDialog, QPrintDialog and a
// list to pick from.
class QtPrompts : public Prompts
{
public:
    MsgResult message(const QString &text, MsgIcon icon, MsgButtons buttons,
                      int defaultButton, const QString &title) override;
    std::optional<QString> input(const QString &prompt, const QString &title,
                                 const QString &defaultText, bool hidden = false) override;
    QString saveFileName(const QString &filter, const QString &defaultExtension,
                         const QString &initialDirectory) override;
    QString openFileName(const QString &filter, const QString &initialDirectory) override;
    bool choosePrinter(QPrinter &printer) override;
    std::optional<int> choose(const QString &prompt, const QString &title, const QStringList &items,
                              int current) override;

    // "desc|*.a|desc2|*.b" -> "desc (*.a);;desc2 (*.b)"; a lone "*.txt" stays a pattern.
    static QString qtFilter(const QString &filter);
};
