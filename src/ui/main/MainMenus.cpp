#include "MainMenus.h"

#include "ui/main/fmLink.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace MainMenus {

void build(fmLink &w)
{
    // One menu of the bar from its item texts ("-" a separator); each item calls click(index).
    auto menu = [&w](int m, const QString &title, const QStringList &texts, QAction **items,
                     void (fmLink::*click)(int)) {
        if (!w.mnJob[m])
            w.mnJob[m] = w.menuBar()->addMenu(title);
        for (int i = 0; i < texts.size(); ++i) {
            if (texts[i] == u"-") {
                items[i] = w.mnJob[m]->addSeparator();
                continue;
            }
            items[i] = w.mnJob[m]->addAction(texts[i]);
            QObject::connect(items[i], &QAction::triggered, &w, [&w, click, i] { (w.*click)(i); });
        }
    };
    menu(0, QStringLiteral("ﾌｧｲﾙ(&F)"),
         {QStringLiteral("ﾃﾞｰﾀｰﾌｫﾙﾀﾞを開く"), QStringLiteral("ﾃﾞｰﾀｰﾍﾞｰｽの最適化"),
          QStringLiteral("ﾌﾞｯｸﾏｰｸの取込(&I)..."), QStringLiteral("ﾌﾞｯｸﾏｰｸの書出(&E)..."),
          QStringLiteral("-"), QStringLiteral("終了(&Q)")},
         w.mnFile, &fmLink::mnFile_Click);
    menu(1, QStringLiteral("ﾌﾞﾗｳｻﾞ(&L)"),
         {QStringLiteral("ﾎｰﾑﾍﾟｰｼﾞへ移動"), QStringLiteral("検索ﾍﾟｰｼﾞへ移動"), QStringLiteral("-"),
          QStringLiteral("ﾍﾟｰｼﾞ設定(&U)"), QStringLiteral("印刷ﾌﾟﾚﾋﾞｭｰ(&V)"),
          QStringLiteral("印刷"), QStringLiteral("-"), QStringLiteral("最新の状態に更新"),
          QStringLiteral("保存"), QStringLiteral("-"), QStringLiteral("URLをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"),
          QStringLiteral("ﾍﾟｰｼﾞのﾃｷｽﾄをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"),
          QStringLiteral("ﾍﾟｰｼﾞのHTMをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ")},
         w.mnDisp, &fmLink::mnDisp_Click);
    // F5 and F11 are caught with the other window keys; the menu only shows them.
    w.mnDisp[1]->setText(w.mnDisp[1]->text() + QStringLiteral("\tF11"));
    w.mnDisp[7]->setText(w.mnDisp[7]->text() + QStringLiteral("\tF5"));
    w.mnDisp[5]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    w.mnDisp[5]->setShortcutContext(Qt::WindowShortcut);
    w.addAction(w.mnDisp[5]);
    menu(2, QStringLiteral("ﾘｽﾄ(&S)"),
         {QStringLiteral("抽出"), QStringLiteral("最近登録したﾍﾟｰｼﾞ"), QStringLiteral("検索(&K)"),
          QStringLiteral("-")},
         w.mnSlc, &fmLink::mnSlc_Click);
    w.mnSlc[2]->setShortcut(QKeySequence::Find);
    menu(2, QString(),
         {QStringLiteral("Htmに出力"), QStringLiteral("Docに出力(画像付き)"), QStringLiteral("-"),
          QStringLiteral("一括画像出力"), QStringLiteral("画像出力の指定")},
         w.mnRet, &fmLink::mnRet_Click);
    menu(3, QStringLiteral("登録(&D)"),
         {QStringLiteral("追加登録(&W)"), QStringLiteral("削除(&D)"), QStringLiteral("-"),
          QStringLiteral("ﾃﾞｰﾀｰ"), QStringLiteral("-"), QStringLiteral("保存したﾍﾟｰｼﾞを表示")},
         w.mnData, &fmLink::mnData_Click);
    // Nothing to register until the first page has completed.
    w.mnData[0]->setEnabled(false);
}

} // namespace MainMenus
