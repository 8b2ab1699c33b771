#include "RegistrationPanel.h"

#include "address/Address.h"
#include "app/Usr.h"
#include "collection/DeleteLink.h"
#include "collection/LinkIndex.h"
#include "collection/RegisterPage.h"
#include "collection/Registration.h"
#include "pages/PageArchive.h"
#include "pages/PageImage.h"
#include "platform/Dialogs.h"
#include "platform/EventWait.h"
#include "platform/Twips.h"
#include "platform/WebBrowser.h"
#include "settings/yIni.h"
#include "store/GroupTree.h"
#include "ui/main/LinkListView.h"
#include "ui/main/MainMenus.h"
#include "ui/main/PagePictures.h"
#include "ui/main/SearchBox.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QUrl>

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyledItemDelegate>

namespace {

// A folder's indent in the selector's list. Spaces would not do: before a name in katakana
// they take its font, and are wider.
int indentOf(int depth, const QFontMetrics &metrics)
{
    return depth > 1 ? 4 * (depth - 1) * metrics.horizontalAdvance(u' ') : 0;
}

// A folder of the selector's list: its last name, indented by its depth.
class FolderDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static int indent(const QStyleOptionViewItem &option, const QModelIndex &index)
    {
        return indentOf(index.data(Qt::UserRole).toInt(), option.fontMetrics);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const QWidget *w = o.widget;
        QStyle *style = w ? w->style() : QApplication::style();
        // The row's background whole, the name indented.
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &o, painter, w);
        o.rect.setLeft(o.rect.left() + indent(o, index));
        style->drawControl(QStyle::CE_ItemViewItem, &o, painter, w);
    }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(option, index), 0);
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const int depth = index.data(Qt::UserRole).toInt();
        if (depth > 1)
            option->text = option->text.section(GroupTree::kSlash, depth - 1, depth - 1);
    }
};

constexpr int kFindWidth = 2400; // twips: the search box and its label

void place(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(Twips::toPixelsX(left), Twips::toPixelsY(top), Twips::toPixelsX(width),
                   Twips::toPixelsY(height));
}

// A translated caption longer than the designed Japanese one: the control widens, first into the
// free space on its left, then by moving the controls right of it over and widening the block.
// Captions that fit keep the design exactly.
void fitCaption(QWidget *block, QWidget *w)
{
    // A button's own minimum width is no need of its caption.
    const auto *button = qobject_cast<QPushButton *>(w);
    const int need = button
        ? w->fontMetrics().horizontalAdvance(QString(button->text()).remove(u'&'))
            + Twips::toPixelsX(180)
        : w->sizeHint().width();
    int extra = need - w->width();
    if (extra <= 0)
        return;
    const QRect g = w->geometry();
    const auto siblings = block->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    int leftLimit = 0;
    for (const QWidget *s : siblings) {
        const QRect r = s->geometry();
        if (s != w && r.right() < g.left() && r.top() <= g.bottom() && r.bottom() >= g.top())
            leftLimit = qMax(leftLimit, r.right() + 1 + Twips::toPixelsX(60));
    }
    const int take = qBound(0, g.left() - leftLimit, extra);
    QRect n = g.adjusted(-take, 0, 0, 0);
    extra -= take;
    if (extra > 0) {
        for (QWidget *s : siblings) {
            if (s != w && s->x() > g.right())
                s->move(s->x() + extra, s->y());
        }
        n.setRight(n.right() + extra);
        block->setFixedWidth(block->width() + extra);
    }
    w->setGeometry(n);
}

QPushButton *iconButton(QWidget *parent, QStyle::StandardPixmap icon, const QString &tip)
{
    auto *b = new QPushButton(parent);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setToolTip(tip);
    return b;
}

} // namespace

