#pragma once

#include "collection/ListRow.h"

#include <QImage>
#include <QMainWindow>
#include <functional>

class LinkListView;
class ListSearch;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class RegistrationPanel;
class WebBrowser;

// The main window: the registration panel, the link list and the browser.
class fmLink : public QMainWindow
{
    Q_OBJECT
public:
    // Makes the window's browser; tests pass a fake one.
    using BrowserFactory = std::function<WebBrowser *(QWidget *parent)>;

    explicit fmLink(BrowserFactory browserFactory = {}, QWidget *parent = nullptr);
    ~fmLink() override;

    // The load sequence; false (with the reason) when the window cannot work, for example
    // when the link database cannot be opened.
    bool Form_Load(QString *error);
    // The page Form_Load opens instead of the search page (an address from the command line).
    void setStartAddress(const QString &address) { m_startAddress = address; }

    // Registration and the list.
    void RgstURL();
    void DelURL();
    void OpenRow(int nRow);
    void ShowMem(const QString &sTitle, QString &sText);
    void SetRgstEnab(bool bOn);
    void LoadGrp();
    void LoadList(bool bRecent);
    QString GetCell(int col, int row) const;
    QString GetCell(int col, int &row);
    void SetCell(int col, int &row, const QString &value);
    int listRows() const;

    // The picture of a page as the capture window takes it; tests replace it.
    std::function<QImage(const QString &sURL)> takePicture;
    // Pictures of every link anew, in number order.
    void PicAll();
    QList<ListRow> listedRows() const;

    // Dispatch of the menus and buttons by index.
    void mnFile_Click(int index);
    void mnDisp_Click(int index);
    void mnSlc_Click(int index);
    void mnRet_Click(int index);
    void mnData_Click(int index);
    void cmWeb_Click(int index);
    void Form_KeyDown(int key);

    // Window state.
    int nX1 = 0, nX2 = 0, nY1 = 0, nY2 = 0;
    qint16 iPicSz = 0;
    bool bLoading = false;

    // Controls.
    QSplitter *Splitter = nullptr;
    RegistrationPanel *Frame1 = nullptr;
    QLabel *Label1[3] = {nullptr, nullptr, nullptr}; // "並順", "分類", "表題と説明"
    QComboBox *cbGrp = nullptr;
    QPushButton *cmSlc = nullptr;
    QLineEdit *txSrt = nullptr;
    QPlainTextEdit *txMem = nullptr;
    QLabel *lbWeb = nullptr;
    QPushButton *cmWeb[4] = {nullptr, nullptr, nullptr, nullptr};
    LinkListView *vSpr = nullptr;
    WebBrowser *WebBrow = nullptr;
    ListSearch *search = nullptr;

    // The batch run's progress while it runs.
    class QProgressDialog *progressDialog = nullptr;

    // Menus.
    QMenu *mnJob[4] = {nullptr, nullptr, nullptr, nullptr};
    // Open folder, compact, import and export bookmarks, separator, quit.
    QAction *mnFile[6] = {};
    QAction *mnDisp[13] = {};
    QAction *mnSlc[4] = {};
    QAction *mnRet[5] = {};
    QAction *mnData[6] = {};

Q_SIGNALS:
    // The window has unloaded: the database is closed and the program may end.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPanel();
    void buildMenus();
    void buildList();
    void SetPicMenu();
    void ArrCtl();
    void coverWorkArea();
    void compact();
    void listKeyDown(int key);

    bool m_unloaded = false;
    QString m_startAddress;
};
