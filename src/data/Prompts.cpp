#include "data/Prompts.h"
#include "data/Environment.h"

MsgResult MsgBox(const QString &text, MsgIcon icon, MsgButtons buttons, int defaultButton,
                 const QString &title)
{
    return env().prompts->message(text, icon, buttons, defaultButton, title);
}

QString InputBox(const QString &prompt, const QString &title, const QString &defaultText)
{
    return env().prompts->input(prompt, title, defaultText);
}
