#include "app/Usr.h"

#include <QTest>

class TestUsrNames : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void programName()
    {
        for (const auto &[exe, name] : {std::pair {"/opt/lw/Sample", "Sample"},
                                        {"/opt/lw/Sample_DV", "Sample"},
                                        {"/opt/lw/Sample_Dv.exe", "Sample"},
                                        {"/opt/lw/Sampledv", "Sampledv"},
                                        {"/x/_dv", ""}})
            QCOMPARE(Usr::programNameFrom(QString::fromUtf8(exe)), QString::fromUtf8(name));
    }

    void cutEnd()
    {
        for (const auto &[s, suffix, result] : {std::tuple {"12,15,", ",", "12,15"},
                                                {"12,15", ",", "12,15"},
                                                {"12,15,", "", "12,15,"},
                                                {"1,,", ",", "1,"}}) {
            QString text = QString::fromUtf8(s);
            Usr::CutEnd(text, QString::fromUtf8(suffix));
            QCOMPARE(text, QString::fromUtf8(result));
        }
    }
};

QTEST_GUILESS_MAIN(TestUsrNames)
#include "tst_usrnames.moc"
