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

    void groupNumbers()
    {
        const QString list = QStringLiteral("XNews\t7\rNews\t3\r未分類\t0\r技術\t12\r");
        for (const auto &[name, number] : {std::pair {"News", 3},
                                           {"XNews", 7},
                                           {"news", 3},
                                           {"Sport", 0},
                                           {"*", 0},
                                           {"技術", 12}})
            QCOMPARE(Usr::GrpNoOf(QString::fromUtf8(name), list), number);
        QCOMPARE(Usr::GrpNoOf("News", QString()), 0);
        QCOMPARE(Usr::GrpNoOf("A", "A\t1\ra\t2\r"), 1); // the first wins
        QCOMPARE(Usr::GrpNoOf("A", "A\t 1 2x\r"), 12); // the number read leniently
        Usr::sGrpList = list;
        QCOMPARE(Usr::GrpNoOf("news"), 3);
        Usr::sGrpList.clear();
    }
};

QTEST_GUILESS_MAIN(TestUsrNames)
#include "tst_usrnames.moc"
