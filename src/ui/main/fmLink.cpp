#include "fmLink.h"
#include "platform/DataFolder.h"

#include "app/Usr.h"
#include "output/Document.h"
#include "output/Portal.h"
#include "platform/Dialogs.h"
#include "platform/EventWait.h"
#include "platform/Twips.h"
#include "platform/WebBrowser.h"
#include "platform/widgets/WebEngineBrowser.h"
#include "settings/widgets/sbUpc.h"
#include "settings/yIni.h"
#include "store/Store.h"
#include "ui/main/BookmarkCommands.h"
#include "ui/main/BrowserCommands.h"
#include "ui/main/LinkListView.h"
#include "ui/main/ListSearch.h"
#include "ui/main/MainMenus.h"
#include "ui/main/PagePictures.h"
#include "ui/main/RegistrationPanel.h"
#include "ui/main/WindowPlace.h"
#include "ui/main/sbBrw.h"
#include "ui/maintenance/fmData.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>

namespace {

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
    buildMenus();
    search = new ListSearch(Frame1->controls().txFind, vSpr, this);
    connect(search, &ListSearch::cleared, this,
            [this] { vSpr->load(false, Usr::GrpNoOf(cbGrp->currentText())); });
    connect(WebBrow, &WebBrowser::LoadFailed, Frame1, &RegistrationPanel::LoadFailed);
    connect(WebBrow, &WebBrowser::DocumentComplete, Frame1, &RegistrationPanel::DocumentComplete);
    Frame1->attach(
        WebBrow, vSpr, mnData[0],
        [this](const QString &url) {
            return iPicSz != -1 ? PagePictures::take(takePicture, url, iPicSz) : QImage();
        },
        search);
    takePicture = [this](const QString &url) { return sbBrw::Act(url, this); };
    // The window sees the function keys before its controls do.
    qApp->installEventFilter(this);
}

fmLink::~fmLink()
{
    qApp->removeEventFilter(this);
}

void fmLink::buildPanel()
{
    Frame1 = new RegistrationPanel(Splitter);
    const RegistrationPanel::Controls &c = Frame1->controls();
    std::copy(std::begin(c.Label1), std::end(c.Label1), Label1);
    std::copy(std::begin(c.cmWeb), std::end(c.cmWeb), cmWeb);
    cbGrp = c.cbGrp;
    cmSlc = c.cmSlc;
    txSrt = c.txSrt;
    txMem = c.txMem;
    lbWeb = c.lbWeb;
    for (int i = 0; i < 4; ++i)
        connect(cmWeb[i], &QPushButton::clicked, this, [this, i] { cmWeb_Click(i); });
    connect(cmSlc, &QPushButton::clicked, this, [this] { mnSlc_Click(0); });
    Splitter->addWidget(Frame1);
}

void fmLink::buildList()
{
    vSpr = new LinkListView(Splitter);
    connect(vSpr, &Grid::Click, this, [this](int, int row) { OpenRow(row); });
    connect(vSpr, &Grid::KeyDown, this,
            [this](int key, Qt::KeyboardModifiers) { listKeyDown(key); });
    connect(vSpr, &Grid::RightClick, this,
            [this](int, int, const QPoint &pos) { mnJob[3]->popup(pos); });
    Splitter->addWidget(vSpr);
}

void fmLink::buildMenus()
{
    MainMenus::build(*this);
}

bool fmLink::Form_Load(QString *error)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bLoading = true;
    SetPicMenu();
    if (!Store::OpenDb(DataFolder::database(Usr::sDataPh), error)) {
        QApplication::restoreOverrideCursor();
        return false;
    }
    if (Usr::Ini)
        BrowserCommands::setPages(WebBrow, *Usr::Ini, Usr::sDataPh);
    LoadGrp();
    LoadList(false);
    Usr::GetWkArea(nX1, nX2, nY1, nY2, true);
    if (m_startAddress.isEmpty())
        WebBrow->GoSearch();
    else
        WebBrow->Navigate(m_startAddress);
    EventWait::once();
    bLoading = false;
    QApplication::restoreOverrideCursor();
    if (m_unloaded) // closed while loading
        return true;
    // Where it was when it last closed; the first start covers the work area.
    const bool placed = Usr::Ini && WindowPlace::restore(*this, *Splitter, *Usr::Ini);
    show();
    if (!placed)
        coverWorkArea();
    else
        WindowPlace::keepInside(*this);
    ArrCtl();
    // The search index is read once the window shows; the list on show then shares its rows.
    QTimer::singleShot(0, this, [this] {
        if (search->ensureBuilt() && !search->isActive() && Usr::GrpNoOf(cbGrp->currentText()) == 0
            && vSpr->MaxRows() == int(search->index().allRows().size()))
            vSpr->model()->fillRows(std::vector<PackedRow>(search->index().allRows()));
    });
    return true;
}

