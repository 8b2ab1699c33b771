#include "fmData.h"

#include "app/Usr.h"
#include "check/CheckRun.h"
#include "collection/EmptyCollection.h"
#include "collection/MaintenanceSave.h"
#include "pages/LinkFiles.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "platform/widgets/Grid.h"
#include "ui/maintenance/LinkCheckRun.h"
#include "ui/maintenance/MaintenanceGrids.h"
#include "ui/maintenance/SavedPageWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QVBoxLayout>

fmData::fmData(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("ﾃﾞｰﾀｰの並順等の指定"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    buildGrids();
    buildMenus();
    resize(Twips::toPixelsX(11535), Twips::toPixelsY(6870) + m_menus.menuBar->sizeHint().height());
}

void fmData::buildGrids()
{
    vSpr[0] = MaintenanceGrids::groups(this);
    vSpr[1] = MaintenanceGrids::links(this);
    for (int i = 0; i < 2; ++i) {
        vSpr[i]->setObjectName(QStringLiteral("vSpr%1").arg(i));
        connect(vSpr[i], &Grid::Change, this, [this, i](int, int row) { MarkRow(i, row); });
        // A remembered block goes as soon as the selection changes.
        connect(vSpr[i], &Grid::SelectionChanged, this, [this, i] { nSel1[i] = nSel2[i] = 0; });
        connect(vSpr[i], &Grid::BlockSelected, this, [this, i](int, int r1, int, int r2) {
            nSel1[i] = r1;
            nSel2[i] = r2;
            twinRows.clear();
        });
        connect(vSpr[i], &Grid::RightClick, this, [this, i](int, int, const QPoint &pos) {
            (i == 0 ? m_menus.mnGrp : m_menus.mnURL)->popup(pos);
        });
    }
}

void fmData::buildMenus()
{
    m_menus.build(this,
                  {.reload = [this] { LoadData(); },
                   .save = [this] { SaveData(); },
                   .reset = [this] { InitDb(); },
                   .quit =
                       [this] {
                           if (CloseWnd())
                               done(QDialog::Accepted);
                       },
                   .insertGroups = [this] { InsRows(0); },
                   .deleteGroups = [this] { DelRows(0); },
                   .checkGroups = [this] { ChkGroups(); },
                   .check = [this] { ChkLink(); },
                   .checkSelected = [this] { ChkSelected(); },
                   .deleteDead = [this] { DelDead(); },
                   .deleteLinks = [this] { DelRows(1); },
                   .selectTwins = [this] { SelTwins(); },
                   .moveToFinal = [this] { MoveToFinal(); },
                   .showSaved = [this] { ShowSaved(); }});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(m_menus.menuBar);
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
    MaintenanceGrids::place(vSpr[0], vSpr[1], m_menus.menuBar->sizeHint().height(), size());
    bBusy = false;
}

void fmData::LoadData()
{
    // Both grids are read before either is shown: a failing read leaves the window, and the
    // group list every later save relies on, as they were.
    MaintenanceContents c;
    QString error;
    if (!MaintenanceContents::read(c, &error)) {
        Dialogs::message(tr("ﾃﾞｰﾀｰの読み込みに失敗しました: %1").arg(error));
        return;
    }
    bChg = false;
    sDel[0] = sDel[1] = QString();
    nSel1[0] = nSel1[1] = nSel2[0] = nSel2[1] = 0;
    twinRows.clear();
    Usr::sGrpList = c.groupList;
    MaintenanceGrids::fill(vSpr[0], std::move(c.groups));
    vSpr[1]->TypeComboBoxList(LinkColumn::Group, c.names);
    MaintenanceGrids::fill(vSpr[1], std::move(c.links));
    MaintenanceGrids::fit(vSpr[0], vSpr[1], c.names.split(u'\t'));
    // Marks of earlier checks are back: their dead links can go without a new check.
    if (c.checked) {
        m_menus.mnURLItem[DataURL::DeleteDead]->setEnabled(true);
        m_menus.mnURLItem[DataURL::MoveToFinal]->setEnabled(true);
    }
}

void fmData::MarkRow(int index, int row)
{
    bChg = true;
    const QString code = vSpr[index]->GetText(GroupColumn::State, row);
    vSpr[index]->SetText(GroupColumn::State, row, code.left(1) + u'2');
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
        g->SetText(GroupColumn::State, r, QStringLiteral("00"));
        g->SetText(index == 0 ? int(GroupColumn::Sort) : int(LinkColumn::Sort), r,
                   QStringLiteral("100"));
    }
}

std::vector<int> fmData::selectedRows(int index) const
{
    if (index == 1 && !twinRows.empty())
        return twinRows;
    std::vector<int> rows;
    int start = 0, count = 0;
    SelRange(index, start, count);
    for (int r = qMax(start, 1); r < start + count && r <= vSpr[index]->MaxRows(); ++r)
        rows.push_back(r);
    return rows;
}

void fmData::DelRows(int index)
{
    bChg = true;
    removeRows(index, selectedRows(index));
}

void fmData::MoveToFinal()
{
    const std::vector<int> rows = MaintenanceGrids::takeMovedAddresses(vSpr[1], selectedRows(1));
    for (const int r : rows)
        MarkRow(1, r);
    if (rows.empty())
        Dialogs::message(tr("選択した行に移転先はありません"));
}

void fmData::ShowSaved()
{
    if (!savedPage)
        savedPage = new SavedPageWindow(this, browserFactory);
    const int r = vSpr[1]->ActiveRow();
    savedPage->open(vSpr[1]->GetText(LinkColumn::Number, r),
                    vSpr[1]->GetText(LinkColumn::Address, r));
}