RegistrationPanel::RegistrationPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Frame1"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(Twips::toPixelsX(30), Twips::toPixelsY(30), 0, 0);
    row->setSpacing(0);

    // Fixed controls on the left, as designed.
    auto *left = new QWidget(this);
    left->setFixedSize(Twips::toPixelsX(3500 - 30 + kFindWidth), Twips::toPixelsY(855));
    m_c.Label1[1] = new QLabel(tr("分類"), left);
    place(m_c.Label1[1], 60, 60, 435, 255);
    m_c.cbGrp = new QComboBox(left);
    m_c.cbGrp->setEditable(true);
    m_c.cbGrp->setInsertPolicy(QComboBox::NoInsert);
    place(m_c.cbGrp, 555, 15, 2340, 300);
    m_c.cmSlc = new QPushButton(tr("抽出"), left);
    place(m_c.cmSlc, 570, 315, 675, 360);
    m_c.Label1[0] = new QLabel(tr("並順"), left);
    place(m_c.Label1[0], 1860, 375, 435, 225);
    m_c.txSrt = new QLineEdit(QStringLiteral("100.0"), left);
    place(m_c.txSrt, 2340, 345, 555, 315);
    // The search box in the group row, as tall as the group selector and in its font; a note
    // on a registered twin of a new page below it.
    lbFind = new QLabel(tr("検索"), left);
    place(lbFind, 2985, 60, 435, 255);
    m_c.txFind = new QLineEdit(left);
    m_c.txFind->setFont(m_c.cbGrp->font());
    m_c.txFind->setClearButtonEnabled(true);
    place(m_c.txFind, 3420, 15, kFindWidth - 525, 300);
    m_c.txFind->setFixedHeight(m_c.cbGrp->height());
    lbSim = new QLabel(left);
    lbSim->setStyleSheet(QStringLiteral("color: #a00000"));
    place(lbSim, 2985, 375, kFindWidth - 90, 255);
    m_c.Label1[2] = new QLabel(tr("表題と説明"), left);
    m_c.Label1[2]->setWordWrap(true);
    place(m_c.Label1[2], 2985 + kFindWidth, 45, 600, 495);
    for (QWidget *w : {static_cast<QWidget *>(m_c.Label1[1]), static_cast<QWidget *>(m_c.cmSlc),
                       static_cast<QWidget *>(m_c.Label1[0]), static_cast<QWidget *>(lbFind)})
        fitCaption(left, w);
    // The twin note never cuts its number: the caption and the widest number get their room.
    lbSim->setText(tr("類似登録あり: %1 %2").arg(QStringLiteral("99999999"), QString()).trimmed());
    fitCaption(left, lbSim);
    lbSim->clear();
    row->addWidget(left);
    // The window shows it at its foot: beside the fixed block it covered the caption of the
    // title box.
    m_c.chkBelow = new QCheckBox(tr("下位の分類も表示"), this);

    // The title and description box takes what the fixed parts leave.
    m_c.txMem = new QPlainTextEdit(this);
    m_c.txMem->setFixedHeight(Twips::toPixelsY(765));
    m_c.txMem->setTabChangesFocus(true);
    row->addWidget(m_c.txMem, 1);
    row->addSpacing(Twips::toPixelsX(130));

    // The key legend and the four buttons stay at the right edge, a little wider than
    // designed so that the legend's last key is not cut by the frame.
    auto *right = new QWidget(this);
    right->setFixedSize(Twips::toPixelsX(2320) + 16, Twips::toPixelsY(855));
    m_c.lbWeb = new QLabel(QStringLiteral("  F3   　  F8     F9   　F11"), right);
    place(m_c.lbWeb, 0, 200 - 30, 2085, 255);
    m_c.lbWeb->resize(right->width(), m_c.lbWeb->height());
    m_c.cmWeb[CmWeb::Register] = new QPushButton(tr("追加"), right);
    place(m_c.cmWeb[CmWeb::Register], 20, 390 - 30, 510, 420);
    m_c.cmWeb[CmWeb::Back] = iconButton(right, QStyle::SP_ArrowBack, tr("前のﾍﾟｰｼﾞに戻ります"));
    place(m_c.cmWeb[CmWeb::Back], 620, 390 - 30, 450, 420);
    m_c.cmWeb[CmWeb::Forward]
        = iconButton(right, QStyle::SP_ArrowForward, tr("次のﾍﾟｰｼﾞに移動します"));
    place(m_c.cmWeb[CmWeb::Forward], 1120, 390 - 30, 450, 420);
    m_c.cmWeb[CmWeb::Search]
        = iconButton(right, QStyle::SP_FileDialogContentsView, tr("検索ﾍﾟｰｼﾞに移動します"));
    place(m_c.cmWeb[CmWeb::Search], 1620, 390 - 30, 450, 420);
    row->addWidget(right, 0, Qt::AlignTop);

    setFixedHeight(Twips::toPixelsY(855 + 60));

    // Tests and style sheets find the controls by the names they have in the design.
    const std::pair<QWidget *, const char *> names[] = {{m_c.Label1[0], "Label1_0"},
                                                        {m_c.Label1[1], "Label1_1"},
                                                        {m_c.Label1[2], "Label1_2"},
                                                        {m_c.cbGrp, "cbGrp"},
                                                        {m_c.chkBelow, "chkBelow"},
                                                        {m_c.cmSlc, "cmSlc"},
                                                        {m_c.txSrt, "txSrt"},
                                                        {m_c.txMem, "txMem"},
                                                        {m_c.lbWeb, "lbWeb"},
                                                        {m_c.cmWeb[CmWeb::Register], "cmWeb_0"},
                                                        {m_c.cmWeb[CmWeb::Back], "cmWeb_1"},
                                                        {m_c.cmWeb[CmWeb::Forward], "cmWeb_2"},
                                                        {m_c.cmWeb[CmWeb::Search], "cmWeb_3"},
                                                        {lbFind, "lbFind"},
                                                        {m_c.txFind, "txFind"},
                                                        {lbSim, "lbSim"}};
    for (const auto &[w, name] : names)
        w->setObjectName(QLatin1String(name));
}

