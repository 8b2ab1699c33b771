#include "platform/widgets/OffscreenPicturer.h"
#include "support/LoopbackServer.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// A page sent from another browser is pictured with nothing of it run or fetched: its script,
// its remote picture, its style sheet and frame never reach the server.
class TestOffscreenPicturer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void nothingRunOrFetched()
    {
        LoopbackServer server;
        QVERIFY(server.start(QHostAddress(QStringLiteral("127.0.0.7"))));
        const QByteArray base = server.url({}).toUtf8();
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("100.html"));
        // Every address of the server is written as @.
        QByteArray page
            = "<html><head><link rel=stylesheet href='@/s.css'><script src='@/s.js'>"
              "</script></head><body style='background:rgb(0,0,255)'><img src='@/i.png'>"
              "<iframe src='@/f'></iframe><script>fetch('@/fetch');"
              "document.body.style.background='rgb(255,0,0)';</script></body></html>";
        TestFiles::write(path, page.replace("@", base));
        OffscreenPicturer picturer;
        QImage picture;
        bool done = false;
        picturer.take(path, [&](const QImage &img) {
            picture = img;
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 30000);
        QVERIFY(!picture.isNull());
        // The page's own colour, not the one its script would set.
        QCOMPARE(picture.pixelColor(picture.width() - 5, picture.height() - 5), QColor(0, 0, 255));
        QCOMPARE(server.requests().size(), 0);

        // A large page is pictured from its head (its tail would paint it red), and the head goes
        // once the picture is taken.
        picturer.renderBytes = 200;
        TestFiles::write(
            path,
            "<html><body style='background:rgb(0,255,0)'>" + QByteArray("x ").repeated(50000)
                + "<style>body{background:rgb(255,0,0)!important}</style></body></html>");
        const QStringList heads {QStringLiteral("linkwell-page-*")};
        const qsizetype before = QDir::temp().entryList(heads).size();
        done = false;
        picturer.take(path, [&](const QImage &img) {
            picture = img;
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 30000);
        QCOMPARE(picture.pixelColor(2, 2), QColor(0, 255, 0));
        QCOMPARE(QDir::temp().entryList(heads).size(), before);
    }
};

QTEST_MAIN(TestOffscreenPicturer)
#include "tst_offscreenpicturer.moc"
