#include "fmLink.h"
#include "platform/DataFolder.h"

#include "address/Address.h"
#include "app/CaptureApi.h"
#include "app/Usr.h"
#include "collection/CollectionIndex.h"
#include "collection/GroupFolders.h"
#include "collection/LinkIndex.h"
#include "collection/LinkList.h"
#include "output/Document.h"
#include "output/Portal.h"
#include "platform/Dialogs.h"
#include "platform/EventWait.h"
#include "platform/Twips.h"
#include "platform/WebBrowser.h"
#include "platform/widgets/OffscreenPicturer.h"
#include "platform/widgets/ProgressWindow.h"
#include "platform/widgets/WebEngineBrowser.h"
#include "settings/widgets/sbUpc.h"
#include "settings/yIni.h"
#include "store/Store.h"
#include "ui/main/AddressBar.h"
#include "ui/main/BookmarkCommands.h"
#include "ui/main/BrowserCommands.h"
#include "ui/main/LinkListView.h"
#include "ui/main/PagePictures.h"
#include "ui/main/Receiver.h"
#include "ui/main/ReceiverDialog.h"
#include "ui/main/RegistrationPanel.h"
#include "ui/main/SearchBox.h"
#include "ui/main/TextSearch.h"
#include "ui/main/WindowPlace.h"
#include "ui/main/sbBrw.h"
#include "ui/maintenance/fmData.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace {

// Rows read before the window shows: more than a screen holds.
constexpr int kFirstScreen = 300;

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
    Splitter->setObjectName(QStringLiteral("Splitter"));
    Splitter->setChildrenCollapsible(false);
    setCentralWidget(Splitter);

    buildAddressBar();
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
    // How many links the search found, at the foot of the window.
    auto *count = new QLabel(this);
    count->setObjectName(QStringLiteral("lbCount"));
    // The page-text choice of the search beside its count: the panel has no room left.
    auto *choice = new QCheckBox(tr("本文も検索"), this);
    choice->setObjectName(QStringLiteral("chText"));
    statusBar()->addPermanentWidget(Frame1->controls().chkBelow);
    statusBar()->addPermanentWidget(choice);
    statusBar()->addPermanentWidget(count);
    statusBar()->setSizeGripEnabled(false);
    search = new SearchBox(Frame1->controls().txFind, vSpr, count, this);
    connect(search, &SearchBox::cleared, this, [this] {
        if (!loadFolder())
            listAfterSearch();
    });
    connect(Frame1->controls().chkBelow, &QCheckBox::toggled, this, [this](bool on) {
        if (Usr::Ini)
            Usr::Ini->SetVal(QStringLiteral("GRP_BELOW"), on ? 1 : 0);
        scopeSearch();
        // A search on show keeps showing, kept to the new choice.
        if (!bLoading && !search->isActive() && !text->isShowing())
            LoadList(false);
    });
    // The list of every group arrives from the search's background reading.
    connect(search, &SearchBox::listRead, this, [this] {
        std::vector<PackedRow> rows = search->takeListRead();
        if (m_listPending && !search->isActive()
            && Usr::GrpNoOf(Frame1->controls().cbGrp->currentText()) == 0)
            vSpr->fillOnward(std::move(rows));
        m_listPending = false;
    });
    text = new TextSearch(
        choice, Frame1->controls().txFind, vSpr, search, count, [this] { listAfterSearch(); },
        this);
    connect(Frame1->controls().cbGrp, &QComboBox::currentTextChanged, search,
            [this] { scopeSearch(); });
    connect(WebBrow, &WebBrowser::LoadFailed, Frame1, &RegistrationPanel::LoadFailed);
    connect(WebBrow, &WebBrowser::DocumentComplete, Frame1, &RegistrationPanel::DocumentComplete);
    connect(WebBrow, &WebBrowser::LocationChanged, txURL, [this](const QString &url) {
        if (!txURL->hasFocus() || !txURL->isModified())
            txURL->setText(Address::isShown(url) ? url : QString());
    });
    connect(WebBrow, &WebBrowser::DocumentComplete, txURL, [this](const QString &url) {
        if (!txURL->hasFocus() || !txURL->isModified())
            txURL->setText(Address::isShown(url) ? url : QString());
    });
    Frame1->attach(
        WebBrow, vSpr, m_menus.mnData[MnData::Register],
        [this](const QString &url) {
            return iPicSz != -1 ? PagePictures::take(m_capture, url, iPicSz) : QImage();
        },
        search);
    m_capture = [this](const QString &url) { return sbBrw::Act(url, this); };
    // The window sees the function keys before its controls do.
    qApp->installEventFilter(this);
}

