#include "fmLink.h"

#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/EventWait.h"
#include "platform/NumberText.h"
#include "platform/PackedRow.h"
#include "platform/Twips.h"
#include "platform/WebBrowser.h"
#include "platform/widgets/Grid.h"
#include "platform/widgets/WebEngineBrowser.h"
#include "settings/yIni.h"
#include "settings/widgets/sbUpc.h"
#include "output/Document.h"
#include "output/PageImage.h"
#include "output/Portal.h"
#include "ui/main/sbBrw.h"
#include "ui/maintenance/fmData.h"
#include "store/Sql.h"
#include "store/Statements.h"
#include "store/Store.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QHash>
#include <QUrl>
#include <algorithm>
#include <vector>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Places a control by its design geometry in twips.
void place(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(Twips::toPixelsX(left), Twips::toPixelsY(top), Twips::toPixelsX(width),
                   Twips::toPixelsY(height));
}

bool isWindowKey(int key)
{
    return key == Qt::Key_F3 || key == Qt::Key_F5 || key == Qt::Key_F8 || key == Qt::Key_F9
        || key == Qt::Key_F11;
}

} // namespace

fmLink::fmLink(BrowserFactory browserFactory, QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fmLink"));
    Splitter = new QSplitter(Qt::Vertical, this);
    Splitter->setChildrenCollapsible(false);
    setCentralWidget(Splitter);

    buildPanel();
    buildList();
    if (!browserFactory)
        browserFactory = [](QWidget *p) -> WebBrowser * { return new WebEngineBrowser(p); };
    WebBrow = browserFactory(Splitter);
    if (QWidget *view = WebBrow->widget())
        Splitter->addWidget(view);
    else
        Splitter->addWidget(new QWidget(Splitter));
    Splitter->setStretchFactor(0, 0);
    Splitter->setStretchFactor(1, 1);
    Splitter->setStretchFactor(2, 3);
    Splitter->setSizes({Frame1->height(), 250, 600});
    connect(WebBrow, &WebBrowser::DocumentComplete, this, &fmLink::DocumentComplete);

    buildMenus();
    takePicture = [this](const QString &url) { return sbBrw::Act(url, this); };
    // The window sees the function keys before its controls do.
    qApp->installEventFilter(this);
}

fmLink::~fmLink() { qApp->removeEventFilter(this); }

