#include "fmData.h"

#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "check/LinkCheck.h"
#include "platform/NumberText.h"
#include "platform/Twips.h"
#include "platform/widgets/Grid.h"
#include "store/Sql.h"
#include "store/Statements.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QEventLoop>
#include <QProgressDialog>
#include <memory>
#include <vector>
#include <QVBoxLayout>
#include <cmath>

namespace {

const QColor kDarkBlue(0, 0, 128);
constexpr int kGroupGridWidth = 3285; // twips

// "12,7," -> {12, 7}
Sql::NumberList numbers(QString list)
{
    Usr::CutEnd(list, QStringLiteral(","));
    Sql::NumberList out;
    for (const QString &part : list.split(u',', Qt::SkipEmptyParts))
        out.append(int(std::lround(NumberText::lenient(part))));
    return out;
}

double sortValue(const QString &text) { return NumberText::toSingle(NumberText::lenient(text)); }

} // namespace

fmData::fmData(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ﾃﾞｰﾀｰの並順等の指定"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    buildGrids();
    buildMenus();
    resize(Twips::toPixelsX(11535), Twips::toPixelsY(6870) + menuBar->sizeHint().height());
}

fmData::~fmData() = default;

void fmData::buildGrids()
{
    const QFont font = Grid::pickFont({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                                       QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                                       QStringLiteral("Noto Sans CJK JP")});
    for (int i = 0; i < 2; ++i) {
        vSpr[i] = new Grid(this);
        vSpr[i]->setFont(font);
        vSpr[i]->SetReplaceOnEdit(true);
        vSpr[i]->SetRowHeadersVisible(true);
        vSpr[i]->SetRowHeaderWidth(1.37);
    }
    Grid *g = vSpr[0];
    g->SetMaxCols(4);
    g->SetColHidden(1, true);
    g->SetHeader(2, QStringLiteral("No"));
    g->SetColWidth(2, 3.5);
    g->SetColLocked(2, true);
    g->SetHeader(3, QStringLiteral("分類"));
    g->SetColText(3, 60);
    g->SetColWidth(3, 14.5);
    g->SetHeader(4, QStringLiteral("並順"));
    g->SetColNumber(4, 1, 0, 999.9);
    g->SetColWidth(4, 5.0);
    g->SetColForeground(4, kDarkBlue);

    Grid *u = vSpr[1];
    u->SetMaxCols(8);
    u->SetColHidden(1, true);
    u->SetHeader(2, QStringLiteral("No"));
    u->SetColNumber(2, 0, 0, 99999999);
    u->SetColWidth(2, 3.5);
    u->SetColLocked(2, true);
    u->SetHeader(3, QStringLiteral("表題"));
    u->SetColText(3, 60);
    u->SetColWidth(3, 36.0);
    u->SetHeader(4, QStringLiteral("分類"));
    u->SetColCombo(4);
    u->SetColWidth(4, 10.0);
    u->SetHeader(5, QStringLiteral("並順"));
    u->SetColNumber(5, 1, 0, 999.9);
    u->SetColWidth(5, 4.5);
    u->SetColForeground(5, kDarkBlue);
    u->SetHeader(6, QStringLiteral("URL"));
    u->SetColHidden(6, true);
    u->SetHeader(7, QStringLiteral(" "));
    u->SetColText(7, 60);
    u->SetColWidth(7, 3.25);
    u->SetColAlignment(7, Qt::AlignCenter);
    u->SetHeader(8, QStringLiteral(" "));
    u->SetColNumber(8, 2, -99999999.99, 99999999.99);
    u->SetColWidth(8, 5.37);

    for (int i = 0; i < 2; ++i) {
        connect(vSpr[i], &Grid::Change, this, [this, i](int, int row) { MarkRow(i, row); });
        connect(vSpr[i], &Grid::BlockSelected, this, [this, i](int, int r1, int, int r2) {
            nSel1[i] = r1;
            nSel2[i] = r2;
        });
        connect(vSpr[i], &Grid::RightClick, this, [this, i](int, int, const QPoint &pos) {
            (i == 0 ? mnGrp : mnURL)->popup(pos);
        });
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
    move(Twips::toPixelsX(nX1 + (nX2 - nX1 - width) / 2), Twips::toPixelsY(nY1 + (nY2 - nY1 - height) / 2));
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
    const int w = width();
    const int h = height() - top;
    const int gw = Twips::toPixelsX(kGroupGridWidth);
    // Windows smaller than the margins keep grids of no size rather than negative ones.
    vSpr[0]->setGeometry(0, top, gw, qMax(0, h - Twips::toPixelsY(50)));
    vSpr[1]->setGeometry(gw + Twips::toPixelsX(60), top, qMax(0, w - gw - Twips::toPixelsX(180)),
                         qMax(0, h - Twips::toPixelsY(50)));
    bBusy = false;
}

bool fmData::FillGrid(int index, const QString &sql, QString *names)
{
    // Rows are collected first and reach the grid in one step, as UTF-8 from the engine on.
    auto sortText = [](const Sql::TextRow &r, int col) {
        return r.text(col).isEmpty() ? QByteArray() : QByteArray::number(r.number(col), 'f', 1);
    };
    const QByteArrayView fresh("11");
    std::vector<PackedRow> rows;
    QString list;
    QString error;
    const bool ok = Sql::forEachUtf8(Sql::SetPrm(sql, {}), [&](const Sql::TextRow &r) {
        if (index == 0) {
            rows.push_back(PackedRow{fresh, r.text(0), r.text(1), sortText(r, 2)});
            if (names) {
                const QString name = QString::fromUtf8(r.text(1));
                *names += name + u'\t';
                list += name + u'\t' + QString::fromUtf8(r.text(0)) + u'\r';
            }
        } else {
            rows.push_back(PackedRow{fresh, r.text(0), r.text(1), r.text(2), sortText(r, 3), r.text(4)});
        }
    }, &error);
    if (!ok) {
        Dialogs::message(QStringLiteral("ﾃﾞｰﾀｰの読み込みに失敗しました: ") + error);
        return false;
    }
    Grid *g = vSpr[index];
    if (names) {
        Usr::CutEnd(*names, QStringLiteral("\t"));
        Usr::sGrpList = list;
    }
    if (rows.empty()) {
        // Five placeholders without numbers.
        g->SetMaxRows(0);
        g->SetMaxRows(5);
        for (int r = 1; r <= 5; ++r)
            g->SetText(1, r, QStringLiteral("11"));
    } else {
        g->model()->fillRows(std::move(rows));
    }
    return true;
}

void fmData::LoadData()
{
    bChg = false;
    sDel[0].clear();
    sDel[1].clear();
    nSel1[0] = nSel1[1] = nSel2[0] = nSel2[1] = 0;
    Usr::sGrpList.clear();
    QString names;
    FillGrid(0, QString::fromUtf8(Sql::kGridGroups), &names);
    vSpr[1]->TypeComboBoxList(4, names);
    FillGrid(1, QString::fromUtf8(Sql::kGridLinks), nullptr);
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
    int start = 0, count = 0;
    SelRange(index, start, count);
    Grid *g = vSpr[index];
    if (start < 1 || start > g->MaxRows())
        return;
    count = qMin(count, g->MaxRows() - start + 1);
    for (int r = start; r < start + count; ++r) {
        const QString number = g->GetText(2, r);
        if (!number.isEmpty())
            sDel[index] += number + u',';
    }
    g->DeleteRows(start, count);
}

void fmData::ChkLink()
{
    Grid *g = vSpr[1];
    // A remembered block is checked row by row with each answer shown; otherwise every row,
    // many at a time, with a progress window that can stop the run.
    const bool showing = nSel1[1] != 0;
    const int first = showing ? nSel1[1] : 1;
    const int last = showing ? qMin(nSel2[1], g->MaxRows()) : g->MaxRows();
    QList<LinkCheck::Row> jobs;
    for (int r = first; r <= last; ++r) {
        g->SetText(7, r, QString());
        g->SetText(8, r, QString());
        jobs.append({r, g->GetText(6, r)});
    }
    LinkCheck check;
    check.setDeadlineMs(linkDeadlineMs);
    // A block still runs concurrently; its answers are shown one after the other in row order.
    check.setOrder(showing ? LinkCheck::Order::RowOrder : LinkCheck::Order::AsAnswered);
    std::unique_ptr<QProgressDialog> progress;
    if (!showing && !jobs.isEmpty()) {
        progress = std::make_unique<QProgressDialog>(this);
        progress->setWindowTitle(Dialogs::title());
        progress->setCancelButtonText(QStringLiteral("中止"));
        progress->setRange(0, int(jobs.size()));
        progress->setMinimumDuration(500);
        progress->setWindowModality(Qt::WindowModal);
        connect(progress.get(), &QProgressDialog::canceled, &check, &LinkCheck::cancel);
        connect(&check, &LinkCheck::progress, progress.get(), [&progress](int checked, int total, int dead) {
            progress->setLabelText(QStringLiteral("%1 / %2　ﾘﾝｸ切れ %3").arg(checked).arg(total).arg(dead));
            progress->setValue(checked);
        });
        linkProgress = progress.get();
    }
    connect(&check, &LinkCheck::rowChecked, this, [this, g, showing](int row, const LinkResult &r) {
        // Marks and times are the program's writes: the row does not count as changed.
        g->SetText(7, row, r.mark());
        g->SetText(8, row, r.timeText());
        if (showing)
            Dialogs::message(r.headers);
        if (row > 10)
            g->SetTopRow(row - 9);
    });
    QEventLoop wait;
    connect(&check, &LinkCheck::finished, &wait, &QEventLoop::quit);
    if (check.start(jobs))
        wait.exec();
    linkProgress = nullptr;
    g->SetTopRow(1);
    mnURLItem[1]->setEnabled(true);
}

void fmData::DelDead()
{
    Grid *g = vSpr[1];
    int r = 1;
    while (r <= g->MaxRows()) {
        if (g->GetText(7, r) == u"×") {
            // Taken out of the grid and deleted on the next save, like "行削除".
            const QString number = g->GetText(2, r);
            if (!number.isEmpty()) {
                sDel[1] += number + u',';
                bChg = true;
            }
            g->DeleteRows(r, 1);
        } else {
            ++r;
        }
    }
}

bool fmData::SaveGrp(QString *error)
{
    Grid *g = vSpr[0];
    for (int r = 1; r <= g->MaxRows(); ++r) {
        const QString code = g->GetText(1, r);
        const QString number = g->GetText(2, r);
        const QString name = g->GetText(3, r);
        const double sort = sortValue(g->GetText(4, r));
        if (code == u"12" && !number.isEmpty()) {
            const int n = int(std::lround(NumberText::lenient(number)));
            if (!Sql::exec(Sql::SetPrm(Sql::kUpdateGroup, {name, sort, n}), error))
                return false;
        } else if (code == u"02") {
            bool ok = false;
            const int n = Usr::NewGrpNo(&ok);
            if (!ok) {
                *error = QStringLiteral("Select Max(nGrp) From mGrp");
                return false;
            }
            if (!Sql::exec(Sql::SetPrm(Sql::kInsertGroup, {n, name, sort}), error))
                return false;
        }
    }
    const Sql::NumberList deleted = numbers(sDel[0]);
    if (!deleted.isEmpty()) {
        if (!Sql::exec(Sql::SetPrm(Sql::kMoveLinksOfGroups, {QVariant::fromValue(deleted)}), error)
            || !Sql::exec(Sql::SetPrm(Sql::kDeleteGroups, {QVariant::fromValue(deleted)}), error))
            return false;
    }
    return true;
}

bool fmData::SaveURL(QString *error)
{
    const Sql::NumberList deletedGroups = numbers(sDel[0]);
    Grid *g = vSpr[1];
    for (int r = 1; r <= g->MaxRows(); ++r) {
        if (g->GetText(1, r) != u"12" || g->GetText(2, r).isEmpty())
            continue;
        int group = Usr::GrpNoOf(g->GetText(4, r));
        // A group deleted in the same save leaves its links in group 0.
        if (deletedGroups.contains(group))
            group = 0;
        const int n = int(std::lround(NumberText::lenient(g->GetText(2, r))));
        if (!Sql::exec(Sql::SetPrm(Sql::kUpdateGridLink, {g->GetText(3, r), group, sortValue(g->GetText(5, r)), n}),
                       error))
            return false;
    }
    const Sql::NumberList deleted = numbers(sDel[1]);
    if (!deleted.isEmpty() && !Sql::exec(Sql::SetPrm(Sql::kDeleteLinks, {QVariant::fromValue(deleted)}), error))
        return false;
    return true;
}

bool fmData::SaveData()
{
    // Everything or nothing: a failure keeps every edit on screen for another try.
    QString error;
    {
        Sql::Transaction t;
        if (!t.ok()) {
            Dialogs::message(QStringLiteral("更新できませんでした: ") + t.error());
            return false;
        }
        if (!SaveGrp(&error) || !SaveURL(&error)) {
            t.rollback();
            Dialogs::message(QStringLiteral("更新できませんでした: ") + error);
            return false;
        }
        if (!t.commit()) {
            Dialogs::message(QStringLiteral("更新できませんでした: ") + t.error());
            return false;
        }
    }
    sDel[0].clear();
    sDel[1].clear();
    DelPics();
    LoadData();
    return true;
}

void fmData::DelPics()
{
    QString error;
    QString list = QStringLiteral(".");
    const bool ok = Sql::forEach(Sql::SetPrm(Sql::kLinkNumbers, {}), [&](const QVariantList &rec) {
        list += QString::number(rec.value(0).toLongLong()) + u'.';
    }, &error);
    if (!ok)
        return; // without the numbers nothing can be told apart: delete nothing
    // The folder is "Pic" in any letter case.
    QDir data(Usr::sDataPh);
    QString folder;
    for (const QString &name : data.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (name.compare(QStringLiteral("pic"), Qt::CaseInsensitive) == 0)
            folder = data.filePath(name);
    if (folder.isEmpty())
        return;
    QDir pics(folder);
    for (const QString &file : pics.entryList(QDir::Files | QDir::Hidden)) {
        const QString name = file.toLower();
        if (!name.endsWith(QStringLiteral(".jpg")))
            continue;
        const QString stem = name.left(name.size() - 4);
        if (!list.contains(u'.' + stem + u'.'))
            QFile::remove(pics.filePath(file)); // a file that will not go stays
    }
}

void fmData::InitDb()
{
    if (!Dialogs::message(QStringLiteral("分類・URLを全て削除して良いですか"), Dialogs::Buttons::OkCancel))
        return;
    QString error;
    {
        // The ungrouped row comes back at once, so new and moved links stay visible.
        Sql::Transaction t;
        if (!Sql::exec(Sql::SetPrm(Sql::kDeleteAllGroups, {}), &error)
            || !Sql::exec(Sql::SetPrm(Sql::kDeleteAllLinks, {}), &error)
            || !Sql::exec(Sql::SetPrm(Sql::kInsertGroupZero, {QStringLiteral("未分類")}), &error)
            || !t.commit()) {
            t.rollback();
            Dialogs::message(QStringLiteral("初期化できませんでした: ") + (error.isEmpty() ? t.error() : error));
            return;
        }
    }
    LoadData();
    if (!Dialogs::message(QStringLiteral("URLの画像も全て削除しますか"), Dialogs::Buttons::OkCancel))
        return;
    QDir pics(Usr::sDataPh + QStringLiteral("Pic"));
    for (const QString &file : pics.entryList({QStringLiteral("*.jpg")}, QDir::Files))
        QFile::remove(pics.filePath(file));
}

bool fmData::CloseWnd()
{
    if (bChg && !Dialogs::message(QStringLiteral("修正は未更新ですが終了して良いですか"), Dialogs::Buttons::OkCancel))
        return false;
    return true;
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
