#include "app/Usr.h"

#include <QTest>

class TestUsrNames : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void programName_data()
    {
        QTest::addColumn<QString>("exe");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "/opt/lw/Sample"
                               << "Sample";
        QTest::newRow("dv small") << "/opt/lw/Sample_dv"
                                  << "Sample";
        QTest::newRow("dv capital") << "/opt/lw/Sample_DV"
                                    << "Sample";
        QTest::newRow("dv mixed") << "/opt/lw/Sample_Dv.exe"
                                  << "Sample";
        QTest::newRow("no underscore") << "/opt/lw/Sampledv"
                                       << "Sampledv";
        QTest::newRow("extension") << "C:/apps/Linkwell.exe"
                                   << "Linkwell";
        QTest::newRow("only dv") << "/x/_dv"
                                 << "";
    }
    void programName()
    {
        QFETCH(QString, exe);
        QFETCH(QString, name);
        QCOMPARE(Usr::programNameFrom(exe), name);
    }

    void cutEnd_data()
    {
        QTest::addColumn<QString>("s");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("result");
        QTest::newRow("trailing comma") << "12,15,"
                                        << ","
                                        << "12,15";
        QTest::newRow("no suffix") << "12,15"
                                   << ","
                                   << "12,15";
        QTest::newRow("empty suffix") << "12,15,"
                                      << ""
                                      << "12,15,";
        QTest::newRow("tab") << "a\tb\t"
                             << "\t"
                             << "a\tb";
        QTest::newRow("only once") << "1,,"
                                   << ","
                                   << "1,";
        QTest::newRow("empty") << ""
                               << ","
                               << "";
    }
    void cutEnd()
    {
        QFETCH(QString, s);
        QFETCH(QString, suffix);
        QFETCH(QString, result);
        Usr::CutEnd(s, suffix);
        QCOMPARE(s, result);
    }

    void groupNumbers_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        const QString list = QStringLiteral("XNews\t7\rNews\t3\r");
        QTest::newRow("News") << list << "News" << 3;
        QTest::newRow("XNews") << list << "XNews" << 7;
        QTest::newRow("letter case") << list << "news" << 3;
        QTest::newRow("unknown") << list << "Sport" << 0;
        QTest::newRow("all groups") << list << "*" << 0;
        QTest::newRow("empty list") << ""
                                    << "News" << 0;
        QTest::newRow("first wins") << "A\t1\ra\t2\r"
                                    << "A" << 1;
        QTest::newRow("lenient number") << "A\t 1 2x\r"
                                        << "A" << 12;
        QTest::newRow("japanese") << "未分類\t0\r技術\t12\r"
                                  << "技術" << 12;
    }
    void groupNumbers()
    {
        QFETCH(QString, list);
        QFETCH(QString, name);
        QFETCH(int, number);
        QCOMPARE(Usr::GrpNoOf(name, list), number);
        Usr::sGrpList = list;
        QCOMPARE(Usr::GrpNoOf(name), number);
        Usr::sGrpList.clear();
    }
};

QTEST_GUILESS_MAIN(TestUsrNames)
#include "tst_usrnames.moc"
