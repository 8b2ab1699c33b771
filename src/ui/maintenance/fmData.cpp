#include "fmData.h"

#include "app/MaintenanceSave.h"
#include "app/Usr.h"
#include "output/PageImage.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "platform/widgets/Grid.h"
#include "ui/maintenance/LinkCheckRun.h"
#include "ui/maintenance/MaintenanceGrids.h"

#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

static constexpr int kGroupGridWidth = 3285; // twips

fmData::fmData(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ﾃﾞｰﾀｰの並順等の指定"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    buildGrids();
    buildMenus();
    resize(Twips::toPixelsX(11535), Twips::toPixelsY(6870) + menuBar->sizeHint().height());
}

void fmData::buildGrids()
{
    vSpr[0] = MaintenanceGrids::groups(this);
    vSpr[1] = MaintenanceGrids::links(this);
    for (int i = 0; i < 2; ++i) {
        connect(vSpr[i], &Grid::Change, this, [this, i](int, int row) { MarkRow(i, row); });
        // A remembered block goes as soon as the selection changes.
        connect(vSpr[i], &Grid::SelectionChanged, this, [this, i] { nSel1[i] = nSel2[i] = 0; });
        connect(vSpr[i], &Grid::BlockSelected, this, [this, i](int, int r1, int, int r2) {
            nSel1[i] = r1;
            nSel2[i] = r2;
            twinRows.clear();
        });
        connect(vSpr[i], &Grid::RightClick, this,
                [this, i](int, int, const QPoint &pos) { (i == 0 ? mnGrp : mnURL)->popup(pos); });
    }
}

void fmData::buildMenus()
{
    menuBar = new QMenuBar(this);
    mnFile = menuBar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    mnFileItem[0] = mnFile->addAction(QStringLiteral("再表示(&R)"), this, &fmData::LoadData);
    mnFileItem[1] = mnFile->addAction(QStringLiteral("更新(&)"), this, [this] { SaveData(); });
    mnFileItem[2] = mnFile->addSeparator();
    mnFileItem[3] = mnFile->addAction(QStringLiteral("ﾃﾞｰﾀｰﾍﾞｰｽを初期化"), this, &fmData::InitDb);
    mnFileItem[4] = mnFile->addSeparator();
    mnFileItem[5] = mnFile->addAction(QStringLiteral("終了(&Q)"), this, [this] {
        if (CloseWnd())
            QDialog::done(QDialog::Accepted);
    });
    mnGrp = menuBar->addMenu(QStringLiteral("分類(&B)"));
    mnGrpItem[0] = mnGrp->addAction(QStringLiteral("行挿入"), this, [this] { InsRows(0); });
    mnGrpItem[1] = mnGrp->addAction(QStringLiteral("行削除"), this, [this] { DelRows(0); });
    mnURL = menuBar->addMenu(QStringLiteral("URL(&U)"));
    mnURLItem[0] = mnURL->addAction(QStringLiteral("ﾘﾝｸ切れのﾁｪｯｸ"), this, &fmData::ChkLink);
    mnURLItem[1] = mnURL->addAction(QStringLiteral("ﾘﾝｸ切れを削除"), this, &fmData::DelDead);
    mnURLItem[1]->setEnabled(false);
    mnURLItem[2] = mnURL->addSeparator();
    mnURLItem[3] = mnURL->addAction(QStringLiteral("行削除"), this, [this] { DelRows(1); });
    mnURLItem[4] = mnURL->addAction(QStringLiteral("重複を選択"), this, &fmData::SelTwins);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(menuBar);
    layout->addStretch();
}

void fmData::Act(int nX1, int nX2, int nY1, int nY2, QWidget *parent)
{
    fmData w(parent);
    w.prepare(nX1, nX2, nY1, nY2);
    w.exec();
}

void fmData::prepare(int nX1, int nX2, int nY1, int nY2)
{
    bBusy = true;
    const int width = Twips::fromPixelsX(frameGeometry().width());
    const int height = Twips::fromPixelsY(frameGeometry().height());
    move(Twips::toPixelsX(nX1 + (nX2 - nX1 - width) / 2),
         Twips::toPixelsY(nY1 + (nY2 - nY1 - height) / 2));
    LoadData();
    bBusy = false;
    arrange();
}

void fmData::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (!bBusy && !isMinimized())
        arrange();
}

void fmData::arrange()
{
    bBusy = true;
    const int top = menuBar->sizeHint().height();
    const int gw = Twips::toPixelsX(kGroupGridWidth);
    // Windows smaller than the margins keep grids of no size rather than negative ones.
    const int h = qMax(0, height() - top - Twips::toPixelsY(50));
    vSpr[0]->setGeometry(0, top, gw, h);
    vSpr[1]->setGeometry(gw + Twips::toPixelsX(60), top,
                         qMax(0, width() - gw - Twips::toPixelsX(180)), h);
    bBusy = false;
}

void fmData::LoadData()
{
    // Both grids are read before either is shown: a failing read leaves the window, and the
    // group list every later save relies on, as they were.
    MaintenanceGrids::Contents c;
    QString error;
    if (!MaintenanceGrids::read(c, &error)) {
        Dialogs::message(QStringLiteral("ﾃﾞｰﾀｰの読み込みに失敗しました: ") + error);
        return;
    }
    bChg = false;
    sDel[0].clear();
    sDel[1].clear();
    nSel1[0] = nSel1[1] = nSel2[0] = nSel2[1] = 0;
    twinRows.clear();
    Usr::sGrpList = c.groupList;
    MaintenanceGrids::fill(vSpr[0], std::move(c.groups));
    vSpr[1]->TypeComboBoxList(4, c.names);
    MaintenanceGrids::fill(vSpr[1], std::move(c.links));
}

