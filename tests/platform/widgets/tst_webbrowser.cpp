#include "platform/Dialogs.h"
#include "platform/widgets/WebEngineBrowser.h"
#include "support/LoopbackServer.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

// The real browser adapter, offscreen, against pages served on 127.0.0.1.
class TestWebBrowser : public QObject
{
    Q_OBJECT
private:
    LoopbackServer m_server;
    WebEngineBrowser *m_web = nullptr;
    QWidget m_window;

    bool load(const QString &url, QString *text = nullptr)
    {
        QSignalSpy done(m_web, &WebBrowser::DocumentComplete);
        m_web->Navigate(url);
        if (!done.wait(30000))
            return false;
        if (text)
            *text = done.last().at(2).toString();
        return done.last().at(0).toString() == url;
    }

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        QVERIFY(m_server.start());
        m_server.setRoot(QStringLiteral(LINKWELL_TEST_PAGES));
        m_web = new WebEngineBrowser(nullptr);
        m_web->widget()->resize(640, 480);
        m_web->widget()->setAttribute(Qt::WA_DontShowOnScreen);
        m_web->widget()->show();
    }

    void nothingLoadedDoesNothing()
    {
        QCOMPARE(m_web->LocationURL(), QString());
        m_web->GoBack();
        m_web->GoForward();
        m_web->ExecWB(WebBrowser::Refresh);
        m_web->ExecWB(WebBrowser::SaveAs);
        m_web->ExecWB(WebBrowser::Print);
        QVERIFY(Dialogs::shown().isEmpty());
        QCOMPARE(m_server.requests().size(), 0);
    }

    void completesWithAddressTitleAndText()
    {
        const QString url = m_server.url(QStringLiteral("/page.htm"));
        QSignalSpy done(m_web, &WebBrowser::DocumentComplete);
        m_web->Navigate(url);
        QVERIFY(done.wait(30000));
        QCOMPARE(done.last().at(0).toString(), url);
        QCOMPARE(done.last().at(1).toString(), QStringLiteral("Loopback page"));
        const QString text = done.last().at(2).toString();
        QVERIFY2(text.startsWith(QStringLiteral("Heading\r\n")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("First paragraph.\r\n")));
        QVERIFY(!text.contains(QStringLiteral("\r\r")));
        QCOMPARE(text.count(u'\n'), text.count(QStringLiteral("\r\n")));
        QCOMPARE(m_web->LocationURL(), url);
        QCOMPARE(m_web->LocationName(), QStringLiteral("Loopback page"));
        QCOMPARE(m_web->bodyText(), text);
        QVERIFY(m_web->bodyHtml().contains(QStringLiteral("<h1>Heading</h1>")));
    }

    void newWindowsAreRefused()
    {
        QVERIFY(load(m_server.url(QStringLiteral("/page.htm"))));
        QSignalSpy refused(m_web, &WebBrowser::NewWindow2);
        m_web->view()->page()->runJavaScript(QStringLiteral("document.getElementById('blank').click()"));
        QVERIFY(refused.wait(10000));
        m_web->view()->page()->runJavaScript(QStringLiteral("window.open('second.htm')"));
        QVERIFY(refused.wait(10000) || refused.size() >= 2);
        QCOMPARE(m_web->LocationURL(), m_server.url(QStringLiteral("/page.htm")));
        QCOMPARE(m_server.requestCount("/second.htm"), 0);
    }

    void backAndForward()
    {
        QVERIFY(load(m_server.url(QStringLiteral("/page.htm"))));
        QVERIFY(load(m_server.url(QStringLiteral("/second.htm"))));
        QSignalSpy done(m_web, &WebBrowser::DocumentComplete);
        m_web->GoBack();
        QVERIFY(done.wait(30000));
        QCOMPARE(m_web->LocationURL(), m_server.url(QStringLiteral("/page.htm")));
        m_web->GoForward();
        QVERIFY(done.wait(30000));
        QCOMPARE(m_web->LocationURL(), m_server.url(QStringLiteral("/second.htm")));
    }

    void homeSearchAndRefresh()
    {
        m_web->setHomePage(m_server.url(QStringLiteral("/second.htm")));
        m_web->setSearchPage(m_server.url(QStringLiteral("/page.htm")));
        QSignalSpy done(m_web, &WebBrowser::DocumentComplete);
        m_web->GoHome();
        QVERIFY(done.wait(30000));
        QCOMPARE(m_web->LocationURL(), m_web->homePage());
        m_web->GoSearch();
        QVERIFY(done.wait(30000));
        QCOMPARE(m_web->LocationURL(), m_web->searchPage());
        const int before = m_server.requestCount("/page.htm");
        m_web->ExecWB(WebBrowser::Refresh);
        QVERIFY(done.wait(30000));
        QVERIFY(m_server.requestCount("/page.htm") > before);
    }

    void emptyBody()
    {
        QString text = QStringLiteral("x");
        QVERIFY(load(m_server.url(QStringLiteral("/empty.htm")), &text));
        QCOMPARE(text, QString());
    }

    void saveAs()
    {
        QTemporaryDir dir;
        QVERIFY(load(m_server.url(QStringLiteral("/page.htm"))));
        Dialogs::clearShown();
        m_web->ExecWB(WebBrowser::SaveAs); // cancelled: nothing written
        QCOMPARE(Dialogs::shown().size(), 1);
        const QString path = dir.filePath(QStringLiteral("saved.html"));
        Dialogs::setNextFileName(path);
        m_web->ExecWB(WebBrowser::SaveAs);
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(path).size() > 0; }, 20000));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("First paragraph."));
    }

    void printDialogsCanBeCancelled()
    {
        QVERIFY(load(m_server.url(QStringLiteral("/page.htm"))));
        int asked = 0;
        m_web->runDialog = [&](QDialog *) {
            ++asked;
            return false;
        };
        m_web->ExecWB(WebBrowser::Print);
        m_web->ExecWB(WebBrowser::PageSetup);
        m_web->ExecWB(WebBrowser::PrintPreview);
        QCOMPARE(asked, 3);
        QCOMPARE(m_web->LocationURL(), m_server.url(QStringLiteral("/page.htm")));
    }

    void paintedPictureShowsThePage()
    {
        // As the capture window does it: a view of its own, shown, for one page.
        WebEngineBrowser web(nullptr);
        web.widget()->resize(400, 300);
        web.widget()->setAttribute(Qt::WA_DontShowOnScreen);
        web.widget()->show();
        QSignalSpy done(&web, &WebBrowser::DocumentComplete);
        web.Navigate(m_server.url(QStringLiteral("/red.htm")));
        QVERIFY(done.wait(30000));
        QImage picture;
        web.grabWhenPainted([&](const QImage &img) { picture = img; });
        QVERIFY(QTest::qWaitFor([&] { return !picture.isNull(); }, 20000));
        QCOMPARE(picture.size(), QSize(400, 300) * web.widget()->devicePixelRatio());
        const QColor centre = picture.pixelColor(picture.width() / 2, picture.height() / 2);
        QVERIFY2(centre.red() > 240 && centre.green() < 20 && centre.blue() < 20, qPrintable(centre.name()));
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