void RegistrationPanel::showState(bool isNew)
{
    bNewURL = isNew;
    m_registerItem->setText(isNew ? tr("追加登録(&W)") : tr("修正登録(&W)"));
    m_c.cmWeb[CmWeb::Register]->setText(isNew ? tr("追加") : tr("修正"));
    // Registered pages in blue.
    const QColor colour = isNew ? QColor(0, 0, 0) : QColor(0, 0, 255);
    for (QLabel *label : m_c.Label1) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, colour);
        label->setPalette(pal);
    }
}

void RegistrationPanel::showPage(const Registration::Panel &panel)
{
    m_c.txSrt->setEnabled(panel.registrable);
    m_c.txMem->setEnabled(panel.registrable);
    showState(panel.isNew);
    m_c.txSrt->setText(panel.sortText);
    m_c.txMem->setPlainText(panel.memo);
}

void RegistrationPanel::showTwin()
{
    if (!m_twin.nURL) {
        lbSim->clear();
        lbSim->setToolTip(QString());
        return;
    }
    const QString full = tr("類似登録あり: %1 %2").arg(QString::number(m_twin.nURL), m_twin.title);
    const QString bare = tr("類似登録あり: %1 %2").arg(QString::number(m_twin.nURL), QString());
    const QFontMetrics fm = lbSim->fontMetrics();
    const int room = lbSim->contentsRect().width() - fm.horizontalAdvance(bare);
    lbSim->setText(tr("類似登録あり: %1 %2")
                       .arg(QString::number(m_twin.nURL),
                            fm.elidedText(m_twin.title, Qt::ElideRight, qMax(0, room))));
    lbSim->setToolTip(full);
}

void RegistrationPanel::attach(WebBrowser *web, LinkListView *list, QAction *registerItem,
                               std::function<QImage(const QString &)> picture, SearchBox *search)
{
    m_search = search;
    m_web = web;
    m_list = list;
    m_registerItem = registerItem;
    m_picture = std::move(picture);
}

void RegistrationPanel::SetRgstEnab(bool bOn)
{
    m_registerItem->setEnabled(bOn);
    m_c.cmWeb[CmWeb::Register]->setEnabled(bOn);
}

void RegistrationPanel::ShowMem(const QString &sTitle, QString &sText)
{
    m_c.txMem->setPlainText(Registration::panelText(sTitle, sText));
}

