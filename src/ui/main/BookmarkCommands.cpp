#include "BookmarkCommands.h"
#include "platform/DataFolder.h"

#include "app/Usr.h"
#include "bookmarks/BookmarkTransfer.h"
#include "platform/Dialogs.h"
#include "ui/main/ListSearch.h"
#include "ui/main/fmLink.h"

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
            QCoreApplication::translate("BookmarkCommands", "ﾌﾞｯｸﾏｰｸ ﾌｧｲﾙ (*.html;*.htm)"),
            {QStringLiteral("*.html"), QStringLiteral("*.htm")}};
}

// Browsers save their bookmark files among the downloads.
QString importFolder()
{
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return QFileInfo(downloads).isDir() ? downloads : QDir::homePath();
}

} // namespace

void importFile(fmLink &w)
{
    const QString path
        = Dialogs::openFileName(request(Tr::tr("ﾌﾞｯｸﾏｰｸの取込"), importFolder(), QString()));
    if (path.isEmpty())
        return;
    BookmarkTransfer transfer;
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool read = transfer.read(path, &error);
    QApplication::restoreOverrideCursor();
    if (!read) {
        Dialogs::message(error);
        return;
    }
    if (!transfer.hasWork()) {
        Dialogs::message(transfer.question());
        return;
    }
    if (!Dialogs::message(transfer.question(), Dialogs::Buttons::OkCancel))
        return;

    const int total = int(transfer.plan().links.size());
    QProgressDialog dialog(&w);
    dialog.setWindowTitle(Dialogs::title());
    dialog.setLabelText(Tr::tr("ﾌﾞｯｸﾏｰｸを取り込んでいます"));
    dialog.setCancelButtonText(Tr::tr("中止"));
    dialog.setRange(0, qMax(total, 1));
    dialog.setMinimumDuration(0);
    dialog.setWindowModality(Qt::WindowModal);
    // Left open by hand: its cancel must still be there when the last link is written.
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    dialog.setValue(0);
    w.progressDialog = &dialog;
    const LinkStore::ImportResult result = transfer.write(
        [&dialog](qsizetype done, qsizetype) {
            dialog.setValue(int(done));
            return !dialog.wasCanceled();
        },
        &error);
    w.progressDialog = nullptr;
    dialog.close();
    if (result == LinkStore::ImportResult::Failed)
        Dialogs::message(error);
    if (result != LinkStore::ImportResult::Written)
        return;
    w.LoadGrp();
    w.LoadList(false);
    w.search->rebuild(); // the search finds the new links too
}

void exportFile()
{
    const QString path = Dialogs::saveFileName(request(Tr::tr("ﾌﾞｯｸﾏｰｸの書出"),
                                                       DataFolder::documents(Usr::sDataPh),
                                                       QStringLiteral("bookmarks.html")));
    if (path.isEmpty())
        return;
    int links = 0;
    QString error;
    // A large collection takes a moment: a window with Cancel shows that it works.
    QProgressDialog progress(Tr::tr("ﾌﾞｯｸﾏｰｸを書き出しています"), Tr::tr("中止"), 0, 0);
    progress.setWindowTitle(Dialogs::title());
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);
    const bool written = BookmarkTransfer::exportTo(path, &links, &error, [&progress] {
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });
    if (written || !error.isEmpty())
        Dialogs::message(written ? BookmarkTransfer::exportedText(path, links) : error);
}

} // namespace BookmarkCommands
