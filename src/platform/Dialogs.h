#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Message boxes and the open- and save-file dialogs, behind one facade so that the rules never need
// a window. The windows library installs the real backend at start-up; tests switch on the test
// mode, queue answers and read back everything that was shown.
namespace Dialogs {

enum class Buttons { Ok, OkCancel, SaveDiscardCancel };
// The answer to a question with 保存 / 破棄 / ｷｬﾝｾﾙ.
enum class Choice { Save, Discard, Cancel };

struct SaveRequest
{
    QString title; // dialog caption
    QString folder; // initial folder
    QString fileName; // proposed name, without folder
    QString filterText; // description shown to the user, e.g. "HTM ﾌｧｲﾙ (*.htm;*.html)"
    QStringList patterns; // patterns the dialog filters by, e.g. {"*.htm", "*.html"}
    struct FileType
    {
        QString filterText;
        QStringList patterns;
    };
    QList<FileType> moreTypes = {}; // offered after the first type (filterText, patterns)
};
// The open dialog asks the same; fileName is empty or a name to preselect.
using OpenRequest = SaveRequest;

struct Shown
{
    enum Kind { Message, SaveFile, OpenFile } kind = Message;
    QString text; // message text, or the file dialog's title
    Buttons buttons = Buttons::Ok;
    SaveRequest save; // for SaveFile and OpenFile
};

class Backend
{
public:
    virtual ~Backend() = default;
    virtual bool message(const QString &title, const QString &text, Buttons buttons) = 0;
    // Empty on cancel; *type the file type chosen: 0 the first, 1 the first of moreTypes...
    virtual QString saveFileName(const SaveRequest &request, int *type) = 0;
    // An existing file; empty on cancel.
    virtual QString openFileName(const OpenRequest &request) = 0;
    virtual Choice ask(const QString &title, const QString &text) = 0;
};

// The window title of every box: the program's name.
void setTitle(const QString &title);
QString title();

// True for OK, false for Cancel. A box with OK only returns true.
bool message(const QString &text, Buttons buttons = Buttons::Ok);
// 保存 / 破棄 / ｷｬﾝｾﾙ; without a window Cancel, so nothing is lost.
Choice ask(const QString &text);
// The full path chosen, or an empty text when the user cancelled; *type (when given) the file
// type chosen, 0 for the first.
QString saveFileName(const SaveRequest &request, int *type = nullptr);
// The full path of an existing file chosen, or an empty text when the user cancelled.
QString openFileName(const OpenRequest &request);

void setBackend(Backend *backend); // not owned; nullptr restores the default

// Test mode: nothing is shown. Answers are taken from the queues (OK and an empty file name
// when a queue is empty; one queue of file names for both file dialogs) and every request is
// recorded.
void enableTestMode();
void setNextAnswer(bool ok);
void setNextChoice(Choice choice); // Cancel when none is queued
void setNextFileName(const QString &path);
void setNextFileType(int type); // the save dialog's type chosen; 0 when none is queued
QList<Shown> shown();
QStringList shownTexts();
void clearShown();

} // namespace Dialogs
