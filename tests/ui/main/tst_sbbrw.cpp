#include "platform/Dialogs.h"
#include "support/LoopbackServer.h"
#include "ui/main/sbBrw.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

// Real captures, offscreen, of pages of a known colour served on 127.0.0.1.
class TestSbBrw : public QObject
{
    Q_OBJECT
private:
    LoopbackServer m_server;

    static bool red(const QImage &picture)
    {
        const QColor c = picture.pixelColor(picture.width() / 2, picture.height() / 2);
        return c.red() > 240 && c.green() < 20 && c.blue() < 20;
    }

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        Dialogs::setTitle("Linkwell");
        QVERIFY(m_server.start());
        m_server.setRoot(QStringLiteral(LINKWELL_TEST_PAGES));
        m_server.setRoute("/never", {.silent = true});
    }

    // One page, after the question.
    void captureOfARedPage()
    {
        const QImage picture = sbBrw::Act(m_server.url(QStringLiteral("/red.htm")));
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {QStringLiteral("全て表示されたら　OK ボタンを押して下さい")});
        QCOMPARE(picture.size(), QSize(659, 466)); // the design client area at 96 dots per inch
        QVERIFY(red(picture));
    }

    // In a run the window carries the program's caption, is not modal and asks only when
    // told to; Esc gives up a page that never comes, at once.
    void run()
    {
        Dialogs::clearShown();
        bool stop = false;
        const auto stopped = [&stop] { return stop; };
        {
            sbBrw w;
            QCOMPARE(w.windowTitle(), "Linkwell");
            QVERIFY(red(w.take(m_server.url(QStringLiteral("/red.htm")), false, stopped)));
            QVERIFY(!w.isModal());
        }
        QVERIFY(Dialogs::shown().isEmpty());
        sbBrw w;
        connect(&w, &sbBrw::stopRequested, this, [&stop] { stop = true; });
        QTimer::singleShot(50, &w, [&w] { QTest::keyClick(&w, Qt::Key_Escape); });
        QVERIFY(w.take(m_server.url(QStringLiteral("/never")), true, stopped).isNull());
        QVERIFY(stop);
        QVERIFY(Dialogs::shown().isEmpty());
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestSbBrw test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_sbbrw.moc"
