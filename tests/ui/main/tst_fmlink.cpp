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
    void open(const QList<QVariantList> &links = {}, const QList<QVariantList> &groups = {})
    {
        m.openDatabase();
        for (const QVariantList &g : groups)
            SqlSteps::exec(Sql::kInsertGroup, g);
        for (const QVariantList &l : links)
            SqlSteps::exec(Sql::kInsertLink, {l[0], l[1], l[2], l[3], QString(), l[4]});
        m_captures.clear();
        m.openWindow([this](fmLink &w) {
            w.takePicture = [this](const QString &url) {
                m_captures << url;
                if (onCapture)
                    onCapture();
                QImage img(300, 200, QImage::Format_RGB32);
                img.fill(Qt::red);
                return img;
            };
        });
    }

    QString cell(int col, int row) const { return m.w->vSpr->GetText(col, row); }
    QStringList column(int col) const
    {
        QStringList texts;
        for (int row = 1; row <= m.w->vSpr->MaxRows(); ++row)
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
        QCOMPARE(m.w->cbGrp->count(), 3);
        QCOMPARE(m.w->cbGrp->itemText(1), "Blogs");
        QCOMPARE(m.w->cbGrp->currentText(), "*");
        QCOMPARE(Usr::GrpNoOf("BLOGS"), 2);
        // The list's order is the link list's own; the link without a group row is not listed.
        QCOMPARE(column(4), (QStringList {"Delta", "Beta", "Gamma", "Alpha"}));
        QCOMPARE(cell(3, 1), "未分類");
        QVERIFY(m.w->vSpr->isColumnHidden(1)); // the address
        QCOMPARE(m.web->calls.first(), "GoSearch");
        QCOMPARE(m.web->searchPage(), "http://127.0.0.1:9/search");
        QCOMPARE(m.w->iPicSz, qint16(50));
        QVERIFY(m.w->mnRet[1]->isEnabled());
        QVERIFY(!m.w->mnData[0]->isEnabled());

        // One group, then an unknown name lists all groups.
        m.w->cbGrp->setEditText("news");
        m.w->mnSlc_Click(0);
        QCOMPARE(m.w->vSpr->MaxRows(), 2);
        m.w->cbGrp->setEditText("nothing");
        m.w->cmSlc->click();
        QCOMPARE(m.w->vSpr->MaxRows(), 4);
    }

    // A new page shows in black as "追加"; F3 (arriving while the list has the focus) stores what
    // the panel holds with its picture and copy, lists it, and turns the panel to the registered
    // link at once, so a second F3 corrects it. The next visit shows it in blue.
    void newPageIsShownAndRegistered()
    {
        open({}, {{1, "News", 1}});
        const QString url = QStringLiteral("https://example.org/a?id=3&x='q'");
        m.web->complete(url, "A title", "l1\r\nl2");
        QCOMPARE(m.w->mnData[0]->text() + m.w->cmWeb[0]->text(), "追加登録(&W)追加");
        QVERIFY(m.w->mnData[0]->isEnabled() && m.w->txMem->isEnabled());
        QCOMPARE(m.w->txSrt->text() + m.w->txMem->toPlainText(), "100A title\nl1 l2");
        QCOMPARE(m.w->Label1[0]->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        m.w->cbGrp->setEditText("NEWS");
        m.w->txSrt->setText("12.5");
        m.w->vSpr->setFocus();
        QTest::keyClick(m.w->vSpr, Qt::Key_F3);
        QCOMPARE(SqlLines::of("Select nURL, sURL, nGrp, sNam, sMem, gSrt From tURL"),
                 QStringList {"100|" + url + "|1|A title|l1 l2|12.5"});
        QCOMPARE(QImage(path("Pic/100.jpg")).size(), QSize(140, 90));
        QTRY_VERIFY(QFile::exists(path("Arc/100.mhtml")));
        QCOMPARE(column(1) + column(3), (QStringList {"100", "NEWS"})); // the group as typed
        QCOMPARE(m.w->cmWeb[0]->text(), "修正");
        QCOMPARE(m.w->Label1[2]->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        m.w->txMem->setPlainText("Title 2");
        QTest::keyClick(m.w->vSpr, Qt::Key_F3);
        QCOMPARE(SqlLines::of("Select nURL, sNam From tURL"), QStringList {"100|Title 2"});
        QCOMPARE(column(4), QStringList {"Title 2"});
        QCOMPARE(m_captures, QStringList(2, url));

        m.web->complete(url, "Other", "x");
        QCOMPARE(m.w->mnData[0]->text() + m.w->txSrt->text(), "修正登録(&W)12.5");
        QCOMPARE(m.w->txMem->toPlainText(), "Title 2\nx");
        QCOMPARE(m.w->Frame1->linkOnShow(), 100);
    }

    // A typed group that does not exist is made when the user agrees, and offered from then on;
    // otherwise nothing is registered and the panel stays.
    void typedNewGroupIsAskedFor()
    {
        open();
        m.web->complete("http://a/", "A", QString());
        m.w->cbGrp->setEditText("Tech");
        Dialogs::setNextAnswer(false);
        m.w->RgstURL();
        QCOMPARE(Dialogs::shownTexts(), QStringList {"分類「Tech」はありません。作成しますか"});
        QVERIFY(m_captures.isEmpty());
        QCOMPARE(m.w->cbGrp->currentText() + m.w->cmWeb[0]->text(), "Tech追加");
        m.w->RgstURL();
        QCOMPARE(
            SqlLines::of("Select u.nGrp, sGrp, g.gSrt From tURL u, mGrp g Where g.nGrp = u.nGrp"),
            QStringList {"1|Tech|100"});
        QCOMPARE(m.w->cbGrp->findText("Tech"), 1);
        QCOMPARE(m.w->cbGrp->currentText() + cell(3, 1), "TechTech");
    }

    // F3 never locks up: Enter on an empty list leaves registration on, a stored link that
    // redirects completes as another page and ends the wait, and a page that never completes
    // ends it after a bounded time with one message, however often F3 is pressed.
    void registerWaitAlwaysEnds()
    {
        open();
        m.web->complete("http://a/", "A", QString());
        m.w->vSpr->setFocus();
        QTest::keyClick(m.w->vSpr, Qt::Key_Return);
        QTest::keyClick(m.w->vSpr, Qt::Key_F3);
        m.w->OpenRow(1);
        QVERIFY(!m.w->cmWeb[0]->isEnabled());
        QTimer::singleShot(20, m.w.get(), [this] { m.web->complete("https://a/", "A", {}); });
        m.w->RgstURL();
        QCOMPARE(SqlLines::of("Select sURL From tURL"), (QStringList {"http://a/", "https://a/"}));
        m.w->Frame1->setRegisterWait(300);
        m.w->OpenRow(1);
        bool waitCursor = false;
        QTimer::singleShot(20, m.w.get(), [&] {
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
        auto *find = m.w->Frame1->findChild<QLineEdit *>("txFind");
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
        m.w->vSpr->SetActiveRow(2);
        m.w->DelURL();
        find->setFocus();
        QTest::keyClick(find, Qt::Key_A);
        QTRY_COMPARE(column(4), QStringList {"Tail"});
        QTest::keyClick(find, Qt::Key_Escape);
        QCOMPARE(find->text(), QString());
        QCOMPARE(m.w->vSpr->MaxRows(), 3);
    }

    // A new page that is a registered one under another address says so, with the twin's number
    // always whole, and F3 asks naming it.
    void twinWarning()
    {
        const QString title = QString(60, u'長');
        open({{19701, "https://www.example.org/page/", 0, title, 1}});
        m.web->complete("http://example.org/page?utm_source=x", "P", QString());
        const auto *note = m.w->Frame1->findChild<QLabel *>("lbSim");
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
        QVERIFY(!m.w->cmWeb[0]->isEnabled() && !m.w->mnData[0]->isEnabled()
                && !m.w->txMem->isEnabled());
        QCOMPARE(m.w->txMem->toPlainText(),
                 "ﾍﾟｰｼﾞを読み込めませんでした\nhttp://nowhere.invalid/\n"
                 "net::ERR_NAME_NOT_RESOLVED");
        QTest::keyClick(m.w->vSpr, Qt::Key_F3);
        QCOMPARE(SqlLines::of("Select count(*) From tURL"), QStringList {"0"});
        m.web->complete("http://a/404", "Not Found", "404");
        QVERIFY(m.w->cmWeb[0]->isEnabled());
    }

    // Arrow keys, Enter and clicks open rows; a header click opens the active row, not the row
    // the view would select.
    void listKeysAndClicksOpenRows()
    {
        open({{100, "http://a/", 0, "A", 1},
              {101, "http://b/", 0, "B", 2},
              {102, "http://c/", 0, "C", 3}});
        m.w->show();
        m.w->vSpr->setFocus();
        m.w->vSpr->SetActiveRow(1);
        QTest::keyClick(m.w->vSpr, Qt::Key_Down);
        QCOMPARE(lastCall(), "Navigate http://b/");
        QCOMPARE(m.w->vSpr->ActiveRow(), 2);
        QTest::keyClick(m.w->vSpr, Qt::Key_Down);
        QCOMPARE(m.w->vSpr->ActiveRow(), 3);
        const int before = int(m.web->calls.size());
        QTest::keyClick(m.w->vSpr, Qt::Key_Down); // past the last row: nothing opens
        QCOMPARE(int(m.web->calls.size()), before);
        QTest::keyClick(m.w->vSpr, Qt::Key_Return);
        QCOMPARE(lastCall(), "Navigate http://c/");
        QHeaderView *header = m.w->vSpr->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(3) + 5, header->height() / 2));
        QCOMPARE(lastCall(), "Navigate http://c/");
        QCOMPARE(m.w->vSpr->ActiveRow(), 3);
        m.w->vSpr->SetActiveRow(1);
        QTest::keyClick(m.w->vSpr, Qt::Key_Up); // target 0 stands for the active row
        QCOMPARE(lastCall(), "Navigate http://a/");
        QCOMPARE(m.w->vSpr->ActiveRow(), 1);
        const QRect r = m.w->vSpr->visualRect(m.w->vSpr->model()->index(1, 3));
        QTest::mouseClick(m.w->vSpr->viewport(), Qt::LeftButton, {}, r.center());
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

    // The picture scale read from the settings is one the program can take: clamped, and a
    // missing or zero value becomes 50 and is stored.
    void pictureScaleFromSettings_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("scale");
        QTest::newRow("75") << "75" << 75;
        QTest::newRow("too large") << "40000" << 100;
        QTest::newRow("too small") << "-5" << -1;
        QTest::newRow("not a number") << "abc" << 50;
    }
    void pictureScaleFromSettings()
    {
        QFETCH(QString, stored);
        QFETCH(int, scale);
        open();
        m.ini->SetVal("PC_SIZE", stored);
        const std::unique_ptr<fmLink> w = MainWindowFixture::another();
        QVERIFY(w);
        QCOMPARE(int(w->iPicSz), scale);
        QCOMPARE(w->mnRet[3]->isEnabled(), scale != -1);
        w->close();
    }

    // All pictures anew in number order, a link without a group row too; cancel stops the run.
    void batchPictures()
    {
        open({{105, "http://e/", 9, "E", 1},
              {100, "http://a/", 0, "A", 1},
              {101, "http://b/", 0, "B", 1}});
        onCapture = [this] {
            QVERIFY(m.w->progressDialog);
            QVERIFY(m.w->progressDialog->labelText().contains("http://a/"));
            m.w->progressDialog->cancel();
        };
        m.w->PicAll();
        onCapture = nullptr;
        QCOMPARE(m_captures, QStringList {"http://a/"});
        QVERIFY(QFile::exists(path("Pic/100.jpg")));
        QVERIFY(!QFile::exists(path("Pic/101.jpg")));
        m_captures.clear();
        m.w->mnRet_Click(3);
        QCOMPARE(m_captures, (QStringList {"http://a/", "http://b/", "http://e/"}));
        for (const char *name : {"Pic/101.jpg", "Pic/105.jpg"})
            QVERIFY(QFile::exists(path(name)));
    }

    // No picture is taken while pictures are off, nor a copy while "ARC_SAVE" is 0; a picture
    // or a copy that cannot be written is told. The link is registered either way.
    void unwrittenFilesAreTold()
    {
        open();
        m.w->iPicSz = -1;
        Usr::Ini->SetVal("ARC_SAVE", 0);
        m.web->complete("http://a/", "A", QString());
        m.w->RgstURL();
        m.w->iPicSz = 50;
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
        m.w->cbGrp->setEditText("News");
        // Cancelled: nothing written, the browser stays.
        m.web->calls.clear();
        m.w->mnRet_Click(0);
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(Dialogs::shown().first().save.fileName, "News.htm");
        QVERIFY(m.web->calls.isEmpty());
        const QString page = path("Doc/mine");
        Dialogs::setNextFileName(page);
        m.w->mnRet_Click(0);
        QVERIFY(TestFiles::read(page).contains("<a href='http://a/'>A &amp; B</a>"));
        QCOMPARE(lastCall(), "Navigate " + page);

        const QString doc = path("Doc/links.docx");
        Dialogs::setNextFileName(doc);
        m.w->mnRet_Click(1);
        QVERIFY(QFileInfo(doc).size() > 0);
        QCOMPARE(Shell::calls().last().target, doc);
    }

    // Delete (key, menu) acts on the row the user chose, after asking; the next row opens. A
    // failing statement is told and leaves the list as it was.
    void deleteAsksForTheChosenRow()
    {
        open({{100, "http://a/", 0, "A", 1}, {101, "http://b/", 0, "", 2}, {102, "c", 0, "C", 3}});
        m.w->vSpr->setFocus();
        QTest::keyClick(m.w->vSpr, Qt::Key_Delete); // no row chosen since the list was filled
        m.w->mnData_Click(1);
        QVERIFY(Dialogs::shown().isEmpty());
        m.w->vSpr->SetActiveRow(1);
        Dialogs::setNextAnswer(false);
        QTest::keyClick(m.w->vSpr, Qt::Key_Delete);
        QTest::keyClick(m.w->vSpr, Qt::Key_Delete);
        QCOMPARE(Dialogs::shownTexts(), QStringList(2, "「A」を削除します。よろしいですか"));
        QCOMPARE(column(1), (QStringList {"101", "102"}));
        QCOMPARE(lastCall(), "Navigate http://b/");
        Dialogs::clearShown();
        m.w->mnData_Click(1); // no title: named by its address
        QCOMPARE(Dialogs::shownTexts(), QStringList {"「http://b/」を削除します。よろしいですか"});
        exec("Drop Table tURL");
        m.w->mnData_Click(1);
        QCOMPARE(Dialogs::shown().size(), 3);
        QCOMPARE(column(1), QStringList {"102"});
    }

    // A page lookup, a registration or a list fill that fails is told and leaves the panel and
    // the list as they were.
    void failingStatementsLeaveEverythingAsItWas()
    {
        open({{100, "http://a/", 0, "A", 1}});
        m.web->complete("http://new/", "New", QString());
        const QString panel = m.w->txMem->toPlainText();
        exec("Drop Table tURL");
        m.web->complete("http://other/", "Other", "x");
        m.w->RgstURL();
        m.w->mnSlc_Click(0);
        QCOMPARE(Dialogs::shown().size(), 3);
        QCOMPARE(m.w->txMem->toPlainText(), panel);
        QCOMPARE(column(1), QStringList {"100"});
    }

    void browserCommands()
    {
        open();
        m.web->calls.clear();
        for (const int key : {Qt::Key_F8, Qt::Key_F9, Qt::Key_F11, Qt::Key_F5})
            m.w->Form_KeyDown(key);
        for (const int item : {0, 3, 4, 5, 8, 2}) // 2 is a separator: nothing
            m.w->mnDisp_Click(item);
        QCOMPARE(m.web->calls,
                 (QStringList {"GoBack", "GoForward", "GoSearch", "ExecWB 22 0", "GoHome",
                               "ExecWB 8 0", "ExecWB 7 0", "ExecWB 6 0", "ExecWB 4 0"}));
        // The keys reach the window from the list as well.
        m.web->calls.clear();
        m.w->vSpr->setFocus();
        QTest::keyClick(m.w->vSpr, Qt::Key_F8);
        QTest::keyClick(m.w->txMem, Qt::Key_F11);
        QCOMPARE(m.web->calls, (QStringList {"GoBack", "GoSearch"}));
        QCOMPARE(m.w->mnDisp[1]->text(), "検索ﾍﾟｰｼﾞへ移動\tF11");
    }

    void clipboardCopies()
    {
        open();
        QClipboard *cb = QGuiApplication::clipboard();
        cb->setText("before");
        m.w->mnDisp_Click(10); // nothing loaded: the clipboard stays
        QCOMPARE(cb->text(), "before");
        QVERIFY(Dialogs::shown().isEmpty());
        m.web->complete("http://127.0.0.1/page", "P", "at load");
        // The page's scripts changed it since: the copies take it as it is now.
        m.web->liveText = QString();
        m.web->liveHtml = "<p>x</p>";
        m.w->mnDisp_Click(10);
        QCOMPARE(cb->text(), "http://127.0.0.1/page");
        m.w->mnDisp_Click(11);
        QTRY_COMPARE(cb->text(), QString());
        m.w->mnDisp_Click(12);
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
        m.w->Splitter->setSizes({m.w->Frame1->height(), 300, 200});
        const QList<int> panes = m.w->Splitter->sizes();
        m.w->close();
        QVERIFY(m.ini->groupText().contains("<WND_POS>30,40,700,500</WND_POS>"));
        std::unique_ptr<fmLink> again = MainWindowFixture::another();
        QVERIFY(again);
        QCOMPARE(again->frameGeometry().topLeft(), QPoint(30, 40));
        QCOMPARE(again->size(), QSize(700, 500));
        QCOMPARE(again->Splitter->sizes(), panes);
        again->close();
        // A place on no screen any more: the work area again.
        m.ini->SetVal("WND_POS", "-5000,-5000,900,600");
        again = MainWindowFixture::another();
        QVERIFY(again);
        QCOMPARE(again->frameGeometry(), area);
        again->close();
        // Kept on a larger screen, or before the scale grew: pulled into the work area.
        m.ini->SetVal("WND_POS", "30,40,3000,2000");
        again = MainWindowFixture::another();
        QVERIFY(again);
        QCOMPARE(again->frameGeometry(), area);
        again->close();
    }

    // The list's pop-up menu shows the active row's copy with scripts off, under a caption
    // naming it; the next page that is not a copy takes the caption back.
    void savedCopyFromThePopUp()
    {
        open({{100, "http://a/", 0, "A", 1}, {101, "http://b/", 0, "B", 2}});
        const QString copy = path("Arc/101.mhtml");
        TestFiles::write(copy, "");
        QVERIFY(m.w->mnJob[3]->actions().contains(m.w->mnData[5]));
        QCOMPARE(m.w->mnData[5]->text(), "保存したﾍﾟｰｼﾞを表示");
        m.w->vSpr->SetActiveRow(1);
        m.web->calls.clear();
        m.w->mnData[5]->trigger();
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {"保存したﾍﾟｰｼﾞがありません: "
                              + QDir::toNativeSeparators(path("Arc/100.mhtml"))});
        QVERIFY(m.web->calls.isEmpty());
        m.w->vSpr->SetActiveRow(2);
        m.w->mnData[5]->trigger();
        QCOMPARE(m.web->calls, QStringList {"Navigate " + copy});
        QVERIFY(!m.web->scriptsEnabled());
        const auto savedCaption = [this] {
            const QString title = m.w->windowTitle();
            return title.startsWith("保存したﾍﾟｰｼﾞ (") && title.endsWith("): http://b/");
        };
        QVERIFY2(savedCaption(), qPrintable(m.w->windowTitle()));
        // The copy itself completes: nothing of it can be registered, the caption stays.
        m.web->complete(QUrl::fromLocalFile(copy).toString(), "B", QString());
        QVERIFY(!m.w->cmWeb[0]->isEnabled());
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
            return m.w->cmWeb[3]->mapTo(m.w.get(), QPoint(0, 0)).x();
        };
        const int right = rightX(1200);
        QVERIFY(right > m.w->cmWeb[0]->mapTo(m.w.get(), QPoint(0, 0)).x());
        QCOMPARE(rightX(1600) - right, 400); // anchored to the right edge
        QVERIFY(m.w->txMem->width() > 600);
    }
};

QTEST_MAIN(TestFmLink)
#include "tst_fmlink.moc"