void fmLink::buildPanel()
{
    Frame1 = new QWidget(Splitter);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *row = new QHBoxLayout(Frame1);
    row->setContentsMargins(Twips::toPixelsX(30), Twips::toPixelsY(30), 0, 0);
    row->setSpacing(0);

    // Fixed controls on the left, as designed.
    auto *left = new QWidget(Frame1);
    left->setFixedSize(Twips::toPixelsX(3500 - 30), Twips::toPixelsY(855));
    Label1[1] = new QLabel(QStringLiteral("分類"), left);
    place(Label1[1], 60, 60, 435, 255);
    cbGrp = new QComboBox(left);
    cbGrp->setEditable(true);
    cbGrp->setInsertPolicy(QComboBox::NoInsert);
    place(cbGrp, 555, 15, 2340, 300);
    cmSlc = new QPushButton(QStringLiteral("抽出"), left);
    place(cmSlc, 570, 315, 675, 360);
    Label1[0] = new QLabel(QStringLiteral("並順"), left);
    place(Label1[0], 1860, 375, 435, 225);
    txSrt = new QLineEdit(QStringLiteral("100.0"), left);
    place(txSrt, 2340, 345, 555, 315);
    Label1[2] = new QLabel(QStringLiteral("表題と説明"), left);
    Label1[2]->setWordWrap(true);
    place(Label1[2], 2985, 45, 600, 495);
    row->addWidget(left);

    // The title and description box takes what the fixed parts leave.
    txMem = new QPlainTextEdit(Frame1);
    txMem->setFixedHeight(Twips::toPixelsY(765));
    txMem->setTabChangesFocus(true);
    row->addWidget(txMem, 1);
    row->addSpacing(Twips::toPixelsX(130));

    // The key legend and the four buttons stay at the right edge.
    auto *right = new QWidget(Frame1);
    // A little wider than designed, so the legend's last key is not cut by the frame.
    right->setFixedSize(Twips::toPixelsX(2320) + 16, Twips::toPixelsY(855));
    lbWeb = new QLabel(QStringLiteral("  F3   　  F8     F9   　F11"), right);
    place(lbWeb, 0, 200 - 30, 2085, 255);
    lbWeb->resize(right->width(), lbWeb->height());
    cmWeb[0] = new QPushButton(QStringLiteral("追加"), right);
    place(cmWeb[0], 20, 390 - 30, 510, 420);
    cmWeb[1] = new QPushButton(right);
    cmWeb[1]->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    cmWeb[1]->setToolTip(QStringLiteral("前のﾍﾟｰｼﾞに戻ります"));
    place(cmWeb[1], 620, 390 - 30, 450, 420);
    cmWeb[2] = new QPushButton(right);
    cmWeb[2]->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    cmWeb[2]->setToolTip(QStringLiteral("次のﾍﾟｰｼﾞに移動します"));
    place(cmWeb[2], 1120, 390 - 30, 450, 420);
    cmWeb[3] = new QPushButton(right);
    cmWeb[3]->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    cmWeb[3]->setToolTip(QStringLiteral("検索ﾍﾟｰｼﾞに移動します"));
    place(cmWeb[3], 1620, 390 - 30, 450, 420);
    row->addWidget(right, 0, Qt::AlignTop);
    for (int i = 0; i < 4; ++i)
        connect(cmWeb[i], &QPushButton::clicked, this, [this, i] { cmWeb_Click(i); });
    connect(cmSlc, &QPushButton::clicked, this, [this] { mnSlc_Click(0); });

    Frame1->setFixedHeight(Twips::toPixelsY(855 + 60));
    Splitter->addWidget(Frame1);
}

void fmLink::buildList()
{
    vSpr = new Grid(Splitter);
    vSpr->setObjectName(QStringLiteral("vSpr"));
    vSpr->SetMaxCols(5);
    vSpr->SetHeader(1, QStringLiteral("nURL"));
    vSpr->SetHeader(2, QStringLiteral("sURL"));
    vSpr->SetHeader(3, QStringLiteral("分類"));
    vSpr->SetHeader(4, QStringLiteral("表題"));
    vSpr->SetHeader(5, QStringLiteral("説明"));
    vSpr->SetRowHeadersVisible(false);
    vSpr->SetColHidden(2, true);
    vSpr->SetColWidth(3, 9.87);
    vSpr->SetColWidth(4, 28.75);
    vSpr->SetColWidth(5, 93.62);
    for (int c = 1; c <= 5; ++c)
        vSpr->SetColLocked(c, true);
    vSpr->SetMaxRows(0);
    connect(vSpr, &Grid::Click, this, [this](int, int row) { OpenRow(row); });
    connect(vSpr, &Grid::KeyDown, this, [this](int key, Qt::KeyboardModifiers) { listKeyDown(key); });
    connect(vSpr, &Grid::RightClick, this,
            [this](int, int, const QPoint &pos) { mnJob[3]->popup(pos); });
    Splitter->addWidget(vSpr);
}

