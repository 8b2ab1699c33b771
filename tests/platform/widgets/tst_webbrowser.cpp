#include "pages/PageArchive.h"
#include "platform/Dialogs.h"
#include "platform/widgets/WebEngineBrowser.h"
#include "store/LinkStore.h"
#include "store/Store.h"
#include "support/LoopbackServer.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <functional>
#include <memory>

// The real browser adapter, offscreen, against pages served on 127.0.0.1.
class TestWebBrowser : public QObject
{
    Q_OBJECT
private:
    LoopbackServer m_server;
    WebEngineBrowser *m_web = nullptr;

    // Runs act and waits for the next DocumentComplete; its arguments, or none on a timeout.
    QVariantList after(const std::function<void()> &act, WebBrowser *web = nullptr)
    {
        QSignalSpy done(web ? web : m_web, &WebBrowser::DocumentComplete);
        act();
        return done.wait(30000) ? done.last() : QVariantList();
    }
    bool load(const QString &path, QVariantList *args = nullptr)
    {
        const QString url = m_server.url(path);
        const QVariantList done = after([&] { m_web->Navigate(url); });
        if (args)
            *args = done;
        return done.value(0).toString() == url;
    }

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        QVERIFY(m_server.start());
        m_server.setRoot(QStringLiteral(LINKWELL_TEST_PAGES));
        m_server.setRoute("/empty-404", {.status = 404});
        m_server.setRoute("/broken", {.status = 500, .body = "<p>Server trouble</p>"});
        m_web = new WebEngineBrowser(nullptr);
        m_web->widget()->resize(640, 480);
        m_web->widget()->setAttribute(Qt::WA_DontShowOnScreen);
        m_web->widget()->show();
    }

    // With nothing loaded the commands do nothing; a body read and a save answer from the
    // event loop, empty and failed with a reason.
    void nothingLoadedDoesNothing()
    {
        WebEngineBrowser fresh(nullptr);
        QCOMPARE(fresh.LocationURL(), QString());
        fresh.GoBack();
        fresh.GoForward();
        for (const int command : {WebBrowser::Refresh, WebBrowser::SaveAs, WebBrowser::Print})
            fresh.ExecWB(command);
        QVERIFY(Dialogs::shown().isEmpty());
        QCOMPARE(m_server.requests().size(), 0);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.mhtml"));
        QString text = QStringLiteral("none"), reason;
        bool called = false, saved = true;
        fresh.fetchBody(false, [&](const QString &t) { text = t; });
        fresh.saveArchive(path, [&](bool ok, const QString &r) {
            called = true;
            saved = ok;
            reason = r;
        });
        QVERIFY(!called && text == u"none");
        QVERIFY(QTest::qWaitFor([&] { return called && text.isEmpty(); }, 10000));
        QVERIFY(!saved);
        QCOMPARE(reason, QStringLiteral("表示中のﾍﾟｰｼﾞがありません"));
        QVERIFY(!QFile::exists(path));
    }

    void completesWithAddressTitleAndText()
    {
        QVariantList done;
        QVERIFY(load(QStringLiteral("/page.htm"), &done));
        QCOMPARE(done.at(1).toString(), QStringLiteral("Loopback page"));
        const QString text = done.at(2).toString();
        QVERIFY2(text.startsWith(QStringLiteral("Heading\r\n")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("First paragraph.\r\n")));
        QVERIFY(!text.contains(QStringLiteral("\r\r")));
        QCOMPARE(text.count(u'\n'), text.count(QStringLiteral("\r\n")));
        QCOMPARE(m_web->LocationURL(), m_server.url(QStringLiteral("/page.htm")));
        QCOMPARE(m_web->LocationName(), QStringLiteral("Loopback page"));
        QCOMPARE(m_web->bodyText(), text);
        QVERIFY(m_web->bodyHtml().contains(QStringLiteral("<h1>Heading</h1>")));
        QVERIFY(load(QStringLiteral("/empty.htm"), &done));
        QCOMPARE(done.at(2).toString(), QString());
    }

    void newWindowsAreRefused()
    {
        QVERIFY(load(QStringLiteral("/page.htm")));
        QSignalSpy refused(m_web, &WebBrowser::NewWindow2);
        m_web->view()->page()->runJavaScript(
            QStringLiteral("document.getElementById('blank').click()"));
        QVERIFY(refused.wait(10000));
        m_web->view()->page()->runJavaScript(QStringLiteral("window.open('second.htm')"));
        QVERIFY(refused.wait(10000) || refused.size() >= 2);
        QCOMPARE(m_web->LocationURL(), m_server.url(QStringLiteral("/page.htm")));
        QCOMPARE(m_server.requestCount("/second.htm"), 0);
    }

    void backForwardHomeSearchAndRefresh()
    {
        const QString page = m_server.url(QStringLiteral("/page.htm"));
        const QString second = m_server.url(QStringLiteral("/second.htm"));
        QVERIFY(load(QStringLiteral("/page.htm")));
        QVERIFY(load(QStringLiteral("/second.htm")));
        m_web->setHomePage(second);
        m_web->setSearchPage(page);
        const QList<std::pair<std::function<void()>, QString>> steps {
            {[this] { m_web->GoBack(); }, page},
            {[this] { m_web->GoForward(); }, second},
            {[this] { m_web->GoSearch(); }, page},
            {[this] { m_web->GoHome(); }, second}};
        for (const auto &[step, url] : steps) {
            QCOMPARE(after(step).value(0).toString(), url);
            QCOMPARE(m_web->LocationURL(), url);
        }
        const int before = m_server.requestCount("/second.htm");
        QVERIFY(!after([this] { m_web->ExecWB(WebBrowser::Refresh); }).isEmpty());
        QVERIFY(m_server.requestCount("/second.htm") > before);
    }

    // The page is saved where the user says; a file already there is replaced only after the
    // user agreed, and the question names it.
    void saveAs_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("answer");
        QTest::newRow("new file") << false << true;
        QTest::newRow("existing file, OK") << true << true;
        QTest::newRow("existing file, Cancel") << true << false;
    }
    void saveAs()
    {
        QFETCH(bool, exists);
        QFETCH(bool, answer);
        QTemporaryDir dir;
        QVERIFY(load(QStringLiteral("/page.htm")));
        Dialogs::clearShown();
        m_web->ExecWB(WebBrowser::SaveAs); // cancelled: nothing written
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
        const QString path = dir.filePath(QStringLiteral("saved.html"));
        const QByteArray old = "the user's own file";
        if (exists)
            TestFiles::write(path, old);
        Dialogs::clearShown();
        Dialogs::setNextFileName(path);
        if (exists)
            Dialogs::setNextAnswer(answer);
        m_web->ExecWB(WebBrowser::SaveAs);
        const QList<Dialogs::Shown> shown = Dialogs::shown();
        QCOMPARE(shown.size(), exists ? 2 : 1);
        if (exists) {
            QCOMPARE(shown.last().buttons, Dialogs::Buttons::OkCancel);
            QVERIFY2(shown.last().text.contains(path), qPrintable(shown.last().text));
        }
        if (!answer) {
            QTest::qWait(300); // a save would have begun by now
            QCOMPARE(TestFiles::read(path), old);
            return;
        }
        QVERIFY(QTest::qWaitFor([&] { return TestFiles::read(path).contains("First paragraph."); },
                                20000));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList {QStringLiteral("saved.html")});
    }

    // The page on show is kept as one MHTML file, written whole under another name and then
    // renamed; the copy opens with its text when its server is gone, with scripts off, and the
    // next page has them on again.
    void savedCopyOpensWithoutItsServer()
    {
        QTemporaryDir data;
        const QString dataPh = data.path() + u'/';
        auto server = std::make_unique<LoopbackServer>();
        QVERIFY(server->start());
        server->setPage("/live.htm",
                        "<html><head><title>Live page</title></head><body><p>Kept text "
                        "\xe6\xae\x8b\xe3\x82\x8b</p><p id='s'></p><script>document.getElementById"
                        "('s').textContent+='ran:'+location.protocol</script></body></html>");
        const QString address = server->url(QStringLiteral("/live.htm"));
        QVERIFY(!after([&] { m_web->Navigate(address); }).isEmpty());
        // A copy is kept only for a link that still holds the address.
        QVERIFY(Store::OpenDb(dataPh + QStringLiteral("dbLink.mdb")));
        const auto closing = qScopeGuard([] { Store::CloseDb(); });
        QVERIFY(LinkStore::insertLink({100, address, 0, "Live page", "", 1}, 0));
        bool finished = false, saved = false;
        QString message;
        PageArchive::save(m_web, address, dataPh, 100, [&](bool ok, const QString &m) {
            finished = true;
            saved = ok;
            message = m;
        });
        // While it is written the copy is not there yet, under its own name.
        QVERIFY(!QFile::exists(PageArchive::fileFor(dataPh, 100)));
        QVERIFY(PageArchive::hasCopy(dataPh, 100));
        QVERIFY(QTest::qWaitFor([&] { return finished; }, 30000));
        QVERIFY2(saved, qPrintable(message));
        QCOMPARE(QDir(PageArchive::folderFor(dataPh)).entryList(QDir::Files),
                 QStringList {QStringLiteral("100.mhtml")});
        const QByteArray head = TestFiles::read(PageArchive::fileFor(dataPh, 100)).left(4096);
        QVERIFY2(head.contains("MIME-Version: 1.0") && head.contains("multipart/related"),
                 head.constData());
        server.reset();

        QString caption, error;
        bool opened = false;
        const QVariantList done = after(
            [&] { opened = PageArchive::open(m_web, dataPh, 100, address, &caption, &error); });
        QVERIFY2(opened, qPrintable(error));
        QVERIFY(caption.startsWith(QStringLiteral("保存したﾍﾟｰｼﾞ (")));
        QVERIFY(caption.endsWith(QStringLiteral("): ") + address));
        QCOMPARE(done.value(3), QVariant(false));
        QCOMPARE(done.at(1).toString(), QStringLiteral("Live page"));
        // The text as the panel and the clipboard get it, though no script runs.
        const QString text = done.at(2).toString();
        QCOMPARE(text.count(u'\n'), text.count(QStringLiteral("\r\n")));
        QString now;
        m_web->fetchBody(false, [&](const QString &t) { now = t; });
        QVERIFY(QTest::qWaitFor([&] { return !now.isEmpty(); }, 10000));
        QCOMPARE(now, text);
        QVERIFY2(text.contains(QStringLiteral("Kept text 残る")), qPrintable(text));
        // The script ran once, in the live page; in the copy it does not run again.
        QVERIFY2(text.contains(QStringLiteral("ran:http:"))
                     && !text.contains(QStringLiteral("file:")),
                 qPrintable(text));
        QVERIFY(!m_web->scriptsEnabled());
        QVERIFY(load(QStringLiteral("/page.htm")));
        QVERIFY(m_web->scriptsEnabled());
        // Back to the copy: scripts off again.
        const QUrl back(after([this] { m_web->GoBack(); }).value(0).toString());
        QVERIFY(WebBrowser::isArchived(back, PageArchive::folderFor(dataPh)));
        QVERIFY(!m_web->scriptsEnabled());
    }

    // The body is read as the document is now, after its scripts changed it, not as it was
    // when it completed.
    void bodyIsReadAsItIsNow()
    {
        QVERIFY(load(QStringLiteral("/page.htm")));
        const QString cached = m_web->bodyText();
        QSignalSpy changed(m_web->view()->page(), &QWebEnginePage::titleChanged);
        m_web->view()->page()->runJavaScript(QStringLiteral(
            "document.body.innerHTML='<p>Changed</p><p>by a script</p>';document.title='x'"));
        QVERIFY(changed.wait(10000));
        QString text = QStringLiteral("none"), html = QStringLiteral("none");
        m_web->fetchBody(false, [&](const QString &t) { text = t; });
        m_web->fetchBody(true, [&](const QString &h) { html = h; });
        QVERIFY(QTest::qWaitFor([&] { return text != u"none" && html != u"none"; }, 10000));
        QCOMPARE(text, QStringLiteral("Changed\r\n\r\nby a script"));
        QCOMPARE(html, QStringLiteral("<p>Changed</p><p>by a script</p>"));
        QCOMPARE(m_web->bodyText(), cached);
    }

    // A load that fails is told as such, with the browser's reason; a page the server answered
    // is no failure, whatever its status, and the next good load is no failure either.
    void failedLoadsAreTold_data()
    {
        QTest::addColumn<QString>("path"); // empty: a refused port
        QTest::addColumn<bool>("failed");
        QTest::newRow("connection refused") << "" << true;
        QTest::newRow("404 with a page") << "/missing.htm" << false;
        QTest::newRow("404 without a body") << "/empty-404" << false;
        QTest::newRow("500") << "/broken" << false;
        QTest::newRow("200") << "/page.htm" << false;
    }
    void failedLoadsAreTold()
    {
        QFETCH(QString, path);
        QFETCH(bool, failed);
        const QString url = path.isEmpty()
            ? QStringLiteral("http://127.0.0.1:%1/page.htm").arg(LoopbackServer::refusingPort())
            : m_server.url(path);
        QSignalSpy failure(m_web, &WebBrowser::LoadFailed);
        const QVariantList done = after([&] { m_web->Navigate(url); });
        QCOMPARE(done.value(0).toString(), url);
        QCOMPARE(done.value(3).toBool(), failed);
        QCOMPARE(failure.size(), failed ? 1 : 0);
        if (failed) {
            QCOMPARE(failure.first().at(0).toString(), url);
            QVERIFY(!failure.first().at(1).toString().isEmpty());
        }
        if (path == u"/broken")
            QVERIFY(done.at(2).toString().contains(QStringLiteral("Server trouble")));
        QVariantList next;
        QVERIFY(load(QStringLiteral("/second.htm"), &next));
        QCOMPARE(next.at(3).toBool(), false);
    }

    // A body read still under way when the adapter, its view or the whole window goes is
    // dropped: nothing is called on what is gone, and nothing is reported.
    void lateResultsAreDropped_data()
    {
        QTest::addColumn<QString>("gone");
        QTest::newRow("adapter") << "adapter";
        QTest::newRow("view") << "view";
        QTest::newRow("window") << "window";
    }
    void lateResultsAreDropped()
    {
        QFETCH(QString, gone);
        auto *window = new QWidget;
        auto *web = new WebEngineBrowser(window);
        web->widget()->resize(400, 300);
        window->setAttribute(Qt::WA_DontShowOnScreen);
        window->show();
        QWebEnginePage *page = web->view()->page();
        QVERIFY(!after([&] { web->Navigate(m_server.url(QStringLiteral("/page.htm"))); }, web)
                     .isEmpty());
        int completed = 0;
        int fetched = 0;
        connect(web, &WebBrowser::DocumentComplete, this, [&] { ++completed; });
        // Asked for, then the adapter goes before the page can answer.
        web->ExecWB(WebBrowser::Refresh);
        web->fetchBody(false, [&](const QString &) { ++fetched; });
        web->grabWhenPainted([&](const QImage &) { ++fetched; });
        if (gone == u"adapter") {
            delete web;
            // Results that come after the ones asked for above mark that those arrived.
            bool marker = false;
            page->runJavaScript(QStringLiteral("1"), [&](const QVariant &) { marker = true; });
            QVERIFY(QTest::qWaitFor([&] { return marker; }, 10000));
            QTest::qWait(300); // and a few frames for the picture's console markers
            delete window;
        } else if (gone == u"view") {
            delete web->view();
            QTest::qWait(300);
            delete web;
            delete window;
        } else {
            delete window;
            QTest::qWait(300);
        }
        QCOMPARE(completed, 0);
        QCOMPARE(fetched, 0);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestWebBrowser test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_webbrowser.moc"
