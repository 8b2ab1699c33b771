#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/widgets/Grid.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/FakeBrowser.h"
#include "support/LoopbackServer.h"
#include "support/SqlLines.h"
#include "support/TestFiles.h"
#include "ui/maintenance/MaintenanceGrids.h"
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
    Grid *grid(int index) const
    {
        return m_w->findChild<Grid *>(QStringLiteral("vSpr%1").arg(index));
    }
    // The user selects rows r1 to r2 of a grid as a block.
    void block(int index, int r1, int r2) { Q_EMIT grid(index)->BlockSelected(1, r1, 3, r2); }
    QAction *urlItem(DataURL::Item item) const { return m_w->menus().mnURLItem[item]; }
    void userEdit(int index, int col, int row, const QString &text)
    {
        Grid *g = grid(index);
        QVERIFY(g->model()->setData(g->model()->index(row - 1, col - 1), text, Qt::EditRole));
    }
    QString cell(int index, int col, int row) const { return grid(index)->GetText(col, row); }
    QStringList linkColumn(int col) const
    {
        QStringList texts;
        for (int row = 1; row <= grid(1)->MaxRows(); ++row)
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
        QCOMPARE(grid(0)->MaxRows(), 5);
        QCOMPARE(cell(0, GroupColumn::State, 3), "11");
        QCOMPARE(cell(0, GroupColumn::Number, 3), QString());
        QVERIFY(!urlItem(DataURL::DeleteDead)->isEnabled());

        open({{1, "News", 20}, {2, "Blogs", 10}},
             {{100, 1, "A", 1},
              {101, 9, "Lost", 1},
              {102, 0, "Ungrouped", 1},
              {103, 2, "B", 2.5},
              {104, 2, "", 1}});
        QCOMPARE(grid(0)->MaxRows(), 2); // group 0 never listed
        QCOMPARE(cell(0, GroupColumn::Name, 1), "Blogs");
        QCOMPARE(grid(1)->model()->column(LinkColumn::Group).items,
                 (QStringList {"Blogs", "News"}));
        // 101 has no group row; 102 is in group 0.
        QCOMPARE(linkColumn(LinkColumn::Number), (QStringList {"100", "102", "103", "104"}));
        QCOMPARE((QStringList {cell(1, LinkColumn::Group, 3), cell(1, LinkColumn::Sort, 3),
                               cell(1, LinkColumn::Address, 3)}),
                 (QStringList {"Blogs", "2.5", "http://x/103"}));
        // A link without a title shows its address; its editor starts from the empty title,
        // so leaving it changes nothing.
        Grid *g = grid(1);
        const QModelIndex untitled = g->model()->index(3, LinkColumn::Title - 1);
        QCOMPARE(untitled.data().toString(), "http://x/104");
        QWidget *editor = g->itemDelegate()->createEditor(g->viewport(), {}, untitled);
        g->itemDelegate()->setEditorData(editor, untitled);
        g->itemDelegate()->setModelData(editor, g->model(), untitled);
        delete editor;
        QCOMPARE(cell(1, LinkColumn::Title, 4), QString());
        QVERIFY(!m_w->hasEdits());
    }

    // Numbers are never cut, a long group name shows whole in the link grid, and the check
    // columns show their headers.
    void columnsFitWhatTheyHold()
    {
        const QString name = "A group with a rather long name";
        open({{19701, name, 1}}, {{19701, 19701, "A", 1}});
        for (Grid *g : {grid(0), grid(1)}) {
            const int width = g->columnWidth(GroupColumn::Number - 1);
            QVERIFY2(width >= g->fontMetrics().horizontalAdvance("19701") + 6,
                     qPrintable(QString::number(width)));
        }
        QVERIFY(grid(1)->columnWidth(LinkColumn::Group - 1)
                >= grid(1)->fontMetrics().horizontalAdvance(name));
        // The check columns: their headers, and every time a check can take.
        const Grid *g = grid(1);
        const auto header = [g](int c) {
            return g->model()->headerData(c - 1, Qt::Horizontal, Qt::DisplayRole).toString();
        };
        QCOMPARE(header(LinkColumn::Mark) + header(LinkColumn::Time), "ﾁｪｯｸ秒");
        QVERIFY(g->columnWidth(LinkColumn::Mark - 1)
                >= g->fontMetrics().horizontalAdvance("ﾁｪｯｸ") + 8);
        QVERIFY(g->columnWidth(LinkColumn::Time - 1)
                >= g->fontMetrics().horizontalAdvance("999.99") + 8);
    }

    // Rows go in before a block or the active row; a block is forgotten once the selection
    // changes. New rows have no number and are never taken for deleted stored ones.
    void insertAndDelete()
    {
        open({{1, "a", 1}, {2, "b", 2}, {3, "c", 3}, {4, "d", 4}, {5, "e", 5}}, {});
        block(0, 3, 5);
        m_w->InsRows(0);
        QVERIFY(m_w->hasEdits());
        QCOMPARE(grid(0)->MaxRows(), 8);
        for (int r = 3; r <= 5; ++r)
            QCOMPARE((QStringList {cell(0, GroupColumn::State, r), cell(0, GroupColumn::Number, r),
                                   cell(0, GroupColumn::Sort, r)}),
                     (QStringList {"00", "", "100.0"}));
        QCOMPARE(cell(0, GroupColumn::Name, 6), "c");
        m_w->DelRows(0); // rows 3..5: the new ones
        QCOMPARE(grid(0)->MaxRows(), 5);
        block(0, 3, 5);
        grid(0)->SetActiveRow(2);
        m_w->DelRows(0); // the active row only
        QVERIFY(m_w->SaveData());
        QVERIFY(!m_w->hasEdits());
        QCOMPARE(SqlLines::of("Select nGrp From mGrp Where nGrp > 0 Order By nGrp"),
                 (QStringList {"1", "3", "4", "5"}));
    }

    void stateCodes()
    {
        open({{1, "a", 1}}, {{100, 1, "A", 1}});
        grid(1)->SetText(LinkColumn::Title, 1, "program");
        QCOMPARE(cell(1, LinkColumn::State, 1), "11");
        QVERIFY(!m_w->hasEdits());
        userEdit(1, LinkColumn::Title, 1, "user");
        QCOMPARE(cell(1, LinkColumn::State, 1), "12");
        QVERIFY(m_w->hasEdits());
        grid(0)->SetActiveRow(1);
        m_w->InsRows(0);
        userEdit(0, GroupColumn::Sort, 1, "50");
        QCOMPARE(cell(0, GroupColumn::State, 1), "02");
        QVERIFY(!grid(1)->model()->setData(grid(1)->model()->index(0, LinkColumn::Number - 1), "7",
                                           Qt::EditRole)); // "No" is locked
    }

    void failingSaveRollsBackAndKeepsEdits()
    {
        open({{1, "News", 1}}, {{100, 1, "A", 1}});
        exec("Create Trigger refuse Before Update On tURL Begin Select Raise(Abort, "
             "'refused here'); End");
        userEdit(0, GroupColumn::Name, 1, "Renamed");
        userEdit(1, LinkColumn::Title, 1, "Changed");
        QVERIFY(!m_w->SaveData());
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY(Dialogs::shownTexts().first().contains("refused here"));
        QCOMPARE(SqlLines::of("Select sGrp From mGrp Where nGrp=1"), QStringList {"News"});
        QCOMPARE((QStringList {cell(0, GroupColumn::Name, 1), cell(1, LinkColumn::Title, 1),
                               cell(1, LinkColumn::State, 1)}),
                 (QStringList {"Renamed", "Changed", "12"}));
        QVERIFY(m_w->hasEdits());
        exec("Drop Trigger refuse");
        QVERIFY(m_w->SaveData());
        QCOMPARE(SqlLines::of("Select sNam From tURL"), QStringList {"Changed"});
    }

    // Edits pending: closing asks 保存 / 破棄 / ｷｬﾝｾﾙ, and Esc never closes the window.
    void closingWithEdits_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("stored");
        QTest::newRow("save") << int(Dialogs::Choice::Save) << true << "x";
        QTest::newRow("discard") << int(Dialogs::Choice::Discard) << true << "News";
        QTest::newRow("cancel") << int(Dialogs::Choice::Cancel) << false << "News";
    }
    void closingWithEdits()
    {
        QFETCH(int, choice);
        QFETCH(bool, closes);
        QFETCH(QString, stored);
        open({{1, "News", 1}}, {});
        QVERIFY(m_w->CloseWnd());
        QVERIFY(Dialogs::shown().isEmpty());
        m_w->show();
        userEdit(0, GroupColumn::Name, 1, "x");
        QTest::keyClick(m_w.get(), Qt::Key_Escape);
        QVERIFY(m_w->isVisible());
        QVERIFY(Dialogs::shown().isEmpty());
        Dialogs::setNextChoice(Dialogs::Choice(choice));
        QCOMPARE(m_w->close(), closes);
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(Dialogs::shown().first().buttons, Dialogs::Buttons::SaveDiscardCancel);
        QCOMPARE(Dialogs::shownTexts().first(), "修正は未更新です。保存しますか");
        QCOMPARE(SqlLines::of("Select sGrp From mGrp Where nGrp=1"), QStringList {stored});
        // "再表示(&R)" drops edits without asking.
        Dialogs::clearShown();
        m_w->menus().mnFileItem[DataFile::Reload]->trigger();
        QCOMPARE(cell(0, GroupColumn::Name, 1), stored);
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
        QCOMPARE(grid(0)->MaxRows(), 5);
        // A link stored later in group 0 is listed again.
        exec(Sql::kInsertLink, {200, "http://n/", 0, "N", QString(), 1});
        m_w->LoadData();
        QCOMPARE(cell(1, LinkColumn::Number, 1), "200");
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
        QCOMPARE(linkColumn(LinkColumn::Mark), marks);
        QCOMPARE(cell(1, LinkColumn::MovedTo, 1), ok);
        QCOMPARE(linkColumn(LinkColumn::State), QStringList(6, "11")); // not marked changed
        QVERIFY(!m_w->hasEdits());
        QVERIFY(urlItem(DataURL::DeleteDead)->isEnabled());
        const auto tip = [this](int col, int row) {
            QAbstractItemModel *model = grid(1)->model();
            return model->data(model->index(row - 1, col - 1), Qt::ToolTipRole).toString();
        };
        QVERIFY2(tip(LinkColumn::Mark, 2).contains("ﾘﾝｸ切れ: 2回連続"),
                 qPrintable(tip(LinkColumn::Mark, 2)));
        QVERIFY2(tip(LinkColumn::Time, 1).contains("移転先: " + ok),
                 qPrintable(tip(LinkColumn::Time, 1)));
        QCOMPARE(tip(LinkColumn::Title, 2), QString()); // other columns: the picture, none here
        TestFiles::write(path("Pic/101.jpg"), "");
        QVERIFY(tip(LinkColumn::Title, 2).startsWith("<img"));

        // A reload, or a window opened anew, shows the marks again; times only of a new check.
        m_w->LoadData();
        QCOMPARE(linkColumn(LinkColumn::Mark), marks);
        m_w = std::make_unique<fmData>();
        m_w->prepare(0, 15000, 0, 10000);
        QCOMPARE(linkColumn(LinkColumn::Mark), marks);
        QCOMPARE(cell(1, LinkColumn::MovedTo, 1), ok);
        QCOMPARE(linkColumn(LinkColumn::Time), QStringList(6, ""));
        QVERIFY(urlItem(DataURL::DeleteDead)->isEnabled()
                && urlItem(DataURL::MoveToFinal)->isEnabled());
        // The links of the selected group, then the selected rows, without boxes.
        grid(0)->SetActiveRow(2);
        m_w->menus().mnGrpItem[DataGrp::CheckGroups]->trigger();
        block(1, 3, 4);
        urlItem(DataURL::CheckSelected)->trigger();
        QVERIFY(Dialogs::shown().isEmpty());
        QString timed; // "x" where a row shows a time
        for (const QString &t : linkColumn(LinkColumn::Time))
            timed += t.isEmpty() ? u'.' : u'x';
        QCOMPARE(timed, "..xxx.");

        // A block: one row after the other, each answer's headers shown.
        block(1, 3, 6);
        m_w->ChkLink();
        const QStringList texts = Dialogs::shownTexts();
        QCOMPARE(texts.size(), 4);
        QVERIFY(texts[0].contains("Content-Length: 0")); // 404 answers, though dead
        QVERIFY(texts[2].contains("Content-Type: text/html"));
        QCOMPARE(texts[3], QString()); // no answer at all: an empty box
        Dialogs::clearShown();

        // "移転先に更新" on rows without a move says so and changes nothing.
        Q_EMIT grid(1)->SelectionChanged();
        grid(1)->SetActiveRow(5);
        urlItem(DataURL::MoveToFinal)->trigger();
        QCOMPARE(Dialogs::shownTexts(), QStringList {"選択した行に移転先はありません"});
        QVERIFY(!m_w->hasEdits());
        // On a block holding the moved row, that row takes its new address as an edit.
        block(1, 1, 2);
        urlItem(DataURL::MoveToFinal)->trigger();
        QCOMPARE(cell(1, LinkColumn::Address, 1), ok);
        QCOMPARE(linkColumn(LinkColumn::State).mid(0, 2), (QStringList {"12", "11"}));

        m_w->DelDead();
        QVERIFY(m_w->SaveData());
        QCOMPARE(SqlLines::of("Select nURL, sURL From tURL Order By nURL"),
                 (QStringList {"100|" + ok, "103|" + server.url("/locked"), "104|" + ok}));
        // The deleted links' history and picture went with them.
        QCOMPARE(SqlLines::of("Select count(*) From tURLCheck Where nURL In (101, 102, 105)"),
                 QStringList {"0"});
        QVERIFY(!QFile::exists(path("Pic/101.jpg")));
    }

    // "保存したﾍﾟｰｼﾞを表示" shows the active row's copy in a viewer of its own, scripts off;
    // a row without a copy is told.
    void savedPageViewer()
    {
        open({{1, "News", 1}}, {{100, 1, "A", 1}, {101, 1, "B", 1}});
        FakeBrowser *viewer = nullptr;
        m_w->setBrowserFactory([&viewer](QWidget *p) { return viewer = new FakeBrowser(p); });
        TestFiles::write(path("Arc/101.mhtml"), "");
        grid(1)->SetActiveRow(1);
        urlItem(DataURL::ShowSaved)->trigger();
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {"保存したﾍﾟｰｼﾞがありません: "
                              + QDir::toNativeSeparators(path("Arc/100.mhtml"))});
        grid(1)->SetActiveRow(2);
        urlItem(DataURL::ShowSaved)->trigger();
        auto *saved = m_w->findChild<SavedPageWindow *>();
        QVERIFY(viewer && saved);
        QCOMPARE(viewer->calls, QStringList {"Navigate " + path("Arc/101.mhtml")});
        QVERIFY(!viewer->scriptsEnabled());
        QVERIFY(saved->isVisible());
        const QString title = saved->windowTitle();
        QVERIFY2(title.startsWith("保存したﾍﾟｰｼﾞ (") && title.endsWith("): http://x/101"),
                 qPrintable(title));
        QVERIFY(!m_w->hasEdits());
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
            held = !m_w->menus().menuBar->isEnabled() && !grid(1)->isEnabled() && !m_w->CloseWnd();
            grid(1)->InsertRows(1, 1); // what a command could have done
        });
        m_w->ChkLink();
        QVERIFY(held);
        QVERIFY(m_w->menus().menuBar->isEnabled() && grid(1)->isEnabled());
        QCOMPARE(linkColumn(LinkColumn::Number), (QStringList {"", "100", "101"}));
        QCOMPARE(linkColumn(LinkColumn::Mark), (QStringList {"", "×", "◎"}));
    }

    // "重複を選択" selects all but the lowest number of each set of twins, for "行削除".
    void laterTwinsGo()
    {
        openAddresses({"https://example.org/a", "http://www.example.org/a/", "http://example.org/b",
                       "https://example.org/a#x", "http://example.org/b?utm_medium=m"});
        urlItem(DataURL::SelectTwins)->trigger();
        QCOMPARE(grid(1)->selectionModel()->selectedRows().size(), 3);
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
        QCOMPARE(cell(0, GroupColumn::Name, 1), "News");
        QCOMPARE(cell(1, LinkColumn::Number, 1), "100");
    }
};

QTEST_MAIN(TestFmData)
#include "tst_fmdata.moc"
