#pragma once
// Dialogs for tests: each expected prompt is queued with its exact text, icon,
// buttons and answer. A prompt that differs, or that nobody expected, fails
// the running test.
#include "data/Prompts.h"

#include <QStringList>
#include <deque>
#include <functional>

class ScriptedPrompts : public Prompts
{
public:
    // `title` empty: the application title.
    ScriptedPrompts &expectMessage(const QString &text, MsgIcon icon, MsgButtons buttons,
                                   MsgResult answer = MsgResult::OK, int defaultButton = 0,
                                   const QString &title = QString());
    ScriptedPrompts &expectInput(const QString &prompt, const QString &title,
                                 const QString &defaultText, const QString &answer);
    // The user cancels the input box.
    ScriptedPrompts &expectInputCancelled(const QString &prompt, const QString &title, const QString &defaultText);
    // A box that hides what is typed (a password): `answer` is typed, or with
    // `cancel` the box is cancelled.
    ScriptedPrompts &expectPassword(const QString &prompt, const QString &title, const QString &answer,
                                    bool cancel = false);
    ScriptedPrompts &expectSaveFile(const QString &filter, const QString &answer);
    // An open-file dialog with exactly this filter; the user picks `answer`
    // ("" cancels).
    ScriptedPrompts &expectOpenFile(const QString &filter, const QString &answer);
    ScriptedPrompts &expectPrinter(bool accept, std::function<void(QPrinter &)> setup = {});
    // A list to pick from, with exactly these items, the one at `marked`
    // marked: the user picks the item at `answer`, or cancels with -1.
    ScriptedPrompts &expectChoice(const QString &prompt, const QString &title, const QStringList &items, int answer,
                                  int marked = 0);

    // Runs when a prompt arrives, before it is answered (to look at the screen).
    void onNextPrompt(std::function<void()> hook) { m_hook = std::move(hook); }

    int pending() const { return int(m_queue.size()); }
    // Every prompt shown so far, as "kind: text".
    const QStringList &seen() const { return m_seen; }
    void clear();

    MsgResult message(const QString &text, MsgIcon icon, MsgButtons buttons,
                      int defaultButton, const QString &title) override;
    std::optional<QString> input(const QString &prompt, const QString &title, const QString &defaultText,
                                 bool hidden = false) override;
    QString saveFileName(const QString &filter, const QString &defaultExtension,
                         const QString &initialDirectory) override;
    QString openFileName(const QString &filter, const QString &initialDirectory) override;
    bool choosePrinter(QPrinter &printer) override;
    std::optional<int> choose(const QString &prompt, const QString &title, const QStringList &items,
                              int current) override;

private:
    enum class Kind { Message, Input, SaveFile, OpenFile, Printer, Choice };
    struct Expected
    {
        Kind kind;
        QString text;
        MsgIcon icon = MsgIcon::None;
        MsgButtons buttons = MsgButtons::OK;
        int defaultButton = 0;
        QString title;
        QString defaultText;
        MsgResult answer = MsgResult::OK;
        QString answerText;
        bool accept = false; // printer dialog confirmed; input box cancelled
        bool hidden = false; // an input box that hides what is typed
        std::function<void(QPrinter &)> setup;
        QStringList items;
        int marked = 0; // the item a list marks at first
    };
    bool take(Kind kind, const QString &what, Expected &out);
    void fail(const QString &why);

    std::deque<Expected> m_queue;
    QStringList m_seen;
    std::function<void()> m_hook;
};
