#include "pages/PageImage.h"
#include "pages/PictureRun.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/SqlSteps.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Number of colour components in a JPEG's frame header (3 for a 24-bit picture).
int jpegComponents(const QByteArray &jpeg)
{
    for (int i = 2; i + 9 < jpeg.size();) {
        if (uchar(jpeg[i]) != 0xFF)
            return -1;
        const uchar marker = uchar(jpeg[i + 1]);
        const int len = (uchar(jpeg[i + 2]) << 8) | uchar(jpeg[i + 3]);
        if (marker >= 0xC0 && marker <= 0xC2)
            return uchar(jpeg[i + 9]);
        i += 2 + len;
    }
    return -1;
}

QImage solid(QSize size, QImage::Format format, QColor colour)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    if (format == QImage::Format_Indexed8)
        return img.convertToFormat(format, Qt::ThresholdDither);
    return img.convertToFormat(format);
}

} // namespace

class TestPageImage : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;

private Q_SLOTS:
    void scale_data()
    {
        QTest::addColumn<int>("iPicSz");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("file"); // empty: no file
        QTest::newRow("50 % of 659 x 466") << 50 << QSize(659, 466) << QSize(320, 223);
        QTest::newRow("100 %") << 100 << QSize(659, 466) << QSize(639, 446);
        QTest::newRow("32 %") << 32 << QSize(659, 466) << QSize(204, 143);
        QTest::newRow("75 %") << 75 << QSize(659, 466) << QSize(479, 334);
        QTest::newRow("10 % accepted") << 10 << QSize(220, 120) << QSize(20, 10);
        QTest::newRow("no pictures") << -1 << QSize(659, 466) << QSize();
        QTest::newRow("9 %") << 9 << QSize(659, 466) << QSize();
        QTest::newRow("101 %") << 101 << QSize(659, 466) << QSize();
        QTest::newRow("0") << 0 << QSize(659, 466) << QSize();
        QTest::newRow("too small to crop") << 50 << QSize(20, 20) << QSize();
    }
    void scale()
    {
        QFETCH(int, iPicSz);
        QFETCH(QSize, picture);
        QFETCH(QSize, file);
        const QImage out
            = PageImage::process(solid(picture, QImage::Format_RGB32, Qt::red), iPicSz);
        QCOMPARE(out.isNull() ? QSize() : out.size(), file);
    }

    void depths_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("keeps");
        QTest::newRow("8 bit") << int(QImage::Format_Indexed8) << 8 << false;
        QTest::newRow("16 bit") << int(QImage::Format_RGB16) << 16 << true;
        QTest::newRow("24 bit") << int(QImage::Format_RGB888) << 24 << true;
        QTest::newRow("32 bit") << int(QImage::Format_RGB32) << 32 << true;
        QTest::newRow("32 bit alpha") << int(QImage::Format_ARGB32) << 32 << true;
        QTest::newRow("1 bit") << int(QImage::Format_Mono) << 1 << false;
    }
    void depths()
    {
        QFETCH(int, format);
        QFETCH(int, depth);
        QFETCH(bool, keeps);
        QCOMPARE(PageImage::keepsDepth(depth), keeps);
        const QColor colour = format == QImage::Format_Mono ? QColor(Qt::white) : QColor(0, 0, 255);
        const QImage input = solid(QSize(300, 200), QImage::Format(format), colour);
        QCOMPARE(input.depth(), depth);
        const QImage out = PageImage::process(input, 50);
        QCOMPARE(out.format(), QImage::Format_RGB888);
        QCOMPARE(out.size(), QSize(140, 90));

        const QString path = m_tmp.filePath(QStringLiteral("depth%1.jpg").arg(format));
        QVERIFY(PageImage::writeJpeg(out, path));
        QCOMPARE(jpegComponents(TestFiles::read(path)), 3);
        const QColor centre = QImage(path).pixelColor(70, 45);
        QVERIFY2(qAbs(centre.red() - colour.red()) < 12
                     && qAbs(centre.green() - colour.green()) < 12
                     && qAbs(centre.blue() - colour.blue()) < 12,
                 qPrintable(centre.name()));
    }

    // A frame of 2 pixels top-left and 18 bottom-right around a green page is cropped; a window
    // grabbed on a high-density screen gives the picture of the window's own size.
    void cropKeepsThePageRegion_data()
    {
        QTest::addColumn<double>("ratio");
        QTest::newRow("plain") << 1.0;
        QTest::newRow("high density") << 2.0;
    }
    void cropKeepsThePageRegion()
    {
        QFETCH(double, ratio);
        const int r = int(ratio);
        QImage window(120 * r, 100 * r, QImage::Format_RGB32);
        window.fill(Qt::black);
        for (int y = 2 * r; y < 82 * r; ++y)
            for (int x = 2 * r; x < 102 * r; ++x)
                window.setPixelColor(x, y, Qt::green);
        window.setDevicePixelRatio(ratio);
        const QImage out = PageImage::process(window, 100);
        QCOMPARE(out.size(), QSize(100, 80));
        QCOMPARE(out.devicePixelRatio(), 1.0);
        for (const QPoint p : {QPoint(0, 0), QPoint(50, 40), QPoint(99, 79)})
            QCOMPARE(out.pixelColor(p), QColor(Qt::green));
    }

    // A second picture replaces the file; one that cannot be written keeps it and says why.
    void writingReplacesOrKeeps()
    {
        const QString path = PageImage::fileFor(m_tmp.path() + u'/', 7);
        QVERIFY(path.endsWith(QStringLiteral("/Pic/7.jpg")));
        QVERIFY(QDir().mkpath(m_tmp.filePath(QStringLiteral("Pic"))));
        const auto picture = [](QColor c) {
            return PageImage::process(solid(QSize(400, 300), QImage::Format_RGB32, c), 50);
        };
        QVERIFY(PageImage::writeJpeg(picture(Qt::red), path));
        QVERIFY(PageImage::writeJpeg(picture(Qt::blue), path));
        QVERIFY(QImage(path).pixelColor(95, 70).blue() > 200);
        QString error;
        QVERIFY(!PageImage::writeJpeg(picture(Qt::red), path + "/missing/7.jpg", &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(QImage(path).pixelColor(95, 70).blue() > 200);
        QCOMPARE(QDir(m_tmp.filePath(QStringLiteral("Pic"))).entryList(QDir::Files),
                 QStringList {QStringLiteral("7.jpg")});
    }

    // Pictures of every link go in number order, about three seconds a link; a collection that
    // cannot be read says why.
    void everyLinksPicture()
    {
        QVERIFY(Store::OpenDb(m_tmp.filePath(QStringLiteral("dbLink.mdb"))));
        for (int i = 0; i < 21; ++i)
            SqlSteps::exec(Sql::kInsertLink,
                           {120 - i, QStringLiteral("http://x/%1").arg(120 - i), 0, "t", "", 1});
        PictureRun run;
        QString error;
        QVERIFY2(run.load(&error), qPrintable(error));
        QCOMPARE(run.links().size(), 21);
        QCOMPARE(run.links().first().nURL, 100);
        QCOMPARE(run.links().last().address, "http://x/120");
        QCOMPARE(run.minutes(), 2); // 63 seconds
        SqlSteps::exec(QStringLiteral("Delete From tURL Where nURL > 100"));
        QVERIFY(run.load(&error));
        QCOMPARE(run.minutes(), 1);
        SqlSteps::exec(QStringLiteral("Drop Table tURL"));
        QVERIFY(!run.load(&error));
        QVERIFY(!error.isEmpty());
        Store::CloseDb();
    }
};

QTEST_GUILESS_MAIN(TestPageImage)
#include "tst_pageimage.moc"