bool RegistrationPanel::LoadGrp()
{
    GroupList groups;
    QString error;
    if (!GroupList::load(groups, &error)) {
        Dialogs::message(tr("分類の読み込みに失敗しました: %1").arg(error));
        return false;
    }
    m_c.cbGrp->clear();
    // The folder tree: each item holds the whole path, which the selector shows when chosen
    // and a typed path matches; the list shows the last name indented by depth. Items go in
    // in one step: one by one, thousands of groups cost the combo box a signal each.
    m_tree = GroupTree(groups);
    QList<QStandardItem *> items;
    items.reserve(qsizetype(m_tree.nodes().size() + 1));
    items.append(new QStandardItem(QStringLiteral("*")));
    for (const GroupTree::Node &n : m_tree.nodes()) {
        auto *item = new QStandardItem(n.path);
        item->setData(n.depth, Qt::UserRole);
        items.append(item);
    }
    if (auto *model = qobject_cast<QStandardItemModel *>(m_c.cbGrp->model())) {
        model->invisibleRootItem()->appendRows(items);
    } else {
        for (const QStandardItem *item : std::as_const(items)) {
            m_c.cbGrp->addItem(item->text());
            m_c.cbGrp->setItemData(m_c.cbGrp->count() - 1, item->data(Qt::UserRole), Qt::UserRole);
        }
        qDeleteAll(items);
    }
    // Every item is one line high: the opened list measures one, not thousands.
    if (auto *view = qobject_cast<QListView *>(m_c.cbGrp->view()))
        view->setUniformItemSizes(true);
    if (!dynamic_cast<FolderDelegate *>(m_c.cbGrp->itemDelegate()))
        m_c.cbGrp->setItemDelegate(new FolderDelegate(m_c.cbGrp));
    widenList();
    Usr::sGrpList = groups;
    m_c.cbGrp->setCurrentIndex(0);
    return true;
}

// Up to half the screen: a deep folder's name is not cut.
void RegistrationPanel::widenList()
{
    QAbstractItemView *view = m_c.cbGrp->view();
    QStyleOptionViewItem option;
    option.initFrom(view);
    const QFontMetrics metrics(view->font());
    int widest = 0;
    for (const GroupTree::Node &n : m_tree.nodes())
        widest = std::max(widest, indentOf(n.depth, metrics) + metrics.horizontalAdvance(n.name));
    const QScreen *screen = m_c.cbGrp->screen();
    const int most = screen ? screen->availableGeometry().width() / 2 : 800;
    const int margins = 4 * metrics.averageCharWidth()
        + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, &option, view);
    view->setMinimumWidth(std::min(widest + margins, most));
}

void RegistrationPanel::LoadFailed(const QString &url, const QString &reason)
{
    m_failure = tr("ﾍﾟｰｼﾞを読み込めませんでした") + u'\n' + url + u'\n' + reason;
}

void RegistrationPanel::DocumentComplete(const QString &url, const QString &pageTitle,
                                         const QString &pageText, bool loadFailed)
{
    // Any completed document ends a wait for the page, whatever it turns out to be.
    m_pageLoading = false;
    // Leaving a saved copy by one of its links: the caption no longer names the copy.
    if (!m_copyCaption.isEmpty() && window()->windowTitle() == m_copyCaption
        && !WebBrowser::isArchived(QUrl::fromUserInput(url), PageArchive::folderFor(Usr::sDataPh)))
        window()->setWindowTitle(url);
    if (loadFailed) {
        // The browser's error page is no page of the address: nothing to register.
        sCurURL.clear();
        SetRgstEnab(false);
        m_c.txSrt->setEnabled(false);
        m_c.txMem->setEnabled(false);
        m_twin = {};
        showTwin();
        m_c.txMem->setPlainText(
            m_failure.isEmpty() ? tr("ﾍﾟｰｼﾞを読み込めませんでした") + u'\n' + url : m_failure);
        m_failure.clear();
        return;
    }
    m_failure.clear();
    Registration::Panel panel;
    QString error;
    if (!Registration::lookup(url, pageTitle, pageText, panel, &error)) {
        Dialogs::message(tr("ﾍﾟｰｼﾞの検索に失敗しました: %1").arg(error));
        return;
    }
    sCurURL = url;
    m_pageText = pageText;
    SetRgstEnab(panel.registrable);
    if (!panel.isNew) {
        m_c.cbGrp->setEditText(m_list->GetCell(LinkList::GroupName, 0));
        nCurURL = panel.nURL;
    }
    showPage(panel);
    // A new page that is a registered one under another address (http and https, "www.", a
    // trailing "/", tracking parameters) says so.
    m_twin = {};
    if (bNewURL && panel.registrable && m_search && m_search->ensureBuilt()) {
        const auto twins = m_search->index().twinsOf(url);
        if (!twins.empty())
            m_twin = twins.front();
    }
    showTwin();
}

