#include "app/Usr.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "settings/yIni.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kDecl = QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>");

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A settings document with the group "画面" holding the given value lines.
QByteArray document(const QString &lines)
{
    return Cp932::encode(kDecl + QStringLiteral("\r\n<運用>\r\n   <画面>\r\n") + lines
                         + QStringLiteral("   </画面>\r\n</運用>"));
}

} // namespace

class TestYIni : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    int m_n = 0;

    QString freshPath() { return m_tmp.filePath(QStringLiteral("u%1/User.xml").arg(++m_n)); }

    QString load(yIni &ini, const QByteArray &bytes)
    {
        const QString path = freshPath();
        QDir().mkpath(QFileInfo(path).path());
        writeFile(path, bytes);
        bool ok = false;
        ini.GetTxt(path, ok);
        ini.GetGtx(QStringLiteral("画面"));
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        Dialogs::enableTestMode();
    }
    void init() { Dialogs::clearShown(); }

    void firstRunWritesSixLines()
    {
        const QString path = freshPath();
        QDir().mkpath(QFileInfo(path).path());
        yIni ini;
        bool ok = false;
        ini.GetTxt(path, ok);
        QVERIFY(ok);
        QVERIFY(QFile::exists(path));
        QCOMPARE(readFile(path), QByteArray()); // created empty at once
        QCOMPARE(ini.documentText(), kDecl + QStringLiteral("\r\n<運用>\r\n</運用>"));
        ini.GetGtx(QStringLiteral("画面"));
        const QVariant v = ini.vGtVal(QStringLiteral("PC_SIZE"), 0);
        QCOMPARE(v.typeId(), int(QMetaType::Int));
        QCOMPARE(v.toInt(), 0);
        ini.SetVal(QStringLiteral("PC_SIZE"), 50);
        ini.SetGtx();
        ok = false;
        ini.SetTxt(ok);
        QVERIFY(ok);
        QCOMPARE(readFile(path), document(QStringLiteral("      <PC_SIZE>50</PC_SIZE>\r\n")));
        QVERIFY(Dialogs::shown().isEmpty());

        // Read back through a new object: the same value, nothing reported.
        yIni again;
        again.GetTxt(path, ok);
        again.GetGtx(QStringLiteral("画面"));
        QCOMPARE(again.vGtVal(QStringLiteral("PC_SIZE"), 0).toDouble(), 50.0);
        QCOMPARE(again.groupText(), QStringLiteral("      <PC_SIZE>50</PC_SIZE>\r\n"));
    }

    void leadingEmptyLineReadsAsEmpty()
    {
        yIni ini;
        const QString path = load(ini, "\r\n" + document(QStringLiteral("      <PC_SIZE>75</PC_SIZE>\r\n")));
        QCOMPARE(ini.documentText(), kDecl + QStringLiteral("\r\n<運用>\r\n</運用>"));
        QCOMPARE(ini.vGtVal(QStringLiteral("PC_SIZE"), 0).toInt(), 0);
        ini.SetVal(QStringLiteral("PC_SIZE"), 50);
        ini.SetGtx();
        bool ok = false;
        ini.SetTxt(ok);
        QCOMPARE(readFile(path), document(QStringLiteral("      <PC_SIZE>50</PC_SIZE>\r\n")));
    }

    void damagedElements_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("tag");
        QTest::newRow("start without end") << "      <PC_SIZE>75\r\n" << "PC_SIZE";
        QTest::newRow("end without start") << "      75</PC_SIZE>\r\n" << "PC_SIZE";
        QTest::newRow("end before start") << "      </PC_SIZE>75<PC_SIZE>\r\n" << "PC_SIZE";
    }
    void damagedElements()
    {
        QFETCH(QString, lines);
        QFETCH(QString, tag);
        yIni ini;
        const QString path = load(ini, document(lines));
        QCOMPARE(ini.vGtVal(QStringLiteral("PC_SIZE"), 0).toInt(), 0);
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList{u'<' + tag + QStringLiteral("> の設定が読み込めません\rﾕｰｻﾞｰ環境ﾌｧｲﾙ(")
                             + path + QStringLiteral(") が破損しています")});
        // A later store appends a complete line; the damaged one stays.
        ini.SetVal(QStringLiteral("PC_SIZE"), 32);
        if (lines.startsWith(QStringLiteral("      <PC_SIZE>75\r")))
            QCOMPARE(ini.groupText(), lines + QStringLiteral("      <PC_SIZE>32</PC_SIZE>\r\n"));
    }

    void damagedGroup()
    {
        yIni ini;
        const QString path = freshPath();
        QDir().mkpath(QFileInfo(path).path());
        writeFile(path, Cp932::encode(kDecl + QStringLiteral("\r\n<運用>\r\n   <画面>\r\n</運用>")));
        bool ok = false;
        ini.GetTxt(path, ok);
        ini.GetGtx(QStringLiteral("画面"));
        QCOMPARE(ini.groupText(), QString());
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY(Dialogs::shown().first().text.startsWith(QStringLiteral("<画面> の設定が読み込めません")));
    }

    void missingGroupOrKeyIsSilent()
    {
        yIni ini;
        load(ini, document(QStringLiteral("      <A>1</A>\r\n")));
        QCOMPARE(ini.vGtVal(QStringLiteral("B"), QStringLiteral("def")).toString(), QStringLiteral("def"));
        ini.GetGtx(QStringLiteral("他"));
        QCOMPARE(ini.groupText(), QString());
        QVERIFY(Dialogs::shown().isEmpty());
    }

    void keysAreCaseSensitive()
    {
        yIni ini;
        load(ini, document(QStringLiteral("      <pc_size>75</pc_size>\r\n")));
        QCOMPARE(ini.vGtVal(QStringLiteral("PC_SIZE"), 0).toInt(), 0);
        ini.SetVal(QStringLiteral("PC_SIZE"), 50);
        QCOMPARE(ini.groupText(),
                 QStringLiteral("      <pc_size>75</pc_size>\r\n      <PC_SIZE>50</PC_SIZE>\r\n"));
    }

    void numberRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("75") << "75" << 75.0;
        QTest::newRow("75abc") << "75abc" << 75.0;
        QTest::newRow("abc") << "abc" << 0.0;
        QTest::newRow("blanks inside") << " 7 5" << 75.0;
        QTest::newRow("negative") << "-1" << -1.0;
        QTest::newRow("exponent") << "-1.5e2" << -150.0;
        QTest::newRow("capital exponent") << "2E3x" << 2000.0;
        QTest::newRow("dangling exponent") << "1e" << 1.0;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("plus") << "+12.25" << 12.25;
        QTest::newRow("tab and line feed") << "\t1\n2" << 12.0;
        QTest::newRow("sign only") << "-" << 0.0;
    }
    void numberRule()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        yIni ini;
        load(ini, document(QStringLiteral("      <N>") + text + QStringLiteral("</N>\r\n")));
        const QVariant v = ini.vGtVal(QStringLiteral("N"), 0);
        QCOMPARE(v.typeId(), int(QMetaType::Double));
        QCOMPARE(v.toDouble(), value);
    }

    void emptyValueGivesTheDefaultInItsType()
    {
        yIni ini;
        load(ini, document(QStringLiteral("      <N></N>\r\n")));
        const QVariant v = ini.vGtVal(QStringLiteral("N"), 0);
        QCOMPARE(v.typeId(), int(QMetaType::Int));
        QCOMPARE(v.toInt(), 0);
        QCOMPARE(ini.vGtVal(QStringLiteral("N"), QStringLiteral("x")).toString(), QStringLiteral("x"));
    }

    void booleans_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("def");
        QTest::addColumn<bool>("value");
        QTest::newRow("True") << "True" << false << true;
        QTest::newRow("false any case") << "fALSE" << true << false;
        QTest::newRow("number") << "2" << false << true;
        QTest::newRow("zero") << "0" << true << false;
        QTest::newRow("empty") << "" << true << true;
        QTest::newRow("not a boolean") << "maybe" << true << true;
    }
    void booleans()
    {
        QFETCH(QString, text);
        QFETCH(bool, def);
        QFETCH(bool, value);
        yIni ini;
        load(ini, document(QStringLiteral("      <B>") + text + QStringLiteral("</B>\r\n")));
        const QVariant v = ini.vGtVal(QStringLiteral("B"), def);
        QCOMPARE(v.typeId(), int(QMetaType::Bool));
        QCOMPARE(v.toBool(), value);
    }

    void dates()
    {
        const QDate stored(2026, 3, 14);
        const QDate def(2000, 1, 1);
        yIni ini;
        load(ini, document(QStringLiteral("      <D>") + yIni::valueText(stored)
                           + QStringLiteral("</D>\r\n      <E>no date</E>\r\n")));
        QCOMPARE(ini.vGtVal(QStringLiteral("D"), def).toDate(), stored);
        QCOMPARE(ini.vGtVal(QStringLiteral("E"), def).toDate(), def);
        QCOMPARE(ini.vGtVal(QStringLiteral("F"), def).toDate(), def);
    }

    void valueTexts_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("int") << QVariant(50) << "50";
        QTest::newRow("negative") << QVariant(-1) << "-1";
        QTest::newRow("double") << QVariant(2.5) << "2.5";
        QTest::newRow("whole double") << QVariant(100.0) << "100";
        QTest::newRow("bool") << QVariant(true) << "True";
        QTest::newRow("string") << QVariant(QStringLiteral("a‡b")) << "a‡b";
    }
    void valueTexts()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QCOMPARE(yIni::valueText(value), text);
    }

    void updateInPlaceAndAppend()
    {
        yIni ini;
        load(ini, document(QStringLiteral("      <A>1</A>\r\n      <PC_SIZE>75</PC_SIZE>\r\n      <Z>9</Z>\r\n")));
        ini.SetVal(QStringLiteral("PC_SIZE"), 32);
        ini.SetVal(QStringLiteral("NEW"), QStringLiteral("x‡y"));
        QCOMPARE(ini.groupText(), QStringLiteral("      <A>1</A>\r\n      <PC_SIZE>32</PC_SIZE>\r\n"
                                                 "      <Z>9</Z>\r\n      <NEW>x\r\ny</NEW>\r\n"));
        // Updating keeps a "‡" of the value as it is.
        ini.SetVal(QStringLiteral("A"), QStringLiteral("p‡q"));
        QVERIFY(ini.groupText().startsWith(QStringLiteral("      <A>p‡q</A>\r\n")));
    }

    void groupsMergeInPlaceOrBeforeTheRootEnd()
    {
        yIni ini;
        const QByteArray two = Cp932::encode(
            kDecl + QStringLiteral("\r\n<運用>\r\n   <画面>\r\n      <A>1</A>\r\n   </画面>\r\n"
                                   "   <他>\r\n      <X>1</X>\r\n   </他>\r\n</運用>"));
        const QString path = load(ini, two);
        ini.SetVal(QStringLiteral("A"), 2);
        ini.SetGtx();
        ini.GetGtx(QStringLiteral("新"));
        ini.SetVal(QStringLiteral("K"), 5);
        ini.SetGtx();
        bool ok = false;
        ini.SetTxt(ok);
        QVERIFY(ok);
        QCOMPARE(readFile(path),
                 Cp932::encode(kDecl + QStringLiteral("\r\n<運用>\r\n   <画面>\r\n      <A>2</A>\r\n   </画面>\r\n"
                                                      "   <他>\r\n      <X>1</X>\r\n   </他>\r\n"
                                                      "   <新>\r\n      <K>5</K>\r\n   </新>\r\n</運用>")));
        // Reading what SetGtx wrote gives back the same group text.
        yIni back;
        back.GetTxt(path, ok);
        back.GetGtx(QStringLiteral("新"));
        QCOMPARE(back.groupText(), QStringLiteral("      <K>5</K>\r\n"));
    }

    void unchangedDocumentIsWrittenBackByteForByte()
    {
        yIni ini;
        const QByteArray bytes = document(QStringLiteral("      <PC_SIZE>32</PC_SIZE>\r\n      <HOME_URL>file:///x?a=1&b=2</HOME_URL>\r\n"));
        const QString path = load(ini, bytes);
        ini.SetGtx();
        bool ok = false;
        ini.SetTxt(ok);
        QCOMPARE(readFile(path), bytes);
    }

    void dvRule_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("used");
        QTest::newRow("_DV") << "User_DV.xml" << "User.xml";
        QTest::newRow("small") << "user_dv.XML" << "user.xml";
        QTest::newRow("none") << "User.xml" << "User.xml";
        QTest::newRow("only first") << "a_dv.xml_DV.xml" << "a.xml_DV.xml";
    }
    void dvRule()
    {
        QFETCH(QString, given);
        QFETCH(QString, used);
        const QString dir = m_tmp.filePath(QStringLiteral("dv%1/").arg(++m_n));
        QDir().mkpath(dir);
        yIni ini;
        bool ok = false;
        ini.GetTxt(dir + given, ok);
        QVERIFY(ok);
        QCOMPARE(ini.filePath(), dir + used);
        QVERIFY(QFile::exists(dir + used));
    }

    void failedWriteKeepsTheOldFile()
    {
        yIni ini;
        const QByteArray bytes = document(QStringLiteral("      <PC_SIZE>75</PC_SIZE>\r\n"));
        const QString path = load(ini, bytes);
        ini.SetVal(QStringLiteral("PC_SIZE"), 32);
        ini.SetGtx();
        // The folder is taken away and a directory stands where the file's folder was.
        const QString folder = QFileInfo(path).path();
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(QDir().mkpath(path)); // the settings path is now a folder
        bool ok = true;
        QString error;
        ini.SetTxt(ok, &error);
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        QVERIFY(QFileInfo(path).isDir());

        // With the file in place, a failing write leaves its bytes alone.
        yIni other;
        const QString path2 = load(other, bytes);
        other.SetVal(QStringLiteral("PC_SIZE"), 32);
        other.SetGtx();
        QFile::setPermissions(QFileInfo(path2).path(), QFile::ReadOwner | QFile::ExeOwner);
        ok = true;
        other.SetTxt(ok, &error);
        QFile::setPermissions(QFileInfo(path2).path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(readFile(path2), ok ? document(QStringLiteral("      <PC_SIZE>32</PC_SIZE>\r\n")) : bytes);
    }
};

QTEST_GUILESS_MAIN(TestYIni)
#include "tst_yini.moc"
