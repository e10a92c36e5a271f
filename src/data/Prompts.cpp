#include "data/Prompts.h"
#include "data/Environment.h"

MsgResult MsgBox(const QString &text, MsgIcon icon, MsgButtons buttons, int defaultButton,
                 const QString &title)
{
    return env().prompts->message(text, icon, buttons, defaultButton, title);
}

QString InputBox(const QString &prompt, const QString &title, const QString &defaultText)
{
    return env().prompts->input(prompt, title, defaultText).value_or(QString());
}

QString ShowSaveFileDialog(const QString &filter, const QString &defaultExtension,
                           const QString &initialDirectory)
{
    return env().prompts->saveFileName(filter, defaultExtension, initialDirectory);
}

QString ShowOpenFileDialog(const QString &filter, const QString &initialDirectory)
{
    return env().prompts->openFileName(filter, initialDirectory);
}

std::optional<QString> AskText(const QString &prompt, const QString &title, const QString &defaultText)
{
    return env().prompts->input(prompt, title, defaultText);
}

std::optional<QString> AskPassword(const QString &prompt, const QString &title)
{
    return env().prompts->input(prompt, title, QString(), true);
}

std::optional<int> AskChoice(const QString &prompt, const QString &title, const QStringList &items)
{
    return env().prompts->choose(prompt, title, items, 0);
}
