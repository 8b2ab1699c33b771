#include "RegistrationPanel.h"

#include "address/Address.h"
#include "app/Usr.h"
#include "collection/Registration.h"
#include "pages/LinkFiles.h"
#include "pages/PageArchive.h"
#include "pages/PageImage.h"
#include "platform/Dialogs.h"
#include "platform/EventWait.h"
#include "platform/Twips.h"
#include "platform/WebBrowser.h"
#include "settings/yIni.h"
#include "store/LinkStore.h"
#include "ui/main/LinkListView.h"
#include "ui/main/ListSearch.h"
#include "ui/main/PagePictures.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QUrl>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace {

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
    Label1[1] = new QLabel(tr("分類"), left);
    place(Label1[1], 60, 60, 435, 255);
    cbGrp = new QComboBox(left);
    cbGrp->setEditable(true);
    cbGrp->setInsertPolicy(QComboBox::NoInsert);
    place(cbGrp, 555, 15, 2340, 300);
    cmSlc = new QPushButton(tr("抽出"), left);
    place(cmSlc, 570, 315, 675, 360);
    Label1[0] = new QLabel(tr("並順"), left);
    place(Label1[0], 1860, 375, 435, 225);
    txSrt = new QLineEdit(QStringLiteral("100.0"), left);
    place(txSrt, 2340, 345, 555, 315);
    // The search box in the group row, as tall as the group selector and in its font; a note
    // on a registered twin of a new page below it.
    lbFind = new QLabel(tr("検索"), left);
    place(lbFind, 2985, 60, 435, 255);
    txFind = new QLineEdit(left);
    txFind->setFont(cbGrp->font());
    txFind->setClearButtonEnabled(true);
    place(txFind, 3420, 15, kFindWidth - 525, 300);
    txFind->setFixedHeight(cbGrp->height());
    lbSim = new QLabel(left);
    lbSim->setStyleSheet(QStringLiteral("color: #a00000"));
    place(lbSim, 2985, 375, kFindWidth - 90, 255);
    Label1[2] = new QLabel(tr("表題と説明"), left);
    Label1[2]->setWordWrap(true);
    place(Label1[2], 2985 + kFindWidth, 45, 600, 495);
    for (QWidget *w : {static_cast<QWidget *>(Label1[1]), static_cast<QWidget *>(cmSlc),
                       static_cast<QWidget *>(Label1[0]), static_cast<QWidget *>(lbFind)})
        fitCaption(left, w);
    row->addWidget(left);

    // The title and description box takes what the fixed parts leave.
    txMem = new QPlainTextEdit(this);
    txMem->setFixedHeight(Twips::toPixelsY(765));
    txMem->setTabChangesFocus(true);
    row->addWidget(txMem, 1);
    row->addSpacing(Twips::toPixelsX(130));

    // The key legend and the four buttons stay at the right edge, a little wider than
    // designed so that the legend's last key is not cut by the frame.
    auto *right = new QWidget(this);
    right->setFixedSize(Twips::toPixelsX(2320) + 16, Twips::toPixelsY(855));
    lbWeb = new QLabel(QStringLiteral("  F3   　  F8     F9   　F11"), right);
    place(lbWeb, 0, 200 - 30, 2085, 255);
    lbWeb->resize(right->width(), lbWeb->height());
    cmWeb[0] = new QPushButton(tr("追加"), right);
    place(cmWeb[0], 20, 390 - 30, 510, 420);
    cmWeb[1] = iconButton(right, QStyle::SP_ArrowBack, tr("前のﾍﾟｰｼﾞに戻ります"));
    place(cmWeb[1], 620, 390 - 30, 450, 420);
    cmWeb[2] = iconButton(right, QStyle::SP_ArrowForward, tr("次のﾍﾟｰｼﾞに移動します"));
    place(cmWeb[2], 1120, 390 - 30, 450, 420);
    cmWeb[3] = iconButton(right, QStyle::SP_FileDialogContentsView, tr("検索ﾍﾟｰｼﾞに移動します"));
    place(cmWeb[3], 1620, 390 - 30, 450, 420);
    row->addWidget(right, 0, Qt::AlignTop);

    setFixedHeight(Twips::toPixelsY(855 + 60));
}

void RegistrationPanel::showPage(const Registration::Panel &panel)
{
    txSrt->setEnabled(panel.registrable);
    txMem->setEnabled(panel.registrable);
    cmWeb[0]->setText(panel.isNew ? tr("追加") : tr("修正"));
    // Registered pages in blue.
    const QColor colour = panel.isNew ? QColor(0, 0, 0) : QColor(0, 0, 255);
    for (QLabel *label : Label1) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, colour);
        label->setPalette(pal);
    }
    txSrt->setText(panel.sortText);
    txMem->setPlainText(panel.memo);
}

void RegistrationPanel::attach(WebBrowser *web, LinkListView *list, QAction *registerItem,
                               std::function<QImage(const QString &)> picture, ListSearch *search)
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
    cmWeb[0]->setEnabled(bOn);
}

void RegistrationPanel::ShowMem(const QString &sTitle, QString &sText)
{
    txMem->setPlainText(Registration::panelText(sTitle, sText));
}

