#include "BrowserCommands.h"
#include "platform/DataFolder.h"

#include "platform/Dialogs.h"
#include "platform/WebBrowser.h"
#include "settings/yIni.h"
#include "ui/main/MainMenus.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPointer>
#include <QUrl>

namespace BrowserCommands {
namespace {

void copyToClipboard(WebBrowser *web, int index)
{
    // Nothing loaded: the clipboard stays as it was.
    if (web->LocationURL().isEmpty())
        return;
    auto copy = [](const QString &text) {
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(text);
        Dialogs::message(
            QCoreApplication::translate("BrowserCommands", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰしました"));
    };
    if (index == MnDisp::CopyAddress) {
        copy(web->LocationURL());
        return;
    }
    // The document as it is now, not as it was when it completed; nothing if the browser has
    // gone meanwhile.
    web->fetchBody(index == MnDisp::CopyMarkup,
                   [copy, alive = QPointer<WebBrowser>(web)](const QString &text) {
                       if (alive)
                           copy(text);
                   });
}

} // namespace

void run(WebBrowser *web, int index)
{
    switch (index) {
    case MnDisp::Home: web->GoHome(); break;
    case MnDisp::Search: web->GoSearch(); break;
    case MnDisp::PageSetup: web->ExecWB(WebBrowser::PageSetup, 0); break;
    case MnDisp::PrintPreview: web->ExecWB(WebBrowser::PrintPreview, 0); break;
    case MnDisp::Print: web->ExecWB(WebBrowser::Print, 0); break;
    case MnDisp::Refresh: web->ExecWB(WebBrowser::Refresh, 0); break;
    case MnDisp::Save: web->ExecWB(WebBrowser::SaveAs, 0); break;
    case MnDisp::CopyAddress:
    case MnDisp::CopyText:
    case MnDisp::CopyMarkup: copyToClipboard(web, index); break;
    default: break;
    }
}

void setPages(WebBrowser *web, yIni &ini, const QString &dataPh)
{
    QString search = qEnvironmentVariable("LINKWELL_SEARCH_URL");
    if (search.isEmpty())
        search = QStringLiteral("https://duckduckgo.com/");
    web->setSearchPage(ini.vGtVal(QStringLiteral("SEARCH_URL"), search).toString());
    QString home = qEnvironmentVariable("LINKWELL_HOME_URL");
    if (home.isEmpty()) {
        const QFileInfoList pages
            = QDir(DataFolder::documents(dataPh))
                  .entryInfoList({QStringLiteral("*.htm"), QStringLiteral("*.html")}, QDir::Files,
                                 QDir::Time);
        home = pages.isEmpty() ? web->searchPage()
                               : QUrl::fromLocalFile(pages.first().absoluteFilePath()).toString();
    }
    web->setHomePage(ini.vGtVal(QStringLiteral("HOME_URL"), home).toString());
}

} // namespace BrowserCommands