void fmLink::buildMenus()
{
    auto item = [this](QMenu *menu, const QString &text, std::function<void()> slot) {
        if (text == u"-")
            return menu->addSeparator();
        QAction *a = menu->addAction(text);
        connect(a, &QAction::triggered, this, std::move(slot));
        return a;
    };

    mnJob[0] = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    const QString files[4] = {QStringLiteral("ﾃﾞｰﾀｰﾌｫﾙﾀﾞを開く"), QStringLiteral("ﾃﾞｰﾀｰﾍﾞｰｽの最適化"),
                              QStringLiteral("-"), QStringLiteral("終了(&Q)")};
    for (int i = 0; i < 4; ++i)
        mnFile[i] = item(mnJob[0], files[i], [this, i] { mnFile_Click(i); });

    mnJob[1] = menuBar()->addMenu(QStringLiteral("ﾌﾞﾗｳｻﾞ(&L)"));
    const QString disp[13] = {QStringLiteral("ﾎｰﾑﾍﾟｰｼﾞへ移動"),
                              QStringLiteral("検索ﾍﾟｰｼﾞへ移動"),
                              QStringLiteral("-"),
                              QStringLiteral("ﾍﾟｰｼﾞ設定(&U)"),
                              QStringLiteral("印刷ﾌﾟﾚﾋﾞｭｰ(&V)"),
                              QStringLiteral("印刷"),
                              QStringLiteral("-"),
                              QStringLiteral("最新の状態に更新"),
                              QStringLiteral("保存"),
                              QStringLiteral("-"),
                              QStringLiteral("URLをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"),
                              QStringLiteral("ﾍﾟｰｼﾞのﾃｷｽﾄをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"),
                              QStringLiteral("ﾍﾟｰｼﾞのHTMをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ")};
    for (int i = 0; i < 13; ++i)
        mnDisp[i] = item(mnJob[1], disp[i], [this, i] { mnDisp_Click(i); });
    // F5 and F11 are caught with the other window keys; the menu only shows them.
    mnDisp[1]->setText(mnDisp[1]->text() + QStringLiteral("\tF11"));
    mnDisp[7]->setText(mnDisp[7]->text() + QStringLiteral("\tF5"));
    mnDisp[5]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    mnDisp[5]->setShortcutContext(Qt::WindowShortcut);
    addAction(mnDisp[5]);

    mnJob[2] = menuBar()->addMenu(QStringLiteral("ﾘｽﾄ(&S)"));
    const QString slc[3] = {QStringLiteral("抽出"), QStringLiteral("最近登録したﾍﾟｰｼﾞ"),
                            QStringLiteral("-")};
    for (int i = 0; i < 3; ++i)
        mnSlc[i] = item(mnJob[2], slc[i], [this, i] { mnSlc_Click(i); });
    const QString ret[5] = {QStringLiteral("Htmに出力"), QStringLiteral("Docに出力(画像付き)"),
                            QStringLiteral("-"), QStringLiteral("一括画像出力"),
                            QStringLiteral("画像出力の指定")};
    for (int i = 0; i < 5; ++i)
        mnRet[i] = item(mnJob[2], ret[i], [this, i] { mnRet_Click(i); });

    mnJob[3] = menuBar()->addMenu(QStringLiteral("登録(&D)"));
    const QString data[4] = {QStringLiteral("追加登録(&W)"), QStringLiteral("削除(&D)"),
                             QStringLiteral("-"), QStringLiteral("ﾃﾞｰﾀｰ")};
    for (int i = 0; i < 4; ++i)
        mnData[i] = item(mnJob[3], data[i], [this, i] { mnData_Click(i); });
    // Nothing to register until the first page has completed.
    mnData[0]->setEnabled(false);
}

QString fmLink::homeDefault() const
{
    // The portal page written last, else the search page.
    QDir doc(Usr::sDataPh + QStringLiteral("Doc"));
    const QFileInfoList pages = doc.entryInfoList({QStringLiteral("*.htm"), QStringLiteral("*.html")},
                                                  QDir::Files, QDir::Time);
    if (!pages.isEmpty())
        return QUrl::fromLocalFile(pages.first().absoluteFilePath()).toString();
    return WebBrow->searchPage();
}

