// The icons the build renders for the hicolor theme: the right sizes, see-through corners, and
// crisp edges where a blurred icon would be noticed first (the menu and the title bar).

#include <QImage>
#include <QTest>

namespace {

const QRgb kWhite = qRgb(255, 255, 255);

QImage icon(int size)
{
    const QString path = QStringLiteral(LINKWELL_ICON_DIR "/%1x%1/apps/linkwell.png").arg(size);
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
        && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

void addSizes(std::initializer_list<int> sizes)
{
    QTest::addColumn<int>("size");
    for (int size : sizes)
        QTest::addRow("%dx%d", size, size) << size;
}

} // namespace

class TestIcons : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void picture_data() { addSizes({16, 22, 24, 32, 48, 64, 128, 256}); }
    void picture()
    {
        QFETCH(int, size);
        const QImage image = icon(size);
        QVERIFY2(!image.isNull(), "icon missing or unreadable");
        QCOMPARE(image.size(), QSize(size, size));

        // A bookmark, not a square tile: the corners are see-through.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(size - 1, 0)), 0);
    }

    // The small sizes are drawn on whole pixels: every pixel is the bookmark's blue or the link's
    // white, and only the bookmark's slanted notch has half-covered pixels.
    void smallSizesAreSharp_data() { addSizes({16, 22, 24}); }
    void smallSizesAreSharp()
    {
        QFETCH(int, size);
        const QImage image = icon(size);
        QVERIFY(!image.isNull());
        const QRgb blue = image.pixel(size / 2, size / 4);
        int visible = 0, partial = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb c = image.pixel(x, y);
                if (qAlpha(c) == 0)
                    continue;
                ++visible;
                if (qAlpha(c) < 255)
                    ++partial;
                const int tolerance = qAlpha(c) == 255 ? 0 : 4; // rounding of the unpremultiply
                QVERIFY2(near(c, blue, tolerance) || near(c, kWhite, tolerance),
                         qPrintable(QStringLiteral("blended pixel at %1,%2").arg(x).arg(y)));
            }
        }
        QVERIFY2(
            partial * 10 <= visible,
            qPrintable(QStringLiteral("%1 of %2 pixels half covered").arg(partial).arg(visible)));
    }
};

QTEST_GUILESS_MAIN(TestIcons)
#include "tst_icons.moc"
