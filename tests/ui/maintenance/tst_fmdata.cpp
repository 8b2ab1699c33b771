#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/widgets/Grid.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/FakeBrowser.h"
#include "support/LoopbackServer.h"
#include "support/SqlLines.h"
#include "support/TestFiles.h"
#include "ui/maintenance/SavedPageWindow.h"
#include "ui/maintenance/fmData.h"

#include <QAction>
#include <QDir>
#include <QItemSelectionModel>
#include <QMenuBar>
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

    static void exec(const QString &sql, const QVariantList &values = {})
    {
        SqlSteps::exec(sql, values);
    }
    static QString path(const QString &name) { return Usr::sDataPh + name; }

    // groups: number, name, sort; links: number, group, title, sort
    void open(const QList<QVariantList> &groups, const QList<QVariantList> &links)
    {
        m_w.reset();
        Store::CloseDb();
        m_tmp = std::make_unique<QTemporaryDir>();
        Usr::sDataPh = m_tmp->path() + u'/';
        QDir().mkpath(path("Pic"));
        QDir().mkpath(path("Arc"));
        QVERIFY(Store::OpenDb(path("dbLink.mdb")));
        for (const QVariantList &g : groups)
            exec(Sql::kInsertGroup, g);
        for (const QVariantList &l : links)
            exec(Sql::kInsertLink,
                 {l[0], QStringLiteral("http://x/%1").arg(l[0].toInt()), l[1], l[2], "memo", l[3]});
        m_w = std::make_unique<fmData>();
        m_w->prepare(0, 15000, 0, 10000);
        Dialogs::clearShown();
    }
    // The window over group 1 holding links 100, 101, ... at these addresses.
    void openAddresses(const QStringList &urls)
    {
        open({{1, "News", 1}}, {});
        for (int i = 0; i < urls.size(); ++i)
            exec(Sql::kInsertLink, {100 + i, urls[i], 1, "t", QString(), 1});
        m_w->LoadData();
    }
    void userEdit(int grid, int col, int row, const QString &text)
    {
        Grid *g = m_w->vSpr[grid];
        QVERIFY(g->model()->setData(g->model()->index(row - 1, col - 1), text, Qt::EditRole));
    }
    QString cell(int grid, int col, int row) const { return m_w->vSpr[grid]->GetText(col, row); }
    QStringList linkColumn(int col) const
    {
        QStringList texts;
        for (int row = 1; row <= m_w->vSpr[1]->MaxRows(); ++row)
            texts << cell(1, col, row);
        return texts;
    }

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
        QCOMPARE(m_w->windowTitle(), "ﾃﾞｰﾀｰの並順等の指定");
        QCOMPARE(m_w->vSpr[0]->MaxRows(), 5);
        QCOMPARE(m_w->vSpr[1]->MaxRows(), 5);
        QCOMPARE(cell(0, 1, 3), "11");
        QCOMPARE(cell(0, 2, 3), QString());
        QVERIFY(m_w->vSpr[0]->isColumnHidden(0));
        QVERIFY(!m_w->mnURLItem[1]->isEnabled());

        open({{1, "News", 20}, {2, "Blogs", 10}},
             {{100, 1, "A", 1}, {101, 9, "Lost", 1}, {102, 0, "Ungrouped", 1}, {103, 2, "B", 2.5}});
        QCOMPARE(m_w->vSpr[0]->MaxRows(), 2); // group 0 never listed
        QCOMPARE(cell(0, 3, 1), "Blogs");
        QCOMPARE(cell(0, 4, 1), "10.0");
        QCOMPARE(Usr::GrpNoOf("blogs"), 2);
        QCOMPARE(m_w->vSpr[1]->model()->column(4).items, (QStringList {"Blogs", "News"}));
        // 101 has no group row; 102 is in group 0.
        QCOMPARE(linkColumn(2), (QStringList {"100", "102", "103"}));
        QCOMPARE((QStringList {cell(1, 4, 3), cell(1, 5, 3), cell(1, 6, 3)}),
                 (QStringList {"Blogs", "2.5", "http://x/103"}));
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
        for (int r = 3; r <= 5; ++r)
            QCOMPARE((QStringList {cell(0, 1, r), cell(0, 2, r), cell(0, 4, r)}),
                     (QStringList {"00", "", "100.0"}));
        QCOMPARE(cell(0, 3, 6), "c");
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
        QCOMPARE(m_w->sDel[0], "2,");
    }

    void stateCodes()
    {
        open({{1, "a", 1}}, {{100, 1, "A", 1}});
        m_w->vSpr[1]->SetText(3, 1, "program");
        QCOMPARE(cell(1, 1, 1), "11");
        QVERIFY(!m_w->bChg);
        userEdit(1, 3, 1, "user");
        QCOMPARE(cell(1, 1, 1), "12");
        QVERIFY(m_w->bChg);
        m_w->vSpr[0]->SetActiveRow(1);
        m_w->InsRows(0);
        QCOMPARE(cell(0, 1, 1), "00");
        userEdit(0, 4, 1, "50");
        QCOMPARE(cell(0, 1, 1), "02");
        QVERIFY(!m_w->vSpr[1]->model()->setData(m_w->vSpr[1]->model()->index(0, 1), "7",
                                                Qt::EditRole)); // "No" is locked
    }

    void savingGroups()
    {
        open({{5, "Five", 1}, {7, "Seven", 2}, {8, "Eight", 3}, {12, "Twelve", 4}},
             {{100, 5, "A", 1}, {101, 7, "B", 1}, {102, 12, "C", 1}, {103, 8, "D", 1}});
        // Rename group 5 with a new sort value.
        userEdit(0, 3, 1, "Fünf");
        userEdit(0, 4, 1, "10");
        // Two new groups and an untouched one.
        m_w->vSpr[0]->SetActiveRow(4);
        m_w->nSel1[0] = 5;
        m_w->nSel2[0] = 7;
        m_w->InsRows(0);
        userEdit(0, 3, 5, "New one");
        userEdit(0, 4, 6, "20"); // only the sort value: stored with an empty name
        // Delete groups 12 and 7 (rows 4 and 2).
        m_w->nSel1[0] = 0;
        m_w->vSpr[0]->SetActiveRow(4);
        m_w->DelRows(0);
        m_w->vSpr[0]->SetActiveRow(2);
        m_w->DelRows(0);
        QCOMPARE(m_w->sDel[0], "12,7,");
        QVERIFY(m_w->SaveData());
        QCOMPARE(SqlLines::of("Select nGrp, sGrp, gSrt From mGrp Where nGrp > 0 Order By nGrp"),
                 (QStringList {"5|Fünf|10", "8|Eight|3", "13|New one|100", "14||20"}));
        QCOMPARE(SqlLines::of("Select nURL, nGrp From tURL Order By nURL"),
                 (QStringList {"100|5", "101|0", "102|0", "103|8"}));
        QVERIFY(!m_w->bChg);
        QCOMPARE(m_w->sDel[0], QString());
        QCOMPARE(cell(0, 1, 1), "11");
    }

    void failingSaveRollsBackAndKeepsEdits()
    {
        open({{1, "News", 1}}, {{100, 1, "A", 1}});
        exec("Create Trigger refuse Before Update On tURL Begin Select Raise(Abort, "
             "'refused here'); End");
        userEdit(0, 3, 1, "Renamed");
        userEdit(1, 3, 1, "Changed");
        QVERIFY(!m_w->SaveData());
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY(Dialogs::shownTexts().first().contains("refused here"));
        QVERIFY(Dialogs::shownTexts().first().contains("Update tURL"));
        QCOMPARE(SqlLines::of("Select sGrp From mGrp Where nGrp=1"), QStringList {"News"});
        QCOMPARE((QStringList {cell(0, 3, 1), cell(1, 3, 1), cell(1, 1, 1)}),
                 (QStringList {"Renamed", "Changed", "12"}));
        QVERIFY(m_w->bChg);
        exec("Drop Trigger refuse");
        QVERIFY(m_w->SaveData());
        QCOMPARE(SqlLines::of("Select sNam From tURL"), QStringList {"Changed"});
    }

    void closing()
    {
        open({{1, "News", 1}}, {});
        QVERIFY(m_w->CloseWnd());
        QVERIFY(Dialogs::shown().isEmpty());
        userEdit(0, 3, 1, "x");
        Dialogs::setNextAnswer(false);
        QVERIFY(!m_w->CloseWnd());
        QCOMPARE(Dialogs::shownTexts(), QStringList {"修正は未更新ですが終了して良いですか"});
        QCOMPARE(cell(0, 3, 1), "x");
        QVERIFY(m_w->CloseWnd()); // OK
        // "再表示(&R)" drops edits without asking.
        Dialogs::clearShown();
        m_w->mnFileItem[0]->trigger();
        QCOMPARE(cell(0, 3, 1), "News");
        QVERIFY(Dialogs::shown().isEmpty());
    }

    void initialising()
    {
        open({{1, "News", 1}}, {{100, 1, "A", 1}});
        TestFiles::write(path("Pic/100.jpg"), "");
        TestFiles::write(path("Arc/100.mhtml"), "");
        Dialogs::setNextAnswer(false);
        m_w->InitDb();
        QVERIFY(QFile::exists(path("Arc/100.mhtml")));
        QCOMPARE(SqlLines::of("Select nURL From tURL"), QStringList {"100"});
        Dialogs::setNextAnswer(true);
        Dialogs::setNextAnswer(false);
        m_w->InitDb();
        QCOMPARE(SqlLines::of("Select nURL From tURL"), QStringList());
        QCOMPARE(SqlLines::of("Select nGrp, sGrp From mGrp"), QStringList {"0|未分類"});
        QVERIFY(QFile::exists(path("Pic/100.jpg")));
        // The copies belong to no link any more: they go whatever the answer on pictures.
        QVERIFY(!QFile::exists(path("Arc/100.mhtml")));
        QCOMPARE(m_w->vSpr[0]->MaxRows(), 5);
        // A link stored later in group 0 is listed again.
        exec(Sql::kInsertLink, {200, "http://n/", 0, "N", QString(), 1});
        m_w->LoadData();
        QCOMPARE(cell(1, 2, 1), "200");
        Dialogs::setNextAnswer(true);
        Dialogs::setNextAnswer(true);
        m_w->InitDb();
        QVERIFY(!QFile::exists(path("Pic/100.jpg")));
    }

    // A check of every row runs many at once without boxes and changes nothing; its marks
    // come back from the history at every load and opening, so "ﾘﾝｸ切れを削除" takes the dead
    // ones with the next save without a new check. Selected rows and a group's links can be
    // checked alone; a block is checked with each answer's headers shown. A page that moved for
    // good can take its new address.
    void linkCheck()
    {
        LoopbackServer server;
        QVERIFY(server.start());
        server.setPage("/ok", "<html>ok</html>");
        server.setRedirect("/old", "/ok", 301);
        server.setRoute("/gone", {.status = 404});
        server.setRoute("/locked", {.status = 401});
        const QString ok = server.url("/ok");
        openAddresses({server.url("/old"), server.url("/gone"), server.url("/gone"),
                       server.url("/locked"), ok, "not an address"});
        exec(Sql::kInsertGroup, {2, "Blogs", 2});
        exec("Update tURL Set nGrp = 2 Where nURL = 104");
        // 101 was found dead two days ago.
        exec(QStringLiteral("Insert Into tURLCheck (nURL, nAt, nVerdict, nStatus) Values "
                            "(101, %1, 1, 404)")
                 .arg(QDateTime::currentSecsSinceEpoch() - 2 * 86400));
        m_w->LoadData();
        m_w->ChkLink();
        QVERIFY(Dialogs::shown().isEmpty());
        const QStringList marks {"→", "××", "×", "△", "◎", "×"};
        QCOMPARE(linkColumn(7), marks);
        QCOMPARE(cell(1, 9, 1), ok);
        QCOMPARE(linkColumn(1), QStringList(6, "11")); // not marked changed
        QVERIFY(!m_w->bChg);
        QVERIFY(m_w->mnURLItem[1]->isEnabled());
        const auto tip = [this](int col, int row) {
            QAbstractItemModel *model = m_w->vSpr[1]->model();
            return model->data(model->index(row - 1, col - 1), Qt::ToolTipRole).toString();
        };
        QVERIFY2(tip(7, 2).contains("ﾘﾝｸ切れ: 2回連続"), qPrintable(tip(7, 2)));
        QVERIFY2(tip(8, 1).contains("移転先: " + ok), qPrintable(tip(8, 1)));
        QCOMPARE(tip(3, 2), QString()); // other columns: the picture, none here
        TestFiles::write(path("Pic/101.jpg"), "");
        QVERIFY(tip(3, 2).startsWith("<img"));

        // A reload, or a window opened anew, shows the marks again; times only of a new check.
        m_w->LoadData();
        QCOMPARE(linkColumn(7), marks);
        m_w = std::make_unique<fmData>();
        m_w->prepare(0, 15000, 0, 10000);
        QCOMPARE(linkColumn(7), marks);
        QCOMPARE(cell(1, 9, 1), ok);
        QCOMPARE(linkColumn(8), QStringList(6, ""));
        QVERIFY(m_w->mnURLItem[1]->isEnabled() && m_w->mnURLItem[6]->isEnabled());
        // The links of the selected group, then the selected rows, without boxes.
        m_w->vSpr[0]->SetActiveRow(2);
        m_w->mnGrpItem[3]->trigger();
        m_w->nSel1[1] = 3;
        m_w->nSel2[1] = 4;
        m_w->mnURLItem[8]->trigger();
        QVERIFY(Dialogs::shown().isEmpty());
        QString timed; // "x" where a row shows a time
        for (const QString &t : linkColumn(8))
            timed += t.isEmpty() ? u'.' : u'x';
        QCOMPARE(timed, "..xxx.");

        // A block: one row after the other, each answer's headers shown.
        m_w->nSel1[1] = 3;
        m_w->nSel2[1] = 6;
        m_w->ChkLink();
        const QStringList texts = Dialogs::shownTexts();
        QCOMPARE(texts.size(), 4);
        QVERIFY(texts[0].contains("Content-Length: 0")); // 404 answers, though dead
        QVERIFY(texts[2].contains("Content-Type: text/html"));
        QCOMPARE(texts[3], QString()); // no answer at all: an empty box
        Dialogs::clearShown();

        // "移転先に更新" on rows without a move says so and changes nothing.
        m_w->nSel1[1] = 0;
        m_w->vSpr[1]->SetActiveRow(5);
        m_w->mnURLItem[6]->trigger();
        QCOMPARE(Dialogs::shownTexts(), QStringList {"選択した行に移転先はありません"});
        QVERIFY(!m_w->bChg);
        // On a block holding the moved row, that row takes its new address as an edit.
        m_w->nSel1[1] = 1;
        m_w->nSel2[1] = 2;
        m_w->mnURLItem[6]->trigger();
        QCOMPARE(cell(1, 6, 1), ok);
        QCOMPARE(linkColumn(1).mid(0, 2), (QStringList {"12", "11"}));

        m_w->DelDead();
        QCOMPARE(m_w->sDel[1], "101,102,105,");
        QVERIFY(m_w->SaveData());
        QCOMPARE(SqlLines::of("Select nURL, sURL From tURL Order By nURL"),
                 (QStringList {"100|" + ok, "103|" + server.url("/locked"), "104|" + ok}));
        // The deleted links' history and picture went with them.
        QCOMPARE(SqlLines::of("Select count(*) From tURLCheck Where nURL In (101, 102, 105)"),
                 QStringList {"0"});
        QVERIFY(!QFile::exists(path("Pic/101.jpg")));
    }

    // Both check columns have headers, and the time column holds every time a check can take.
    void checkColumns()
    {
        open({}, {});
        const Grid *g = m_w->vSpr[1];
        QCOMPARE(g->model()->headerData(6, Qt::Horizontal, Qt::DisplayRole).toString(), "ﾁｪｯｸ");
        QCOMPARE(g->model()->headerData(7, Qt::Horizontal, Qt::DisplayRole).toString(), "秒");
        QVERIFY(g->columnWidth(6) >= g->fontMetrics().horizontalAdvance("ﾁｪｯｸ") + 8);
        QVERIFY(g->columnWidth(7) >= g->fontMetrics().horizontalAdvance("999.99") + 8);
    }

    // "保存したﾍﾟｰｼﾞを表示" shows the active row's copy in a viewer of its own, scripts off;
    // a row without a copy is told.
    void savedPageViewer()
    {
        open({{1, "News", 1}}, {{100, 1, "A", 1}, {101, 1, "B", 1}});
        FakeBrowser *viewer = nullptr;
        m_w->browserFactory = [&viewer](QWidget *p) { return viewer = new FakeBrowser(p); };
        TestFiles::write(path("Arc/101.mhtml"), "");
        m_w->vSpr[1]->SetActiveRow(1);
        m_w->mnURLItem[7]->trigger();
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {"保存したﾍﾟｰｼﾞがありません: "
                              + QDir::toNativeSeparators(path("Arc/100.mhtml"))});
        m_w->vSpr[1]->SetActiveRow(2);
        m_w->mnURLItem[7]->trigger();
        QVERIFY(viewer && m_w->savedPage);
        QCOMPARE(viewer->calls, QStringList {"Navigate " + path("Arc/101.mhtml")});
        QVERIFY(!viewer->scriptsEnabled());
        QVERIFY(m_w->savedPage->isVisible());
        const QString title = m_w->savedPage->windowTitle();
        QVERIFY2(title.startsWith("保存したﾍﾟｰｼﾞ (") && title.endsWith("): http://x/101"),
                 qPrintable(title));
        QVERIFY(!m_w->bChg);
    }

    // While a check runs nothing in the window takes a command, and every answer lands on the
    // row of its link even when rows have moved meanwhile.
    void checkHoldsTheWindowAndFindsRowsByNumber()
    {
        LoopbackServer server;
        QVERIFY(server.start());
        server.setPage("/ok", "<html>ok</html>");
        server.setRoute("/gone", {.status = 404, .delayMs = 300});
        openAddresses({server.url("/gone"), server.url("/ok")});
        bool held = false;
        QTimer::singleShot(100, m_w.get(), [&] {
            held = !m_w->menuBar->isEnabled() && !m_w->vSpr[1]->isEnabled() && !m_w->CloseWnd();
            m_w->vSpr[1]->InsertRows(1, 1); // what a command could have done
        });
        m_w->ChkLink();
        QVERIFY(held);
        QVERIFY(m_w->menuBar->isEnabled() && m_w->vSpr[1]->isEnabled());
        QCOMPARE(linkColumn(2), (QStringList {"", "100", "101"}));
        QCOMPARE(linkColumn(7), (QStringList {"", "×", "◎"}));
    }

    // "重複を選択" selects all but the lowest number of each set of twins, for "行削除".
    void laterTwinsGo()
    {
        openAddresses({"https://example.org/a", "http://www.example.org/a/", "http://example.org/b",
                       "https://example.org/a#x", "http://example.org/b?utm_medium=m"});
        m_w->mnURLItem[4]->trigger();
        QCOMPARE(m_w->twinRows, (std::vector<int> {2, 4, 5}));
        QCOMPARE(m_w->vSpr[1]->selectionModel()->selectedRows().size(), 3);
        m_w->DelRows(1);
        QVERIFY(m_w->SaveData());
        QCOMPARE(SqlLines::of("Select nURL From tURL Order By nURL"), (QStringList {"100", "102"}));
    }

    // A group list that cannot be read leaves the window and the group list as they were.
    void failedLoadKeepsWhatWasShown()
    {
        open({{1, "News", 1}}, {{100, 1, "A", 1}});
        exec("Alter Table mGrp Rename To mGrpGone");
        m_w->LoadData();
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(Usr::GrpNoOf("News"), 1);
        QCOMPARE(cell(0, 3, 1), "News");
        QCOMPARE(cell(1, 2, 1), "100");
    }
};

QTEST_MAIN(TestFmData)
#include "tst_fmdata.moc"