bool fmLink::Form_Load(QString *error)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bLoading = true;
    SetPicMenu();
    if (!Store::OpenDb(Usr::sDataPh + QStringLiteral("dbLink.mdb"), error)) {
        QApplication::restoreOverrideCursor();
        return false;
    }
    // Home and search pages come from optional settings; they are read, never written here.
    if (Usr::Ini) {
        QString search = qEnvironmentVariable("LINKWELL_SEARCH_URL");
        if (search.isEmpty())
            search = QStringLiteral("https://duckduckgo.com/");
        WebBrow->setSearchPage(Usr::Ini->vGtVal(QStringLiteral("SEARCH_URL"), search).toString());
        QString home = qEnvironmentVariable("LINKWELL_HOME_URL");
        if (home.isEmpty())
            home = homeDefault();
        WebBrow->setHomePage(Usr::Ini->vGtVal(QStringLiteral("HOME_URL"), home).toString());
    }
    LoadGrp();
    LoadList(false);
    Usr::GetWkArea(nX1, nX2, nY1, nY2, true);
    if (nX2 > nX1 && nY2 > nY1) {
        setGeometry(Twips::toPixelsX(nX1), Twips::toPixelsY(nY1), Twips::toPixelsX(nX2 - nX1),
                    Twips::toPixelsY(nY2 - nY1));
    }
    if (m_startAddress.isEmpty())
        WebBrow->GoSearch();
    else
        WebBrow->Navigate(m_startAddress);
    EventWait::once();
    bLoading = false;
    QApplication::restoreOverrideCursor();
    if (m_unloaded) // closed while loading
        return true;
    show();
    ArrCtl();
    return true;
}

void fmLink::SetPicMenu()
{
    if (iPicSz == 0 && Usr::Ini) {
        iPicSz = qint16(Usr::Ini->vGtVal(QStringLiteral("PC_SIZE"), 0).toDouble());
        if (iPicSz == 0) {
            iPicSz = 50;
            Usr::Ini->SetVal(QStringLiteral("PC_SIZE"), int(iPicSz));
        }
    }
    mnRet[1]->setEnabled(iPicSz != -1);
    mnRet[3]->setEnabled(iPicSz != -1);
}

void fmLink::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (!bLoading && !isMinimized())
        ArrCtl();
}

void fmLink::ArrCtl()
{
    // The panel follows the window's width through its layout; the description column is as
    // wide as the work area allows, whatever the window's size.
    const double p = (nX2 - nX1) / Twips::perPixelX();
    if (p <= 0)
        return;
    const double width = p / 8.0 - vSpr->ColWidth(2) - vSpr->ColWidth(3) - vSpr->ColWidth(4) - 5.0;
    vSpr->SetColWidth(5, qMax(width, 5.0));
}

void fmLink::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void fmLink::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    Store::CloseDb();
    Q_EMIT unloaded();
}

bool fmLink::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QMainWindow::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!isWindowKey(key->key()) || !widget || widget->window() != this)
        return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        // Claim the key so no control's shortcut takes it; the press follows.
        event->accept();
        return true;
    }
    if (!key->isAutoRepeat() || key->key() != Qt::Key_F3)
        Form_KeyDown(key->key());
    return true;
}

void fmLink::Form_KeyDown(int key)
{
    switch (key) {
    case Qt::Key_F3: mnData_Click(0); break;
    case Qt::Key_F5: mnDisp_Click(7); break;
    case Qt::Key_F8: cmWeb_Click(1); break;
    case Qt::Key_F9: cmWeb_Click(2); break;
    case Qt::Key_F11: cmWeb_Click(3); break;
    default: break;
    }
}

QList<ListRow> fmLink::listedRows() const
{
    QList<ListRow> rows;
    const int n = listRows();
    rows.reserve(n);
    for (int i = 1; i <= n; ++i)
        rows.append({vSpr->GetText(1, i), vSpr->GetText(2, i), vSpr->GetText(3, i), vSpr->GetText(4, i),
                     vSpr->GetText(5, i)});
    return rows;
}

void fmLink::MakeHtm()
{
    // What the list shows now becomes the page; the browser shows it once it is written.
    const QString path = Portal::make(listedRows(), cbGrp->currentText(), Usr::sDataPh);
    if (!path.isEmpty())
        WebBrow->Navigate(path);
}

void fmLink::MakeDoc()
{
    Document::make(listedRows(), cbGrp->currentText(), Usr::sDataPh, iPicSz);
}

void fmLink::mnFile_Click(int index)
{
    switch (index) {
    case 0: Usr::Ini->W_ExpFd(Usr::sDataPh, false); break;
    case 1: Store::CompactDb(); break;
    case 3: close(); break;
    default: break;
    }
}

