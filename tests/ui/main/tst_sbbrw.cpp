#include "pages/PageImage.h"
#include "platform/Dialogs.h"
#include "support/LoopbackServer.h"
#include "ui/main/sbBrw.h"

#include <QApplication>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

// A real capture, offscreen, of a page of a known colour served on 127.0.0.1.
class TestSbBrw : public QObject
{
    Q_OBJECT
private:
    LoopbackServer m_server;
    QTemporaryDir m_tmp;

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        QVERIFY(m_server.start());
        m_server.setRoot(QStringLiteral(LINKWELL_TEST_PAGES));
    }

    void captureOfARedPage()
    {
        const QImage picture = sbBrw::Act(m_server.url(QStringLiteral("/red.htm")));
        QCOMPARE(Dialogs::shownTexts(), QStringList{QStringLiteral("全て表示されたら　OK ボタンを押して下さい")});
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.size(), QSize(659, 466)); // the design client area at 96 dots per inch
        const QColor centre = picture.pixelColor(picture.width() / 2, picture.height() / 2);
        QVERIFY2(centre.red() > 240 && centre.green() < 20 && centre.blue() < 20, qPrintable(centre.name()));

        const QString path = m_tmp.filePath(QStringLiteral("100.jpg"));
        QVERIFY(PageImage::writeJpeg(PageImage::process(picture, 50), path));
        QImageReader reader(path);
        QCOMPARE(reader.size(), QSize(320, 223));
        const QImage file = reader.read();
        const QColor c = file.pixelColor(160, 111);
        QVERIFY2(c.red() > 230 && c.green() < 30 && c.blue() < 30, qPrintable(c.name()));
    }

    void secondCaptureOfAnotherPage()
    {
        Dialogs::clearShown();
        const QImage picture = sbBrw::Act(m_server.url(QStringLiteral("/page.htm")));
        QVERIFY(!picture.isNull());
        // A white page with black text: not the red one before it.
        const QColor corner = picture.pixelColor(picture.width() / 2, picture.height() - 30);
        QVERIFY2(corner.red() > 240 && corner.green() > 240, qPrintable(corner.name()));
        QCOMPARE(Dialogs::shown().size(), 1);
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
