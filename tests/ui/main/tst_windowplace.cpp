#include "ui/main/WindowPlace.h"

#include <QtTest>

class TestWindowPlace : public QObject
{
    Q_OBJECT

private slots:
    void inside_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("expected");
        // The work area is 0,0 1000x700.
        QTest::newRow("fits") << QRect(30, 40, 900, 600) << QRect(30, 40, 900, 600);
        QTest::newRow("over the right and bottom edges")
            << QRect(300, 200, 900, 600) << QRect(100, 100, 900, 600);
        QTest::newRow("above and left of it") << QRect(-50, -20, 400, 300) << QRect(0, 0, 400, 300);
        QTest::newRow("larger than the area")
            << QRect(10, 10, 3200, 2000) << QRect(0, 0, 1000, 700);
        QTest::newRow("wider only") << QRect(500, 50, 1400, 300) << QRect(0, 50, 1000, 300);
    }

    void inside()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, expected);
        QCOMPARE(WindowPlace::inside(frame, QRect(0, 0, 1000, 700)), expected);
        QCOMPARE(WindowPlace::inside(frame.translated(1920, 0), QRect(1920, 0, 1000, 700)),
                 expected.translated(1920, 0));
    }
};

QTEST_MAIN(TestWindowPlace)
#include "tst_windowplace.moc"