fmLink::~fmLink()
{
    qApp->removeEventFilter(this);
}

void fmLink::buildAddressBar()
{
    auto *bar = addToolBar(tr("ｱﾄﾞﾚｽ"));
    bar->setObjectName(QStringLiteral("tbURL"));
    bar->setMovable(false);
    txURL = new QLineEdit(bar);
    txURL->setObjectName(QStringLiteral("txURL"));
    txURL->setClearButtonEnabled(true);
    bar->addWidget(txURL);
    connect(txURL, &QLineEdit::returnPressed, this, &fmLink::openTyped);
    auto *focus = new QAction(this);
    focus->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    focus->setShortcutContext(Qt::WindowShortcut);
    connect(focus, &QAction::triggered, this, [this] {
        txURL->setFocus(Qt::ShortcutFocusReason);
        txURL->selectAll();
    });
    addAction(focus);
}

void fmLink::openTyped()
{
    const QString target = AddressBar::target(txURL->text(), WebBrow->searchPage());
    if (target.isEmpty())
        return;
    txURL->setModified(false);
    WebBrow->Navigate(target);
    if (QWidget *view = WebBrow->widget())
        view->setFocus();
}

void fmLink::buildPanel()
{
    Frame1 = new RegistrationPanel(Splitter);
    const RegistrationPanel::Controls &c = Frame1->controls();
    for (int i = 0; i < CmWeb::Count; ++i)
        connect(c.cmWeb[i], &QPushButton::clicked, this, [this, i] { cmWeb_Click(i); });
    connect(c.cmSlc, &QPushButton::clicked, this, [this] { mnSlc_Click(MnSlc::Extract); });
    Splitter->addWidget(Frame1);
}

void fmLink::buildList()
{
    vSpr = new LinkListView(Splitter);
    connect(vSpr, &Grid::Click, this, [this](int, int row) { OpenRow(row); });
    connect(vSpr, &Grid::KeyDown, this,
            [this](int key, Qt::KeyboardModifiers) { listKeyDown(key); });
    connect(vSpr, &Grid::RightClick, this,
            [this](int, int, const QPoint &pos) { m_menus.mnJob[MnJob::Data]->popup(pos); });
    Splitter->addWidget(vSpr);
}

void fmLink::buildMenus()
{
    m_menus.build(*this,
                  {[this](int i) { mnFile_Click(i); }, [this](int i) { mnDisp_Click(i); },
                   [this](int i) { mnSlc_Click(i); }, [this](int i) { mnRet_Click(i); },
                   [this](int i) { mnData_Click(i); }});
    m_receiver = new Receiver(captureApi(), this);
}

namespace {

// The search box's index, told of the links the receiver saves.
struct WindowIndex : QObject, LinkIndex
{
    using QObject::QObject;
    std::function<SearchBox *()> search;
    void saved(const LinkRecord &link) override { search()->saved(link); }
    void deleted(qint64 nURL) override { search()->deleted(nURL); }
};

} // namespace

std::unique_ptr<Local::HttpHandler> fmLink::captureApi()
{
    // Requests come only once the window is built: the hooks read its parts when called.
    auto *index = new WindowIndex(this);
    index->search = [this] { return search; };
    CaptureApi::Hooks hooks;
    hooks.dataPh = Usr::sDataPh;
    hooks.index = index;
    hooks.twins = [this](const QString &url) {
        return search->ensureBuilt() ? AddLink::twinsIn(search->index(), url)
                                     : std::vector<AddLink::Twin>();
    };
    hooks.changed = [this](const LinkRecord &link, bool isNew, bool groupsMade) {
        QComboBox *groups = Frame1->controls().cbGrp;
        if (groupsMade) {
            const QString shown = groups->currentText();
            LoadGrp();
            groups->setEditText(shown);
        }
        Frame1->registeredOutside();
        // The list shows the link at once where it belongs, unless a search holds it.
        if (!search->isActive() && listHolds(link, isNew))
            LoadList(m_recent);
    };
    hooks.picturer = new OffscreenPicturer(this);
    hooks.pictureSize = [this] { return int(iPicSz); };
    return std::make_unique<CaptureApi>(std::move(hooks));
}

