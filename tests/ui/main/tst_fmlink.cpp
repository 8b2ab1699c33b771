#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "platform/widgets/Grid.h"
#include "settings/yIni.h"
#include "store/Sql.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/FakeBrowser.h"
#include "support/SqlSteps.h"
#include "ui/main/LinkListView.h"
#include "ui/main/RegistrationPanel.h"
#include "ui/main/fmLink.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

// The main window over a real database in a temporary folder and a fake browser.
class TestFmLink : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<yIni> m_ini;
    std::unique_ptr<fmLink> m_w;
    FakeBrowser *m_web = nullptr;
    QStringList m_captures;
    std::function<void()> onCapture;

    static Sql::Rows rows(const QString &sql) { return SqlSteps::rows(sql); }
    static void exec(const QString &sql, const QVariantList &values = {})
    {
        SqlSteps::exec(sql, values);
    }

    // A window over a database holding the given links (number, address, group, title, sort).
    void open(const QList<QVariantList> &links = {}, const QList<QVariantList> &groups = {})
    {
        m_w.reset();
        Store::CloseDb();
        m_tmp = std::make_unique<QTemporaryDir>();
        Usr::sDataPh = m_tmp->path() + u'/';
        QDir().mkpath(Usr::sDataPh + QStringLiteral("Pic"));
        QVERIFY(Store::OpenDb(Usr::sDataPh + QStringLiteral("dbLink.mdb")));
        for (const QVariantList &g : groups)
            exec(Sql::kInsertGroup, g);
        for (const QVariantList &l : links)
            exec(Sql::kInsertLink, {l[0], l[1], l[2], l[3], QString(), l[4]});
        Store::CloseDb();
        m_ini = std::make_unique<yIni>();
        bool ok = false;
        m_ini->GetTxt(Usr::sDataPh + QStringLiteral("User.xml"), ok);
        m_ini->GetGtx(QStringLiteral("画面"));
        Usr::Ini = m_ini.get();
        m_w = std::make_unique<fmLink>([this](QWidget *p) {
            m_web = new FakeBrowser(p);
            return m_web;
        });
        m_captures.clear();
        m_w->takePicture = [this](const QString &url) {
            m_captures << url;
            if (onCapture)
                onCapture();
            QImage img(300, 200, QImage::Format_RGB32);
            img.fill(Qt::red);
            return img;
        };
        QString error;
        QVERIFY2(m_w->Form_Load(&error), qPrintable(error));
        Dialogs::clearShown();
    }

    QString cell(int col, int row) const { return m_w->vSpr->GetText(col, row); }

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        Shell::enableTestMode();
        qputenv("LINKWELL_SEARCH_URL", "http://127.0.0.1:9/search");
    }
    void cleanup()
    {
        m_w.reset();
        Store::CloseDb();
        Usr::Ini = nullptr;
    }

    void loadFillsSelectorAndList()
    {
        open({{100, "http://a/", 1, "Alpha", 5},
              {101, "http://b/", 2, "Beta", 1},
              {102, "http://c/", 1, "Gamma", 1},
              {103, "http://nogroup/", 9, "Lost", 1},
              {104, "http://d/", 0, "Delta", 1}},
             {{1, "News", 20}, {2, "Blogs", 10}});
        QCOMPARE(m_w->cbGrp->count(), 3);
        QCOMPARE(m_w->cbGrp->itemText(0), QStringLiteral("*"));
        QCOMPARE(m_w->cbGrp->itemText(1), QStringLiteral("Blogs"));
        QCOMPARE(m_w->cbGrp->currentText(), QStringLiteral("*"));
        QCOMPARE(Usr::sGrpList, QStringLiteral("Blogs\t2\rNews\t1\r"));
        // Group 0 first (sort 0), then by group sort key, then link sort key; the link without
        // a group row is not listed.
        QCOMPARE(m_w->vSpr->MaxRows(), 4);
        QCOMPARE(cell(4, 1), QStringLiteral("Delta"));
        QCOMPARE(cell(3, 1), QStringLiteral("未分類"));
        QCOMPARE(cell(4, 2), QStringLiteral("Beta"));
        QCOMPARE(cell(4, 3), QStringLiteral("Gamma"));
        QCOMPARE(cell(4, 4), QStringLiteral("Alpha"));
        QVERIFY(m_w->vSpr->isColumnHidden(1)); // the address
        QCOMPARE(m_web->calls.first(), QStringLiteral("GoSearch"));
        QCOMPARE(m_web->searchPage(), QStringLiteral("http://127.0.0.1:9/search"));
        QCOMPARE(m_w->iPicSz, qint16(50));
        QVERIFY(m_w->mnRet[1]->isEnabled());
        QVERIFY(!m_w->mnData[0]->isEnabled());

        // One group, then an unknown name lists all groups.
        m_w->cbGrp->setEditText(QStringLiteral("news"));
        m_w->mnSlc_Click(0);
        QCOMPARE(m_w->vSpr->MaxRows(), 2);
        m_w->cbGrp->setEditText(QStringLiteral("nothing"));
        m_w->cmSlc->click();
        QCOMPARE(m_w->vSpr->MaxRows(), 4);
    }

    void newPageIsShownAndRegistered()
    {
        open({}, {{1, "News", 1}});
        m_web->complete(QStringLiteral("https://example.org/a?id=3&x='q'"),
                        QStringLiteral("A title"),
                        QStringLiteral("l1\r\nl2\r\n\r\nl4\r\nl5\r\nl6"));
        QCOMPARE(m_w->mnData[0]->text(), QStringLiteral("追加登録(&W)"));
        QCOMPARE(m_w->cmWeb[0]->text(), QStringLiteral("追加"));
        QVERIFY(m_w->mnData[0]->isEnabled()); // https counts as registrable
        QVERIFY(m_w->txMem->isEnabled());
        QCOMPARE(m_w->txSrt->text(), QStringLiteral("100"));
        QCOMPARE(m_w->txMem->toPlainText(), QStringLiteral("A title\nl1 l2  l4"));
        QCOMPARE(m_w->Label1[0]->palette().color(QPalette::WindowText), QColor(0, 0, 0));

        m_w->cbGrp->setEditText(QStringLiteral("NEWS"));
        m_w->txSrt->setText(QStringLiteral("12.5"));
        m_w->txMem->setPlainText(QStringLiteral("Title line\n\nfirst\nsecond\n\n"));
        // F3 arrives at the window while the list has the focus.
        m_w->vSpr->setFocus();
        QTest::keyClick(m_w->vSpr, Qt::Key_F3);
        const Sql::Rows stored
            = rows(QStringLiteral("Select nURL, sURL, nGrp, sNam, sMem, gSrt From tURL"));
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0][0].toInt(), 100);
        QCOMPARE(stored[0][1].toString(), QStringLiteral("https://example.org/a?id=3&x='q'"));
        QCOMPARE(stored[0][2].toInt(), 1);
        QCOMPARE(stored[0][3].toString(), QStringLiteral("Title line"));
        QCOMPARE(stored[0][4].toString(), QStringLiteral("first\r\nsecond"));
        QCOMPARE(stored[0][5].toDouble(), 12.5);
        QCOMPARE(m_captures, QStringList {QStringLiteral("https://example.org/a?id=3&x='q'")});
        QCOMPARE(QImage(Usr::sDataPh + QStringLiteral("Pic/100.jpg")).size(), QSize(140, 90));
        QCOMPARE(m_w->vSpr->MaxRows(), 1);
        QCOMPARE(cell(1, 1), QStringLiteral("100"));
        QCOMPARE(cell(3, 1), QStringLiteral("NEWS")); // as typed
        QCOMPARE(cell(5, 1), QStringLiteral("first\r\nsecond"));

        // The next visit finds it, with its own title and description.
        m_web->complete(QStringLiteral("https://example.org/a?id=3&x='q'"), QStringLiteral("Other"),
                        QStringLiteral("x"));
        QCOMPARE(m_w->cmWeb[0]->text(), QStringLiteral("修正"));
        QCOMPARE(m_w->mnData[0]->text(), QStringLiteral("修正登録(&W)"));
        QCOMPARE(m_w->txSrt->text(), QStringLiteral("12.5"));
        QCOMPARE(m_w->txMem->toPlainText(), QStringLiteral("Title line\nfirst second"));
        QCOMPARE(m_w->Label1[2]->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(m_w->cbGrp->currentText(), QStringLiteral("NEWS"));
        QCOMPARE(m_w->Frame1->nCurURL, 100);
    }

    void correctionNeedsTheMatchingRow()
    {
        open({{100, "http://a/", 0, "A", 1}, {101, "http://b/", 0, "B", 2}});
        m_w->OpenRow(1);
        QCOMPARE(m_web->calls.last(), QStringLiteral("Navigate http://a/"));
        QCOMPARE(m_w->windowTitle(), QStringLiteral("http://a/"));
        QVERIFY(!m_w->cmWeb[0]->isEnabled());
        m_web->complete(QStringLiteral("http://a/"), QStringLiteral("A"), QString());
        QVERIFY(m_w->cmWeb[0]->isEnabled());
        m_w->txMem->setPlainText(QStringLiteral("A corrected"));
        // The list's active row moves to another link: nothing is saved.
        m_w->vSpr->SetActiveRow(2);
        m_w->RgstURL();
        QCOMPARE(rows(QStringLiteral("Select sNam From tURL Where nURL=100"))[0][0].toString(),
                 QStringLiteral("A"));
        QVERIFY(m_captures.isEmpty());
        // On its own row the correction is stored and shown.
        m_w->vSpr->SetActiveRow(1);
        m_w->RgstURL();
        QCOMPARE(rows(QStringLiteral("Select sNam From tURL Where nURL=100"))[0][0].toString(),
                 QStringLiteral("A corrected"));
        QCOMPARE(cell(4, 1), QStringLiteral("A corrected"));
        QCOMPARE(m_w->vSpr->MaxRows(), 2);
    }

    // F3 never locks up: Enter on an empty list leaves registration on, a stored link that
    // redirects completes as another page and ends the wait, and a page that never completes
    // ends it after a bounded time with one message, however often F3 is pressed.
    void registerWaitAlwaysEnds()
    {
        open();
        m_web->complete(QStringLiteral("http://a/"), QStringLiteral("A"), QString());
        m_w->vSpr->setFocus();
        QTest::keyClick(m_w->vSpr, Qt::Key_Return);
        QVERIFY(m_w->cmWeb[0]->isEnabled());
        QTest::keyClick(m_w->vSpr, Qt::Key_F3);
        QCOMPARE(rows(QStringLiteral("Select sURL From tURL")),
                 (Sql::Rows {{QStringLiteral("http://a/")}}));

        m_w->OpenRow(1);
        QVERIFY(!m_w->cmWeb[0]->isEnabled());
        QTimer::singleShot(20, m_w.get(), [this] {
            m_web->complete(QStringLiteral("https://a/"), QStringLiteral("A"), QString());
        });
        m_w->RgstURL();
        QCOMPARE(rows(QStringLiteral("Select sURL From tURL Where nURL=101")),
                 (Sql::Rows {{QStringLiteral("https://a/")}}));

        m_w->Frame1->registerWaitMs = 300;
        m_w->OpenRow(1);
        bool waitCursor = false;
        QTimer::singleShot(20, m_w.get(), [&] {
            waitCursor = QApplication::overrideCursor()
                && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            m_w->RgstURL(); // a second F3 during the wait
        });
        Dialogs::clearShown();
        m_w->RgstURL();
        QVERIFY(waitCursor);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {QStringLiteral("ﾍﾟｰｼﾞのﾀﾞｳﾝﾛｰﾄﾞ中です　終了までお待ち下さい")});
        QCOMPARE(rows(QStringLiteral("Select count(*) From tURL")), (Sql::Rows {{2}}));
    }

    // Typing filters the list over the whole collection, in the list's order; Escape gives the
    // group selector's list back. Ctrl+F puts the focus in the box.
    void searchAsYouType()
    {
        open({{100, "http://a/", 1, "Qt 入門", 2},
              {101, "http://b/", 2, "テスト", 1},
              {102, "http://c/", 1, "Other", 1}},
             {{1, "News", 20}, {2, "Blogs", 10}});
        m_w->show();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        QTest::keyClick(m_w.get(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(m_w->Frame1->txFind->hasFocus());
        for (const QChar c : QStringLiteral("ﾃｽﾄ")) // typed as a Japanese input method sends it
            QTest::sendKeyEvent(QTest::Click, m_w->Frame1->txFind, Qt::Key_unknown, QString(c), {});
        QTRY_COMPARE(m_w->vSpr->MaxRows(), 1);
        QCOMPARE(cell(1, 1), QStringLiteral("101"));
        m_w->Frame1->txFind->clear();
        QTest::keyClicks(m_w->Frame1->txFind, QStringLiteral("t"));
        QTRY_COMPARE(m_w->vSpr->MaxRows(), 3);
        QCOMPARE(cell(1, 1), QStringLiteral("101")); // Blogs before News
        // A registration is found by the next key, and a deleted link is gone.
        m_web->complete(QStringLiteral("http://new/"), QStringLiteral("Tail"), QString());
        m_w->RgstURL();
        m_w->vSpr->SetActiveRow(2);
        m_w->DelURL();
        m_w->Frame1->txFind->setFocus();
        QTest::keyClick(m_w->Frame1->txFind, Qt::Key_A);
        QTRY_COMPARE(m_w->vSpr->MaxRows(), 1);
        QCOMPARE(cell(4, 1), QStringLiteral("Tail"));
        QTest::keyClick(m_w->Frame1->txFind, Qt::Key_Escape);
        QCOMPARE(m_w->Frame1->txFind->text(), QString());
        QCOMPARE(m_w->vSpr->MaxRows(), 3);
    }

    // A new page that is a registered one under another address says so, and F3 asks.
    void twinWarning()
    {
        open({{100, "https://www.example.org/page/", 0, "Page", 1}});
        m_web->complete(QStringLiteral("http://example.org/page?utm_source=x"), QStringLiteral("P"),
                        QString());
        QCOMPARE(m_w->Frame1->lbSim->text(), QStringLiteral("類似登録あり: 100 Page"));
        Dialogs::setNextAnswer(false);
        m_w->RgstURL();
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {QStringLiteral("類似のﾘﾝｸが登録済みです。追加しますか")});
        QCOMPARE(rows(QStringLiteral("Select count(*) From tURL")), (Sql::Rows {{1}}));
        m_w->RgstURL(); // OK this time
        QCOMPARE(rows(QStringLiteral("Select count(*) From tURL")), (Sql::Rows {{2}}));
        m_web->complete(QStringLiteral("http://example.org/page2"), QStringLiteral("P2"),
                        QString());
        QCOMPARE(m_w->Frame1->lbSim->text(), QString());
    }

    // A load that failed shows why and cannot be registered; a page the server answered can.
    void failedLoadIsNotRegistrable()
    {
        open();
        m_web->fail(QStringLiteral("http://nowhere.invalid/"),
                    QStringLiteral("net::ERR_NAME_NOT_RESOLVED"),
                    QStringLiteral("This site can't be reached"));
        QVERIFY(!m_w->cmWeb[0]->isEnabled() && !m_w->mnData[0]->isEnabled()
                && !m_w->txMem->isEnabled());
        QCOMPARE(m_w->txMem->toPlainText(),
                 QStringLiteral("ﾍﾟｰｼﾞを読み込めませんでした\nhttp://nowhere.invalid/\n"
                                "net::ERR_NAME_NOT_RESOLVED"));
        QTest::keyClick(m_w->vSpr, Qt::Key_F3);
        QCOMPARE(rows(QStringLiteral("Select count(*) From tURL")), (Sql::Rows {{0}}));
        m_web->complete(QStringLiteral("http://a/404"), QStringLiteral("Not Found"),
                        QStringLiteral("404"));
        QVERIFY(m_w->cmWeb[0]->isEnabled());
    }

    // A header click opens the active row, not the row the view would select.
    void headerClickOpensTheActiveRow()
    {
        open({{100, "http://a/", 0, "A", 1},
              {101, "http://b/", 0, "B", 2},
              {102, "http://c/", 0, "C", 3}});
        m_w->show();
        m_w->vSpr->SetActiveRow(3);
        QHeaderView *header = m_w->vSpr->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(3) + 5, header->height() / 2));
        QCOMPARE(m_web->calls.last(), QStringLiteral("Navigate http://c/"));
        QCOMPARE(m_w->vSpr->ActiveRow(), 3);
    }

    // Only web pages, files and FTP are opened from the list: a stored script never runs.
    void scriptAddressesAreNotOpened()
    {
        open({{100, "javascript:alert(1)", 0, "J", 1},
              {101, " JavaScript:x", 0, "K", 2},
              {102, "ftp://f/", 0, "F", 3}});
        m_web->calls.clear();
        m_w->OpenRow(1);
        m_w->OpenRow(2);
        QVERIFY(m_web->calls.isEmpty());
        QCOMPARE(m_w->windowTitle(), QStringLiteral(" JavaScript:x"));
        m_w->OpenRow(3);
        QCOMPARE(m_web->calls, QStringList {QStringLiteral("Navigate ftp://f/")});
    }

    // A picture replaces the stored one only once its link is saved.
    void pictureFollowsTheStatement()
    {
        open({{100, "http://a/", 0, "A", 1}});
        const QString pic = Usr::sDataPh + QStringLiteral("Pic/100.jpg");
        QFile f(pic);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("old") == 3);
        f.close();
        exec(QStringLiteral(
            "Create Trigger r1 Before Update On tURL Begin Select Raise(Abort, 'refused'); End"));
        exec(QStringLiteral(
            "Create Trigger r2 Before Insert On tURL Begin Select Raise(Abort, 'refused'); End"));
        m_w->OpenRow(1);
        m_web->complete(QStringLiteral("http://a/"), QStringLiteral("A"), QString());
        m_w->RgstURL();
        QCOMPARE(m_captures.size(), 1);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
        f.close();
        m_web->complete(QStringLiteral("http://new/"), QStringLiteral("N"), QString());
        m_w->RgstURL();
        QVERIFY(!QFile::exists(Usr::sDataPh + QStringLiteral("Pic/101.jpg")));
        QCOMPARE(Dialogs::shown().size(), 2);
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
        m_ini->SetVal(QStringLiteral("PC_SIZE"), stored);
        fmLink w([](QWidget *p) { return new FakeBrowser(p); });
        QString error;
        QVERIFY(w.Form_Load(&error));
        QCOMPARE(int(w.iPicSz), scale);
        QCOMPARE(w.mnRet[3]->isEnabled(), scale != -1);
        w.close();
    }

    void picturesOffTakeNone()
    {
        open();
        m_w->iPicSz = -1;
        m_web->complete(QStringLiteral("http://a/"), QStringLiteral("A"), QString());
        m_w->RgstURL();
        QVERIFY(m_captures.isEmpty());
        QCOMPARE(rows(QStringLiteral("Select nURL From tURL")).size(), 1);
    }

    void batchPicturesInNumberOrder()
    {
        // 105 has no group row and is captured all the same.
        open({{105, "http://e/", 9, "E", 1},
              {100, "http://a/", 0, "A", 1},
              {101, "http://b/", 0, "B", 1}});
        m_w->mnRet_Click(3);
        QCOMPARE(m_captures,
                 (QStringList {QStringLiteral("http://a/"), QStringLiteral("http://b/"),
                               QStringLiteral("http://e/")}));
        for (int n : {100, 101, 105})
            QVERIFY(QFile::exists(Usr::sDataPh + QStringLiteral("Pic/%1.jpg").arg(n)));
    }

    void batchRunCanBeCancelled()
    {
        open({{100, "http://a/", 0, "A", 1},
              {101, "http://b/", 0, "B", 1},
              {102, "http://c/", 0, "C", 1}});
        onCapture = [this] {
            QVERIFY(m_w->progressDialog);
            QVERIFY(m_w->progressDialog->labelText().contains(QStringLiteral("http://a/")));
            m_w->progressDialog->cancel();
        };
        m_w->PicAll();
        onCapture = nullptr;
        QCOMPARE(m_captures, QStringList {QStringLiteral("http://a/")});
        QVERIFY(QFile::exists(Usr::sDataPh + QStringLiteral("Pic/100.jpg")));
        QVERIFY(!QFile::exists(Usr::sDataPh + QStringLiteral("Pic/101.jpg")));
    }

    void pictureScales_data()
    {
        QTest::addColumn<int>("scale");
        QTest::addColumn<bool>("taken");
        QTest::newRow("-1") << -1 << false;
        QTest::newRow("9") << 9 << false;
        QTest::newRow("101") << 101 << false;
        QTest::newRow("100") << 100 << true;
        QTest::newRow("32") << 32 << true;
    }
    void pictureScales()
    {
        QFETCH(int, scale);
        QFETCH(bool, taken);
        open();
        m_w->iPicSz = qint16(scale);
        m_w->SavePic(QStringLiteral("http://a/"), 7);
        QCOMPARE(m_captures.size(),
                 taken ? 1 : 0); // no capture window for a scale without pictures
        QCOMPARE(QFile::exists(Usr::sDataPh + QStringLiteral("Pic/7.jpg")), taken);
    }

    void failingPictureSaveKeepsTheEarlierOne()
    {
        open();
        const QString pic = Usr::sDataPh + QStringLiteral("Pic/7.jpg");
        m_w->SavePic(QStringLiteral("http://a/"), 7);
        QFile f(pic);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        // The picture folder is replaced by a file: the new picture cannot be written.
        QVERIFY(QDir(Usr::sDataPh + QStringLiteral("Pic"))
                    .rename(QStringLiteral("7.jpg"), QStringLiteral("../keep.jpg")));
        QVERIFY(QDir().rmdir(Usr::sDataPh + QStringLiteral("Pic")));
        QFile blocker(Usr::sDataPh + QStringLiteral("Pic"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m_w->SavePic(QStringLiteral("http://a/"), 7);
        QCOMPARE(Dialogs::shown().size(), 1);
        QFile kept(Usr::sDataPh + QStringLiteral("keep.jpg"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), before);
    }

    void outputsTakeWhatTheListShows()
    {
        open({{100, "http://a/", 1, "A & B", 1}, {101, "http://b/", 1, "B", 2}}, {{1, "News", 1}});
        m_w->cbGrp->setEditText(QStringLiteral("News"));
        // Cancelled: nothing written, the browser stays.
        m_web->calls.clear();
        m_w->mnRet_Click(0);
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(Dialogs::shown().first().save.fileName, QStringLiteral("News.htm"));
        QVERIFY(m_web->calls.isEmpty());
        const QString page = Usr::sDataPh + QStringLiteral("Doc/mine");
        QDir().mkpath(Usr::sDataPh + QStringLiteral("Doc"));
        Dialogs::setNextFileName(page);
        m_w->mnRet_Click(0);
        QFile f(page);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray html = f.readAll();
        QVERIFY(html.contains("<a href='http://a/'>A &amp; B</a>"));
        QCOMPARE(m_web->calls.last(), QStringLiteral("Navigate ") + page);

        const QString doc = Usr::sDataPh + QStringLiteral("Doc/links.docx");
        Dialogs::setNextFileName(doc);
        m_w->mnRet_Click(1);
        QVERIFY(QFileInfo(doc).size() > 0);
        QCOMPARE(Shell::calls().last().target, doc);
    }

    void listKeysOpenRows()
    {
        open({{100, "http://a/", 0, "A", 1},
              {101, "http://b/", 0, "B", 2},
              {102, "http://c/", 0, "C", 3}});
        m_w->vSpr->setFocus();
        m_w->vSpr->SetActiveRow(1);
        QTest::keyClick(m_w->vSpr, Qt::Key_Down);
        QCOMPARE(m_web->calls.last(), QStringLiteral("Navigate http://b/"));
        QCOMPARE(m_w->vSpr->ActiveRow(), 2);
        QTest::keyClick(m_w->vSpr, Qt::Key_Down);
        QCOMPARE(m_w->vSpr->ActiveRow(), 3);
        const int before = int(m_web->calls.size());
        QTest::keyClick(m_w->vSpr, Qt::Key_Down); // past the last row: nothing opens
        QCOMPARE(int(m_web->calls.size()), before);
        QTest::keyClick(m_w->vSpr, Qt::Key_Return);
        QCOMPARE(m_web->calls.last(), QStringLiteral("Navigate http://c/"));
        m_w->vSpr->SetActiveRow(1);
        QTest::keyClick(m_w->vSpr, Qt::Key_Up); // target 0 stands for the active row
        QCOMPARE(m_web->calls.last(), QStringLiteral("Navigate http://a/"));
        QCOMPARE(m_w->vSpr->ActiveRow(), 1);
        // A click opens its row.
        const QRect r = m_w->vSpr->visualRect(m_w->vSpr->model()->index(1, 3));
        QTest::mouseClick(m_w->vSpr->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(m_web->calls.last(), QStringLiteral("Navigate http://b/"));
    }

    void deleteRemovesRowAndPicture()
    {
        open({{100, "http://a/", 0, "A", 1}, {101, "http://b/", 0, "B", 2}});
        QFile pic(Usr::sDataPh + QStringLiteral("Pic/100.jpg"));
        QVERIFY(pic.open(QIODevice::WriteOnly));
        pic.close();
        m_w->vSpr->SetActiveRow(1);
        m_w->vSpr->setFocus();
        QTest::keyClick(m_w->vSpr, Qt::Key_Delete);
        QCOMPARE(rows(QStringLiteral("Select nURL From tURL")).size(), 1);
        QVERIFY(!pic.exists());
        QCOMPARE(m_w->vSpr->MaxRows(), 1);
        QCOMPARE(m_web->calls.last(), QStringLiteral("Navigate http://b/"));
        // Deleting the only row opens nothing.
        const int before = int(m_web->calls.size());
        m_w->mnData_Click(1);
        QCOMPARE(m_w->vSpr->MaxRows(), 0);
        QCOMPARE(int(m_web->calls.size()), before);
        m_w->mnData_Click(1); // an empty list: nothing
        QCOMPARE(rows(QStringLiteral("Select nURL From tURL")).size(), 0);
    }

    void failingStatementsLeaveEverythingAsItWas()
    {
        open({{100, "http://a/", 0, "A", 1}});
        m_web->complete(QStringLiteral("http://new/"), QStringLiteral("New"), QString());
        const QString panel = m_w->txMem->toPlainText();
        exec(QStringLiteral("Drop Table tURL"));
        m_web->complete(QStringLiteral("http://other/"), QStringLiteral("Other"),
                        QStringLiteral("x"));
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(m_w->txMem->toPlainText(), panel);
        QCOMPARE(m_w->Frame1->sCurURL, QStringLiteral("http://new/"));
        Dialogs::clearShown();
        m_w->RgstURL();
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(m_w->vSpr->MaxRows(), 1);
        QCOMPARE(cell(1, 1), QStringLiteral("100"));
        Dialogs::clearShown();
        m_w->mnData_Click(1);
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(m_w->vSpr->MaxRows(), 1);
        Dialogs::clearShown();
        m_w->mnSlc_Click(0);
        QCOMPARE(m_w->vSpr->MaxRows(), 1);
    }

    void browserCommands()
    {
        open();
        m_web->calls.clear();
        m_w->Form_KeyDown(Qt::Key_F8);
        m_w->Form_KeyDown(Qt::Key_F9);
        m_w->Form_KeyDown(Qt::Key_F11);
        m_w->Form_KeyDown(Qt::Key_F5);
        m_w->mnDisp_Click(0);
        m_w->mnDisp_Click(3);
        m_w->mnDisp_Click(4);
        m_w->mnDisp_Click(5);
        m_w->mnDisp_Click(8);
        m_w->mnDisp_Click(2); // a separator does nothing
        QCOMPARE(m_web->calls,
                 (QStringList {QStringLiteral("GoBack"), QStringLiteral("GoForward"),
                               QStringLiteral("GoSearch"), QStringLiteral("ExecWB 22 0"),
                               QStringLiteral("GoHome"), QStringLiteral("ExecWB 8 0"),
                               QStringLiteral("ExecWB 7 0"), QStringLiteral("ExecWB 6 0"),
                               QStringLiteral("ExecWB 4 0")}));
        // The keys reach the window from the list as well.
        m_web->calls.clear();
        m_w->vSpr->setFocus();
        QTest::keyClick(m_w->vSpr, Qt::Key_F8);
        QTest::keyClick(m_w->txMem, Qt::Key_F11);
        QCOMPARE(m_web->calls,
                 (QStringList {QStringLiteral("GoBack"), QStringLiteral("GoSearch")}));
        QCOMPARE(m_w->mnDisp[1]->text(), QStringLiteral("検索ﾍﾟｰｼﾞへ移動\tF11"));
    }

    void clipboardCopies()
    {
        open();
        QClipboard *cb = QGuiApplication::clipboard();
        cb->setText(QStringLiteral("before"));
        m_w->mnDisp_Click(10); // nothing loaded: the clipboard stays
        QCOMPARE(cb->text(), QStringLiteral("before"));
        QVERIFY(Dialogs::shown().isEmpty());
        m_web->complete(QStringLiteral("http://127.0.0.1/page"), QStringLiteral("P"),
                        QStringLiteral("at load"));
        // The page's scripts changed it since: the copies take it as it is now.
        m_web->liveText = QString();
        m_web->liveHtml = QStringLiteral("<p>x</p>");
        m_w->mnDisp_Click(10);
        QCOMPARE(cb->text(), QStringLiteral("http://127.0.0.1/page"));
        m_w->mnDisp_Click(11);
        QTRY_COMPARE(cb->text(), QString());
        m_w->mnDisp_Click(12);
        QTRY_COMPARE(cb->text(), QStringLiteral("<p>x</p>"));
        QCOMPARE(Dialogs::shownTexts(), QStringList(3, QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰしました")));
    }

    // The window comes back where it was, with its panes; the first start covers the work area
    // with its frame, not with its client area.
    void placeIsRemembered()
    {
        open();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(m_w->frameGeometry(), area);
        m_w->resize(900, 600);
        m_w->move(30, 40);
        m_w->Splitter->setSizes({m_w->Frame1->height(), 300, 200});
        const QList<int> panes = m_w->Splitter->sizes();
        m_w->close();
        QVERIFY(m_ini->groupText().contains(QStringLiteral("<WND_POS>30,40,900,600</WND_POS>")));
        fmLink again([](QWidget *p) { return new FakeBrowser(p); });
        QString error;
        QVERIFY2(again.Form_Load(&error), qPrintable(error));
        QCOMPARE(again.frameGeometry().topLeft(), QPoint(30, 40));
        QCOMPARE(again.size(), QSize(900, 600));
        QCOMPARE(again.Splitter->sizes(), panes);
        again.close();
        // A place on no screen any more: the work area again.
        m_ini->SetVal(QStringLiteral("WND_POS"), QStringLiteral("-5000,-5000,900,600"));
        fmLink third([](QWidget *p) { return new FakeBrowser(p); });
        QVERIFY(third.Form_Load(&error));
        QCOMPARE(third.frameGeometry(), area);
        third.close();
    }

    // F3 keeps a copy of a new page, and of a registered one that has none yet; "ARC_SAVE" 0
    // keeps none. A copy that cannot be made is told, and the link is registered all the same.
    void registrationKeepsACopy()
    {
        open({}, {{1, "News", 1}});
        QDir().mkpath(Usr::sDataPh + QStringLiteral("Arc"));
        const QString copy100 = Usr::sDataPh + QStringLiteral("Arc/100.mhtml");
        m_web->complete(QStringLiteral("http://a/"), QStringLiteral("A"), QString());
        m_w->RgstURL();
        QTRY_VERIFY(QFile::exists(copy100));
        m_web->calls.clear();
        m_web->complete(QStringLiteral("http://a/"), QStringLiteral("A"), QString());
        m_w->RgstURL(); // a correction: the copy is there already
        QVERIFY(!m_web->calls.join(u' ').contains(QStringLiteral("saveArchive")));
        QVERIFY(QFile::remove(copy100));
        m_w->RgstURL();
        QTRY_VERIFY(QFile::exists(copy100));

        Usr::Ini->SetVal(QStringLiteral("ARC_SAVE"), 0);
        m_web->complete(QStringLiteral("http://b/"), QStringLiteral("B"), QString());
        m_w->RgstURL();
        Usr::Ini->SetVal(QStringLiteral("ARC_SAVE"), 1);
        m_web->archiveError = QStringLiteral("net::ERR_FAILED");
        m_web->complete(QStringLiteral("http://c/"), QStringLiteral("C"), QString());
        m_w->RgstURL();
        QTRY_COMPARE(
            Dialogs::shownTexts(),
            QStringList {QDir::toNativeSeparators(Usr::sDataPh + QStringLiteral("Arc/102.mhtml"))
                         + QStringLiteral(" を保存できません: net::ERR_FAILED")});
        QCOMPARE(rows(QStringLiteral("Select nURL From tURL Order By nURL")),
                 (Sql::Rows {{100}, {101}, {102}}));
        QCOMPARE(QDir(Usr::sDataPh + QStringLiteral("Arc")).entryList(QDir::Files),
                 QStringList {QStringLiteral("100.mhtml")});
        // Deleting the link deletes its copy.
        m_w->vSpr->SetActiveRow(3);
        QCOMPARE(cell(1, 3), QStringLiteral("100"));
        m_w->DelURL();
        QVERIFY(!QFile::exists(copy100));
    }

    // The list's pop-up menu shows the active row's copy with scripts off, under a caption
    // naming it; the next page that is not a copy takes the caption back.
    void savedCopyFromThePopUp()
    {
        open({{100, "http://a/", 0, "A", 1}, {101, "http://b/", 0, "B", 2}});
        QDir().mkpath(Usr::sDataPh + QStringLiteral("Arc"));
        QFile f(Usr::sDataPh + QStringLiteral("Arc/101.mhtml"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(m_w->mnJob[3]->actions().contains(m_w->mnData[5]));
        QCOMPARE(m_w->mnData[5]->text(), QStringLiteral("保存したﾍﾟｰｼﾞを表示"));
        m_w->vSpr->SetActiveRow(1);
        m_web->calls.clear();
        m_w->mnData[5]->trigger();
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {
                     QStringLiteral("保存したﾍﾟｰｼﾞがありません: ")
                     + QDir::toNativeSeparators(Usr::sDataPh + QStringLiteral("Arc/100.mhtml"))});
        QVERIFY(m_web->calls.isEmpty());
        m_w->vSpr->SetActiveRow(2);
        m_w->mnData[5]->trigger();
        const QString path = Usr::sDataPh + QStringLiteral("Arc/101.mhtml");
        QCOMPARE(m_web->calls, QStringList {QStringLiteral("Navigate ") + path});
        QVERIFY(!m_web->scriptsEnabled());
        QVERIFY2(m_w->windowTitle().startsWith(QStringLiteral("保存したﾍﾟｰｼﾞ (")),
                 qPrintable(m_w->windowTitle()));
        QVERIFY(m_w->windowTitle().endsWith(QStringLiteral("): http://b/")));
        // The copy itself completes: nothing of it can be registered, the caption stays.
        m_web->complete(QUrl::fromLocalFile(path).toString(), QStringLiteral("B"), QString());
        QVERIFY(!m_w->cmWeb[0]->isEnabled());
        QVERIFY(m_w->windowTitle().startsWith(QStringLiteral("保存したﾍﾟｰｼﾞ (")));
        m_web->complete(QStringLiteral("http://elsewhere/"), QStringLiteral("E"), QString());
        QCOMPARE(m_w->windowTitle(), QStringLiteral("http://elsewhere/"));
        QVERIFY(m_web->scriptsEnabled());
    }

    void layoutFollowsTheWidth()
    {
        open();
        m_w->resize(1200, 700);
        QApplication::processEvents();
        const QPoint right = m_w->cmWeb[3]->mapTo(m_w.get(), QPoint(0, 0));
        const QPoint left = m_w->cmWeb[0]->mapTo(m_w.get(), QPoint(0, 0));
        QVERIFY(right.x() > left.x());
        m_w->resize(1600, 700);
        QApplication::processEvents();
        const QPoint right2 = m_w->cmWeb[3]->mapTo(m_w.get(), QPoint(0, 0));
        QCOMPARE(right2.x() - right.x(), 400); // anchored to the right edge
        QVERIFY(m_w->txMem->width() > 600);
    }
};

QTEST_MAIN(TestFmLink)
#include "tst_fmlink.moc"
