#include "BookmarkCommands.h"
#include "platform/DataFolder.h"

#include "app/Usr.h"
#include "bookmarks/BookmarkTransfer.h"
#include "platform/Dialogs.h"
#include "platform/widgets/ProgressWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>

namespace BookmarkCommands {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(BookmarkCommands)
};

Dialogs::SaveRequest request(const QString &title, const QString &folder, const QString &fileName)
{
    return {title,
            folder,
            fileName,
            // The import tells the format by the file's content.
            QCoreApplication::translate("BookmarkCommands", "ﾌﾞｯｸﾏｰｸ ﾌｧｲﾙ (*.html;*.htm;*.xbel)"),
            {QStringLiteral("*.html"), QStringLiteral("*.htm"), QStringLiteral("*.xbel")}};
}

// Browsers save their bookmark files among the downloads.
QString importFolder()
{
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return QFileInfo(downloads).isDir() ? downloads : QDir::homePath();
}

} // namespace

bool importFile(QWidget *parent)
{
    const QString path
        = Dialogs::openFileName(request(Tr::tr("ﾌﾞｯｸﾏｰｸの取込"), importFolder(), QString()));
    if (path.isEmpty())
        return false;
    BookmarkTransfer transfer;
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool read = transfer.read(path, &error);
    QApplication::restoreOverrideCursor();
    if (!read) {
        Dialogs::message(error);
        return false;
    }
    if (!transfer.hasWork()) {
        Dialogs::message(transfer.question());
        return false;
    }
    if (!Dialogs::message(transfer.question(), Dialogs::Buttons::OkCancel))
        return false;

    const int total = int(transfer.plan().links.size());
    // Left open by hand: its cancel must still be there when the last link is written.
    ProgressWindow dialog(Tr::tr("ﾌﾞｯｸﾏｰｸを取り込んでいます"), parent, qMax(total, 1), 0);
    dialog.step(0);
    const BookmarkTransfer::Result result = transfer.write(
        [&dialog](qsizetype done, qsizetype) { return dialog.step(int(done)); }, &error);
    dialog.finish();
    if (result == BookmarkTransfer::Result::Failed)
        Dialogs::message(error);
    return result == BookmarkTransfer::Result::Written;
}

void exportFile(QWidget *parent)
{
    // One type for each format; the type chosen decides unless the name says otherwise.
    Dialogs::SaveRequest save {
        Tr::tr("ﾌﾞｯｸﾏｰｸの書出"),
        DataFolder::documents(Usr::sDataPh),
        QStringLiteral("bookmarks.html"),
        Tr::tr("HTML ﾌﾞｯｸﾏｰｸ ﾌｧｲﾙ (*.html;*.htm)"),
        {QStringLiteral("*.html"), QStringLiteral("*.htm")},
        {{Tr::tr("XBEL ﾌﾞｯｸﾏｰｸ ﾌｧｲﾙ (*.xbel)"), {QStringLiteral("*.xbel")}}}};
    int type = 0;
    BookmarkTransfer::Format format = BookmarkTransfer::Format::Netscape;
    const QString typed = Dialogs::saveFileName(save, &type);
    const QString path = BookmarkTransfer::chosenFile(
        typed, type == 1 ? BookmarkTransfer::Format::Xbel : BookmarkTransfer::Format::Netscape,
        &format);
    if (path.isEmpty())
        return;
    int links = 0;
    QString error;
    // A large collection takes a moment: a window with Cancel shows that it works.
    ProgressWindow progress(Tr::tr("ﾌﾞｯｸﾏｰｸを書き出しています"), parent);
    progress.setWindowModality(Qt::ApplicationModal);
    const bool written = BookmarkTransfer::exportTo(
        path, &links, &error, [&progress] { return progress.step(); }, format);
    progress.finish();
    if (written || !error.isEmpty())
        Dialogs::message(written ? BookmarkTransfer::exportedText(path, links) : error);
}

} // namespace BookmarkCommands