void fmLink::startReceiver()
{
    if (Usr::Ini && !m_unloaded)
        m_receiver->start(*Usr::Ini);
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
    if (Usr::Ini)
        Frame1->controls().chkBelow->setChecked(
            Usr::Ini->vGtVal(QStringLiteral("GRP_BELOW"), 0).toInt() == 1);
    // Every group's list is read with the search index after the window shows, its first
    // screen now (the groups that come first only); one group's list is read now.
    if (Usr::GrpNoOf(Frame1->controls().cbGrp->currentText()) == 0) {
        std::vector<PackedRow> first;
        if (LinkList::loadFirst(kFirstScreen, first))
            vSpr->fill(std::move(first));
        m_listPending = true;
    } else {
        LoadList(false);
    }
    scopeSearch();
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
    // The list and the search index are read on a worker thread once the window shows.
    search->prepare();
    // The copies not yet in the page-text index are read at low priority meanwhile.
    text->backfill(statusBar());
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
    m_menus.mnRet[MnRet::Document]->setEnabled(iPicSz != -1);
    m_menus.mnRet[MnRet::AllPictures]->setEnabled(iPicSz != -1);
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
    const double width = p / 8.0 - vSpr->ColWidth(int(LinkList::Address))
        - vSpr->ColWidth(int(LinkList::GroupName)) - vSpr->ColWidth(int(LinkList::Title)) - 5.0;
    vSpr->SetColWidth(int(LinkList::Description), qMax(width, 5.0));
}

void fmLink::closeEvent(QCloseEvent *event)
{
    if (m_unloaded)
        return event->accept();
    m_unloaded = true;
    m_receiver->stop();
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
    case Qt::Key_F3: mnData_Click(MnData::Register); break;
    case Qt::Key_F5: mnDisp_Click(MnDisp::Refresh); break;
    case Qt::Key_F8: cmWeb_Click(CmWeb::Back); break;
    case Qt::Key_F9: cmWeb_Click(CmWeb::Forward); break;
    case Qt::Key_F11: cmWeb_Click(CmWeb::Search); break;
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
    case MnFile::OpenFolder: Usr::Ini->W_ExpFd(Usr::sDataPh, false); break;
    case MnFile::Compact: compact(); break;
    case MnFile::ImportBookmarks: importBookmarks(); break;
    case MnFile::ExportBookmarks: BookmarkCommands::exportFile(this); break;
    case MnFile::Reindex: text->reindex(); break;
    case MnFile::Receiver:
        if (Usr::Ini)
            ReceiverDialog::Act(*m_receiver, *Usr::Ini, this);
        break;
    case MnFile::Quit: close(); break;
    default: break;
    }
}

void fmLink::compact()
{
    // A large collection takes a while: a window with Cancel shows that it works, and goes
    // before the message that tells the outcome.
    ProgressWindow progress(tr("ﾃﾞｰﾀｰﾍﾞｰｽを最適化しています"), this);
    Store::CompactDb([&progress] { return progress.step(); }, [&progress] { progress.finish(); });
}

void fmLink::importBookmarks()
{
    if (!BookmarkCommands::importFile(this))
        return;
    LoadGrp();
    LoadList(false);
    search->rebuild(); // the search finds the new links too
}

void fmLink::mnSlc_Click(int index)
{
    if (index == MnSlc::Extract || index == MnSlc::Recent)
        LoadList(index == MnSlc::Recent);
    if (index == MnSlc::Find) {
        Frame1->controls().txFind->setFocus();
        Frame1->controls().txFind->selectAll();
    }
}

void fmLink::mnRet_Click(int index)
{
    switch (index) {
    case MnRet::Portal:
        // What the list shows now becomes the page; the browser shows it once it is written.
        if (const QString path
            = Portal::make(listedRows(), Frame1->controls().cbGrp->currentText(), Usr::sDataPh);
            !path.isEmpty())
            WebBrow->Navigate(path);
        break;
    case MnRet::Document:
        Document::make(listedRows(), Frame1->controls().cbGrp->currentText(), Usr::sDataPh, iPicSz);
        break;
    case MnRet::AllPictures: PicAll(); break;
    case MnRet::PictureSettings: sbUpc::Act(iPicSz, this); break;
    default: break;
    }
}

void fmLink::mnData_Click(int index)
{
    switch (index) {
    case MnData::Register: RgstURL(); break;
    case MnData::Delete: DelURL(); break;
    case MnData::Maintenance: openData(); break;
    case MnData::ShowSaved: Frame1->ShowSaved(); break;
    default: break;
    }
}

