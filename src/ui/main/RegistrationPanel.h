#pragma once

#include "collection/CollectionIndex.h"

#include <QImage>
#include <QWidget>

#include <functional>

class LinkListView;
class SearchBox;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class WebBrowser;

namespace Registration {
struct Panel;
}

// The registration panel above the list: group, sort order, title and description, the key
// legend and the four buttons (positions as designed, in twips). It shows the page on show as
// it completes and asks what F3 and delete need to know; the work is done by RegisterPage and
// DeleteLink.
class RegistrationPanel : public QWidget
{
    Q_OBJECT
public:
    explicit RegistrationPanel(QWidget *parent = nullptr);

    // The panel works with the window's browser, list and register menu item. picture gives
    // the finished page picture for an address (null while pictures are off).
    void attach(WebBrowser *web, LinkListView *list, QAction *registerItem,
                std::function<QImage(const QString &)> picture, SearchBox *search = nullptr);

    // The controls the window places in its own menus and handlers.
    struct Controls
    {
        QLabel *Label1[3] = {nullptr, nullptr, nullptr}; // "並順", "分類", "表題と説明"
        QComboBox *cbGrp = nullptr;
        QCheckBox *chkBelow = nullptr; // "下位の分類も表示": a folder lists its subtree too
        QPushButton *cmSlc = nullptr;
        QLineEdit *txSrt = nullptr;
        QPlainTextEdit *txMem = nullptr;
        QLabel *lbWeb = nullptr;
        QPushButton *cmWeb[4] = {nullptr, nullptr, nullptr, nullptr};
        QLineEdit *txFind = nullptr;
    };
    const Controls &controls() const { return m_c; }

    bool LoadGrp();
    // The folder tree of the groups LoadGrp read.
    const GroupTree &tree() const { return m_tree; }
    void SetRgstEnab(bool bOn);
    void ShowMem(const QString &sTitle, QString &sText);
    void DocumentComplete(const QString &url, const QString &title, const QString &text,
                          bool loadFailed = false);
    void LoadFailed(const QString &url, const QString &reason);
    void OpenRow(int nRow);
    void RgstURL();
    void DelURL();
    // A link was saved from outside: a new page on show that it registered shows as registered.
    void registeredOutside();
    // Shows the saved copy of the list's active row in the browser, scripts off.
    void ShowSaved();

    // The link number of the registered page on show.
    qint64 linkOnShow() const { return nCurURL; }
    // How long F3 waits for the page opened last before giving up.
    void setRegisterWait(int ms) { registerWaitMs = ms; }

private:
    // The opened selector list as wide as its widest folder.
    void widenList();
    // Captions and label colours of a new or a registered page.
    void showState(bool isNew);
    // Captions, label colours and texts for a completed page; the group is the caller's.
    void showPage(const Registration::Panel &panel);
    // The twin note: the number always whole, the title shortened to what room is left.
    void showTwin();

    QString sCurURL;
    qint64 nCurURL = 0;
    bool bNewURL = false;
    int registerWaitMs = 10000;

    Controls m_c;
    GroupTree m_tree;
    QLabel *lbFind = nullptr;
    QLabel *lbSim = nullptr; // a registered twin of the new page on show

    WebBrowser *m_web = nullptr;
    LinkListView *m_list = nullptr;
    QAction *m_registerItem = nullptr;
    std::function<QImage(const QString &)> m_picture;
    SearchBox *m_search = nullptr;
    CollectionIndex::Twin m_twin;
    QString m_failure; // the reason of the load that failed, until its completion
    QString m_pageText; // the body text of the page sCurURL names, for the full-text search
    bool m_pageLoading = false; // a list row's page was opened and has not completed yet
    bool m_waiting = false; // F3 is waiting for that page
    QString m_copyCaption; // the caption while a saved copy is on show
};