bool RegistrationPanel::LoadGrp()
{
    GroupList groups;
    QString error;
    if (!GroupList::load(groups, &error)) {
        Dialogs::message(tr("分類の読み込みに失敗しました: %1").arg(error));
        return false;
    }
    cbGrp->clear();
    cbGrp->addItem(QStringLiteral("*"));
    for (const GroupRecord &g : groups.listed())
        cbGrp->addItem(g.sGrp);
    Usr::sGrpList = groups;
    cbGrp->setCurrentIndex(0);
    return true;
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
        txSrt->setEnabled(false);
        txMem->setEnabled(false);
        lbSim->clear();
        txMem->setPlainText(m_failure.isEmpty() ? tr("ﾍﾟｰｼﾞを読み込めませんでした") + u'\n' + url
                                                : m_failure);
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
    bNewURL = panel.isNew;
    SetRgstEnab(panel.registrable);
    m_registerItem->setText(bNewURL ? tr("追加登録(&W)") : tr("修正登録(&W)"));
    if (!bNewURL) {
        cbGrp->setEditText(m_list->GetCell(3, 0));
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
    lbSim->setText(m_twin.nURL
                       ? tr("類似登録あり: %1 %2").arg(QString::number(m_twin.nURL), m_twin.title)
                       : QString());
}

void RegistrationPanel::OpenRow(int nRow)
{
    const QString address = m_list->GetCell(2, nRow);
    if (address.isEmpty())
        return;
    // A stored address that is no page, a file or FTP (a "javascript:" one) is never run.
    if (!Address::isOpenable(address)) {
        window()->setWindowTitle(address);
        return;
    }
    SetRgstEnab(false);
    m_pageLoading = true;
    nCurURL = m_list->GetCell(1, nRow).toInt();
    m_web->Navigate(address);
    window()->setWindowTitle(address);
    m_list->SetActiveRow(nRow);
    m_list->setFocus();
}

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
    if (!cmWeb[0]->isEnabled() || !Registration::isRegistrable(sCurURL))
        return;
    if (bNewURL && m_twin.nURL
        && !Dialogs::message(tr("類似のﾘﾝｸが登録済みです。追加しますか"),
                             Dialogs::Buttons::OkCancel))
        return;
    int n = 0;
    if (bNewURL) {
        bool ok = false;
        n = Usr::NewURLNo(&ok);
        if (!ok)
            return;
    } else if (!Registration::rowMatches(m_list->MaxRows(), m_list->GetCell(1, 0), nCurURL, &n)) {
        return;
    }
    // The picture is taken first but replaces the stored one only once the link is saved.
    const QImage picture = m_picture ? m_picture(m_web->LocationURL()) : QImage();
    if (bNewURL) {
        bool ok = false;
        n = Usr::NewURLNo(&ok);
        if (!ok)
            return;
    }
    const QString groupText = cbGrp->currentText();
    const LinkRecord link = Registration::record(n, sCurURL, Usr::GrpNoOf(groupText),
                                                 txMem->toPlainText(), txSrt->text());
    QString error;
    if (!Registration::save(bNewURL, link, QDateTime::currentSecsSinceEpoch(), &error)) {
        Dialogs::message(tr("ﾘﾝｸの登録に失敗しました: %1").arg(error));
        return;
    }
    if (!picture.isNull())
        PagePictures::write(picture, Usr::sDataPh, n);
    // The page as the user sees it now is kept once; a failure is told and changes nothing.
    const bool copies
        = !Usr::Ini || Usr::Ini->vGtVal(QStringLiteral("ARC_SAVE"), 1).toDouble() != 0;
    if (copies && (bNewURL || !PageArchive::hasCopy(Usr::sDataPh, n)))
        PageArchive::save(m_web, sCurURL, Usr::sDataPh, n, [](bool ok, const QString &message) {
            if (!ok)
                Dialogs::message(message);
        });
    if (m_search) {
        LinkRecord stored = link;
        if (!bNewURL && m_list->GetCell(1, 0) == QString::number(n))
            stored.sURL = m_list->GetCell(2, 0); // a correction keeps the stored address
        m_search->saved(stored);
    }
    int r = 0;
    if (bNewURL) {
        m_list->InsertRows(1, 1);
        m_list->SetTopRow(1);
        r = 1;
    }
    m_list->SetActiveRow(r);
    m_list->setFocus();
    m_list->SetCell(1, r, QString::number(n));
    const QString cells[] = {sCurURL, groupText, link.sNam, link.sMem};
    for (int c = 2; c <= 5; ++c) {
        int active = 0;
        m_list->SetCell(c, active, cells[c - 2]);
    }
}

void RegistrationPanel::DelURL()
{
    const int rows = m_list->MaxRows();
    if (rows == 0)
        return;
    bool ok = false;
    const int n = m_list->GetCell(1, 0).toInt(&ok);
    if (!ok || n == 0)
        return;
    QString error;
    if (!LinkStore::deleteLink(n, &error)) {
        Dialogs::message(tr("ﾘﾝｸの削除に失敗しました: %1").arg(error));
        return;
    }
    LinkFiles::remove(Usr::sDataPh, n);
    if (m_search)
        m_search->deleted(n);
    m_list->DeleteRows(m_list->ActiveRow(), 1);
    if (rows >= 2)
        OpenRow(m_list->ActiveRow());
}

void RegistrationPanel::ShowSaved()
{
    bool ok = false;
    const int n = m_list->GetCell(1, 0).toInt(&ok);
    if (m_list->MaxRows() == 0 || !ok)
        return;
    QString caption, error;
    // Nothing of the copy may be registered: the panel waits for the next page.
    if (!PageArchive::open(m_web, Usr::sDataPh, n, m_list->GetCell(2, 0), &caption, &error)) {
        Dialogs::message(error);
        return;
    }
    sCurURL.clear();
    SetRgstEnab(false);
    m_copyCaption = caption;
    window()->setWindowTitle(caption);
}
