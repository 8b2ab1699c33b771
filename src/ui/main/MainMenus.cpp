#include "MainMenus.h"

#include "ui/main/fmLink.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

namespace MainMenus {

void build(fmLink &w)
{
    // One menu of the bar from its item texts (nullptr a separator), translated as they are
    // added; each item calls click(index).
    auto menu = [&w](int m, const char *title, std::initializer_list<const char *> texts,
                     QAction **items, void (fmLink::*click)(int)) {
        if (!w.mnJob[m])
            w.mnJob[m] = w.menuBar()->addMenu(QCoreApplication::translate("MainMenus", title));
        int i = 0;
        for (const char *text : texts) {
            if (!text) {
                items[i++] = w.mnJob[m]->addSeparator();
                continue;
            }
            items[i] = w.mnJob[m]->addAction(QCoreApplication::translate("MainMenus", text));
            QObject::connect(items[i], &QAction::triggered, &w, [&w, click, i] { (w.*click)(i); });
            ++i;
        }
    };
    constexpr const char *separator = nullptr;
    menu(0, QT_TRANSLATE_NOOP("MainMenus", "ﾌｧｲﾙ(&F)"),
         {QT_TRANSLATE_NOOP("MainMenus", "ﾃﾞｰﾀｰﾌｫﾙﾀﾞを開く"),
          QT_TRANSLATE_NOOP("MainMenus", "ﾃﾞｰﾀｰﾍﾞｰｽの最適化"),
          QT_TRANSLATE_NOOP("MainMenus", "ﾌﾞｯｸﾏｰｸの取込(&I)..."),
          QT_TRANSLATE_NOOP("MainMenus", "ﾌﾞｯｸﾏｰｸの書出(&E)..."), separator,
          QT_TRANSLATE_NOOP("MainMenus", "終了(&Q)")},
         w.mnFile, &fmLink::mnFile_Click);
    menu(1, QT_TRANSLATE_NOOP("MainMenus", "ﾌﾞﾗｳｻﾞ(&L)"),
         {QT_TRANSLATE_NOOP("MainMenus", "ﾎｰﾑﾍﾟｰｼﾞへ移動"),
          QT_TRANSLATE_NOOP("MainMenus", "検索ﾍﾟｰｼﾞへ移動"), separator,
          QT_TRANSLATE_NOOP("MainMenus", "ﾍﾟｰｼﾞ設定(&U)"),
          QT_TRANSLATE_NOOP("MainMenus", "印刷ﾌﾟﾚﾋﾞｭｰ(&V)"), QT_TRANSLATE_NOOP("MainMenus", "印刷"),
          separator, QT_TRANSLATE_NOOP("MainMenus", "最新の状態に更新"),
          QT_TRANSLATE_NOOP("MainMenus", "保存"), separator,
          QT_TRANSLATE_NOOP("MainMenus", "URLをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"),
          QT_TRANSLATE_NOOP("MainMenus", "ﾍﾟｰｼﾞのﾃｷｽﾄをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"),
          QT_TRANSLATE_NOOP("MainMenus", "ﾍﾟｰｼﾞのHTMをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ")},
         w.mnDisp, &fmLink::mnDisp_Click);
    // F5 and F11 are caught with the other window keys; the menu only shows them.
    w.mnDisp[1]->setText(w.mnDisp[1]->text() + QStringLiteral("\tF11"));
    w.mnDisp[7]->setText(w.mnDisp[7]->text() + QStringLiteral("\tF5"));
    w.mnDisp[5]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    w.mnDisp[5]->setShortcutContext(Qt::WindowShortcut);
    w.addAction(w.mnDisp[5]);
    menu(2, QT_TRANSLATE_NOOP("MainMenus", "ﾘｽﾄ(&S)"),
         {QT_TRANSLATE_NOOP("MainMenus", "抽出"),
          QT_TRANSLATE_NOOP("MainMenus", "最近登録したﾍﾟｰｼﾞ"),
          QT_TRANSLATE_NOOP("MainMenus", "検索(&K)"), separator},
         w.mnSlc, &fmLink::mnSlc_Click);
    w.mnSlc[2]->setShortcut(QKeySequence::Find);
    menu(2, nullptr,
         {QT_TRANSLATE_NOOP("MainMenus", "Htmに出力"),
          QT_TRANSLATE_NOOP("MainMenus", "Docに出力(画像付き)"), separator,
          QT_TRANSLATE_NOOP("MainMenus", "一括画像出力"),
          QT_TRANSLATE_NOOP("MainMenus", "画像出力の指定")},
         w.mnRet, &fmLink::mnRet_Click);
    menu(3, QT_TRANSLATE_NOOP("MainMenus", "登録(&D)"),
         {QT_TRANSLATE_NOOP("MainMenus", "追加登録(&W)"),
          QT_TRANSLATE_NOOP("MainMenus", "削除(&D)"), separator,
          QT_TRANSLATE_NOOP("MainMenus", "ﾃﾞｰﾀｰ"), separator,
          QT_TRANSLATE_NOOP("MainMenus", "保存したﾍﾟｰｼﾞを表示")},
         w.mnData, &fmLink::mnData_Click);
    // Nothing to register until the first page has completed.
    w.mnData[0]->setEnabled(false);
}

} // namespace MainMenus