void fmLink::openData()
{
    const qint64 nGrp = Usr::GrpNoOf(Frame1->controls().cbGrp->currentText());
    fmData::Act(nX1, nX2, nY1, nY2, this);
    // The window may have changed anything: the selector offers the groups as they are now,
    // the chosen one under its new name (all links when it is gone), and the list follows.
    LoadGrp();
    for (int i = 1; nGrp > 0 && i < Frame1->controls().cbGrp->count(); ++i) {
        if (Usr::GrpNoOf(Frame1->controls().cbGrp->itemText(i)) == nGrp) {
            Frame1->controls().cbGrp->setCurrentIndex(i);
            break;
        }
    }
    LoadList(false);
    search->rebuild();
}

void fmLink::mnDisp_Click(int index)
{
    BrowserCommands::run(WebBrow, index);
}

void fmLink::cmWeb_Click(int index)
{
    switch (index) {
    case CmWeb::Register: RgstURL(); break;
    case CmWeb::Back: WebBrow->GoBack(); break;
    case CmWeb::Forward: WebBrow->GoForward(); break;
    case CmWeb::Search: WebBrow->GoSearch(); break;
    default: break;
    }
}

// ---- Registration: the panel does the work ----------------------------------------------

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
    // A capture window of the run is not modal and belongs to the progress window, whose 中止
    // stays in reach; Esc in either stops the run. "PC_ASK" = 1 keeps the question on every
    // page.
    const bool ask = Usr::Ini && Usr::Ini->vGtVal(QStringLiteral("PC_ASK"), 0).toInt() == 1;
    PagePictures::all(
        this,
        [&](const QString &url, ProgressWindow &progress) {
            if (!m_usesCaptureWindow)
                return m_capture(url);
            sbBrw window(&progress);
            connect(&window, &sbBrw::stopRequested, &progress, &QProgressDialog::cancel);
            return window.take(url, ask, [&progress] { return progress.wasCanceled(); });
        },
        iPicSz, Usr::sDataPh);
}

// ---- The list -------------------------------------------------------------------------------

void fmLink::LoadGrp()
{
    Frame1->LoadGrp();
}

void fmLink::LoadList(bool bRecent)
{
    m_listPending = false;
    m_recent = bRecent;
    if (bRecent || !loadFolder())
        vSpr->load(bRecent, Usr::GrpNoOf(Frame1->controls().cbGrp->currentText()));
}

void fmLink::listAfterSearch()
{
    // Every group's list comes back as the search index's own rows, which the search kept
    // correct: no second read of every link, no second copy of their texts. 抽出 reads anew.
    const qint64 nGrp = Usr::GrpNoOf(Frame1->controls().cbGrp->currentText());
    if (nGrp == 0 && search->isReady())
        vSpr->fill(std::vector<PackedRow>(search->index().allRows()));
    else
        vSpr->load(false, nGrp);
}

bool fmLink::loadFolder()
{
    const bool below = Frame1->controls().chkBelow->isChecked();
    const GroupTree &tree = Frame1->tree();
    const int node = tree.indexOf(Frame1->controls().cbGrp->currentText());
    // A group alone is listed as it always was; a folder without a group has only its subtree.
    if (node < 0 || (!below && !tree.nodes()[size_t(node)].groups.isEmpty()))
        return false;
    std::vector<PackedRow> rows;
    QString error;
    if (GroupFolders::loadFolder(tree, node, below, rows, &error))
        vSpr->fill(std::move(rows));
    else
        Dialogs::message(tr("ﾘｽﾄの読み込みに失敗しました: %1").arg(error));
    return true;
}

bool fmLink::listHolds(const LinkRecord &link, bool isNew) const
{
    if (m_recent ? isNew : scopeShown().holds(link.nGrp))
        return true;
    // A link moved away or out of the newest leaves the list.
    const QString number = QString::number(link.nURL);
    for (int r = 1; r <= vSpr->MaxRows(); ++r) {
        if (vSpr->GetCell(LinkList::Number, r) == number)
            return true;
    }
    return false;
}

void fmLink::scopeSearch()
{
    search->setScope(scopeShown());
}

GroupTree::Scope fmLink::scopeShown() const
{
    const QString chosen = Frame1->controls().cbGrp->currentText();
    return Frame1->tree().scopeOf(chosen, Usr::GrpNoOf(chosen),
                                  Frame1->controls().chkBelow->isChecked());
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
    if (target >= 0 && target <= vSpr->MaxRows()) {
        OpenRow(target);
        // The active row ends on the row whose link was opened.
        vSpr->consumeKey();
    }
}
