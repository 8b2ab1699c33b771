#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/widgets/Grid.h"
#include "store/Sql.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/FakeBrowser.h"
#include "support/LoopbackServer.h"
#include "support/SqlSteps.h"
#include "ui/maintenance/SavedPageWindow.h"
#include "ui/maintenance/fmData.h"

#include <QItemSelectionModel>
#include <QMenuBar>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

// The maintenance window over a real database in a temporary folder.
class TestFmData : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<fmData> m_w;

    static Sql::Rows rows(const QString &sql) { return SqlSteps::rows(sql); }
    static void exec(const QString &sql, const QVariantList &values = {})
    {
        SqlSteps::exec(sql, values);
    }
    void touch(const QString &name)
    {
        QFile f(Usr::sDataPh + QStringLiteral("Pic/") + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    bool pic(const QString &name) const
    {
        return QFile::exists(Usr::sDataPh + QStringLiteral("Pic/") + name);
    }

    // groups: number, name, sort; links: number, group, title, sort
    void open(const QList<QVariantList> &groups, const QList<QVariantList> &links)
    {
        m_w.reset();
        Store::CloseDb();
        m_tmp = std::make_unique<QTemporaryDir>();
        Usr::sDataPh = m_tmp->path() + u'/';
        QDir().mkpath(Usr::sDataPh + QStringLiteral("Pic"));
        QDir().mkpath(Usr::sDataPh + QStringLiteral("Arc"));
        QVERIFY(Store::OpenDb(Usr::sDataPh + QStringLiteral("dbLink.mdb")));
        for (const QVariantList &g : groups)
            exec(Sql::kInsertGroup, g);
        for (const QVariantList &l : links)
            exec(Sql::kInsertLink,
                 {l[0], QStringLiteral("http://x/%1").arg(l[0].toInt()), l[1], l[2],
                  QStringLiteral("memo"), l[3]});
        m_w = std::make_unique<fmData>();
        m_w->prepare(0, 15000, 0, 10000);
        Dialogs::clearShown();
    }
    void userEdit(int grid, int col, int row, const QString &text)
    {
        Grid *g = m_w->vSpr[grid];
        QVERIFY(g->model()->setData(g->model()->index(row - 1, col - 1), text, Qt::EditRole));
    }
    QString cell(int grid, int col, int row) const { return m_w->vSpr[grid]->GetText(col, row); }

private Q_SLOTS:
    void initTestCase() { Dialogs::enableTestMode(); }
    void cleanup()
    {
        m_w.reset();
        Store::CloseDb();
    }

    void loading()
    {
        open({}, {});
        QCOMPARE(m_w->windowTitle(), QStringLiteral("ﾃﾞｰﾀｰの並順等の指定"));
        QCOMPARE(m_w->vSpr[0]->MaxRows(), 5);
        QCOMPARE(m_w->vSpr[1]->MaxRows(), 5);
        QCOMPARE(cell(0, 1, 3), QStringLiteral("11"));
        QCOMPARE(cell(0, 2, 3), QString());
        QVERIFY(m_w->vSpr[0]->isColumnHidden(0));
        QVERIFY(!m_w->mnURLItem[1]->isEnabled());

        open({{1, "News", 20}, {2, "Blogs", 10}},
             {{100, 1, "A", 1}, {101, 9, "Lost", 1}, {102, 0, "Ungrouped", 1}, {103, 2, "B", 2.5}});
        QCOMPARE(m_w->vSpr[0]->MaxRows(), 2); // group 0 never listed
        QCOMPARE(cell(0, 3, 1), QStringLiteral("Blogs"));
        QCOMPARE(cell(0, 4, 1), QStringLiteral("10.0"));
        QCOMPARE(Usr::sGrpList, QStringLiteral("Blogs\t2\rNews\t1\r"));
        QCOMPARE(m_w->vSpr[1]->model()->column(4).items,
                 (QStringList {QStringLiteral("Blogs"), QStringLiteral("News")}));
        // 101 has no group row; 102 is in group 0.
        QCOMPARE(m_w->vSpr[1]->MaxRows(), 3);
        QCOMPARE(cell(1, 2, 3), QStringLiteral("103"));
        QCOMPARE(cell(1, 4, 3), QStringLiteral("Blogs"));
        QCOMPARE(cell(1, 5, 3), QStringLiteral("2.5"));
        QCOMPARE(cell(1, 6, 3), QStringLiteral("http://x/103"));
        QVERIFY(!m_w->bChg);
    }

    void insertWithAndWithoutBlock()
    {
        open({{1, "a", 1}, {2, "b", 2}, {3, "c", 3}, {4, "d", 4}, {5, "e", 5}}, {});
        m_w->nSel1[0] = 3;
        m_w->nSel2[0] = 5;
        m_w->InsRows(0);
        QVERIFY(m_w->bChg);
        QCOMPARE(m_w->vSpr[0]->MaxRows(), 8);
        for (int r = 3; r <= 5; ++r) {
            QCOMPARE(cell(0, 1, r), QStringLiteral("00"));
            QCOMPARE(cell(0, 4, r), QStringLiteral("100.0"));
            QCOMPARE(cell(0, 2, r), QString());
        }
        QCOMPARE(cell(0, 3, 6), QStringLiteral("c"));
        m_w->DelRows(0); // rows 3..5: the new ones, no numbers
        QCOMPARE(m_w->sDel[0], QString());
        QCOMPARE(m_w->vSpr[0]->MaxRows(), 5);
        // A block is forgotten as soon as the selection changes: then the active row.
        m_w->nSel1[0] = 3;
        m_w->nSel2[0] = 5;
        m_w->vSpr[0]->SetActiveRow(1);
        QCOMPARE(m_w->nSel1[0], 0);
        // Without a block the active row.
        m_w->LoadData();
        m_w->vSpr[0]->SetActiveRow(2);
        m_w->DelRows(0);
        QCOMPARE(m_w->sDel[0], QStringLiteral("2,"));
    }

    void stateCodes()
    {
        open({{1, "a", 1}}, {{100, 1, "A", 1}});
        m_w->vSpr[1]->SetText(3, 1, QStringLiteral("program"));
        QCOMPARE(cell(1, 1, 1), QStringLiteral("11"));
        QVERIFY(!m_w->bChg);
        userEdit(1, 3, 1, QStringLiteral("user"));
        QCOMPARE(cell(1, 1, 1), QStringLiteral("12"));
        QVERIFY(m_w->bChg);
        m_w->vSpr[0]->SetActiveRow(1);
        m_w->InsRows(0);
        QCOMPARE(cell(0, 1, 1), QStringLiteral("00"));
        userEdit(0, 4, 1, QStringLiteral("50"));
        QCOMPARE(cell(0, 1, 1), QStringLiteral("02"));
        QVERIFY(!m_w->vSpr[1]->model()->setData(m_w->vSpr[1]->model()->index(0, 1),
                                                QStringLiteral("7"),
                                                Qt::EditRole)); // "No" is locked
    }

    void savingGroups()
    {
        open({{5, "Five", 1}, {7, "Seven", 2}, {8, "Eight", 3}, {12, "Twelve", 4}},
             {{100, 5, "A", 1}, {101, 7, "B", 1}, {102, 12, "C", 1}, {103, 8, "D", 1}});
        // Rename group 5 with a new sort value.
        userEdit(0, 3, 1, QStringLiteral("Fünf"));
        userEdit(0, 4, 1, QStringLiteral("10"));
        // Two new groups and an untouched one.
        m_w->vSpr[0]->SetActiveRow(5 > m_w->vSpr[0]->MaxRows() ? m_w->vSpr[0]->MaxRows() : 4);
        m_w->nSel1[0] = 5;
        m_w->nSel2[0] = 7;
        m_w->InsRows(0);
        userEdit(0, 3, 5, QStringLiteral("New one"));
        userEdit(0, 4, 6, QStringLiteral("20")); // only the sort value: stored with an empty name
        // Delete groups 12 and 7 (rows 4 and 2).
        m_w->nSel1[0] = 0;
        m_w->vSpr[0]->SetActiveRow(4);
        m_w->DelRows(0);
        m_w->vSpr[0]->SetActiveRow(2);
        m_w->DelRows(0);
        QCOMPARE(m_w->sDel[0], QStringLiteral("12,7,"));
        QVERIFY(m_w->SaveData());
        const Sql::Rows groups
            = rows(QStringLiteral("Select nGrp, sGrp, gSrt From mGrp Order By nGrp"));
        QCOMPARE(groups.size(), 5); // 0, 5, 8, 13, 14
        QCOMPARE(groups[1][1].toString(), QStringLiteral("Fünf"));
        QCOMPARE(groups[1][2].toDouble(), 10.0);
        QCOMPARE(groups[3][0].toInt(), 13);
        QCOMPARE(groups[3][1].toString(), QStringLiteral("New one"));
        QCOMPARE(groups[4][0].toInt(), 14);
        QCOMPARE(groups[4][1].toString(), QString());
        QCOMPARE(rows(QStringLiteral("Select nURL From tURL Where nGrp=0 Order By nURL")).size(),
                 2);
        QCOMPARE(rows(QStringLiteral("Select nGrp From tURL Where nURL=100"))[0][0].toInt(), 5);
        QVERIFY(!m_w->bChg);
        QCOMPARE(m_w->sDel[0], QString());
        QCOMPARE(cell(0, 1, 1), QStringLiteral("11"));
    }

    void failingSaveRollsBackAndKeepsEdits()
    {
        open({{1, "News", 1}}, {{100, 1, "A", 1}});
        exec(QStringLiteral("Create Trigger refuse Before Update On tURL Begin Select Raise(Abort, "
                            "'refused here'); End"));
        userEdit(0, 3, 1, QStringLiteral("Renamed"));
        userEdit(1, 3, 1, QStringLiteral("Changed"));
        QVERIFY(!m_w->SaveData());
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY(Dialogs::shownTexts().first().contains(QStringLiteral("refused here")));
        QVERIFY(Dialogs::shownTexts().first().contains(QStringLiteral("Update tURL")));
        QCOMPARE(rows(QStringLiteral("Select sGrp From mGrp Where nGrp=1"))[0][0].toString(),
                 QStringLiteral("News"));
        QCOMPARE(cell(0, 3, 1), QStringLiteral("Renamed"));
        QCOMPARE(cell(1, 3, 1), QStringLiteral("Changed"));
        QCOMPARE(cell(1, 1, 1), QStringLiteral("12"));
        QVERIFY(m_w->bChg);
        exec(QStringLiteral("Drop Trigger refuse"));
        QVERIFY(m_w->SaveData());
        QCOMPARE(rows(QStringLiteral("Select sNam From tURL"))[0][0].toString(),
                 QStringLiteral("Changed"));
    }

    void closing()
    {
        open({{1, "News", 1}}, {});
        QVERIFY(m_w->CloseWnd());
        QVERIFY(Dialogs::shown().isEmpty());
        userEdit(0, 3, 1, QStringLiteral("x"));
        Dialogs::setNextAnswer(false);
        QVERIFY(!m_w->CloseWnd());
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {QStringLiteral("修正は未更新ですが終了して良いですか")});
        QCOMPARE(cell(0, 3, 1), QStringLiteral("x"));
        QVERIFY(m_w->CloseWnd()); // OK
        // "再表示(&R)" drops edits without asking.
        Dialogs::clearShown();
        m_w->mnFileItem[0]->trigger();
        QCOMPARE(cell(0, 3, 1), QStringLiteral("News"));
        QVERIFY(Dialogs::shown().isEmpty());
    }

    void deadLinksGoOnSave()
    {
        open({{1, "News", 1}},
             {{100, 1, "A", 1}, {101, 1, "B", 1}, {102, 1, "C", 1}, {103, 1, "D", 1}});
        m_w->vSpr[1]->SetText(7, 2, QStringLiteral("×"));
        m_w->vSpr[1]->SetText(7, 3, QStringLiteral("◎"));
        m_w->vSpr[1]->SetText(7, 4, QStringLiteral("×"));
        m_w->DelDead();
        QCOMPARE(m_w->vSpr[1]->MaxRows(), 2);
        QCOMPARE(m_w->sDel[1], QStringLiteral("101,103,"));
        QVERIFY(m_w->bChg);
        QVERIFY(m_w->SaveData());
        QCOMPARE(m_w->vSpr[1]->MaxRows(), 2);
        QCOMPARE(rows(QStringLiteral("Select nURL From tURL")).size(), 2);
    }

    void initialising()
    {
        open({{1, "News", 1}}, {{100, 1, "A", 1}});
        touch(QStringLiteral("100.jpg"));
        touch(QStringLiteral("../Arc/100.mhtml"));
        Dialogs::setNextAnswer(false);
        m_w->InitDb();
        QVERIFY(QFile::exists(Usr::sDataPh + QStringLiteral("Arc/100.mhtml")));
        QCOMPARE(rows(QStringLiteral("Select nURL From tURL")).size(), 1);
        Dialogs::setNextAnswer(true);
        Dialogs::setNextAnswer(false);
        m_w->InitDb();
        QCOMPARE(rows(QStringLiteral("Select nURL From tURL")).size(), 0);
        const Sql::Rows groups = rows(QStringLiteral("Select nGrp, sGrp From mGrp"));
        QCOMPARE(groups.size(), 1); // the ungrouped row is back
        QCOMPARE(groups[0][1].toString(), QStringLiteral("未分類"));
        QVERIFY(pic(QStringLiteral("100.jpg")));
        // The copies belong to no link any more: they go whatever the answer on pictures.
        QVERIFY(!QFile::exists(Usr::sDataPh + QStringLiteral("Arc/100.mhtml")));
        QCOMPARE(m_w->vSpr[0]->MaxRows(), 5);
        // A link stored later in group 0 is listed again.
        exec(Sql::kInsertLink,
             {200, QStringLiteral("http://n/"), 0, QStringLiteral("N"), QString(), 1});
        m_w->LoadData();
        QCOMPARE(cell(1, 2, 1), QStringLiteral("200"));
        Dialogs::setNextAnswer(true);
        Dialogs::setNextAnswer(true);
        m_w->InitDb();
        QVERIFY(!pic(QStringLiteral("100.jpg")));
    }

    void linkCheck()
    {
        LoopbackServer server;
        QVERIFY(server.start());
        server.setPage("/ok", "<html>ok</html>");
        LoopbackServer::Response gone;
        gone.status = 404;
        server.setRoute("/gone", gone);
        open({{1, "News", 1}}, {});
        const QStringList urls {
            server.url(QStringLiteral("/ok")), server.url(QStringLiteral("/gone")),
            QStringLiteral("not an address"), server.url(QStringLiteral("/ok"))};
        for (int i = 0; i < urls.size(); ++i)
            exec(Sql::kInsertLink, {100 + i, urls[i], 1, QStringLiteral("t"), QString(), 1});
        for (int i = 0; i < 12; ++i)
            exec(
                Sql::kInsertLink,
                {200 + i, server.url(QStringLiteral("/ok")), 1, QStringLiteral("t"), QString(), 1});
        m_w->LoadData();
        // Every row, many at once, no boxes.
        m_w->ChkLink();
        QVERIFY(Dialogs::shown().isEmpty());
        QCOMPARE(cell(1, 7, 1), QStringLiteral("◎"));
        QCOMPARE(cell(1, 7, 2), QStringLiteral("×"));
        QCOMPARE(cell(1, 7, 3), QStringLiteral("×"));
        QCOMPARE(cell(1, 7, 16), QStringLiteral("◎"));
        QVERIFY(!cell(1, 8, 1).isEmpty());
        QCOMPARE(cell(1, 1, 1), QStringLiteral("11")); // not marked changed
        QVERIFY(!m_w->bChg);
        QCOMPARE(m_w->vSpr[1]->TopRow(), 1);
        QVERIFY(m_w->mnURLItem[1]->isEnabled());

        // A block: one row after the other, each answer's headers shown.
        m_w->nSel1[1] = 2;
        m_w->nSel2[1] = 4;
        m_w->ChkLink();
        const QStringList texts = Dialogs::shownTexts();
        QCOMPARE(texts.size(), 3);
        QVERIFY(texts[0].contains(QStringLiteral("Content-Length: 0"))); // 404 answers, though dead
        QCOMPARE(texts[1], QString()); // no answer at all: an empty box
        QVERIFY(texts[2].contains(QStringLiteral("Content-Type: text/html")));
        QVERIFY(server.requestCount("/gone") >= 2);
        Dialogs::clearShown();

        // Dead rows go with the next save.
        m_w->DelDead();
        QVERIFY(m_w->SaveData());
        QCOMPARE(rows(QStringLiteral("Select nURL From tURL")).size(), 14);
    }

    // Uncertain links are marked "△"; a link dead in checks a day apart is marked "××" and one
    // dead for the first time "×", and "ﾘﾝｸ切れを削除" takes both; every result goes into the
    // history, which the time column's tooltip tells. A page that moved for good can take its
    // new address, saved as a change.
    void historyMarksAndMovedPages()
    {
        LoopbackServer server;
        QVERIFY(server.start());
        server.setPage("/ok", "<html>ok</html>");
        server.setRedirect("/old", "/ok", 301);
        LoopbackServer::Response r;
        r.status = 404;
        server.setRoute("/gone", r);
        r.status = 401;
        server.setRoute("/locked", r);
        open({{1, "News", 1}}, {});
        const QStringList paths {"/old", "/gone", "/gone", "/locked", "/ok"};
        for (int i = 0; i < paths.size(); ++i)
            exec(Sql::kInsertLink,
                 {100 + i, server.url(paths[i]), 1, QStringLiteral("t"), QString(), 1});
        // 101 was found dead two days ago, 102 an hour ago.
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        exec(QStringLiteral("Insert Into tURLCheck (nURL, nAt, nVerdict, nStatus) Values "
                            "(101, %1, 1, 404), (102, %2, 1, 404)")
                 .arg(now - 2 * 86400)
                 .arg(now - 3600));
        m_w->LoadData();
        QVERIFY(!m_w->mnURLItem[6]->isEnabled());
        m_w->ChkLink();
        QCOMPARE((QStringList {cell(1, 7, 1), cell(1, 7, 2), cell(1, 7, 3), cell(1, 7, 4),
                               cell(1, 7, 5)}),
                 (QStringList {"◎", "××", "×", "△", "◎"}));
        QCOMPARE(rows(QStringLiteral("Select count(*) From tURLCheck")), (Sql::Rows {{7}}));
        QCOMPARE(cell(1, 9, 1), server.url(QStringLiteral("/ok")));
        QCOMPARE(cell(1, 9, 5), QString());
        const auto tip = [this](int col, int row) {
            QAbstractItemModel *m = m_w->vSpr[1]->model();
            return m->data(m->index(row - 1, col - 1), Qt::ToolTipRole).toString();
        };
        QVERIFY2(tip(8, 2).contains(QStringLiteral("ﾘﾝｸ切れ: 2回連続")), qPrintable(tip(8, 2)));
        QVERIFY2(tip(8, 1).contains(QStringLiteral("移転先: ") + server.url(QStringLiteral("/ok"))),
                 qPrintable(tip(8, 1)));
        QCOMPARE(tip(3, 2), QString()); // other columns: the picture, none here
        touch(QStringLiteral("101.jpg"));
        QVERIFY(tip(3, 2).startsWith(QStringLiteral("<img")));

        // "移転先に更新" on rows without a move says so and changes nothing.
        QVERIFY(m_w->mnURLItem[6]->isEnabled());
        m_w->vSpr[1]->SetActiveRow(5);
        m_w->mnURLItem[6]->trigger();
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {QStringLiteral("選択した行に移転先はありません")});
        QVERIFY(!m_w->bChg);
        // On a block holding the moved row, that row takes its new address as an edit.
        m_w->nSel1[1] = 1;
        m_w->nSel2[1] = 2;
        m_w->mnURLItem[6]->trigger();
        QCOMPARE(cell(1, 6, 1), server.url(QStringLiteral("/ok")));
        QCOMPARE(cell(1, 1, 1), QStringLiteral("12"));
        QCOMPARE(cell(1, 1, 2), QStringLiteral("11"));
        QVERIFY(m_w->bChg);
        Dialogs::setNextAnswer(false);
        QVERIFY(!m_w->CloseWnd());

        m_w->DelDead();
        QCOMPARE(m_w->sDel[1], QStringLiteral("101,102,"));
        QVERIFY(m_w->SaveData());
        QCOMPARE(rows(QStringLiteral("Select nURL, sURL From tURL Order By nURL")),
                 (Sql::Rows {{100, server.url(QStringLiteral("/ok"))},
                             {103, server.url(QStringLiteral("/locked"))},
                             {104, server.url(QStringLiteral("/ok"))}}));
        // The deleted links' history and picture went with them.
        QCOMPARE(rows(QStringLiteral("Select Distinct nURL From tURLCheck Order By nURL")),
                 (Sql::Rows {{100}, {103}, {104}}));
        QVERIFY(!pic(QStringLiteral("101.jpg")));
    }

    // "保存したﾍﾟｰｼﾞを表示" shows the active row's copy in a viewer of its own, scripts off;
    // a row without a copy is told.
    void savedPageViewer()
    {
        open({{1, "News", 1}}, {{100, 1, "A", 1}, {101, 1, "B", 1}});
        FakeBrowser *viewer = nullptr;
        m_w->browserFactory = [&viewer](QWidget *p) { return viewer = new FakeBrowser(p); };
        touch(QStringLiteral("../Arc/101.mhtml"));
        m_w->vSpr[1]->SetActiveRow(1);
        m_w->mnURLItem[7]->trigger();
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {
                     QStringLiteral("保存したﾍﾟｰｼﾞがありません: ")
                     + QDir::toNativeSeparators(Usr::sDataPh + QStringLiteral("Arc/100.mhtml"))});
        m_w->vSpr[1]->SetActiveRow(2);
        m_w->mnURLItem[7]->trigger();
        QVERIFY(viewer && m_w->savedPage);
        QCOMPARE(viewer->calls,
                 QStringList {QStringLiteral("Navigate ") + Usr::sDataPh
                              + QStringLiteral("Arc/101.mhtml")});
        QVERIFY(!viewer->scriptsEnabled());
        QVERIFY(m_w->savedPage->isVisible());
        QVERIFY2(m_w->savedPage->windowTitle().startsWith(QStringLiteral("保存したﾍﾟｰｼﾞ (")),
                 qPrintable(m_w->savedPage->windowTitle()));
        QVERIFY(m_w->savedPage->windowTitle().endsWith(QStringLiteral("): http://x/101")));
        QVERIFY(!m_w->bChg);
    }

    // While a check runs nothing in the window takes a command, and every answer lands on the
    // row of its link even when rows have moved meanwhile.
    void checkHoldsTheWindowAndFindsRowsByNumber()
    {
        LoopbackServer server;
        QVERIFY(server.start());
        server.setPage("/ok", "<html>ok</html>");
        LoopbackServer::Response gone;
        gone.status = 404;
        gone.delayMs = 300;
        server.setRoute("/gone", gone);
        open({{1, "News", 1}}, {});
        exec(Sql::kInsertLink,
             {100, server.url(QStringLiteral("/gone")), 1, QStringLiteral("t"), QString(), 1});
        exec(Sql::kInsertLink,
             {101, server.url(QStringLiteral("/ok")), 1, QStringLiteral("t"), QString(), 1});
        m_w->LoadData();
        bool held = false;
        QTimer::singleShot(100, m_w.get(), [&] {
            held = !m_w->menuBar->isEnabled() && !m_w->vSpr[1]->isEnabled() && !m_w->CloseWnd();
            m_w->vSpr[1]->InsertRows(1, 1); // what a command could have done
        });
        m_w->ChkLink();
        QVERIFY(held);
        QVERIFY(m_w->menuBar->isEnabled() && m_w->vSpr[1]->isEnabled());
        QCOMPARE(cell(1, 2, 2), QStringLiteral("100"));
        QCOMPARE(cell(1, 7, 2), QStringLiteral("×"));
        QCOMPARE(cell(1, 7, 3), QStringLiteral("◎"));
        QCOMPARE(cell(1, 7, 1), QString());
    }

    // "重複を選択" selects all but the lowest number of each set of twins, for "行削除".
    void laterTwinsGo()
    {
        open({{1, "News", 1}}, {});
        const QStringList urls {"https://example.org/a", "http://www.example.org/a/",
                                "http://example.org/b", "https://example.org/a#x",
                                "http://example.org/b?utm_medium=m"};
        for (int i = 0; i < urls.size(); ++i)
            exec(Sql::kInsertLink, {100 + i, urls[i], 1, QStringLiteral("t"), QString(), 1});
        m_w->LoadData();
        m_w->mnURLItem[4]->trigger();
        QCOMPARE(m_w->twinRows, (std::vector<int> {2, 4, 5}));
        QCOMPARE(m_w->vSpr[1]->selectionModel()->selectedRows().size(), 3);
        m_w->DelRows(1);
        QVERIFY(m_w->SaveData());
        QCOMPARE(rows(QStringLiteral("Select nURL From tURL Order By nURL")),
                 (Sql::Rows {{100}, {102}}));
    }

    // A group list that cannot be read leaves the window and the group list as they were.
    void failedLoadKeepsWhatWasShown()
    {
        open({{1, "News", 1}}, {{100, 1, "A", 1}});
        exec(QStringLiteral("Alter Table mGrp Rename To mGrpGone"));
        m_w->LoadData();
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(Usr::sGrpList, QStringLiteral("News\t1\r"));
        QCOMPARE(cell(0, 3, 1), QStringLiteral("News"));
        QCOMPARE(cell(1, 2, 1), QStringLiteral("100"));
    }
};

QTEST_MAIN(TestFmData)
#include "tst_fmdata.moc"
