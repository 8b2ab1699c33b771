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
        const auto row = [](const char *tag, const QString &exe, const QString &name) {
            QTest::newRow(tag) << exe << name;
        };
        row("plain", "/opt/lw/Sample", "Sample");
        row("dv small", "/opt/lw/Sample_dv", "Sample");
        row("dv capital", "/opt/lw/Sample_DV", "Sample");
        row("dv mixed", "/opt/lw/Sample_Dv.exe", "Sample");
        row("no underscore", "/opt/lw/Sampledv", "Sampledv");
        row("extension", "C:/apps/Linkwell.exe", "Linkwell");
        row("only dv", "/x/_dv", "");
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
        const auto row = [](const char *tag, const QString &s, const QString &suffix,
                            const QString &result) { QTest::newRow(tag) << s << suffix << result; };
        row("trailing comma", "12,15,", ",", "12,15");
        row("no suffix", "12,15", ",", "12,15");
        row("empty suffix", "12,15,", "", "12,15,");
        row("only once", "1,,", ",", "1,");
    }
    void cutEnd()
    {
        QFETCH(QString, s);
        QFETCH(QString, suffix);
        QFETCH(QString, result);
        Usr::CutEnd(s, suffix);
        QCOMPARE(s, result);
    }
};

QTEST_GUILESS_MAIN(TestUsrNames)
#include "tst_usrnames.moc"
