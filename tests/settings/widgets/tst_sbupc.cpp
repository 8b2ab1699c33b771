#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "settings/widgets/sbUpc.h"
#include "settings/yIni.h"
#include "support/widgets/ModalDriver.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

class TestSbUpc : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    yIni m_ini;

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        bool ok = false;
        m_ini.GetTxt(m_tmp.filePath(QStringLiteral("User.xml")), ok);
        QVERIFY(ok);
        m_ini.GetGtx(QStringLiteral("画面"));
        Usr::Ini = &m_ini;
    }
    void cleanupTestCase() { Usr::Ini = nullptr; }

    void states_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("option"); // index of the selected option
        QTest::addColumn<QString>("action"); // what the test does before closing
        QTest::addColumn<int>("button"); // 0 OK, 1 Cancel
        QTest::addColumn<int>("result"); // iSz after Act
        QTest::addColumn<QString>("after"); // stored value after Act
        QTest::newRow("-1 ok") << "-1" << false << 1 << "" << 0 << -1 << "-1";
        QTest::newRow("32 ok") << "32" << true << 2 << "" << 0 << 32 << "32";
        QTest::newRow("50 ok") << "50" << true << 1 << "" << 0 << 50 << "50";
        QTest::newRow("75 ok") << "75" << true << 0 << "" << 0 << 75 << "75";
        QTest::newRow("odd value") << "60" << true << 1 << "" << 0 << 50 << "50";
        QTest::newRow("clear box") << "75" << true << 0 << "uncheck" << 0 << -1 << "-1";
        QTest::newRow("pick 32") << "50" << true << 1 << "pick32" << 0 << 32 << "32";
        QTest::newRow("check again") << "-1" << false << 1 << "check" << 0 << 50 << "50";
        QTest::newRow("cancel keeps") << "75" << true << 0 << "pick32" << 1 << 75 << "75";
        QTest::newRow("cancel odd") << "60" << true << 1 << "uncheck" << 1 << 60 << "60";
    }
    void states()
    {
        QFETCH(QString, stored);
        QFETCH(bool, checked);
        QFETCH(int, option);
        QFETCH(QString, action);
        QFETCH(int, button);
        QFETCH(int, result);
        QFETCH(QString, after);
        m_ini.SetVal(QStringLiteral("PC_SIZE"), stored);
        bool seen = false;
        ModalDriver::whenShown<sbUpc>([&](sbUpc *d) {
            seen = true;
            QCOMPARE(d->windowTitle(), QStringLiteral("画像の指定"));
            QCOMPARE(d->chPic->text(), QStringLiteral("ポータルページﾞに画像を取り込む"));
            QCOMPARE(d->chPic->isChecked(), checked);
            QCOMPARE(d->frPic->isEnabled(), checked);
            for (int i = 0; i < 3; ++i) {
                QCOMPARE(d->opSize[i]->isChecked(), i == option);
                QCOMPARE(d->opSize[i]->isEnabled(), checked);
            }
            if (action == u"uncheck" || action == u"check")
                QTest::mouseClick(d->chPic, Qt::LeftButton, {}, QPoint(4, d->chPic->height() / 2));
            if (action == u"check")
                QVERIFY(d->opSize[1]->isEnabled());
            if (action == u"pick32")
                d->opSize[2]->click();
            d->cmOk[button]->click();
        });
        qint16 iSz = 12345;
        sbUpc::Act(iSz);
        QVERIFY(seen);
        QCOMPARE(int(iSz), result);
        QCOMPARE(m_ini.vGtVal(QStringLiteral("PC_SIZE"), QString()).toString(), after);
    }
};

QTEST_MAIN(TestSbUpc)
#include "tst_sbupc.moc"
