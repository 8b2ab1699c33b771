#include "platform/widgets/ProgressWindow.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

// A progress window opens only at a report of its work, and never after the work ended.
class TestProgressWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void opensOnlyWhileItsWorkRuns()
    {
        ProgressWindow p("working", nullptr, 0, 0);
        QTest::qWait(20); // the delay has passed, but nothing was reported
        QVERIFY(!p.isVisible());
        // Nor is a timer armed that would show it later, over what follows the work.
        for (const QTimer *timer : p.findChildren<QTimer *>())
            QVERIFY(!timer->isActive() || timer->remainingTime() > 24 * 3600 * 1000);
        QVERIFY(p.step());
        QVERIFY(p.isVisible());
        p.finish();
        QVERIFY(!p.isVisible());
        QTest::qWait(20);
        QVERIFY(p.step());
        QVERIFY(!p.isVisible());
    }

    void escStops()
    {
        ProgressWindow p("working", nullptr, 10, 0);
        QVERIFY(p.step(3));
        QTest::keyClick(&p, Qt::Key_Escape);
        QVERIFY(!p.step(4));
    }
};

QTEST_MAIN(TestProgressWindow)
#include "tst_progresswindow.moc"