void fmLink::coverWorkArea()
{
    if (nX2 <= nX1 || nY2 <= nY1)
        return;
    // The frame covers the work area: the client area is smaller by the frame's margins.
    const QRect area(Twips::toPixelsX(nX1), Twips::toPixelsY(nY1), Twips::toPixelsX(nX2 - nX1),
                     Twips::toPixelsY(nY2 - nY1));
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(area.size() - frame);
    move(area.topLeft());
}

void fmLink::SetPicMenu()
{
    if (iPicSz == 0 && Usr::Ini) {
        // A value outside the scales is taken as the nearest one.
        iPicSz = qint16(
            qBound(-1.0, Usr::Ini->vGtVal(QStringLiteral("PC_SIZE"), 0).toDouble(), 100.0));
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
    if (m_unloaded)
        return event->accept();
    m_unloaded = true;
    if (Usr::Ini && isVisible())
        WindowPlace::store(*this, *Splitter, *Usr::Ini);
    Store::CloseDb();
    event->accept();
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
    return vSpr->listedRows();
}

void fmLink::mnFile_Click(int index)
{
    switch (index) {
    case 0: Usr::Ini->W_ExpFd(Usr::sDataPh, false); break;
    case 1: compact(); break;
    case 2: BookmarkCommands::importFile(*this); break;
    case 3: BookmarkCommands::exportFile(); break;
    case 5: close(); break;
    default: break;
    }
}

void fmLink::compact()
{
    // A large collection takes a while: a window with Cancel shows that it works.
    QProgressDialog progress(tr("ﾃﾞｰﾀｰﾍﾞｰｽを最適化しています"), tr("中止"), 0, 0, this);
    progress.setWindowTitle(Dialogs::title());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    Store::CompactDb([&progress] {
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });
}

void fmLink::mnSlc_Click(int index)
{
    if (index == 0 || index == 1)
        LoadList(index == 1);
    if (index == 2) {
        Frame1->controls().txFind->setFocus();
        Frame1->controls().txFind->selectAll();
    }
}

void fmLink::mnRet_Click(int index)
{
    switch (index) {
    case 0:
        // What the list shows now becomes the page; the browser shows it once it is written.
        if (const QString path = Portal::make(listedRows(), cbGrp->currentText(), Usr::sDataPh);
            !path.isEmpty())
            WebBrow->Navigate(path);
        break;
    case 1: Document::make(listedRows(), cbGrp->currentText(), Usr::sDataPh, iPicSz); break;
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
    case 3:
        fmData::Act(nX1, nX2, nY1, nY2, this);
        search->rebuild(); // the window may have changed anything
        break;
    case 5: Frame1->ShowSaved(); break;
    default: break;
    }
}

void fmLink::mnDisp_Click(int index)
{
    BrowserCommands::run(WebBrow, index);
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

// ---- Registration: the panel does the work ----------------------------------------------

void fmLink::SetRgstEnab(bool bOn)
{
    Frame1->SetRgstEnab(bOn);
}
void fmLink::ShowMem(const QString &sTitle, QString &sText)
{
    Frame1->ShowMem(sTitle, sText);
}
void fmLink::OpenRow(int nRow)
{
    Frame1->OpenRow(nRow);
}
void fmLink::RgstURL()
{
    Frame1->RgstURL();
}
void fmLink::DelURL()
{
    Frame1->DelURL();
}

void fmLink::PicAll()
{
    PagePictures::all(this, takePicture, iPicSz, Usr::sDataPh, &progressDialog);
}

// ---- The list -------------------------------------------------------------------------------

int fmLink::listRows() const
{
    return vSpr->MaxRows();
}

QString fmLink::GetCell(int col, int row) const
{
    return vSpr->GetCell(col, row);
}
QString fmLink::GetCell(int col, int &row)
{
    return vSpr->GetCell(col, row);
}
void fmLink::SetCell(int col, int &row, const QString &value)
{
    vSpr->SetCell(col, row, value);
}

void fmLink::LoadGrp()
{
    Frame1->LoadGrp();
}

void fmLink::LoadList(bool bRecent)
{
    vSpr->load(bRecent, Usr::GrpNoOf(cbGrp->currentText()));
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
