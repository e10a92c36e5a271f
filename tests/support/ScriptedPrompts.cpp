#include "support/ScriptedPrompts.h"

#include <QTest>

namespace {
const char *kindName(int k)
{
    static const char *const names[] = {"mensaje", "entrada", "guardar", "abrir", "impresora", "lista"};
    return names[k];
}
QString visible(QString s)
{
    return s.replace(QLatin1Char('\r'), QLatin1String("\\r"));
}
} // namespace

ScriptedPrompts &ScriptedPrompts::expectMessage(const QString &text, MsgIcon icon,
                                                MsgButtons buttons, MsgResult answer,
                                                int defaultButton, const QString &title)
{
    Expected e{Kind::Message, text};
    e.title = title;
    e.icon = icon;
    e.buttons = buttons;
    e.answer = answer;
    e.defaultButton = defaultButton;
    m_queue.push_back(e);
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectInput(const QString &prompt, const QString &title,
                                              const QString &defaultText, const QString &answer)
{
    Expected e{Kind::Input, prompt};
    e.title = title;
    e.defaultText = defaultText;
    e.answerText = answer;
    m_queue.push_back(e);
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectInputCancelled(const QString &prompt, const QString &title,
                                                       const QString &defaultText)
{
    expectInput(prompt, title, defaultText, QString());
    m_queue.back().accept = true;
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectPassword(const QString &prompt, const QString &title, const QString &answer,
                                                 bool cancel)
{
    expectInput(prompt, title, QString(), answer);
    m_queue.back().accept = cancel;
    m_queue.back().hidden = true;
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectSaveFile(const QString &filter, const QString &answer)
{
    Expected e{Kind::SaveFile, filter};
    e.answerText = answer;
    m_queue.push_back(e);
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectOpenFile(const QString &filter, const QString &answer)
{
    Expected e{Kind::OpenFile, filter};
    e.answerText = answer;
    m_queue.push_back(e);
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectPrinter(bool accept, std::function<void(QPrinter &)> setup)
{
    Expected e{Kind::Printer, QString()};
    e.accept = accept;
    e.setup = std::move(setup);
    m_queue.push_back(e);
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectChoice(const QString &prompt, const QString &title, const QStringList &items,
                                               int answer, int marked)
{
    Expected e{Kind::Choice, prompt};
    e.title = title;
    e.items = items;
    e.defaultButton = answer;
    e.marked = marked;
    m_queue.push_back(e);
    return *this;
}

void ScriptedPrompts::clear()
{
    m_queue.clear();
    m_seen.clear();
    m_hook = {};
}

void ScriptedPrompts::fail(const QString &why)
{
    QTest::qFail(why.toUtf8().constData(), __FILE__, __LINE__);
}

bool ScriptedPrompts::take(Kind kind, const QString &what, Expected &out)
{
    m_seen << QString::fromLatin1(kindName(int(kind))) + QStringLiteral(": ") + what;
    if (m_hook) {
        auto hook = std::move(m_hook);
        m_hook = {};
        hook();
    }
    if (m_queue.empty()) {
        fail(QStringLiteral("Diálogo inesperado (%1): \"%2\"").arg(QLatin1String(kindName(int(kind))), visible(what)));
        return false;
    }
    out = m_queue.front();
    m_queue.pop_front();
    if (out.kind != kind) {
        fail(QStringLiteral("Se esperaba un diálogo %1 y llegó %2: \"%3\"")
                 .arg(QLatin1String(kindName(int(out.kind))), QLatin1String(kindName(int(kind))), visible(what)));
        return false;
    }
    if (out.text != what) {
        fail(QStringLiteral("Texto distinto.\n  esperado: \"%1\"\n  recibido: \"%2\"").arg(visible(out.text), visible(what)));
        return false;
    }
    return true;
}

MsgResult ScriptedPrompts::message(const QString &text, MsgIcon icon, MsgButtons buttons,
                                   int defaultButton, const QString &title)
{
    Expected e;
    if (!take(Kind::Message, text, e))
        return buttons == MsgButtons::OK ? MsgResult::OK : MsgResult::Cancel;
    if (e.icon != icon)
        fail(QStringLiteral("Icono distinto en \"%1\": esperado %2, recibido %3").arg(visible(text)).arg(int(e.icon)).arg(int(icon)));
    if (e.buttons != buttons)
        fail(QStringLiteral("Botones distintos en \"%1\": esperado %2, recibido %3").arg(visible(text)).arg(int(e.buttons)).arg(int(buttons)));
    if (e.defaultButton != defaultButton)
        fail(QStringLiteral("Botón por defecto distinto en \"%1\": esperado %2, recibido %3").arg(visible(text)).arg(e.defaultButton).arg(defaultButton));
    if (e.title != title)
        fail(QStringLiteral("Título distinto en \"%1\": esperado \"%2\", recibido \"%3\"").arg(visible(text), e.title, title));
    return e.answer;
}

std::optional<QString> ScriptedPrompts::input(const QString &prompt, const QString &title, const QString &defaultText,
                                              bool hidden)
{
    Expected e;
    if (!take(Kind::Input, prompt, e))
        return std::nullopt;
    if (e.hidden != hidden)
        fail(QStringLiteral("\"%1\": se esperaba una caja que %2 lo que se escribe").arg(prompt, e.hidden ? QStringLiteral("oculte") : QStringLiteral("muestre")));
    if (e.title != title)
        fail(QStringLiteral("Título distinto en \"%1\": esperado \"%2\", recibido \"%3\"").arg(prompt, e.title, title));
    if (e.defaultText != defaultText)
        fail(QStringLiteral("Texto propuesto distinto en \"%1\": esperado \"%2\", recibido \"%3\"").arg(prompt, e.defaultText, defaultText));
    if (e.accept)
        return std::nullopt;
    return e.answerText;
}

QString ScriptedPrompts::saveFileName(const QString &filter, const QString &, const QString &)
{
    Expected e;
    if (!take(Kind::SaveFile, filter, e))
        return QString();
    return e.answerText;
}

QString ScriptedPrompts::openFileName(const QString &filter, const QString &)
{
    Expected e;
    if (!take(Kind::OpenFile, filter, e))
        return QString();
    return e.answerText;
}

bool ScriptedPrompts::choosePrinter(QPrinter &printer)
{
    Expected e;
    if (!take(Kind::Printer, QString(), e))
        return false;
    if (e.setup)
        e.setup(printer);
    return e.accept;
}

std::optional<int> ScriptedPrompts::choose(const QString &prompt, const QString &title, const QStringList &items,
                                           int current)
{
    Expected e;
    if (!take(Kind::Choice, prompt, e))
        return std::nullopt;
    if (e.title != title)
        fail(QStringLiteral("Título distinto en \"%1\": esperado \"%2\", recibido \"%3\"").arg(prompt, e.title, title));
    if (e.items != items)
        fail(QStringLiteral("Lista distinta en \"%1\":\n  esperada: %2\n  recibida: %3")
                 .arg(prompt, e.items.join(QStringLiteral(" | ")), items.join(QStringLiteral(" | "))));
    if (current != e.marked)
        fail(QStringLiteral("\"%1\": se esperaba marcado el %2 y llegó %3").arg(prompt).arg(e.marked).arg(current));
    if (e.defaultButton < 0)
        return std::nullopt;
    return e.defaultButton;
}
