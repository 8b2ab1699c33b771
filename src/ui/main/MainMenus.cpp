#include "MainMenus.h"

#include <QAction>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

void MainMenus::build(QMainWindow &w, const Handlers &click)
{
    // One menu of the bar from its item texts (nullptr a separator), translated as they are
    // added; each item calls click(index).
    auto menu = [this, &w](int m, const char *title, std::initializer_list<const char *> texts,
                           QAction **items, const Click &onClick) {
        if (!mnJob[m])
            mnJob[m] = w.menuBar()->addMenu(QCoreApplication::translate("MainMenus", title));
        int i = 0;
        for (const char *text : texts) {
            if (!text) {
                items[i++] = mnJob[m]->addSeparator();
                continue;
            }
            items[i] = mnJob[m]->addAction(QCoreApplication::translate("MainMenus", text));
            QObject::connect(items[i], &QAction::triggered, &w, [onClick, i] { onClick(i); });
            ++i;
        }
    };
    constexpr const char *separator = nullptr;
    menu(MnJob::File, QT_TRANSLATE_NOOP("MainMenus", "ﾌｧｲﾙ(&F)"),
         {QT_TRANSLATE_NOOP("MainMenus", "ﾃﾞｰﾀｰﾌｫﾙﾀﾞを開く"),
          QT_TRANSLATE_NOOP("MainMenus", "ﾃﾞｰﾀｰﾍﾞｰｽの最適化"),
          QT_TRANSLATE_NOOP("MainMenus", "ﾌﾞｯｸﾏｰｸの取込(&I)..."),
          QT_TRANSLATE_NOOP("MainMenus", "ﾌﾞｯｸﾏｰｸの書出(&E)..."),
          QT_TRANSLATE_NOOP("MainMenus", "検索用の索引を作り直す"),
          QT_TRANSLATE_NOOP("MainMenus", "ﾌﾞﾗｳｻﾞから登録の設定"), separator,
          QT_TRANSLATE_NOOP("MainMenus", "終了(&Q)")},
         mnFile.data(), click.file);
    menu(MnJob::Disp, QT_TRANSLATE_NOOP("MainMenus", "ﾌﾞﾗｳｻﾞ(&L)"),
         {QT_TRANSLATE_NOOP("MainMenus", "ﾎｰﾑﾍﾟｰｼﾞへ移動"),
          QT_TRANSLATE_NOOP("MainMenus", "検索ﾍﾟｰｼﾞへ移動"), separator,
          QT_TRANSLATE_NOOP("MainMenus", "ﾍﾟｰｼﾞ設定(&U)"),
          QT_TRANSLATE_NOOP("MainMenus", "印刷ﾌﾟﾚﾋﾞｭｰ(&V)"), QT_TRANSLATE_NOOP("MainMenus", "印刷"),
          separator, QT_TRANSLATE_NOOP("MainMenus", "最新の状態に更新"),
          QT_TRANSLATE_NOOP("MainMenus", "保存"), separator,
          QT_TRANSLATE_NOOP("MainMenus", "URLをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"),
          QT_TRANSLATE_NOOP("MainMenus", "ﾍﾟｰｼﾞのﾃｷｽﾄをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"),
          QT_TRANSLATE_NOOP("MainMenus", "ﾍﾟｰｼﾞのHTMをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ")},
         mnDisp.data(), click.disp);
    // F5 and F11 are caught with the other window keys; the menu only shows them.
    mnDisp[MnDisp::Search]->setText(mnDisp[MnDisp::Search]->text() + QStringLiteral("\tF11"));
    mnDisp[MnDisp::Refresh]->setText(mnDisp[MnDisp::Refresh]->text() + QStringLiteral("\tF5"));
    mnDisp[MnDisp::Print]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    mnDisp[MnDisp::Print]->setShortcutContext(Qt::WindowShortcut);
    w.addAction(mnDisp[MnDisp::Print]);
    menu(MnJob::Slc, QT_TRANSLATE_NOOP("MainMenus", "ﾘｽﾄ(&S)"),
         {QT_TRANSLATE_NOOP("MainMenus", "抽出"),
          QT_TRANSLATE_NOOP("MainMenus", "最近登録したﾍﾟｰｼﾞ"),
          QT_TRANSLATE_NOOP("MainMenus", "検索(&K)"), separator},
         mnSlc.data(), click.slc);
    mnSlc[MnSlc::Find]->setShortcut(QKeySequence::Find);
    menu(MnJob::Slc, nullptr,
         {QT_TRANSLATE_NOOP("MainMenus", "Htmに出力"),
          QT_TRANSLATE_NOOP("MainMenus", "Docに出力(画像付き)"), separator,
          QT_TRANSLATE_NOOP("MainMenus", "一括画像出力"),
          QT_TRANSLATE_NOOP("MainMenus", "画像出力の指定")},
         mnRet.data(), click.ret);
    menu(MnJob::Data, QT_TRANSLATE_NOOP("MainMenus", "登録(&D)"),
         {QT_TRANSLATE_NOOP("MainMenus", "追加登録(&W)"),
          QT_TRANSLATE_NOOP("MainMenus", "削除(&D)"), separator,
          QT_TRANSLATE_NOOP("MainMenus", "ﾃﾞｰﾀｰ"), separator,
          QT_TRANSLATE_NOOP("MainMenus", "保存したﾍﾟｰｼﾞを表示")},
         mnData.data(), click.data);
    // Nothing to register until the first page has completed.
    mnData[MnData::Register]->setEnabled(false);
}
