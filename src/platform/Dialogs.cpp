#include "Dialogs.h"

#include <QQueue>
#include <cstdio>

namespace Dialogs {
namespace {

struct State
{
    QString title = QStringLiteral("Linkwell");
    Backend *backend = nullptr;
    bool testMode = false;
    QQueue<bool> answers;
    QQueue<Choice> choices;
    QQueue<QString> fileNames;
    QQueue<int> fileTypes;
    QList<Shown> shown;
};

State &state()
{
    static State s;
    return s;
}

} // namespace

void setTitle(const QString &t)
{
    state().title = t;
}
QString title()
{
    return state().title;
}

bool message(const QString &text, Buttons buttons)
{
    State &s = state();
    if (s.testMode) {
        Shown rec;
        rec.kind = Shown::Message;
        rec.text = text;
        rec.buttons = buttons;
        s.shown.append(rec);
        const bool ok = s.answers.isEmpty() ? true : s.answers.dequeue();
        return buttons == Buttons::Ok ? true : ok;
    }
    if (s.backend)
        return s.backend->message(s.title, text, buttons);
    // No window system available: the message must still reach the user, its line breaks
    // (a CR alone in a box) as line ends.
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(u'\r', u'\n');
    std::fprintf(stderr, "%s: %s\n", qPrintable(s.title), qPrintable(lines));
    return buttons == Buttons::Ok;
}

Choice ask(const QString &text)
{
    State &s = state();
    if (s.testMode) {
        Shown rec;
        rec.kind = Shown::Message;
        rec.text = text;
        rec.buttons = Buttons::SaveDiscardCancel;
        s.shown.append(rec);
        return s.choices.isEmpty() ? Choice::Cancel : s.choices.dequeue();
    }
    return s.backend ? s.backend->ask(s.title, text) : Choice::Cancel;
}

namespace {

QString fileName(Shown::Kind kind, const SaveRequest &request, int *type = nullptr)
{
    State &s = state();
    if (type)
        *type = 0;
    if (s.testMode) {
        Shown rec;
        rec.kind = kind;
        rec.text = request.title;
        rec.save = request;
        s.shown.append(rec);
        if (kind == Shown::SaveFile && !s.fileTypes.isEmpty()) {
            const int chosen = s.fileTypes.dequeue();
            if (type)
                *type = chosen;
        }
        return s.fileNames.isEmpty() ? QString() : s.fileNames.dequeue();
    }
    if (!s.backend)
        return QString();
    return kind == Shown::OpenFile ? s.backend->openFileName(request)
                                   : s.backend->saveFileName(request, type);
}

} // namespace

QString saveFileName(const SaveRequest &request, int *type)
{
    return fileName(Shown::SaveFile, request, type);
}

QString openFileName(const OpenRequest &request)
{
    return fileName(Shown::OpenFile, request);
}

void setBackend(Backend *backend)
{
    state().backend = backend;
}

void enableTestMode()
{
    State &s = state();
    s.testMode = true;
    s.answers.clear();
    s.choices.clear();
    s.fileNames.clear();
    s.fileTypes.clear();
    s.shown.clear();
}

void setNextAnswer(bool ok)
{
    state().answers.enqueue(ok);
}
void setNextChoice(Choice choice)
{
    state().choices.enqueue(choice);
}
void setNextFileName(const QString &path)
{
    state().fileNames.enqueue(path);
}
void setNextFileType(int type)
{
    state().fileTypes.enqueue(type);
}
QList<Shown> shown()
{
    return state().shown;
}

QStringList shownTexts()
{
    QStringList texts;
    for (const Shown &s : state().shown)
        texts << s.text;
    return texts;
}

void clearShown()
{
    state().shown.clear();
}

} // namespace Dialogs