bool fmData::removeRows(int index, const std::vector<int> &rows)
{
    twinRows.clear();
    Grid *g = vSpr[index];
    const qsizetype before = sDel[index].size();
    for (const int r : rows) {
        if (const QString number = g->GetText(GroupColumn::Number, r); !number.isEmpty())
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
    // A remembered block is checked with each answer's headers shown; otherwise every row.
    const bool showing = nSel1[1] != 0;
    std::vector<int> rows;
    for (int r = showing ? nSel1[1] : 1; r <= (showing ? nSel2[1] : vSpr[1]->MaxRows()); ++r)
        rows.push_back(r);
    checkRows(rows, showing);
}

void fmData::ChkSelected()
{
    checkRows(selectedRows(1), false);
}

void fmData::ChkGroups()
{
    // The links stored in the selected groups, found in the grid by their numbers.
    QSet<qint64> numbers;
    QList<CheckRun::Link> links;
    QString error;
    for (const int r : selectedRows(0)) {
        bool ok = false;
        const qint64 nGrp = vSpr[0]->GetText(GroupColumn::Number, r).toLongLong(&ok);
        if (!ok)
            continue;
        if (!CheckRun::linksOfGroup(nGrp, links, &error)) {
            Dialogs::message(error);
            return;
        }
        for (const CheckRun::Link &l : links)
            numbers.insert(l.nURL);
    }
    std::vector<int> rows;
    for (int r = 1; r <= vSpr[1]->MaxRows(); ++r) {
        if (numbers.contains(vSpr[1]->GetText(LinkColumn::Number, r).toLongLong()))
            rows.push_back(r);
    }
    checkRows(rows, false);
}

void fmData::checkRows(const std::vector<int> &rows, bool showing)
{
    // Nothing in the window can change under the check: every command waits for its end.
    checking = true;
    LinkCheckRun::run(this, vSpr[1], rows, showing, linkDeadlineMs, &linkProgress,
                      {m_menus.menuBar, vSpr[0], vSpr[1]});
    checking = false;
    m_menus.mnURLItem[DataURL::DeleteDead]->setEnabled(true);
    m_menus.mnURLItem[DataURL::MoveToFinal]->setEnabled(true);
}

void fmData::DelDead()
{
    // Dead once or lastingly dead: taken out of the grid and deleted on the next save.
    if (removeRows(1, MaintenanceGrids::deadRows(vSpr[1])))
        bChg = true;
}

bool fmData::SaveData()
{
    // Everything or nothing: a failure keeps every edit on screen for another try.
    MaintenanceSave save(Usr::sGrpList);
    const Grid *g = vSpr[0];
    for (int r = 1; r <= g->MaxRows(); ++r)
        save.groupRow(g->GetText(GroupColumn::State, r), g->GetText(GroupColumn::Number, r),
                      g->GetText(GroupColumn::Name, r), g->GetText(GroupColumn::Sort, r));
    g = vSpr[1];
    for (int r = 1; r <= g->MaxRows(); ++r) {
        save.linkRow(g->GetText(LinkColumn::State, r), g->GetText(LinkColumn::Number, r),
                     g->GetText(LinkColumn::Title, r), g->GetText(LinkColumn::Group, r),
                     g->GetText(LinkColumn::Sort, r), g->GetText(LinkColumn::Address, r));
    }
    save.deleted(sDel[0], sDel[1]);
    // A folder's rename moves what lies below it; a path held already joins that group.
    const int carried = save.carried();
    if (carried > 0
        && !Dialogs::message(
            tr("下位の分類 %1 件も名前が変わります。保存して良いですか").arg(carried),
            Dialogs::Buttons::OkCancel))
        return false;
    const QStringList joins = save.joins();
    if (!joins.isEmpty()
        && !Dialogs::message(tr("既にある分類 %1 にまとめます。保存して良いですか")
                                 .arg(joins.join(QStringLiteral("、"))),
                             Dialogs::Buttons::OkCancel))
        return false;
    const int below = int(save.belowDeleted().size());
    if (below > 0
        && Dialogs::message(tr("削除する分類の下位の分類 %1 件も削除しますか").arg(below),
                            Dialogs::Buttons::OkCancel))
        save.deleteBelow();
    QString error;
    if (!save.apply(Usr::sDataPh, &error)) {
        Dialogs::message(tr("更新できませんでした: %1").arg(error));
        return false;
    }
    sDel[0] = sDel[1] = QString();
    DelPics();
    LoadData();
    return true;
}

void fmData::DelPics()
{
    LinkFiles::removeOrphans(Usr::sDataPh);
}

void fmData::InitDb()
{
    if (!Dialogs::message(tr("分類・URLを全て削除して良いですか"), Dialogs::Buttons::OkCancel))
        return;
    EmptyCollection collection(Usr::sDataPh);
    QString error;
    const bool done = collection.run(&error);
    if (!done)
        Dialogs::message(tr("初期化できませんでした: %1").arg(error));
    // The grids show what the database holds, whether it was emptied or not.
    LoadData();
    if (done && Dialogs::message(tr("URLの画像も全て削除しますか"), Dialogs::Buttons::OkCancel))
        collection.removePictures();
}

bool fmData::CloseWnd()
{
    if (checking)
        return false;
    if (!bChg)
        return true;
    switch (Dialogs::ask(tr("修正は未更新です。保存しますか"))) {
    case Dialogs::Choice::Save: return SaveData(); // a failed save keeps the window and edits
    case Dialogs::Choice::Discard: return true;
    case Dialogs::Choice::Cancel: break;
    }
    return false;
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
    // Escape never closes over edits not saved; the close box and "終了(&Q)" ask instead.
    if (!bChg && CloseWnd())
        QDialog::reject();
}