void RegistrationPanel::registeredOutside()
{
    if (!bNewURL || sCurURL.isEmpty() || !m_c.cmWeb[CmWeb::Register]->isEnabled())
        return;
    Registration::Panel panel;
    if (!Registration::lookup(sCurURL, QString(), m_pageText, panel) || panel.isNew)
        return;
    nCurURL = panel.nURL;
    showPage(panel);
    m_twin = {};
    showTwin();
}

void RegistrationPanel::OpenRow(int nRow)
{
    const QString address = m_list->GetCell(LinkList::Address, nRow);
    if (address.isEmpty())
        return;
    // A stored address that is no page, a file or FTP (a "javascript:" one) is never run.
    if (!Address::isOpenable(address)) {
        window()->setWindowTitle(address);
        return;
    }
    SetRgstEnab(false);
    m_pageLoading = true;
    nCurURL = m_list->GetCell(LinkList::Number, nRow).toLongLong();
    m_web->Navigate(address);
    window()->setWindowTitle(address);
    m_list->SetActiveRow(nRow);
    m_list->setFocus();
}

namespace {

// What registration reaches through the window: the capture window, the browser's copy and
// the search box's index.
struct WindowPicture : RegisterPage::Picture
{
    std::function<QImage()> takeFn;
    QImage take() override { return takeFn ? takeFn() : QImage(); }
    void write(const QImage &picture, qint64 nURL) override
    {
        PagePictures::write(picture, Usr::sDataPh, nURL);
    }
};

struct BrowserCopy : RegisterPage::Copy
{
    WebBrowser *web = nullptr;
    bool has(qint64 nURL) override { return PageArchive::hasCopy(Usr::sDataPh, nURL); }
    void save(const QString &address, qint64 nURL) override
    {
        // A failure is told and changes nothing.
        PageArchive::save(web, address, Usr::sDataPh, nURL, [](bool ok, const QString &message) {
            if (!ok)
                Dialogs::message(message);
        });
    }
};

struct SearchIndex : LinkIndex
{
    SearchBox *search = nullptr;
    void saved(const LinkRecord &link) override { search->saved(link); }
    void deleted(qint64 nURL) override { search->deleted(nURL); }
};

} // namespace