void fmLink::mnSlc_Click(int index)
{
    if (index == 0 || index == 1)
        LoadList(index == 1);
}

void fmLink::mnRet_Click(int index)
{
    switch (index) {
    case 0: MakeHtm(); break;
    case 1: MakeDoc(); break;
    case 3: PicAll(); break;
    case 4: sbUpc::Act(iPicSz, this); break;
    default: break;
    }
}

void fmLink::mnData_Click(int index)
{
    switch (index) {
    case 0: RgstURL(); break;
    case 1: DelURL(); break;
    case 3: fmData::Act(nX1, nX2, nY1, nY2, this); break;
    default: break;
    }
}

void fmLink::mnDisp_Click(int index)
{
    switch (index) {
    case 0: WebBrow->GoHome(); break;
    case 1: WebBrow->GoSearch(); break;
    case 3: WebBrow->ExecWB(WebBrowser::PageSetup, 0); break;
    case 4: WebBrow->ExecWB(WebBrowser::PrintPreview, 0); break;
    case 5: WebBrow->ExecWB(WebBrowser::Print, 0); break;
    case 7: WebBrow->ExecWB(WebBrowser::Refresh, 0); break;
    case 8: WebBrow->ExecWB(WebBrowser::SaveAs, 0); break;
    case 10:
    case 11:
    case 12: copyToClipboard(index); break;
    default: break;
    }
}

void fmLink::cmWeb_Click(int index)
{
    switch (index) {
    case 0: RgstURL(); break;
    case 1: WebBrow->GoBack(); break;
    case 2: WebBrow->GoForward(); break;
    case 3: WebBrow->GoSearch(); break;
    default: break;
    }
}

void fmLink::copyToClipboard(int index)
{
    // Nothing loaded: the clipboard stays as it was.
    if (WebBrow->LocationURL().isEmpty())
        return;
    const QString text = index == 10   ? WebBrow->LocationURL()
                         : index == 11 ? WebBrow->bodyText()
                                       : WebBrow->bodyHtml();
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
    Dialogs::message(QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰしました"));
}

// ---- Registration -------------------------------------------------------------------------

void fmLink::SetRgstEnab(bool bOn)
{
    mnData[0]->setEnabled(bOn);
    cmWeb[0]->setEnabled(bOn);
}

void fmLink::ShowMem(const QString &sTitle, QString &sText)
{
    int from = 0;
    for (int found = 0; found < 4; ++found) {
        const int p = sText.indexOf(kCrLf, from);
        if (p < 0)
            break;
        from = p + 2;
        if (found == 3)
            sText.truncate(from);
    }
    sText.replace(kCrLf, QStringLiteral(" "));
    sText.remove(u'\r');
    int a = 0;
    int b = int(sText.size());
    while (a < b && sText[a] == u' ')
        ++a;
    while (b > a && sText[b - 1] == u' ')
        --b;
    sText = sText.mid(a, b - a);
    txMem->setPlainText(sTitle + u'\n' + sText);
}

void fmLink::DocumentComplete(const QString &url, const QString &pageTitle, const QString &pageText)
{
    // Look the page up first: a failing statement leaves the panel as it was.
    QString error;
    const Sql::Rows found = Sql::query(Sql::SetPrm(Sql::kPageLookup, {url}), &error);
    if (!error.isEmpty()) {
        Dialogs::message(QStringLiteral("ﾍﾟｰｼﾞの検索に失敗しました: ") + error);
        return;
    }
    QString text = pageText;
    sCurURL = url;
    // https pages are registrable as well as http ones.
    const bool registrable = !url.isEmpty()
        && (url.contains(QStringLiteral("http://"), Qt::CaseInsensitive)
            || url.contains(QStringLiteral("https://"), Qt::CaseInsensitive));
    mnData[0]->setEnabled(registrable);
    txSrt->setEnabled(registrable);
    txMem->setEnabled(registrable);
    QString title = pageTitle;
    if (title.contains(QStringLiteral("http"), Qt::CaseInsensitive))
        title.clear();

    bNewURL = found.isEmpty();
    mnData[0]->setText(bNewURL ? QStringLiteral("追加登録(&W)") : QStringLiteral("修正登録(&W)"));
    cmWeb[0]->setText(bNewURL ? QStringLiteral("追加") : QStringLiteral("修正"));
    const QColor colour = bNewURL ? QColor(0, 0, 0) : QColor(0, 0, 255);
    for (QLabel *label : Label1) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, colour);
        label->setPalette(pal);
    }
    if (bNewURL) {
        txSrt->setText(QStringLiteral("100"));
        ShowMem(title, text);
        return;
    }
    const QVariantList &rec = found.first(); // gSrt, nURL, sNam, sMem
    cbGrp->setEditText(GetCell(3, 0));
    nCurURL = rec.value(1).toInt();
    if (!rec.value(2).toString().isEmpty())
        title = rec.value(2).toString();
    if (!rec.value(3).toString().isEmpty())
        text = rec.value(3).toString();
    txSrt->setText(QString::number(NumberText::toSingle(rec.value(0).toDouble()), 'f', 1));
    ShowMem(title, text);
    SetRgstEnab(true);
}

