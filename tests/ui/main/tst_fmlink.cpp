#include "pages/PageArchive.h"
#include "pages/PageImage.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "platform/widgets/Grid.h"
#include "search/TextIndex.h"
#include "store/Statements.h"
#include "support/SqlLines.h"
#include "support/SqlSteps.h"
#include "support/TestFiles.h"
#include "support/widgets/MainWindowFixture.h"
#include "ui/main/LinkListView.h"
#include "ui/main/Receiver.h"
#include "ui/main/RegistrationPanel.h"
#include "ui/main/SearchBox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTcpSocket>
#include <QTimer>
#include <QToolTip>

// The main window over a real database in a temporary folder and a fake browser.
class TestFmLink : public QObject
{
    Q_OBJECT
private:
    MainWindowFixture m;
    QStringList m_captures;
    std::function<void()> onCapture;

    static void exec(const QString &sql) { SqlSteps::exec(sql); }
    static QString path(const QString &name) { return Usr::sDataPh + name; }

    // A window over a database holding the given links (number, address, group, title, sort).
    void open(const QList<QVariantList> &links = {}, const QList<QVariantList> &groups = {})
    {
        m.openDatabase();
        for (const QVariantList &g : groups)
            SqlSteps::exec(Sql::kInsertGroup, g);
        for (const QVariantList &l : links)
            SqlSteps::exec(Sql::kInsertLink, {l[0], l[1], l[2], l[3], QString(), l[4]});
        window();
    }
    // The window over the database as it is, at a picture scale "PC_SIZE" when one is given.
    void window(const QString &scale = {})
    {
        m_captures.clear();
        m.openWindow([this, scale](fmLink &w) {
            w.setCapture([this](const QString &url) {
                m_captures << url;
                if (onCapture)
                    onCapture();
                QImage img(300, 200, QImage::Format_RGB32);
                img.fill(Qt::red);
                return img;
            });
            if (!scale.isEmpty())
                Usr::Ini->SetVal("PC_SIZE", scale);
        });
    }