void fmData::MarkRow(int index, int row)
{
    bChg = true;
    const QString code = vSpr[index]->GetText(1, row);
    vSpr[index]->SetText(1, row, code.left(1) + u'2');
}

void fmData::SelRange(int index, int &start, int &count) const
{
    if (nSel1[index] != 0) {
        start = nSel1[index];
        count = nSel2[index] - nSel1[index] + 1;
    } else {
        start = vSpr[index]->ActiveRow();
        count = 1;
    }
}

void fmData::InsRows(int index)
{
    bChg = true;
    int start = 0, count = 0;
    SelRange(index, start, count);
    Grid *g = vSpr[index];
    start = qBound(1, start, g->MaxRows() + 1);
    g->InsertRows(start, count);
    for (int r = start; r < start + count; ++r) {
        g->SetText(1, r, QStringLiteral("00"));
        g->SetText(index == 0 ? 4 : 5, r, QStringLiteral("100"));
    }
}

void fmData::DelRows(int index)
{
    bChg = true;
    std::vector<int> rows;
    if (index == 1 && !twinRows.empty()) {
        rows = twinRows;
    } else {
        int start = 0, count = 0;
        SelRange(index, start, count);
        for (int r = qMax(start, 1); r < start + count && r <= vSpr[index]->MaxRows(); ++r)
            rows.push_back(r);
    }
    removeRows(index, rows);
}

bool fmData::removeRows(int index, const std::vector<int> &rows)
{
    twinRows.clear();
    Grid *g = vSpr[index];
    const qsizetype before = sDel[index].size();
    for (const int r : rows) {
        if (const QString number = g->GetText(2, r); !number.isEmpty())
            sDel[index] += number + u',';
    }
    // From the last, so that the rows still to go keep their numbers.
    for (auto r = rows.rbegin(); r != rows.rend(); ++r)
        g->DeleteRows(*r, 1);
    return sDel[index].size() != before;
}

void fmData::SelTwins()
{
    twinRows = MaintenanceGrids::selectLaterTwins(vSpr[1]);
}

void fmData::ChkLink()
{
    // Nothing in the window can change under the check: every command waits for its end.
    checking = true;
    LinkCheckRun::run(this, vSpr[1], nSel1[1], nSel2[1], linkDeadlineMs, &linkProgress,
                      {menuBar, vSpr[0], vSpr[1]});
    checking = false;
    mnURLItem[1]->setEnabled(true);
}

void fmData::DelDead()
{
    // Taken out of the grid and deleted on the next save, like "行削除".
    std::vector<int> rows;
    for (int r = 1; r <= vSpr[1]->MaxRows(); ++r) {
        if (vSpr[1]->GetText(7, r) == u"×")
            rows.push_back(r);
    }
    if (removeRows(1, rows))
        bChg = true;
}

bool fmData::SaveData()
{
    // Everything or nothing: a failure keeps every edit on screen for another try.
    MaintenanceSave save(Usr::sGrpList);
    for (int r = 1; r <= vSpr[0]->MaxRows(); ++r)
        save.groupRow(vSpr[0]->GetText(1, r), vSpr[0]->GetText(2, r), vSpr[0]->GetText(3, r),
                      vSpr[0]->GetText(4, r));
    for (int r = 1; r <= vSpr[1]->MaxRows(); ++r) {
        save.linkRow(vSpr[1]->GetText(1, r), vSpr[1]->GetText(2, r), vSpr[1]->GetText(3, r),
                     vSpr[1]->GetText(4, r), vSpr[1]->GetText(5, r));
    }
    save.deleted(sDel[0], sDel[1]);
    QString error;
    if (!save.apply(&error)) {
        Dialogs::message(QStringLiteral("更新できませんでした: ") + error);
        return false;
    }
    sDel[0].clear();
    sDel[1].clear();
    DelPics();
    LoadData();
    return true;
}

void fmData::DelPics()
{
    std::vector<int> numbers;
    // Without the numbers nothing can be told apart: delete nothing.
    if (LinkStore::linkNumbers(numbers))
        PageImage::removeOrphans(Usr::sDataPh, &numbers);
}

void fmData::InitDb()
{
    if (!Dialogs::message(QStringLiteral("分類・URLを全て削除して良いですか"),
                          Dialogs::Buttons::OkCancel))
        return;
    // The ungrouped row comes back at once, so new and moved links stay visible.
    QString error;
    const bool done = LinkStore::reset(QStringLiteral("未分類"), &error);
    if (!done)
        Dialogs::message(QStringLiteral("初期化できませんでした: ") + error);
    // The grids show what the database holds, whether it was emptied or not.
    LoadData();
    if (done
        && Dialogs::message(QStringLiteral("URLの画像も全て削除しますか"),
                            Dialogs::Buttons::OkCancel))
        PageImage::removeOrphans(Usr::sDataPh, nullptr);
}

bool fmData::CloseWnd()
{
    if (checking)
        return false;
    return !bChg
        || Dialogs::message(QStringLiteral("修正は未更新ですが終了して良いですか"),
                            Dialogs::Buttons::OkCancel);
}

void fmData::closeEvent(QCloseEvent *event)
{
    if (!CloseWnd()) {
        event->ignore();
        return;
    }
    event->accept();
    QDialog::done(QDialog::Rejected);
}

void fmData::reject()
{
    // Escape asks like the close box.
    if (CloseWnd())
        QDialog::reject();
}
