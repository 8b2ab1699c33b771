#include "MaintenanceMenus.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(MaintenanceMenus)
};

} // namespace

void MaintenanceMenus::build(QWidget *owner, const Commands &run)
{
    menuBar = new QMenuBar(owner);
    auto add = [owner](QMenu *menu, const QString &text, const Command &command) {
        return menu->addAction(text, owner, command);
    };
    mnFile = menuBar->addMenu(Tr::tr("ﾌｧｲﾙ(&F)"));
    mnFileItem[DataFile::Reload] = add(mnFile, Tr::tr("再表示(&R)"), run.reload);
    mnFileItem[DataFile::Save] = add(mnFile, Tr::tr("更新(&)"), run.save);
    mnFileItem[DataFile::Separator1] = mnFile->addSeparator();
    mnFileItem[DataFile::Reset] = add(mnFile, Tr::tr("ﾃﾞｰﾀｰﾍﾞｰｽを初期化"), run.reset);
    mnFileItem[DataFile::Separator2] = mnFile->addSeparator();
    mnFileItem[DataFile::Quit] = add(mnFile, Tr::tr("終了(&Q)"), run.quit);
    mnGrp = menuBar->addMenu(Tr::tr("分類(&B)"));
    mnGrpItem[DataGrp::Insert] = add(mnGrp, Tr::tr("行挿入"), run.insertGroups);
    mnGrpItem[DataGrp::Delete] = add(mnGrp, Tr::tr("行削除"), run.deleteGroups);
    mnGrpItem[DataGrp::Separator] = mnGrp->addSeparator();
    mnGrpItem[DataGrp::CheckGroups] = add(mnGrp, Tr::tr("分類のﾘﾝｸ切れのﾁｪｯｸ"), run.checkGroups);
    mnURL = menuBar->addMenu(Tr::tr("URL(&U)"));
    mnURLItem[DataURL::Check] = add(mnURL, Tr::tr("ﾘﾝｸ切れのﾁｪｯｸ"), run.check);
    mnURLItem[DataURL::DeleteDead] = add(mnURL, Tr::tr("ﾘﾝｸ切れを削除"), run.deleteDead);
    mnURLItem[DataURL::DeleteDead]->setEnabled(false);
    mnURLItem[DataURL::Separator1] = mnURL->addSeparator();
    mnURLItem[DataURL::Delete] = add(mnURL, Tr::tr("行削除"), run.deleteLinks);
    mnURLItem[DataURL::SelectTwins] = add(mnURL, Tr::tr("重複を選択"), run.selectTwins);
    mnURLItem[DataURL::Separator2] = mnURL->addSeparator();
    mnURLItem[DataURL::MoveToFinal] = add(mnURL, Tr::tr("移転先に更新"), run.moveToFinal);
    mnURLItem[DataURL::MoveToFinal]->setEnabled(false);
    mnURLItem[DataURL::ShowSaved] = add(mnURL, Tr::tr("保存したﾍﾟｰｼﾞを表示"), run.showSaved);
    mnURLItem[DataURL::CheckSelected] = new QAction(Tr::tr("選択行のﾘﾝｸ切れのﾁｪｯｸ"), mnURL);
    QObject::connect(mnURLItem[DataURL::CheckSelected], &QAction::triggered, owner,
                     run.checkSelected);
    mnURL->insertAction(mnURLItem[DataURL::DeleteDead], mnURLItem[DataURL::CheckSelected]);
}