void fmLink::OpenRow(int nRow)
{
    SetRgstEnab(false);
    const QString address = GetCell(2, nRow);
    if (address.isEmpty())
        return;
    nCurURL = GetCell(1, nRow).toInt();
    WebBrow->Navigate(address);
    setWindowTitle(address);
    vSpr->SetActiveRow(nRow);
    vSpr->setFocus();
}

void fmLink::RgstURL()
{
    // Wait until the page on show has completed.
    if (!cmWeb[0]->isEnabled()) {
        if (!EventWait::passes(100000, [this] { return cmWeb[0]->isEnabled(); })) {
            Dialogs::message(QStringLiteral("ﾍﾟｰｼﾞのﾀﾞｳﾝﾛｰﾄﾞ中です　終了までお待ち下さい"));
            return;
        }
    }
    int n = 0;
    int r = 0;
    if (bNewURL) {
        bool ok = false;
        n = Usr::NewURLNo(&ok);
        if (!ok)
            return;
    } else {
        if (listRows() == 0)
            return;
        bool ok = false;
        n = GetCell(1, r).toInt(&ok);
        if (!ok || n != nCurURL)
            return;
    }
    if (iPicSz != -1)
        SavePic(WebBrow->LocationURL(), n);

    // Title on the first line, the description after it.
    QString all = txMem->toPlainText();
    all.replace(kCrLf, QStringLiteral("\r"));
    all.replace(u'\n', u'\r');
    all.replace(u'\r', kCrLf);
    QString title = all;
    QString desc;
    const int p = all.indexOf(kCrLf);
    if (p >= 0) {
        title = all.left(p);
        desc = all.mid(p + 2);
        while (desc.startsWith(kCrLf))
            desc.remove(0, 2);
        while (desc.endsWith(kCrLf))
            desc.chop(2);
    }
    const double sort = NumberText::toSingle(NumberText::lenient(txSrt->text()));
    const QString groupText = cbGrp->currentText();
    const int nGrp = Usr::GrpNoOf(groupText);

    QString error;
    bool ok = false;
    if (bNewURL) {
        n = Usr::NewURLNo(&ok);
        if (!ok)
            return;
        ok = Sql::exec(Sql::SetPrm(Sql::kInsertLink, {n, sCurURL, nGrp, title, desc, sort}), &error);
    } else {
        ok = Sql::exec(Sql::SetPrm(Sql::kUpdateLink, {nGrp, title, desc, sort, nCurURL}), &error);
    }
    if (!ok) {
        Dialogs::message(QStringLiteral("ﾘﾝｸの登録に失敗しました: ") + error);
        return;
    }

    if (bNewURL) {
        vSpr->InsertRows(1, 1);
        vSpr->SetTopRow(1);
        r = 1;
    }
    vSpr->SetActiveRow(r);
    vSpr->setFocus();
    SetCell(1, r, QString::number(n));
    int active = 0;
    SetCell(2, active, sCurURL);
    SetCell(3, active, groupText);
    SetCell(4, active, title);
    SetCell(5, active, desc);
}

