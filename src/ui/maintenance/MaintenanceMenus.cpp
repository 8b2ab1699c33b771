#include "MaintenanceMenus.h"

#include "ui/maintenance/fmData.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

namespace MaintenanceMenus {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(MaintenanceMenus)
};

} // namespace

void build(fmData &w)
{
    w.menuBar = new QMenuBar(&w);
    w.mnFile = w.menuBar->addMenu(Tr::tr("ﾌｧｲﾙ(&F)"));
    w.mnFileItem[0] = w.mnFile->addAction(Tr::tr("再表示(&R)"), &w, &fmData::LoadData);
    w.mnFileItem[1] = w.mnFile->addAction(Tr::tr("更新(&)"), &w, [&w] { w.SaveData(); });
    w.mnFileItem[2] = w.mnFile->addSeparator();
    w.mnFileItem[3] = w.mnFile->addAction(Tr::tr("ﾃﾞｰﾀｰﾍﾞｰｽを初期化"), &w, &fmData::InitDb);
    w.mnFileItem[4] = w.mnFile->addSeparator();
    w.mnFileItem[5] = w.mnFile->addAction(Tr::tr("終了(&Q)"), &w, [&w] {
        if (w.CloseWnd())
            w.done(QDialog::Accepted);
    });
    w.mnGrp = w.menuBar->addMenu(Tr::tr("分類(&B)"));
    w.mnGrpItem[0] = w.mnGrp->addAction(Tr::tr("行挿入"), &w, [&w] { w.InsRows(0); });
    w.mnGrpItem[1] = w.mnGrp->addAction(Tr::tr("行削除"), &w, [&w] { w.DelRows(0); });
    w.mnGrpItem[2] = w.mnGrp->addSeparator();
    w.mnGrpItem[3] = w.mnGrp->addAction(Tr::tr("分類のﾘﾝｸ切れのﾁｪｯｸ"), &w, &fmData::ChkGroups);
    w.mnURL = w.menuBar->addMenu(Tr::tr("URL(&U)"));
    w.mnURLItem[0] = w.mnURL->addAction(Tr::tr("ﾘﾝｸ切れのﾁｪｯｸ"), &w, &fmData::ChkLink);
    w.mnURLItem[1] = w.mnURL->addAction(Tr::tr("ﾘﾝｸ切れを削除"), &w, &fmData::DelDead);
    w.mnURLItem[1]->setEnabled(false);
    w.mnURLItem[2] = w.mnURL->addSeparator();
    w.mnURLItem[3] = w.mnURL->addAction(Tr::tr("行削除"), &w, [&w] { w.DelRows(1); });
    w.mnURLItem[4] = w.mnURL->addAction(Tr::tr("重複を選択"), &w, &fmData::SelTwins);
    w.mnURLItem[5] = w.mnURL->addSeparator();
    w.mnURLItem[6] = w.mnURL->addAction(Tr::tr("移転先に更新"), &w, &fmData::MoveToFinal);
    w.mnURLItem[6]->setEnabled(false);
    w.mnURLItem[7] = w.mnURL->addAction(Tr::tr("保存したﾍﾟｰｼﾞを表示"), &w, &fmData::ShowSaved);
    // Shown next to the whole check; its place in the array keeps the others' numbers.
    w.mnURLItem[8] = new QAction(Tr::tr("選択行のﾘﾝｸ切れのﾁｪｯｸ"), w.mnURL);
    QObject::connect(w.mnURLItem[8], &QAction::triggered, &w, &fmData::ChkSelected);
    w.mnURL->insertAction(w.mnURLItem[1], w.mnURLItem[8]);
}

} // namespace MaintenanceMenus
