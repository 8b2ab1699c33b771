#pragma once

#include "collection/ListRow.h"
#include "store/GroupTree.h"
#include "ui/main/MainMenus.h"

#include <QImage>
#include <QMainWindow>
#include <functional>
#include <memory>

namespace Local {
class HttpHandler;
}

class LinkListView;
class SearchBox;
class TextSearch;
class QLineEdit;
class QSplitter;
class Receiver;
class RegistrationPanel;
class WebBrowser;

// The main window: the address bar, the registration panel, the link list and the browser.
// Tests find its controls by their object names ("txURL", "vSpr", "Frame1", ...) and its menu
// items by the named indices of MainMenus.h.
class fmLink : public QMainWindow
{
    Q_OBJECT
public:
    // Makes the window's browser; tests pass a fake one.
    using BrowserFactory = std::function<WebBrowser *(QWidget *parent)>;
    // The picture of a page as the capture window takes it.
    using Capture = std::function<QImage(const QString &sURL)>;

    explicit fmLink(BrowserFactory browserFactory = {}, QWidget *parent = nullptr);
    ~fmLink() override;

    // The load sequence; false (with the reason) when the window cannot work, for example
    // when the link database cannot be opened.
    bool Form_Load(QString *error);
    // The page Form_Load opens instead of the search page (an address from the command line).
    void setStartAddress(const QString &address) { m_startAddress = address; }
    // Pictures come from capture instead of the capture window (tests).
    void setCapture(Capture capture)
    {
        m_capture = std::move(capture);
        m_usesCaptureWindow = false;
    }

    // Registration and the list.
    void RgstURL();
    void DelURL();
    void OpenRow(int nRow);
    void LoadGrp();
    void LoadList(bool bRecent);
    // Fills the list with the chosen folder's links and, with 下位の分類も表示, its subtree's;
    // false when the selector names no folder of the tree, which LoadList then handles.
    bool loadFolder();
    // The selector's list once a search ends (the box emptied).
    void listAfterSearch();
    // The search keeps to what the selector and "下位の分類も表示" choose.
    void scopeSearch();

    // Starts the receiver of pages from the user's browser, as the settings say (the program
    // does after Form_Load; tests that want it call it).
    void startReceiver();
    Receiver *receiver() const { return m_receiver; }

    // Pictures of every link anew, in number order.
    void PicAll();

    // Dispatch of the menus and buttons by index (MnFile, MnDisp, ... of MainMenus.h).
    void mnFile_Click(int index);
    void mnDisp_Click(int index);
    void mnSlc_Click(int index);
    void mnRet_Click(int index);
    void mnData_Click(int index);
    void cmWeb_Click(int index);
    void Form_KeyDown(int key);
    // The menu bar's items, by the named indices of MainMenus.h.
    const MainMenus &menus() const { return m_menus; }

Q_SIGNALS:
    // The window has unloaded: the database is closed and the program may end.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildAddressBar();
    void buildPanel();
    void buildList();
    void buildMenus();
    // The receiver's handler: links and pages from the user's browser, shown here at once.
    std::unique_ptr<Local::HttpHandler> captureApi();
    void SetPicMenu();
    void ArrCtl();
    void coverWorkArea();
    void compact();
    void importBookmarks();
    void openData();
    void openTyped();
    void listKeyDown(int key);
    QList<ListRow> listedRows() const;
    // Whether a link saved from outside belongs in what the list shows, or is listed now.
    bool listHolds(const LinkRecord &link, bool isNew) const;
    // The groups the selector's choice shows.
    GroupTree::Scope scopeShown() const;

    // Window state.
    int nX1 = 0, nX2 = 0, nY1 = 0, nY2 = 0;
    qint16 iPicSz = 0;
    bool bLoading = false;

    // Controls.
    QSplitter *Splitter = nullptr;
    QLineEdit *txURL = nullptr; // the address bar
    RegistrationPanel *Frame1 = nullptr;
    LinkListView *vSpr = nullptr;
    WebBrowser *WebBrow = nullptr;
    SearchBox *search = nullptr;
    TextSearch *text = nullptr; // "本文も検索"
    bool m_listPending = false; // the list waits for the background reading
    bool m_recent = false; // the list shows the newest links
    MainMenus m_menus;
    Receiver *m_receiver = nullptr;

    Capture m_capture;
    bool m_usesCaptureWindow = true;
    bool m_unloaded = false;
    QString m_startAddress;
};