void fmLink::DelURL()
{
    const int rows = listRows();
    if (rows == 0)
        return;
    bool ok = false;
    const int n = GetCell(1, 0).toInt(&ok);
    if (!ok || n == 0)
        return;
    QString error;
    if (!Sql::exec(Sql::SetPrm(Sql::kDeleteLink, {n}), &error)) {
        Dialogs::message(QStringLiteral("ﾘﾝｸの削除に失敗しました: ") + error);
        return;
    }
    // The picture goes with its link, so a later link of the same number starts without one.
    QFile::remove(Usr::sDataPh + QStringLiteral("Pic/") + QString::number(n) + QStringLiteral(".jpg"));
    vSpr->DeleteRows(vSpr->ActiveRow(), 1);
    if (rows >= 2)
        OpenRow(vSpr->ActiveRow());
}

void fmLink::SavePic(const QString &sURL, int nURL)
{
    if (PageImage::scaleFor(iPicSz) == 0.0f)
        return;
    const QImage picture = takePicture ? takePicture(sURL) : QImage();
    if (picture.isNull())
        return;
    // A failing step leaves the earlier picture; a file that cannot be written is reported.
    const QImage img = PageImage::process(picture, iPicSz);
    if (img.isNull())
        return;
    const QString path = PageImage::fileFor(Usr::sDataPh, nURL);
    QString error;
    if (!PageImage::writeJpeg(img, path, &error))
        Dialogs::message(path + QStringLiteral(" を保存できません: ") + error);
}

void fmLink::PicAll()
{
    QString error;
    const Sql::Rows links = Sql::query(Sql::SetPrm(Sql::kAllLinksForImages, {}), &error);
    if (!error.isEmpty()) {
        Dialogs::message(QStringLiteral("ﾘﾝｸの読み込みに失敗しました: ") + error);
        return;
    }
    if (links.isEmpty())
        return;
    // A long run can be ended after the current link.
    QProgressDialog progress(this);
    progress.setWindowTitle(Dialogs::title());
    progress.setCancelButtonText(QStringLiteral("中止"));
    progress.setRange(0, int(links.size()));
    progress.setMinimumDuration(0);
    progress.setWindowModality(Qt::WindowModal);
    progressDialog = &progress;
    int i = 0;
    for (const QVariantList &link : links) {
        if (progress.wasCanceled())
            break;
        const QString address = link.value(1).toString();
        progress.setLabelText(QStringLiteral("%1 / %2\n%3").arg(i + 1).arg(links.size()).arg(address));
        progress.setValue(i);
        SavePic(address, link.value(0).toInt());
        ++i;
    }
    progress.setValue(int(links.size()));
    progressDialog = nullptr;
}

// ---- The list -------------------------------------------------------------------------------

int fmLink::listRows() const { return vSpr->MaxRows(); }

QString fmLink::GetCell(int col, int row) const
{
    if (row == 0)
        row = vSpr->ActiveRow();
    return vSpr->GetText(col, row);
}

QString fmLink::GetCell(int col, int &row)
{
    if (row == 0)
        row = vSpr->ActiveRow();
    return vSpr->GetText(col, row);
}

void fmLink::SetCell(int col, int &row, const QString &value)
{
    if (row == 0)
        row = vSpr->ActiveRow();
    vSpr->SetText(col, row, value);
}

void fmLink::LoadGrp()
{
    QString error;
    const Sql::Rows groups = Sql::query(Sql::SetPrm(Sql::kGroups, {}), &error);
    if (!error.isEmpty()) {
        Dialogs::message(QStringLiteral("分類の読み込みに失敗しました: ") + error);
        return;
    }
    cbGrp->clear();
    cbGrp->addItem(QStringLiteral("*"));
    Usr::sGrpList.clear();
    for (const QVariantList &g : groups) {
        const QString name = g.value(1).toString();
        cbGrp->addItem(name);
        Usr::sGrpList += name + u'\t' + QString::number(g.value(0).toInt()) + u'\r';
    }
    cbGrp->setCurrentIndex(0);
}