    QString cell(LinkList::Column col, int row) const { return m.list()->GetText(int(col), row); }
    QStringList column(LinkList::Column col) const
    {
        QStringList texts;
        for (int row = 1; row <= m.list()->MaxRows(); ++row)
            texts << cell(col, row);
        return texts;
    }
    QString lastCall() const { return m.web->calls.last(); }

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        Shell::enableTestMode();
        qputenv("LINKWELL_SEARCH_URL", "http://127.0.0.1:9/search");
    }
    void cleanup() { m.close(); }

    void loadFillsSelectorAndList()
    {
        open({{100, "http://a/", 1, "Alpha", 5},
              {101, "http://b/", 2, "Beta", 1},
              {102, "http://c/", 1, "Gamma", 1},
              {103, "http://nogroup/", 9, "Lost", 1},
              {104, "http://d/", 0, "Delta", 1},
              {105, "http://e/", 2, "", 2}},
             {{1, "News", 20}, {2, "Blogs", 10}});
        QCOMPARE(m.group()->count(), 3);
        QCOMPARE(m.group()->itemText(1), "Blogs");
        QCOMPARE(m.group()->currentText(), "*");
        // The list's order is the link list's own; the link without a group row is not listed.
        QCOMPARE(column(LinkList::Title), (QStringList {"Delta", "Beta", "", "Gamma", "Alpha"}));
        // A link without a title shows its address there; the cell itself stays empty.
        QCOMPARE(m.list()->model()->index(2, int(LinkList::Title) - 1).data().toString(),
                 "http://e/");
        QCOMPARE(cell(LinkList::GroupName, 1), "未分類");
        QVERIFY(m.list()->isColumnHidden(int(LinkList::Address) - 1));
        QCOMPARE(m.web->calls.first(), "GoSearch");
        QCOMPARE(m.web->searchPage(), "http://127.0.0.1:9/search");
        QCOMPARE(m.ini->vGtVal("PC_SIZE", 0).toInt(), 50);
        QVERIFY(m.w->menus().mnRet[MnRet::Document]->isEnabled());
        QVERIFY(!m.w->menus().mnData[MnData::Register]->isEnabled());

        // One group, then an unknown name lists all groups.
        m.group()->setEditText("news");
        m.w->mnSlc_Click(MnSlc::Extract);
        QCOMPARE(m.list()->MaxRows(), 2);
        m.group()->setEditText("nothing");
        m.find<QPushButton>("cmSlc")->click();
        QCOMPARE(m.list()->MaxRows(), 5);
    }

    // The selector shows the folders as a tree, a folder without a group of its own too; with
    // "下位の分類も表示" (at the window's foot, remembered) a folder lists its subtree.
    void folderTree()
    {
        open({{100, "http://a/", 1, "A", 1},
              {101, "http://q/", 2, "Q", 1},
              {102, "http://x/", 3, "X", 1}},
             {{1, "技術", 1},
              {2, "技術/Qt", 2},
              {3, "趣味/旅", 3},
              {4, "趣味/旅/とても長い名前のフォルダがここに続いています", 4}});
        QCOMPARE(m.group()->count(), 6); // *, 技術, 技術/Qt, 趣味, 趣味/旅, 趣味/旅/…
        // The opened list shows a deep folder's name whole.
        m.group()->showPopup();
        QAbstractItemView *view = m.group()->view();
        QVERIFY(view->viewport()->width()
                >= view->sizeHintForIndex(view->model()->index(5, 0)).width());
        m.group()->hidePopup();
        m.group()->setEditText("技術");
        m.w->mnSlc_Click(MnSlc::Extract);
        QCOMPARE(column(LinkList::Number), QStringList {"100"});
        auto *below = m.w->statusBar()->findChild<QCheckBox *>("chkBelow");
        below->setChecked(true);
        QCOMPARE(column(LinkList::Number) + column(LinkList::GroupName),
                 (QStringList {"100", "101", "技術", "技術/Qt"}));
        QCOMPARE(m.ini->vGtVal("GRP_BELOW", 0).toInt(), 1);
        // The search keeps to the subtree, and to the folder alone when the choice is undone.
        auto *find = m.panel()->findChild<QLineEdit *>("txFind");
        QTest::keyClicks(find, "http");
        QTRY_COMPARE(m.w->findChild<QLabel *>("lbCount")->text(), QStringLiteral("2 件"));
        QCOMPARE(column(LinkList::Number), (QStringList {"100", "101"}));
        below->setChecked(false);
        QCOMPARE(column(LinkList::Number), QStringList {"100"});
        below->setChecked(true);
        QTest::keyClick(find, Qt::Key_Escape);
        m.group()->setEditText("趣味");
        m.w->mnSlc_Click(MnSlc::Extract);
        QCOMPARE(column(LinkList::Number), QStringList {"102"});
        below->setChecked(false);
        QCOMPARE(m.list()->MaxRows(), 0);
    }

    // A new page shows in black as "追加"; F3 (arriving while the list has the focus) stores what
    // the panel holds with its picture and copy, lists it, and turns the panel to the registered
    // link at once, so a second F3 corrects it. The next visit shows it in blue.
    void newPageIsShownAndRegistered()
    {
        open({}, {{1, "News", 1}});
        const QString url = QStringLiteral("https://example.org/a?id=3&x='q'");
        m.web->complete(url, "A title", "l1\r\nl2");
        QCOMPARE(m.w->menus().mnData[MnData::Register]->text() + m.button(0)->text(),
                 "追加登録(&W)追加");
        QVERIFY(m.w->menus().mnData[MnData::Register]->isEnabled() && m.memo()->isEnabled());
        QCOMPARE(m.sort()->text() + m.memo()->toPlainText(), "100A title\nl1 l2");
        QCOMPARE(m.find<QLabel>("Label1_0")->palette().color(QPalette::WindowText),
                 QColor(0, 0, 0));
        m.group()->setEditText("NEWS");
        m.sort()->setText("12.5");
        m.list()->setFocus();
        QTest::keyClick(m.list(), Qt::Key_F3);
        QCOMPARE(SqlLines::of("Select nURL, sURL, nGrp, sNam, sMem, gSrt From tURL"),
                 QStringList {"100|" + url + "|1|A title|l1 l2|12.5"});
        QCOMPARE(QImage(path("Pic/100.jpg")).size(), QSize(140, 90));
        QTRY_VERIFY(QFile::exists(path("Arc/100.mhtml")));
        QCOMPARE(column(LinkList::Number) + column(LinkList::GroupName),
                 (QStringList {"100", "NEWS"})); // the group as typed
        QCOMPARE(m.button(0)->text(), "修正");
        QCOMPARE(m.find<QLabel>("Label1_2")->palette().color(QPalette::WindowText),
                 QColor(0, 0, 255));
        m.memo()->setPlainText("Title 2");
        QTest::keyClick(m.list(), Qt::Key_F3);
        QCOMPARE(SqlLines::of("Select nURL, sNam From tURL"), QStringList {"100|Title 2"});
        QCOMPARE(column(LinkList::Title), QStringList {"Title 2"});
        QCOMPARE(m_captures, QStringList(2, url));

        m.web->complete(url, "Other", "x");
        QCOMPARE(m.w->menus().mnData[MnData::Register]->text() + m.sort()->text(),
                 "修正登録(&W)12.5");
        QCOMPARE(m.memo()->toPlainText(), "Title 2\nx");
        QCOMPARE(m.panel()->linkOnShow(), 100);
    }

    // A typed group that does not exist is made when the user agrees, and offered from then on;
    // otherwise nothing is registered and the panel stays.
    void typedNewGroupIsAskedFor()
    {
        open();
        m.web->complete("http://a/", "A", QString());
        m.group()->setEditText("Tech");
        Dialogs::setNextAnswer(false);
        m.w->RgstURL();
        QCOMPARE(Dialogs::shownTexts(), QStringList {"分類「Tech」はありません。作成しますか"});
        QVERIFY(m_captures.isEmpty());
        QCOMPARE(m.group()->currentText() + m.button(0)->text(), "Tech追加");
        m.w->RgstURL();
        QCOMPARE(
            SqlLines::of("Select u.nGrp, sGrp, g.gSrt From tURL u, mGrp g Where g.nGrp = u.nGrp"),
            QStringList {"1|Tech|100"});
        QCOMPARE(m.group()->findText("Tech"), 1);
        QCOMPARE(m.group()->currentText() + cell(LinkList::GroupName, 1), "TechTech");
    }

    // F3 never locks up: Enter on an empty list leaves registration on, a stored link that
    // redirects completes as another page and ends the wait, and a page that never completes
    // ends it after a bounded time with one message, however often F3 is pressed.
    void registerWaitAlwaysEnds()
    {
        open();
        m.web->complete("http://a/", "A", QString());
        m.list()->setFocus();
        QTest::keyClick(m.list(), Qt::Key_Return);
        QTest::keyClick(m.list(), Qt::Key_F3);
        m.w->OpenRow(1);
        QVERIFY(!m.button(0)->isEnabled());
        QTimer::singleShot(20, m.w.get(), [this] { m.web->complete("https://a/", "A", {}); });
        m.w->RgstURL();
        QCOMPARE(SqlLines::of("Select sURL From tURL"), (QStringList {"http://a/", "https://a/"}));
        m.panel()->setRegisterWait(300);
        m.w->OpenRow(1);
        bool waitCursor = false;
        // Posted, not timed: it runs at the wait's first pass however loaded the machine is (a
        // timer could fire after a slow first pass had used up the wait).
        QTimer::singleShot(0, m.w.get(), [&] {
            waitCursor = QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            m.w->RgstURL(); // a second F3 during the wait
        });
        Dialogs::clearShown();
        m.w->RgstURL();
        QVERIFY(waitCursor && !QApplication::overrideCursor());
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {"ﾍﾟｰｼﾞのﾀﾞｳﾝﾛｰﾄﾞ中です　終了までお待ち下さい"});
        QCOMPARE(SqlLines::of("Select count(*) From tURL"), QStringList {"2"});
    }

    // Typing filters the list over the whole collection, in the list's order; Escape gives the
    // group selector's list back. Ctrl+F puts the focus in the box.
    void searchAsYouType()
    {
        open({{100, "http://a/", 1, "Qt 入門", 2},
              {101, "http://b/", 2, "テスト", 1},
              {102, "http://c/", 1, "Other", 1}},
             {{1, "News", 20}, {2, "Blogs", 10}});
        m.w->show();
        QVERIFY(QTest::qWaitForWindowActive(m.w.get()));
        auto *find = m.panel()->findChild<QLineEdit *>("txFind");
        QTest::keyClick(m.w.get(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(find->hasFocus());
        for (const QChar c : QStringLiteral("ﾃｽﾄ")) // typed as a Japanese input method sends it
            QTest::sendKeyEvent(QTest::Click, find, Qt::Key_unknown, QString(c), {});
        QTRY_COMPARE(column(LinkList::Number), QStringList {"101"});
        find->clear();
        QTest::keyClicks(find, "t");
        QTRY_COMPARE(column(LinkList::Number),
                     (QStringList {"101", "102", "100"})); // Blogs before News
        // A registration is found by the next key, and a deleted link is gone.
        m.web->complete("http://new/", "Tail", QString());
        m.w->RgstURL();
        m.list()->SetActiveRow(2);
        m.w->DelURL();
        find->setFocus();
        QTest::keyClick(find, Qt::Key_A);
        QTRY_COMPARE(column(LinkList::Title), QStringList {"Tail"});
        QTest::keyClick(find, Qt::Key_Escape);
        QCOMPARE(find->text(), QString());
        QCOMPARE(m.list()->MaxRows(), 3);
    }

    // The window shows with the list's first screen, before the search is read: the box says
    // 準備中 and what is typed meanwhile is answered once ready. The search keeps to the chosen
    // group ("*": all), counts what it found and finds katakana by hiragana.
    void searchGetsReadyAfterShow()
    {
        m.openDatabase();
        SqlSteps::exec(Sql::kInsertGroup, {1, "News", 20});
        SqlSteps::exec(Sql::kInsertGroup, {2, "Blogs", 10});
        for (const QVariantList &l : QList<QVariantList> {{100, "http://a/", 1, "ニュース速報"},
                                                          {101, "http://b/", 2, "今日のニュース"},
                                                          {102, "http://c/", 1, "Other"}})
            SqlSteps::exec(Sql::kInsertLink, {l[0], l[1], l[2], l[3], QString(), 1});
        m.openWindow({}, false);
        auto *find = m.panel()->findChild<QLineEdit *>("txFind");
        auto *search = m.w->findChild<SearchBox *>();
        QVERIFY(!search->isReady());
        QCOMPARE(find->placeholderText(), QStringLiteral("準備中"));
        QCOMPARE(m.list()->MaxRows(), 3); // the first screen, read at once
        for (const QChar c : QStringLiteral("にゅーす"))
            QTest::sendKeyEvent(QTest::Click, find, Qt::Key_unknown, QString(c), {});
        QTRY_VERIFY(search->isReady());
        QCOMPARE(find->placeholderText(), QString());
        QTRY_COMPARE(column(LinkList::Number), (QStringList {"101", "100"}));
        const auto *count = m.w->findChild<QLabel *>("lbCount");
        QCOMPARE(count->text(), QStringLiteral("2 件"));
        m.group()->setCurrentIndex(m.group()->findText("News"));
        QTRY_COMPARE(column(LinkList::Number), QStringList {"100"});
        QCOMPARE(count->text(), QStringLiteral("1 件"));
        m.group()->setCurrentIndex(m.group()->findText("*"));
        QTRY_COMPARE(column(LinkList::Number), (QStringList {"101", "100"}));
        QTest::keyClick(find, Qt::Key_Escape);
        QTRY_COMPARE(column(LinkList::Number), (QStringList {"101", "102", "100"}));
        QCOMPARE(count->text(), QString());
        // The whole list is the index's own rows, not read again; addresses are read by number.
        const PackedRow &held = search->index().allRows().front();
        QVERIFY(LinkList::cell(m.list()->model()->row(1), LinkList::Title).data()
                == LinkList::cell(held, LinkList::Title).data());
        QCOMPARE(m.list()->GetCell(LinkList::Address, 1), QStringLiteral("http://b/"));
    }

    // A new page that is a registered one under another address says so, with the twin's number
    // always whole, and F3 asks naming it.
    void twinWarning()
    {
        const QString title = QString(60, u'長');
        open({{19701, "https://www.example.org/page/", 0, title, 1}});
        m.web->complete("http://example.org/page?utm_source=x", "P", QString());
        const auto *note = m.panel()->findChild<QLabel *>("lbSim");
        QVERIFY2(note->text().startsWith("類似登録あり: 19701 "), qPrintable(note->text()));
        QVERIFY(note->fontMetrics().horizontalAdvance(note->text())
                <= note->contentsRect().width());
        Dialogs::setNextAnswer(false);
        m.w->RgstURL();
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {"「" + title + "」(19701) と同じﾍﾟｰｼﾞのようです。追加しますか"});
        m.w->RgstURL(); // OK this time
        QCOMPARE(SqlLines::of("Select count(*) From tURL"), QStringList {"2"});
        QCOMPARE(note->text(), QString());
    }

    // A load that failed shows why and cannot be registered; a page the server answered can.
    void failedLoadIsNotRegistrable()
    {
        open();
        m.web->fail("http://nowhere.invalid/", "net::ERR_NAME_NOT_RESOLVED", "unreachable");
        QVERIFY(!m.button(0)->isEnabled() && !m.w->menus().mnData[MnData::Register]->isEnabled()
                && !m.memo()->isEnabled());
        QCOMPARE(m.memo()->toPlainText(),
                 "ﾍﾟｰｼﾞを読み込めませんでした\nhttp://nowhere.invalid/\n"
                 "net::ERR_NAME_NOT_RESOLVED");
        QTest::keyClick(m.list(), Qt::Key_F3);
        QCOMPARE(SqlLines::of("Select count(*) From tURL"), QStringList {"0"});
        m.web->complete("http://a/404", "Not Found", "404");
        QVERIFY(m.button(0)->isEnabled());
    }

    // Arrow keys, Enter and clicks open rows; a header click opens the active row, not the row
    // the view would select.
    void listKeysAndClicksOpenRows()
    {
        open({{100, "http://a/", 0, "A", 1},
              {101, "http://b/", 0, "B", 2},
              {102, "http://c/", 0, "C", 3}});
        m.w->show();
        m.list()->setFocus();
        m.list()->SetActiveRow(1);
        QTest::keyClick(m.list(), Qt::Key_Down);
        QCOMPARE(lastCall(), "Navigate http://b/");
        QCOMPARE(m.list()->ActiveRow(), 2);
        QTest::keyClick(m.list(), Qt::Key_Down);
        QCOMPARE(m.list()->ActiveRow(), 3);
        const int before = int(m.web->calls.size());
        QTest::keyClick(m.list(), Qt::Key_Down); // past the last row: nothing opens
        QCOMPARE(int(m.web->calls.size()), before);
        QTest::keyClick(m.list(), Qt::Key_Return);
        QCOMPARE(lastCall(), "Navigate http://c/");
        QHeaderView *header = m.list()->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(int(LinkList::Title) - 1) + 5,
                                 header->height() / 2));
        QCOMPARE(lastCall(), "Navigate http://c/");
        QCOMPARE(m.list()->ActiveRow(), 3);
        m.list()->SetActiveRow(1);
        QTest::keyClick(m.list(), Qt::Key_Up); // target 0 stands for the active row
        QCOMPARE(lastCall(), "Navigate http://a/");
        QCOMPARE(m.list()->ActiveRow(), 1);
        const QRect r = m.list()->visualRect(m.list()->model()->index(1, int(LinkList::Title) - 1));
        QTest::mouseClick(m.list()->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(lastCall(), "Navigate http://b/");
    }

    // Only web pages and files are opened from the list: a stored script never runs.
    void scriptAddressesAreNotOpened()
    {
        open({{100, "javascript:alert(1)", 0, "J", 1}, {101, " JavaScript:x", 0, "K", 2}});
        m.web->calls.clear();
        m.w->OpenRow(1);
        m.w->OpenRow(2);
        QVERIFY(m.web->calls.isEmpty());
        QCOMPARE(m.w->windowTitle(), " JavaScript:x");
    }

    // The picture scale read from the settings is one the program can take: clamped, and a
    // missing or zero value becomes 50. A picture is taken only at a scale that has pictures.
    void pictureScales_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("scale"); // 0: no picture
        QTest::newRow("75") << "75" << 75;
        QTest::newRow("too large") << "40000" << 100;
        QTest::newRow("too small") << "-5" << 0;
        QTest::newRow("not a number") << "abc" << 50;
    }
    void pictureScales()
    {
        QFETCH(QString, stored);
        QFETCH(int, scale);
        m.openDatabase();
        window(stored);
        QCOMPARE(m.w->menus().mnRet[MnRet::AllPictures]->isEnabled(), stored != "-5");
        m.web->complete("http://a/", "A", QString());
        m.w->RgstURL();
        QCOMPARE(SqlLines::of("Select nURL From tURL"), QStringList {"100"});
        QCOMPARE(m_captures.size(), scale ? 1 : 0); // no capture window without pictures
        QImage taken(300, 200, QImage::Format_RGB32);
        QCOMPARE(QImage(path("Pic/100.jpg")).size(),
                 scale ? PageImage::process(taken, scale).size() : QSize(0, 0));
    }

    // All pictures anew in number order, a link without a group row too; cancel stops the run.
    void batchPictures()
    {
        open({{105, "http://e/", 9, "E", 1},
              {100, "http://a/", 0, "A", 1},
              {101, "http://b/", 0, "B", 1}});
        // The question comes first: how many links, about how long.
        Dialogs::setNextAnswer(false);
        m.w->PicAll();
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {"3 件のﾘﾝｸの画像を出力します（約1分）。よろしいですか"});
        QVERIFY(m_captures.isEmpty());
        onCapture = [this] {
            auto *progress = m.w->findChild<QProgressDialog *>();
            QVERIFY(progress && progress->isVisible());
            QVERIFY(progress->labelText().contains("http://a/"));
            QTest::keyClick(progress, Qt::Key_Escape);
        };
        m.w->PicAll();
        onCapture = nullptr;
        QCOMPARE(m_captures, QStringList {"http://a/"});
        QVERIFY(QFile::exists(path("Pic/100.jpg")));
        QVERIFY(!QFile::exists(path("Pic/101.jpg")));
        m_captures.clear();
        m.w->mnRet_Click(MnRet::AllPictures);
        QCOMPARE(m_captures, (QStringList {"http://a/", "http://b/", "http://e/"}));
        for (const char *name : {"Pic/101.jpg", "Pic/105.jpg"})
            QVERIFY(QFile::exists(path(name)));
    }

    // No picture is taken while pictures are off, nor a copy while "ARC_SAVE" is 0; a picture
    // or a copy that cannot be written is told. The link is registered either way.
    void unwrittenFilesAreTold()
    {
        m.openDatabase();
        window("-1");
        Usr::Ini->SetVal("ARC_SAVE", 0);
        m.web->complete("http://a/", "A", QString());
        m.w->RgstURL();
        window("50");
        Usr::Ini->SetVal("ARC_SAVE", 1);
        QVERIFY(QDir(path("Pic")).removeRecursively());
        TestFiles::write(path("Pic"), "in the way");
        m.web->archiveError = "net::ERR_FAILED";
        m.web->complete("http://b/", "B", QString());
        m.w->RgstURL();
        QCOMPARE(m_captures, QStringList {"http://b/"});
        QTRY_COMPARE(Dialogs::shownTexts().size(), 2);
        QCOMPARE(Dialogs::shownTexts().last(),
                 QDir::toNativeSeparators(path("Arc/101.mhtml"))
                     + " を保存できません: net::ERR_FAILED");
        QCOMPARE(SqlLines::of("Select nURL From tURL"), (QStringList {"100", "101"}));
        QVERIFY(QDir(path("Arc")).isEmpty());
    }

    void outputsTakeWhatTheListShows()
    {
        open({{100, "http://a/", 1, "A & B", 1}, {101, "http://b/", 1, "B", 2}}, {{1, "News", 1}});
        m.group()->setEditText("News");
        // Cancelled: nothing written, the browser stays.
        m.web->calls.clear();
        m.w->mnRet_Click(MnRet::Portal);
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(Dialogs::shown().first().save.fileName, "News.htm");
        QVERIFY(m.web->calls.isEmpty());
        const QString page = path("Doc/mine");
        Dialogs::setNextFileName(page);
        m.w->mnRet_Click(MnRet::Portal);
        QVERIFY(TestFiles::read(page).contains("<a href='http://a/'>A &amp; B</a>"));
        QCOMPARE(lastCall(), "Navigate " + page);

        const QString doc = path("Doc/links.docx");
        Dialogs::setNextFileName(doc);
        m.w->mnRet_Click(MnRet::Document);
        QVERIFY(QFileInfo(doc).size() > 0);
        QCOMPARE(Shell::calls().last().target, doc);
    }

    // Delete (key, menu) acts on the row the user chose, after asking; the next row opens. A
    // failing statement is told and leaves the list as it was.
    void deleteAsksForTheChosenRow()
    {
        open({{100, "http://a/", 0, "A", 1}, {101, "http://b/", 0, "", 2}, {102, "c", 0, "C", 3}});
        m.list()->setFocus();
        QTest::keyClick(m.list(), Qt::Key_Delete); // no row chosen since the list was filled
        m.w->mnData_Click(MnData::Delete);
        QVERIFY(Dialogs::shown().isEmpty());
        m.list()->SetActiveRow(1);
        Dialogs::setNextAnswer(false);
        QTest::keyClick(m.list(), Qt::Key_Delete);
        QTest::keyClick(m.list(), Qt::Key_Delete);
        QCOMPARE(Dialogs::shownTexts(), QStringList(2, "「A」を削除します。よろしいですか"));
        QCOMPARE(column(LinkList::Number), (QStringList {"101", "102"}));
        QCOMPARE(lastCall(), "Navigate http://b/");
        Dialogs::clearShown();
        m.w->mnData_Click(MnData::Delete); // no title: named by its address
        QCOMPARE(Dialogs::shownTexts(), QStringList {"「http://b/」を削除します。よろしいですか"});
        exec("Drop Table tURL");
        m.w->mnData_Click(MnData::Delete);
        QCOMPARE(Dialogs::shown().size(), 3);
        QCOMPARE(column(LinkList::Number), QStringList {"102"});
    }

    // A page lookup, a registration or a list fill that fails is told and leaves the panel and
    // the list as they were.
    void failingStatementsLeaveEverythingAsItWas()
    {
        open({{100, "http://a/", 0, "A", 1}});
        m.web->complete("http://new/", "New", QString());
        const QString panel = m.memo()->toPlainText();
        exec("Drop Table tURL");
        m.web->complete("http://other/", "Other", "x");
        m.w->RgstURL();
        m.w->mnSlc_Click(MnSlc::Extract);
        QCOMPARE(Dialogs::shown().size(), 3);
        QCOMPARE(m.memo()->toPlainText(), panel);
        QCOMPARE(column(LinkList::Number), QStringList {"100"});
    }

    void clipboardCopies()
    {
        open();
        QClipboard *cb = QGuiApplication::clipboard();
        cb->setText("before");
        m.w->mnDisp_Click(MnDisp::CopyAddress); // nothing loaded: the clipboard stays
        QCOMPARE(cb->text(), "before");
        QVERIFY(Dialogs::shown().isEmpty());
        m.web->complete("http://127.0.0.1/page", "P", "at load");
        // The page's scripts changed it since: the copies take it as it is now.
        m.web->liveText = QString();
        m.web->liveHtml = "<p>x</p>";
        m.w->mnDisp_Click(MnDisp::CopyAddress);
        QCOMPARE(cb->text(), "http://127.0.0.1/page");
        m.w->mnDisp_Click(MnDisp::CopyText);
        QTRY_COMPARE(cb->text(), QString());
        m.w->mnDisp_Click(MnDisp::CopyMarkup);
        QTRY_COMPARE(cb->text(), "<p>x</p>");
        QCOMPARE(Dialogs::shownTexts(), QStringList(3, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰしました"));
    }

    // The window comes back where it was, with its panes; the first start covers the work area
    // with its frame, not with its client area.
    void placeIsRemembered()
    {
        open();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(m.w->frameGeometry(), area);
        m.w->resize(700, 500);
        m.w->move(30, 40);
        m.find<QSplitter>("Splitter")->setSizes({m.panel()->height(), 300, 200});
        const QList<int> panes = m.find<QSplitter>("Splitter")->sizes();
        m.w->close();
        QVERIFY(m.ini->groupText().contains("<WND_POS>30,40,700,500</WND_POS>"));
        std::unique_ptr<fmLink> again = MainWindowFixture::another();
        QVERIFY(again);
        QCOMPARE(again->frameGeometry().topLeft(), QPoint(30, 40));
        QCOMPARE(again->size(), QSize(700, 500));
        QCOMPARE(again->findChild<QSplitter *>()->sizes(), panes);
        again->close();
    }

    // The list's pop-up menu shows the active row's copy with scripts off, under a caption
    // naming it; the next page that is not a copy takes the caption back.
    void savedCopyFromThePopUp()
    {
        open({{100, "http://a/", 0, "A", 1}, {101, "http://b/", 0, "B", 2}});
        const QString copy = path("Arc/101.mhtml");
        TestFiles::write(copy, "");
        QVERIFY(m.w->menus().mnJob[MnJob::Data]->actions().contains(
            m.w->menus().mnData[MnData::ShowSaved]));
        QCOMPARE(m.w->menus().mnData[MnData::ShowSaved]->text(), "保存したﾍﾟｰｼﾞを表示");
        m.list()->SetActiveRow(1);
        m.web->calls.clear();
        m.w->menus().mnData[MnData::ShowSaved]->trigger();
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {"保存したﾍﾟｰｼﾞがありません: "
                              + QDir::toNativeSeparators(path("Arc/100.mhtml"))});
        QVERIFY(m.web->calls.isEmpty());
        m.list()->SetActiveRow(2);
        m.w->menus().mnData[MnData::ShowSaved]->trigger();
        QCOMPARE(m.web->calls, QStringList {"Navigate " + copy});
        QVERIFY(!m.web->scriptsEnabled());
        const auto savedCaption = [this] {
            const QString title = m.w->windowTitle();
            return title.startsWith("保存したﾍﾟｰｼﾞ (") && title.endsWith("): http://b/");
        };
        QVERIFY2(savedCaption(), qPrintable(m.w->windowTitle()));
        // The copy itself completes: nothing of it can be registered, the caption stays.
        m.web->complete(QUrl::fromLocalFile(copy).toString(), "B", QString());
        QVERIFY(!m.button(0)->isEnabled());
        QVERIFY(savedCaption());
        m.web->complete("http://elsewhere/", "E", QString());
        QCOMPARE(m.w->windowTitle(), "http://elsewhere/");
        QVERIFY(m.web->scriptsEnabled());
    }

    // "本文も検索": the copies are indexed after the window shows, the words are found in the
    // page text, the tooltip shows where, Escape gives the list back.
    void findsThePageText()
    {
        m.openDatabase();
        SqlSteps::exec(Sql::kInsertGroup, {1, "技術/Qt", 1});
        SqlSteps::exec(Sql::kInsertLink, {100, "http://a/", 1, "Alpha", QString(), 1});
        SqlSteps::exec(Sql::kInsertLink, {101, "http://b/", 0, "Beta", QString(), 1});
        SqlSteps::exec(Sql::kInsertLink, {102, "http://c/", 0, "東京案内", QString(), 1});
        for (const auto &[n, html] : {std::pair {100, "<p>東京の天気は晴れ</p>"},
                                      std::pair {101, "<p>大阪の天気 sunny</p>"}})
            TestFiles::write(PageArchive::fileFor(Usr::sDataPh, n),
                             QByteArray("Content-Type: text/html; charset=utf-8\r\n\r\n") + html);
        m.openWindow();
        // The backfill made the index from the copies.
        QTRY_VERIFY(QFile::exists(Usr::sDataPh + QStringLiteral("Idx/text.db")));
        QTRY_VERIFY(TextIndex(Usr::sDataPh).snippet(QStringLiteral("sun"), 101).contains(u"sunny"));
        auto *choice = m.find<QCheckBox>("chText");
        auto *box = m.find<QLineEdit>("txFind");
        QVERIFY(!choice->isChecked());
        choice->setChecked(true);
        QCOMPARE(Usr::Ini->vGtVal(QStringLiteral("FIND_TEXT"), 0).toInt(), 1);
        QTest::keyClicks(box, "sun");
        QTRY_COMPARE(column(LinkList::Number), QStringList {"101"});
        box->clear();
        for (const QChar c : QStringLiteral("京"))
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), {});
        // Page text and title alike; the page text's best first.
        QTRY_COMPARE(column(LinkList::Number), (QStringList {"100", "102"}));
        QCOMPARE(m.w->findChild<QLabel *>("lbCount")->text(), QStringLiteral("2 件"));
        QWidget *viewport = m.list()->viewport();
        const QPoint at = m.list()->visualRect(m.list()->model()->index(0, 3)).center();
        QHelpEvent help(QEvent::ToolTip, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &help);
        QVERIFY2(QToolTip::text().contains(u"<b>") && QToolTip::text().contains(u"天気"),
                 qPrintable(QToolTip::text()));
        // Kept to the chosen folder's subtree, as the title search is.
        m.group()->setEditText("技術");
        QCOMPARE(m.list()->MaxRows(), 0); // a folder without links of its own
        m.w->statusBar()->findChild<QCheckBox *>("chkBelow")->setChecked(true);
        QCOMPARE(column(LinkList::Number), QStringList {"100"});
        m.group()->setEditText("*");
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_COMPARE(m.list()->MaxRows(), 3);
    }

    // A link registered from the user's browser turns the new page on show into a registered
    // one at once; the list refills only when the link belongs in what it shows: the subtree,
    // or the newest links.
    void registeredFromOutside()
    {
        open({{100, "http://a/", 1, "A", 1}}, {{1, "技術", 1}, {2, "技術/Qt", 2}, {3, "趣味", 3}});
        m.group()->setEditText("技術");
        m.w->statusBar()->findChild<QCheckBox *>("chkBelow")->setChecked(true);
        m.web->complete("http://q/", "Q", "text");
        QVERIFY(m.w->receiver()->server().start(48699, "t", nullptr, QHostAddress("127.0.0.23")));
        auto post = [&](const QByteArray &url, const QByteArray &group) {
            const QByteArray body = "{\"url\":\"" + url + "\",\"group\":\"" + group + "\"}";
            QTcpSocket s;
            s.connectToHost(QHostAddress("127.0.0.23"), 48699);
            s.write("POST /api/links HTTP/1.1\r\nHost: 127.0.0.1:48699\r\nAuthorization: Bearer "
                    "t\r\nContent-Length: "
                    + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            QTRY_VERIFY(s.bytesAvailable() > 0 && s.peek(12).endsWith("201"));
        };
        m.list()->SetText(int(LinkList::Title), 1, "marked"); // gone when the list refills
        post("http://q/", "技術/Qt");
        QCOMPARE(m.button(0)->text() + QString::number(m.panel()->linkOnShow()), "修正101");
        QCOMPARE(column(LinkList::Number) << cell(LinkList::Title, 1),
                 (QStringList {"100", "101", "A"}));
        m.list()->SetText(int(LinkList::Title), 1, "marked");
        post("http://x/", "趣味"); // elsewhere: the list stays as it is
        QCOMPARE(cell(LinkList::Title, 1), "marked");
        m.w->mnSlc_Click(MnSlc::Recent);
        post("http://y/", "趣味");
        QCOMPARE(column(LinkList::Number), (QStringList {"103", "102", "101", "100"}));
    }
};

QTEST_MAIN(TestFmLink)
#include "tst_fmlink.moc"
