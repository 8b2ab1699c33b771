#include "platform/Dialogs.h"
#include "platform/widgets/Grid.h"
#include "store/Statements.h"
#include "support/SqlLines.h"
#include "support/widgets/MainWindowFixture.h"
#include "support/widgets/ModalDriver.h"
#include "ui/main/AddressBar.h"
#include "ui/maintenance/MaintenanceGrids.h"
#include "ui/maintenance/fmData.h"

#include <QAction>
#include <QTest>

// The main window's address bar, and what it shows after the maintenance window.
class TestMainWindow : public QObject
{
    Q_OBJECT
private:
    MainWindowFixture m;

    void open(const QList<QVariantList> &groups, const QList<QVariantList> &links)
    {
        m.openDatabase();
        for (const QVariantList &g : groups)
            SqlSteps::exec(Sql::kInsertGroup, g);
        for (const QVariantList &l : links)
            SqlSteps::exec(Sql::kInsertLink, {l[0], l[1], l[2], l[3], QString(), 1});
        m.openWindow();
    }
    QStringList column(LinkList::Column c) const
    {
        QStringList texts;
        for (int r = 1; r <= m.list()->MaxRows(); ++r)
            texts << m.list()->GetText(int(c), r);
        return texts;
    }

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        qputenv("LINKWELL_SEARCH_URL", "http://127.0.0.1:9/search");
    }
    void cleanup() { m.close(); }

    void typedText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("opened");
        const QString s = "https://find.example/";
        QTest::newRow("address") << " http://a.example/x?y=1 "
                                 << "http://a.example/x?y=1";
        QTest::newRow("file") << "/home/u/page.htm"
                              << "/home/u/page.htm";
        QTest::newRow("host") << "example.org/docs"
                              << "https://example.org/docs";
        QTest::newRow("words") << "qt 入門 & more" << s + "?q=qt%20%E5%85%A5%E9%96%80%20%26%20more";
        QTest::newRow("one word") << "localhost" << s + "?q=localhost";
        QTest::newRow("script") << "javascript:alert(1)" << s + "?q=javascript%3Aalert%281%29";
        QTest::newRow("placeholder") << "a b"
                                     << "https://s.example/find?w=a%20b&x=1";
        QTest::newRow("blank") << "  "
                               << "";
    }
    void typedText()
    {
        QFETCH(QString, typed);
        QFETCH(QString, opened);
        const QString search = QTest::currentDataTag() == QByteArray("placeholder")
            ? "https://s.example/find?w=%s&x=1"
            : "https://find.example/";
        QCOMPARE(AddressBar::target(typed, search), opened);
    }

    // Ctrl+L puts the focus in the bar, which shows the address on show; Enter opens it.
    void addressBar()
    {
        open({}, {});
        m.w->show();
        QVERIFY(QTest::qWaitForWindowActive(m.w.get()));
        auto *bar = m.find<QLineEdit>("txURL");
        m.web->complete("http://a.example/", "A", QString());
        QCOMPARE(bar->text(), "http://a.example/");
        QTest::keyClick(m.w.get(), Qt::Key_L, Qt::ControlModifier);
        QTRY_VERIFY(bar->hasFocus());
        QCOMPARE(bar->selectedText(), "http://a.example/");
        QTest::keyClicks(bar, "news today");
        QTest::keyClick(bar, Qt::Key_Return);
        QCOMPARE(m.web->calls.last(), "Navigate http://127.0.0.1:9/search?q=news%20today");
        QTest::keyClick(m.w.get(), Qt::Key_L, Qt::ControlModifier);
        QTest::keyClicks(bar, "https://b.example/");
        QTest::keyClick(bar, Qt::Key_Return);
        QCOMPARE(m.web->calls.last(), "Navigate https://b.example/");
    }

    // After the maintenance window the selector offers the groups as they are, the chosen one
    // under its new name, and the list holds no deleted link.
    void maintenanceLeavesTheWindowTrue()
    {
        open({{1, "News", 1}, {2, "Blogs", 2}},
             {{100, "http://a/", 1, "A"}, {101, "http://b/", 1, "B"}, {102, "http://c/", 2, "C"}});
        m.group()->setCurrentIndex(m.group()->findText("News"));
        m.w->mnSlc_Click(MnSlc::Extract);
        QCOMPARE(column(LinkList::Title), (QStringList {"A", "B"}));
        ModalDriver::whenShown<fmData>([](fmData *w) {
            Grid *groups = w->findChild<Grid *>("vSpr0");
            Grid *links = w->findChild<Grid *>("vSpr1");
            QAbstractItemModel *g = groups->model();
            g->setData(g->index(0, GroupColumn::Name - 1), "World news", Qt::EditRole);
            links->SetActiveRow(1);
            w->DelRows(1);
            QVERIFY(w->SaveData());
            w->close();
        });
        m.w->mnData_Click(MnData::Maintenance);
        QCOMPARE(m.group()->currentText(), "World news");
        QCOMPARE(m.group()->findText("News"), -1);
        QCOMPARE(column(LinkList::Title), QStringList {"B"});
    }

    // Numbers are never cut, and a group's name shows whole where there is room.
    void listColumnsFit()
    {
        const QString name = "A group with a rather long name";
        open({{1, name, 1}}, {{1234567, "http://a/", 1, "A"}});
        m.w->resize(1400, 800);
        Grid *list = m.list();
        QVERIFY(list->columnWidth(int(LinkList::Number) - 1)
                >= list->fontMetrics().horizontalAdvance("1234567"));
        QVERIFY(list->columnWidth(int(LinkList::GroupName) - 1)
                >= list->fontMetrics().horizontalAdvance(name));
    }

    // The first screen of every group's list shows with the window; the rest joins it when read
    // and the row the user chose meanwhile stays chosen.
    void firstScreenAtOnce()
    {
        m.openDatabase();
        SqlSteps::exec(Sql::kInsertGroup, {1, "B", 2});
        SqlSteps::exec(Sql::kInsertGroup, {2, "A", 2});
        for (int i = 0; i < 700; ++i)
            SqlSteps::exec(Sql::kInsertLink,
                           {100 + i, QStringLiteral("http://a/%1").arg(i), 1 + i % 2,
                            QStringLiteral("t%1").arg(i), "", 1});
        m.openWindow({}, false);
        QCOMPARE(m.list()->MaxRows(), 300);
        QCOMPARE(m.list()->GetText(int(LinkList::GroupName), 1), "A");
        m.list()->selectRow(4);
        const QString chosen = m.list()->GetText(int(LinkList::Number), 5);
        MainWindowFixture::settle(*m.w);
        QCOMPARE(m.list()->MaxRows(), 700);
        QCOMPARE(m.list()->selectedRow(), 5);
        QCOMPARE(m.list()->GetText(int(LinkList::Number), 5), chosen);
        QCOMPARE(m.list()->GetText(int(LinkList::GroupName), 700), "B");
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