namespace {

struct ListEntry
{
    int groupRank;
    double linkSort;
    PackedRow cells; // nURL, sURL, sGrp, sNam, sMem
};

struct ListGroup
{
    QByteArray name;
    double sort = 0;
    int rank = 0;
};

// Ranks groups by sort key then name; groups equal in both share a rank, so their links mix
// as the joined listing would mix them.
void rankGroups(QHash<qint64, ListGroup> &groups)
{
    std::vector<ListGroup *> order;
    order.reserve(size_t(groups.size()));
    for (ListGroup &g : groups)
        order.push_back(&g);
    auto before = [](const ListGroup *a, const ListGroup *b) {
        if (a->sort != b->sort)
            return a->sort < b->sort;
        return compareNoCase(a->name, b->name) < 0;
    };
    std::sort(order.begin(), order.end(), before);
    for (size_t i = 0; i < order.size(); ++i)
        order[i]->rank = i > 0 && !before(order[i - 1], order[i]) ? order[i - 1]->rank : int(i);
}

} // namespace

void fmLink::LoadList(bool bRecent)
{
    // The rows are collected first and reach the grid in one step, so a failing query leaves
    // the list as it was and the grid is painted once. They stay UTF-8 from the engine on.
    std::vector<ListEntry> entries;
    entries.reserve(size_t(qMax(vSpr->MaxRows(), 64)));
    QString error;
    bool ok = true;
    if (bRecent) {
        ok = Sql::forEachUtf8(Sql::SetPrm(Sql::kRecentLinks, {}), [&](const Sql::TextRow &r) {
            entries.push_back({0, 0.0, PackedRow{r.text(0), r.text(1), r.text(2), r.text(3), r.text(4)}});
        }, &error);
    } else {
        // Only links whose group row exists are listed, as the joined listing does.
        QHash<qint64, ListGroup> groups;
        ok = Sql::forEachUtf8(Sql::SetPrm(Sql::kListGroups, {}), [&](const Sql::TextRow &r) {
            groups.insert(qint64(r.number(0)), {r.text(1).toByteArray(), r.number(2), 0});
        }, &error);
        rankGroups(groups);
        const int n = Usr::GrpNoOf(cbGrp->currentText());
        const Sql::Statement st = n > 0 ? Sql::SetPrm(Sql::kListLinksOfGroup, {n}) : Sql::SetPrm(Sql::kListLinks, {});
        ok = ok && Sql::forEachUtf8(st, [&](const Sql::TextRow &r) {
            const auto g = groups.constFind(qint64(r.number(2)));
            if (g == groups.constEnd())
                return;
            entries.push_back({g->rank, r.number(5), PackedRow{r.text(0), r.text(1), g->name, r.text(3), r.text(4)}});
        }, &error);
    }
    if (!ok) {
        Dialogs::message(QStringLiteral("ﾘｽﾄの読み込みに失敗しました: ") + error);
        return;
    }
    if (!bRecent) {
        // Groups by sort key then name, links by sort key then title.
        std::stable_sort(entries.begin(), entries.end(), [](const ListEntry &a, const ListEntry &b) {
            if (a.groupRank != b.groupRank)
                return a.groupRank < b.groupRank;
            if (a.linkSort != b.linkSort)
                return a.linkSort < b.linkSort;
            return compareNoCase(a.cells.cell(3), b.cells.cell(3)) < 0;
        });
    }
    std::vector<PackedRow> rows;
    rows.reserve(entries.size());
    for (ListEntry &e : entries)
        rows.push_back(std::move(e.cells));
    vSpr->model()->fillRows(std::move(rows));
}

void fmLink::listKeyDown(int key)
{
    const int r = vSpr->ActiveRow();
    int target = -1;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: target = r; break;
    case Qt::Key_Up: target = r - 1; break;
    case Qt::Key_Down: target = r + 1; break;
    case Qt::Key_Delete: DelURL(); return;
    default: return;
    }
    if (target >= 0 && target <= listRows()) {
        OpenRow(target);
        // The active row ends on the row whose link was opened.
        vSpr->consumeKey();
    }
}
