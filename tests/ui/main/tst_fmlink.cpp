#include "pages/PageImage.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "platform/widgets/Grid.h"
#include "store/Statements.h"
#include "support/SqlLines.h"
#include "support/TestFiles.h"
#include "support/widgets/MainWindowFixture.h"
#include "ui/main/LinkListView.h"
#include "ui/main/RegistrationPanel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTimer>

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
    void open(const QList<QVariantList> &links = {}, const QList<QVariantList> &groups = {},
              const QString &scale = {})
    {
        m.openDatabase();
        for (const QVariantList &g : groups)
            SqlSteps::exec(Sql::kInsertGroup, g);
        for (const QVariantList &l : links)
            SqlSteps::exec(Sql::kInsertLink, {l[0], l[1], l[2], l[3], QString(), l[4]});
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

    QString cell(int col, int row) const { return m.list()->GetText(col, row); }
    QStringList column(int col) const
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
              {104, "http://d/", 0, "Delta", 1}},
             {{1, "News", 20}, {2, "Blogs", 10}});
        QCOMPARE(m.group()->itemText(1), "Blogs");
        QCOMPARE(m.group()->currentText(), "*");
        QCOMPARE(Usr::GrpNoOf("BLOGS"), 2);
        // The list's order is the link list's own; the link without a group row is not listed.
        QCOMPARE(column(4), (QStringList {"Delta", "Beta", "Gamma", "Alpha"}));
        QCOMPARE(cell(3, 1), "未分類");
        QVERIFY(m.list()->isColumnHidden(1)); // the address
        QCOMPARE(m.web->calls.first(), "GoSearch");
        QCOMPARE(m.ini->vGtVal("PC_SIZE", 0).toInt(), 50);
        QVERIFY(m.w->menus().mnRet[MnRet::Document]->isEnabled());
        QVERIFY(!m.w->menus().mnData[MnData::Register]->isEnabled());

        // One group, then an unknown name lists all groups.
        m.group()->setEditText("news");
        m.w->mnSlc_Click(MnSlc::Extract);
        QCOMPARE(m.list()->MaxRows(), 2);
        m.group()->setEditText("nothing");
        m.find<QPushButton>("cmSlc")->click();
        QCOMPARE(m.list()->MaxRows(), 4);
    }

    void newPageIsShownAndRegistered()
    {
        open({}, {{1, "News", 1}});
        const QString url = QStringLiteral("https://example.org/a?id=3&x='q'");
        m.web->complete(url, "A title", "l1\r\nl2\r\n\r\nl4\r\nl5\r\nl6");
        QCOMPARE(m.w->menus().mnData[MnData::Register]->text(), "追加登録(&W)");
        QCOMPARE(m.button(0)->text(), "追加");
        QVERIFY(m.w->menus().mnData[MnData::Register]->isEnabled()); // https counts as registrable
        QVERIFY(m.memo()->isEnabled());
        QCOMPARE(m.sort()->text(), "100");
        QCOMPARE(m.memo()->toPlainText(), "A title\nl1 l2  l4");
        QCOMPARE(m.panel()->Label1[0]->palette().color(QPalette::WindowText), QColor(0, 0, 0));

        m.group()->setEditText("NEWS");
        m.sort()->setText("12.5");
        m.memo()->setPlainText("Title line\n\nfirst\nsecond\n\n");
        // F3 arrives at the window while the list has the focus.
        m.list()->setFocus();
        QTest::keyClick(m.list(), Qt::Key_F3);
        QCOMPARE(SqlLines::of("Select nURL, sURL, nGrp, sNam, sMem, gSrt From tURL"),
                 QStringList {"100|" + url + "|1|Title line|first\r\nsecond|12.5"});
        QCOMPARE(m_captures, QStringList {url});
        QCOMPARE(QImage(path("Pic/100.jpg")).size(), QSize(140, 90));
        QCOMPARE(column(1), QStringList {"100"});
        QCOMPARE(cell(3, 1), "NEWS"); // as typed
        QCOMPARE(cell(5, 1), "first\r\nsecond");

        // The next visit finds it, with its own title and description.
        m.web->complete(url, "Other", "x");
        QCOMPARE(m.button(0)->text(), "修正");
        QCOMPARE(m.w->menus().mnData[MnData::Register]->text(), "修正登録(&W)");
        QCOMPARE(m.sort()->text(), "12.5");
        QCOMPARE(m.memo()->toPlainText(), "Title line\nfirst second");
        QCOMPARE(m.panel()->Label1[2]->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(m.group()->currentText(), "NEWS");
        QCOMPARE(m.panel()->nCurURL, 100);
    }

    void correctionNeedsTheMatchingRow()
    {
        open({{100, "http://a/", 0, "A", 1}, {101, "http://b/", 0, "B", 2}});
        m.w->OpenRow(1);
        QCOMPARE(lastCall(), "Navigate http://a/");
        QCOMPARE(m.w->windowTitle(), "http://a/");
        QVERIFY(!m.button(0)->isEnabled());
        m.web->complete("http://a/", "A", QString());
        QVERIFY(m.button(0)->isEnabled());
        m.memo()->setPlainText("A corrected");
        // The list's active row moves to another link: nothing is saved.
        m.list()->SetActiveRow(2);
        m.w->RgstURL();
        QCOMPARE(SqlLines::of("Select sNam From tURL Where nURL=100"), QStringList {"A"});
        QVERIFY(m_captures.isEmpty());
        // On its own row the correction is stored and shown.
        m.list()->SetActiveRow(1);
        m.w->RgstURL();
        QCOMPARE(SqlLines::of("Select sNam From tURL Where nURL=100"), QStringList {"A corrected"});
        QCOMPARE(column(4), (QStringList {"A corrected", "B"}));
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
        QVERIFY(m.button(0)->isEnabled());
        QTest::keyClick(m.list(), Qt::Key_F3);
        QCOMPARE(SqlLines::of("Select sURL From tURL"), QStringList {"http://a/"});

        m.w->OpenRow(1);
        QVERIFY(!m.button(0)->isEnabled());
        QTimer::singleShot(20, m.w.get(),
                           [this] { m.web->complete("https://a/", "A", QString()); });
        m.w->RgstURL();
        QCOMPARE(SqlLines::of("Select sURL From tURL Where nURL=101"), QStringList {"https://a/"});

        m.panel()->registerWaitMs = 300;
        m.w->OpenRow(1);
        bool waitCursor = false;
        QTimer::singleShot(20, m.w.get(), [&] {
            waitCursor = QApplication::overrideCursor()
                && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            m.w->RgstURL(); // a second F3 during the wait
        });
        Dialogs::clearShown();
        m.w->RgstURL();
        QVERIFY(waitCursor);
        QVERIFY(!QApplication::overrideCursor());
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
        QLineEdit *find = m.panel()->txFind;
        QTest::keyClick(m.w.get(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(find->hasFocus());
        for (const QChar c : QStringLiteral("ﾃｽﾄ")) // typed as a Japanese input method sends it
            QTest::sendKeyEvent(QTest::Click, find, Qt::Key_unknown, QString(c), {});
        QTRY_COMPARE(column(1), QStringList {"101"});
        find->clear();
        QTest::keyClicks(find, "t");
        QTRY_COMPARE(column(1), (QStringList {"101", "102", "100"})); // Blogs before News
        // A registration is found by the next key, and a deleted link is gone.
        m.web->complete("http://new/", "Tail", QString());
        m.w->RgstURL();
        m.list()->SetActiveRow(2);
        m.w->DelURL();
        find->setFocus();
        QTest::keyClick(find, Qt::Key_A);
        QTRY_COMPARE(column(4), QStringList {"Tail"});
        QTest::keyClick(find, Qt::Key_Escape);
        QCOMPARE(find->text(), QString());
        QCOMPARE(m.list()->MaxRows(), 3);
    }

    // A new page that is a registered one under another address says so, and F3 asks.
    void twinWarning()
    {
        open({{100, "https://www.example.org/page/", 0, "Page", 1}});
        m.web->complete("http://example.org/page?utm_source=x", "P", QString());
        QCOMPARE(m.panel()->lbSim->text(), "類似登録あり: 100 Page");
        Dialogs::setNextAnswer(false);
        m.w->RgstURL();
        QCOMPARE(Dialogs::shownTexts(), QStringList {"類似のﾘﾝｸが登録済みです。追加しますか"});
        QCOMPARE(SqlLines::of("Select count(*) From tURL"), QStringList {"1"});
        m.w->RgstURL(); // OK this time
        QCOMPARE(SqlLines::of("Select count(*) From tURL"), QStringList {"2"});
        m.web->complete("http://example.org/page2", "P2", QString());
        QCOMPARE(m.panel()->lbSim->text(), QString());
    }

    // A load that failed shows why and cannot be registered; a page the server answered can.
    void failedLoadIsNotRegistrable()
    {
        open();
        m.web->fail("http://nowhere.invalid/", "net::ERR_NAME_NOT_RESOLVED",
                    "This site can't be reached");
        QVERIFY(!m.button(0)->isEnabled() && !m.w->menus().mnData[MnData::Register]->isEnabled()
                && !m.memo()->isEnabled());
        QCOMPARE(
            m.memo()->toPlainText(),
            "ﾍﾟｰｼﾞを読み込めませんでした\nhttp://nowhere.invalid/\nnet::ERR_NAME_NOT_RESOLVED");
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
                          QPoint(header->sectionViewportPosition(3) + 5, header->height() / 2));
        QCOMPARE(lastCall(), "Navigate http://c/");
        QCOMPARE(m.list()->ActiveRow(), 3);
        m.list()->SetActiveRow(1);
        QTest::keyClick(m.list(), Qt::Key_Up); // target 0 stands for the active row
        QCOMPARE(lastCall(), "Navigate http://a/");
        QCOMPARE(m.list()->ActiveRow(), 1);
        const QRect r = m.list()->visualRect(m.list()->model()->index(1, 3));
        QTest::mouseClick(m.list()->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(lastCall(), "Navigate http://b/");
    }

    // Only web pages, files and FTP are opened from the list: a stored script never runs.
    void scriptAddressesAreNotOpened()
    {
        open({{100, "javascript:alert(1)", 0, "J", 1},
              {101, " JavaScript:x", 0, "K", 2},
              {102, "ftp://f/", 0, "F", 3}});
        m.web->calls.clear();
        m.w->OpenRow(1);
        m.w->OpenRow(2);
        QVERIFY(m.web->calls.isEmpty());
        QCOMPARE(m.w->windowTitle(), " JavaScript:x");
        m.w->OpenRow(3);
        QCOMPARE(m.web->calls, QStringList {"Navigate ftp://f/"});
    }

    // A picture replaces the stored one only once its link is saved.
    void pictureFollowsTheStatement()
    {
        open({{100, "http://a/", 0, "A", 1}});
        TestFiles::write(path("Pic/100.jpg"), "old");
        exec("Create Trigger r1 Before Update On tURL Begin Select Raise(Abort, 'refused'); End");
        exec("Create Trigger r2 Before Insert On tURL Begin Select Raise(Abort, 'refused'); End");
        m.w->OpenRow(1);
        m.web->complete("http://a/", "A", QString());
        m.w->RgstURL();
        QCOMPARE(m_captures.size(), 1);
        QCOMPARE(TestFiles::read(path("Pic/100.jpg")), "old");
        m.web->complete("http://new/", "N", QString());
        m.w->RgstURL();
        QVERIFY(!QFile::exists(path("Pic/101.jpg")));
        QCOMPARE(Dialogs::shown().size(), 2);
    }

    // The picture scale read from the settings is one the program can take: clamped, and a
    // missing or zero value becomes 50. A registration takes a picture only at a scale that
    // has pictures; the link is registered all the same.
    void pictureScales_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("scale"); // 0: no picture
        QTest::newRow("75") << "75" << 75;
        QTest::newRow("too large") << "40000" << 100;
        QTest::newRow("too small") << "-5" << 0;
        QTest::newRow("not a number") << "abc" << 50;
        QTest::newRow("9") << "9" << 0;
        QTest::newRow("32") << "32" << 32;
    }
    void pictureScales()
    {
        QFETCH(QString, stored);
        QFETCH(int, scale);
        open({}, {}, stored);
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

    // A picture that cannot be written is told (the folder is a file here).
    void failingPictureSaveIsTold()
    {
        open();
        QVERIFY(QDir(path("Pic")).removeRecursively());
        TestFiles::write(path("Pic"), "in the way");
        m.w->SavePic("http://a/", 7);
        QCOMPARE(m_captures.size(), 1);
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(TestFiles::read(path("Pic")), "in the way");
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

    void deleteRemovesRowAndPicture()
    {
        open({{100, "http://a/", 0, "A", 1}, {101, "http://b/", 0, "B", 2}});
        TestFiles::write(path("Pic/100.jpg"), "");
        m.list()->SetActiveRow(1);
        m.list()->setFocus();
        QTest::keyClick(m.list(), Qt::Key_Delete);
        QCOMPARE(SqlLines::of("Select nURL From tURL"), QStringList {"101"});
        QVERIFY(!QFile::exists(path("Pic/100.jpg")));
        QCOMPARE(m.list()->MaxRows(), 1);
        QCOMPARE(lastCall(), "Navigate http://b/");
        // Deleting the only row opens nothing.
        const int before = int(m.web->calls.size());
        m.w->mnData_Click(MnData::Delete);
        QCOMPARE(m.list()->MaxRows(), 0);
        QCOMPARE(int(m.web->calls.size()), before);
        m.w->mnData_Click(MnData::Delete); // an empty list: nothing
        QCOMPARE(SqlLines::of("Select nURL From tURL"), QStringList());
    }

    void failingStatementsLeaveEverythingAsItWas()
    {
        open({{100, "http://a/", 0, "A", 1}});
        m.web->complete("http://new/", "New", QString());
        const QString panel = m.memo()->toPlainText();
        exec("Drop Table tURL");
        m.web->complete("http://other/", "Other", "x");
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(m.memo()->toPlainText(), panel);
        QCOMPARE(m.panel()->sCurURL, "http://new/");
        for (const auto &command : std::initializer_list<std::function<void()>> {
                 [this] { m.w->RgstURL(); }, [this] { m.w->mnData_Click(MnData::Delete); }}) {
            Dialogs::clearShown();
            command();
            QCOMPARE(Dialogs::shown().size(), 1);
            QCOMPARE(column(1), QStringList {"100"});
        }
        m.w->mnSlc_Click(MnSlc::Extract);
        QCOMPARE(column(1), QStringList {"100"});
    }

    void browserCommands()
    {
        open();
        // The window's keys reach it whichever control has the focus.
        m.web->calls.clear();
        m.list()->setFocus();
        QTest::keyClick(m.list(), Qt::Key_F8);
        QTest::keyClick(m.memo(), Qt::Key_F11);
        QTest::keyClick(m.memo(), Qt::Key_F5);
        QCOMPARE(m.web->calls, (QStringList {"GoBack", "GoSearch", "ExecWB 22 0"}));
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
        // Kept on a larger screen, or before the scale grew: pulled into the work area.
        m.ini->SetVal("WND_POS", "30,40,3000,2000");
        again = MainWindowFixture::another();
        QVERIFY(again);
        QCOMPARE(again->frameGeometry(), area);
        again->close();
    }

    // F3 keeps a copy of a new page, and of a registered one that has none yet; "ARC_SAVE" 0
    // keeps none. A copy that cannot be made is told, and the link is registered all the same.
    void registrationKeepsACopy()
    {
        open({}, {{1, "News", 1}});
        const QString copy100 = path("Arc/100.mhtml");
        m.web->complete("http://a/", "A", QString());
        m.w->RgstURL();
        QTRY_VERIFY(QFile::exists(copy100));
        m.web->calls.clear();
        m.web->complete("http://a/", "A", QString());
        m.w->RgstURL(); // a correction: the copy is there already
        QVERIFY(!m.web->calls.join(u' ').contains("saveArchive"));
        QVERIFY(QFile::remove(copy100));
        m.w->RgstURL();
        QTRY_VERIFY(QFile::exists(copy100));

        Usr::Ini->SetVal("ARC_SAVE", 0);
        m.web->complete("http://b/", "B", QString());
        m.w->RgstURL();
        Usr::Ini->SetVal("ARC_SAVE", 1);
        m.web->archiveError = "net::ERR_FAILED";
        m.web->complete("http://c/", "C", QString());
        m.w->RgstURL();
        QTRY_COMPARE(Dialogs::shownTexts(),
                     QStringList {QDir::toNativeSeparators(path("Arc/102.mhtml"))
                                  + " を保存できません: net::ERR_FAILED"});
        QCOMPARE(SqlLines::of("Select nURL From tURL Order By nURL"),
                 (QStringList {"100", "101", "102"}));
        QCOMPARE(QDir(path("Arc")).entryList(QDir::Files), QStringList {"100.mhtml"});
        // Deleting the link deletes its copy.
        m.list()->SetActiveRow(3);
        QCOMPARE(cell(1, 3), "100");
        m.w->DelURL();
        QVERIFY(!QFile::exists(copy100));
    }

    // The list's pop-up menu shows the active row's copy with scripts off, under a caption
    // naming it; the next page that is not a copy takes the caption back.
    void savedCopyFromThePopUp()
    {
        open({{100, "http://a/", 0, "A", 1}, {101, "http://b/", 0, "B", 2}});
        const QString copy = path("Arc/101.mhtml");
        TestFiles::write(copy, "");
        QVERIFY(m.w->menus().mnJob[3]->actions().contains(m.w->menus().mnData[MnData::ShowSaved]));
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

    void layoutFollowsTheWidth()
    {
        open();
        const auto rightX = [this](int width) {
            m.w->resize(width, 700);
            QApplication::processEvents();
            return m.button(3)->mapTo(m.w.get(), QPoint(0, 0)).x();
        };
        const int right = rightX(1200);
        QVERIFY(right > m.button(0)->mapTo(m.w.get(), QPoint(0, 0)).x());
        QCOMPARE(rightX(1600) - right, 400); // anchored to the right edge
        QVERIFY(m.memo()->width() > 600);
    }
};

QTEST_MAIN(TestFmLink)
#include "tst_fmlink.moc"