void RegistrationPanel::RgstURL()
{
    // The page opened last must have completed; a second F3 during the wait adds nothing.
    if (m_waiting)
        return;
    if (m_pageLoading) {
        m_waiting = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool done = EventWait::forMs(registerWaitMs, [this] { return !m_pageLoading; });
        QApplication::restoreOverrideCursor();
        m_waiting = false;
        if (!done) {
            Dialogs::message(tr("ﾍﾟｰｼﾞのﾀﾞｳﾝﾛｰﾄﾞ中です　終了までお待ち下さい"));
            return;
        }
    }
    if (!m_c.cmWeb[CmWeb::Register]->isEnabled() || !Registration::isRegistrable(sCurURL))
        return;
    if (bNewURL && m_twin.nURL
        && !Dialogs::message(tr("「%1」(%2) と同じﾍﾟｰｼﾞのようです。追加しますか")
                                 .arg(m_twin.title, QString::number(m_twin.nURL)),
                             Dialogs::Buttons::OkCancel))
        return;
    const QString groupText = m_c.cbGrp->currentText();
    RegisterPage::Page page;
    page.isNew = bNewURL;
    page.address = sCurURL;
    page.nCurURL = nCurURL;
    const std::optional<qint64> group = RegisterPage::groupOf(Usr::sGrpList, groupText);
    page.nGrp = group.value_or(0);
    if (!group) {
        if (!Dialogs::message(tr("分類「%1」はありません。作成しますか").arg(groupText),
                              Dialogs::Buttons::OkCancel))
            return;
        page.newGroup = groupText;
    }
    page.memo = m_c.txMem->toPlainText();
    page.sortText = m_c.txSrt->text();
    const RegisterPage::ActiveRow row {m_list->MaxRows(), m_list->GetCell(LinkList::Number, 0),
                                       m_list->GetCell(LinkList::Address, 0)};

    WindowPicture picture;
    if (m_picture)
        picture.takeFn = [this] { return m_picture(m_web->LocationURL()); };
    BrowserCopy copy;
    copy.web = m_web;
    const bool copies
        = !Usr::Ini || Usr::Ini->vGtVal(QStringLiteral("ARC_SAVE"), 1).toDouble() != 0;
    SearchIndex index;
    index.search = m_search;
    RegisterPage use(m_picture ? &picture : nullptr, copies ? &copy : nullptr,
                     m_search ? &index : nullptr);
    use.keepText(Usr::sDataPh, m_pageText);
    const RegisterPage::Outcome done = use.run(page, row, QDateTime::currentSecsSinceEpoch());
    switch (done.result) {
    case RegisterPage::Result::Saved: break;
    case RegisterPage::Result::NotOnShow: return;
    case RegisterPage::Result::NoNumber:
        Dialogs::message(tr("番号を決められません: %1").arg(done.error));
        return;
    case RegisterPage::Result::Failed:
        Dialogs::message(tr("ﾘﾝｸの登録に失敗しました: %1").arg(done.error));
        return;
    }
    const qint64 n = done.link.nURL;
    if (!page.newGroup.isEmpty()) {
        // The selector offers the new group from now on, and still shows it.
        LoadGrp();
        m_c.cbGrp->setEditText(groupText);
    }
    int r = 0;
    if (page.isNew) {
        m_list->InsertRows(1, 1);
        m_list->SetTopRow(1);
        r = 1;
    }
    m_list->SetActiveRow(r);
    m_list->setFocus();
    m_list->SetCell(LinkList::Number, r, QString::number(n));
    const std::pair<LinkList::Column, QString> cells[] = {{LinkList::Address, sCurURL},
                                                          {LinkList::GroupName, groupText},
                                                          {LinkList::Title, done.link.sNam},
                                                          {LinkList::Description, done.link.sMem}};
    for (const auto &[column, text] : cells) {
        int active = 0;
        m_list->SetCell(column, active, text);
    }
    // The page is registered now: a second F3 corrects it.
    if (page.isNew) {
        nCurURL = n;
        showState(false);
        m_twin = {};
        showTwin();
    }
}

void RegistrationPanel::DelURL()
{
    // Only a row the user chose, and only once the user agrees.
    const int active = m_list->selectedRow();
    if (active == 0)
        return;
    bool ok = false;
    const qint64 n = m_list->GetCell(LinkList::Number, active).toLongLong(&ok);
    if (!ok || n == 0)
        return;
    const QString title = m_list->GetCell(LinkList::Title, active);
    if (!Dialogs::message(
            tr("「%1」を削除します。よろしいですか")
                .arg(title.isEmpty() ? m_list->GetCell(LinkList::Address, active) : title),
            Dialogs::Buttons::OkCancel))
        return;
    const int rows = m_list->MaxRows();
    SearchIndex index;
    index.search = m_search;
    QString error;
    if (!DeleteLink(Usr::sDataPh, m_search ? &index : nullptr).run(n, &error)) {
        Dialogs::message(tr("ﾘﾝｸの削除に失敗しました: %1").arg(error));
        return;
    }
    m_list->DeleteRows(active, 1);
    if (rows >= 2)
        OpenRow(m_list->ActiveRow());
}

void RegistrationPanel::ShowSaved()
{
    bool ok = false;
    const qint64 n = m_list->GetCell(LinkList::Number, 0).toLongLong(&ok);
    if (m_list->MaxRows() == 0 || !ok)
        return;
    QString caption, error;
    // Nothing of the copy may be registered: the panel waits for the next page.
    if (!PageArchive::open(m_web, Usr::sDataPh, n, m_list->GetCell(LinkList::Address, 0), &caption,
                           &error)) {
        Dialogs::message(error);
        return;
    }
    sCurURL.clear();
    SetRgstEnab(false);
    m_copyCaption = caption;
    window()->setWindowTitle(caption);
}
