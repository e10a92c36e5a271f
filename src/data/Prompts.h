#pragma once
// Every message box, input box, save dialog and printer dialog of the program
// goes through this interface, so tests can script the answers.
#include <QString>
#include <QStringList>

#include <optional>

class QPrinter;

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgResult { OK, Cancel, Yes, No, Retry };

class Prompts
{
public:
    virtual ~Prompts() = default;
    // A message box captioned `title`, or the application title when that is
    // empty. defaultButton is the zero-based position of the default button
    // among `buttons`.
    virtual MsgResult message(const QString &text, MsgIcon icon, MsgButtons buttons,
                              int defaultButton, const QString &title) = 0;
    // An input box: the text typed, or nothing when the user cancelled.
    // `hidden`: what is typed is not shown (a password).
    virtual std::optional<QString> input(const QString &prompt, const QString &title,
                                         const QString &defaultText, bool hidden = false) = 0;
    // A save-file dialog; cancelling gives the empty text. `filter` uses the
    // "description|pattern|description|pattern" convention (a lone pattern is fine).
    virtual QString saveFileName(const QString &filter, const QString &defaultExtension,
                                 const QString &initialDirectory) = 0;
    // An open-file dialog for a file that exists; cancelling gives the empty
    // text. `filter` as for saveFileName.
    virtual QString openFileName(const QString &filter, const QString &initialDirectory) = 0;
    // The printer dialog: true when the user confirmed printing on `printer`.
    virtual bool choosePrinter(QPrinter &printer) = 0;
    // A list to pick one item from, `current` marked at first: the position
    // picked, or nothing when the user cancelled.
    virtual std::optional<int> choose(const QString &prompt, const QString &title, const QStringList &items,
                                      int current) = 0;
};

// Shorthand for the frequent OK-only box.
MsgResult MsgBox(const QString &text, MsgIcon icon = MsgIcon::None,
                 MsgButtons buttons = MsgButtons::OK, int defaultButton = 0,
                 const QString &title = QString());
// Cancel gives the empty text, as an empty answer does.
QString InputBox(const QString &prompt, const QString &title, const QString &defaultText);
// Asks for a file to save to; "" when cancelled. Asks before overwriting.
QString ShowSaveFileDialog(const QString &filter, const QString &defaultExtension = QString(),
                           const QString &initialDirectory = QString());
// Asks for an existing file to read; "" when cancelled.
QString ShowOpenFileDialog(const QString &filter, const QString &initialDirectory = QString());
// For the questions where cancelling must be told from an empty answer.
std::optional<QString> AskText(const QString &prompt, const QString &title, const QString &defaultText);
// One of `items` (their position), the first marked; nothing when cancelled.
std::optional<int> AskChoice(const QString &prompt, const QString &title, const QStringList &items);
// A password, in a box that does not show what is typed; nothing when cancelled.
std::optional<QString> AskPassword(const QString &prompt, const QString &title);
