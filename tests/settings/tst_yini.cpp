#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "settings/yIni.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kDecl = QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>");
const QString kEmptyDoc = kDecl + QStringLiteral("\r\n<運用>\r\n</運用>");

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A document with one group "画面" holding the given value lines.
QString screenDocument(const QString &lines)
{
    return kDecl + QStringLiteral("\r\n<運用>\r\n   <画面>\r\n") + lines
        + QStringLiteral("   </画面>\r\n</運用>");
}

QString damageMessage(const QString &name, const QString &path)
{
    return u'<' + name + QStringLiteral("> の設定が読み込めません\rﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + path
        + QStringLiteral(") が破損しています");
}

} // namespace

class TestYIni : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *m_dir = nullptr;
    int m_count = 0;

    QString freshPath(const QString &name = QStringLiteral("User.xml"))
    {
        const QString folder = m_dir->filePath(QString::number(++m_count));
        QDir().mkpath(folder);
        return folder + u'/' + name;
    }

    // Loads a settings file with the given text and opens group "画面".
    QString load(yIni &ini, const QString &text)
    {
        const QString path = freshPath();
        writeBytes(path, Cp932::encode(text));
        bool ok = false;
        ini.GetTxt(path, ok);
        ini.GetGtx(QStringLiteral("画面"));
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
    }
    void cleanupTestCase() { delete m_dir; }
    void init() { Dialogs::clearShown(); }
    void cleanup() { yIni::resetDateLocale(); }

    void firstRunWritesTheSixLineFile()
    {
        const QString path = freshPath();
        yIni ini;
        bool ok = false;
        ini.GetTxt(path, ok);
        QVERIFY(ok);
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(QFileInfo(path).size(), 0); // created empty at once
        QCOMPARE(ini.documentText(), kEmptyDoc);

        ini.GetGtx(QStringLiteral("画面"));
        QCOMPARE(ini.groupText(), QString());
        const QVariant v = ini.vGtVal(QStringLiteral("PC_SIZE"), 0);
        QCOMPARE(v.typeId(), int(QMetaType::Int));
        QCOMPARE(v.toInt(), 0);
        ini.SetVal(QStringLiteral("PC_SIZE"), 50);
        ini.SetGtx();
        ok = false;
        ini.SetTxt(ok);
        QVERIFY(ok);
        QVERIFY(Dialogs::shown().isEmpty());

        const QByteArray expected = "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n"
                                    "<\x89\x5e\x97\x70>\r\n"
                                    "   <\x89\xe6\x96\xca>\r\n"
                                    "      <PC_SIZE>50</PC_SIZE>\r\n"
                                    "   </\x89\xe6\x96\xca>\r\n"
                                    "</\x89\x5e\x97\x70>";
        QCOMPARE(readBytes(path), expected);

        // The next start reads the value back.
        yIni again;
        again.GetTxt(path, ok);
        again.GetGtx(QStringLiteral("画面"));
        const QVariant back = again.vGtVal(QStringLiteral("PC_SIZE"), 0);
        QCOMPARE(back.typeId(), int(QMetaType::Double));
        QCOMPARE(back.toDouble(), 50.0);
        QCOMPARE(readBytes(path), expected); // reading alone never changes the file
    }

    void fileStartingWithEmptyLineReadsAsEmpty_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("CR LF first")
            << QByteArray("\r\n<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<x>\r\n</x>");
        QTest::newRow("LF first") << QByteArray("\n   <\x89\xe6\x96\xca>\r\n");
    }
    void fileStartingWithEmptyLineReadsAsEmpty()
    {
        QFETCH(QByteArray, bytes);
        const QString path = freshPath();
        writeBytes(path, bytes);
        yIni ini;
        bool ok = false;
        ini.GetTxt(path, ok);
        QVERIFY(ok);
        QCOMPARE(ini.documentText(), kEmptyDoc);
        ini.GetGtx(QStringLiteral("画面"));
        ini.SetVal(QStringLiteral("PC_SIZE"), 32);
        ini.SetGtx();
        ini.SetTxt(ok);
        QVERIFY(ok);
        QCOMPARE(Cp932::decode(readBytes(path)),
                 screenDocument(QStringLiteral("      <PC_SIZE>32</PC_SIZE>\r\n")));
    }

    void damagedValueFallsBackAndIsReported_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("start without end") << QStringLiteral("      <PC_SIZE>75\r\n");
        QTest::newRow("end without start") << QStringLiteral("      75</PC_SIZE>\r\n");
        QTest::newRow("end before start") << QStringLiteral("      </PC_SIZE>75<PC_SIZE>\r\n");
    }
    void damagedValueFallsBackAndIsReported()
    {
        QFETCH(QString, line);
        yIni ini;
        const QString path = load(ini, screenDocument(line));
        QVERIFY(Dialogs::shown().isEmpty());

        const QVariant v = ini.vGtVal(QStringLiteral("PC_SIZE"), 0);
        QCOMPARE(v.typeId(), int(QMetaType::Int));
        QCOMPARE(v.toInt(), 0);
        const QList<Dialogs::Shown> shown = Dialogs::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, damageMessage(QStringLiteral("PC_SIZE"), path));
        QCOMPARE(shown.first().buttons, Dialogs::Buttons::Ok);

        // A new, complete line is appended; the damaged one stays.
        ini.SetVal(QStringLiteral("PC_SIZE"), 50);
        QCOMPARE(ini.groupText(), line + QStringLiteral("      <PC_SIZE>50</PC_SIZE>\r\n"));
        ini.SetGtx();
        bool ok = false;
        ini.SetTxt(ok);
        QVERIFY(ok);
        QCOMPARE(Cp932::decode(readBytes(path)),
                 screenDocument(line + QStringLiteral("      <PC_SIZE>50</PC_SIZE>\r\n")));
    }

    void damagedGroupIsReportedAndAddedAnew()
    {
        const QString text = kDecl + QStringLiteral("\r\n<運用>\r\n   <画面>\r\n</運用>");
        yIni ini;
        const QString path = load(ini, text);
        QCOMPARE(Dialogs::shownTexts(), QStringList {damageMessage(QStringLiteral("画面"), path)});
        QCOMPARE(ini.groupText(), QString());
        ini.SetVal(QStringLiteral("PC_SIZE"), 50);
        ini.SetGtx(); // no end tag to merge into: the group is added before the root end
        QCOMPARE(ini.documentText(),
                 kDecl
                     + QStringLiteral("\r\n<運用>\r\n   <画面>\r\n   <画面>\r\n      "
                                      "<PC_SIZE>50</PC_SIZE>\r\n   </画面>\r\n</運用>"));
    }

    void keysMatchCaseSensitively()
    {
        yIni ini;
        load(ini, screenDocument(QStringLiteral("      <pc_size>75</pc_size>\r\n")));
        const QVariant v = ini.vGtVal(QStringLiteral("PC_SIZE"), 0);
        QCOMPARE(v.typeId(), int(QMetaType::Int));
        QCOMPARE(v.toInt(), 0);
        QVERIFY(Dialogs::shown().isEmpty());
        QCOMPARE(ini.vGtVal(QStringLiteral("pc_size"), 0).toDouble(), 75.0);
        ini.SetVal(QStringLiteral("PC_SIZE"), 50);
        QCOMPARE(ini.groupText(),
                 QStringLiteral("      <pc_size>75</pc_size>\r\n"
                                "      <PC_SIZE>50</PC_SIZE>\r\n"));
    }

    void numbersFollowTheLenientRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("def");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("75") << "75" << QVariant(0) << QVariant(75.0);
        QTest::newRow("75abc") << "75abc" << QVariant(0) << QVariant(75.0);
        QTest::newRow("abc") << "abc" << QVariant(0) << QVariant(0.0);
        QTest::newRow("empty") << "" << QVariant(0) << QVariant(0);
        QTest::newRow("spaced") << " 7 5" << QVariant(0) << QVariant(75.0);
        QTest::newRow("exponent") << "-1.5e2" << QVariant(0) << QVariant(-150.0);
        QTest::newRow("bare exponent") << "1e" << QVariant(0) << QVariant(1.0);
        QTest::newRow("leading point") << ".5" << QVariant(0) << QVariant(0.5);
        QTest::newRow("minus one") << "-1" << QVariant(50) << QVariant(-1.0);
        QTest::newRow("empty double") << "" << QVariant(2.5) << QVariant(2.5);
        QTest::newRow("empty long long") << "" << QVariant(qlonglong(7)) << QVariant(qlonglong(7));
        QTest::newRow("double default") << "12.25" << QVariant(1.0) << QVariant(12.25);
    }
    void numbersFollowTheLenientRule()
    {
        QFETCH(QString, text);
        QFETCH(QVariant, def);
        QFETCH(QVariant, expected);
        yIni ini;
        load(ini,
             screenDocument(QStringLiteral("      <PC_SIZE>") + text
                            + QStringLiteral("</PC_SIZE>\r\n")));
        const QVariant v = ini.vGtVal(QStringLiteral("PC_SIZE"), def);
        QCOMPARE(v.typeId(), expected.typeId());
        QCOMPARE(v, expected);
    }

    void booleans_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("def");
        QTest::addColumn<bool>("expected");
        QTest::newRow("True") << "True" << false << true;
        QTest::newRow("FALSE") << "FALSE" << true << false;
        QTest::newRow("tRuE") << "tRuE" << false << true;
        QTest::newRow("zero") << "0" << true << false;
        QTest::newRow("minus one") << "-1" << false << true;
        QTest::newRow("fraction") << "0.5" << false << true;
        QTest::newRow("empty keeps true") << "" << true << true;
        QTest::newRow("empty keeps false") << "" << false << false;
        QTest::newRow("unconvertible true") << "yes" << true << true;
        QTest::newRow("unconvertible false") << "yes" << false << false;
        QTest::newRow("number with text") << "1x" << false << false;
    }
    void booleans()
    {
        QFETCH(QString, text);
        QFETCH(bool, def);
        QFETCH(bool, expected);
        yIni ini;
        load(ini, screenDocument(QStringLiteral("      <B>") + text + QStringLiteral("</B>\r\n")));
        const QVariant v = ini.vGtVal(QStringLiteral("B"), def);
        QCOMPARE(v.typeId(), int(QMetaType::Bool));
        QCOMPARE(v.toBool(), expected);
    }

    void strings()
    {
        yIni ini;
        load(ini, screenDocument(QStringLiteral("      <S>  a b </S>\r\n      <E></E>\r\n")));
        QCOMPARE(ini.vGtVal(QStringLiteral("S"), QStringLiteral("x")),
                 QVariant(QStringLiteral("  a b ")));
        QCOMPARE(ini.vGtVal(QStringLiteral("E"), QStringLiteral("x")),
                 QVariant(QStringLiteral("x")));
        QCOMPARE(ini.vGtVal(QStringLiteral("missing"), QStringLiteral("y")),
                 QVariant(QStringLiteral("y")));
    }

    void dates_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("expected");
        const QDate def(2000, 1, 1);
        QTest::newRow("US four-digit year") << "en_US"
                                            << "3/5/2024" << QDate(2024, 3, 5);
        QTest::newRow("US locale long") << "en_US"
                                        << "Tuesday, March 5, 2024" << QDate(2024, 3, 5);
        QTest::newRow("Japanese") << "ja_JP"
                                  << "2024/03/05" << QDate(2024, 3, 5);
        QTest::newRow("ISO") << "ja_JP"
                             << "2024-03-05" << QDate(2024, 3, 5);
        QTest::newRow("German") << "de_DE"
                                << "05.03.24" << QDate(1924, 3, 5);
        QTest::newRow("not a date") << "en_US"
                                    << "soon" << def;
        QTest::newRow("empty") << "en_US"
                               << "" << def;
        QTest::newRow("impossible day") << "ja_JP"
                                        << "2024/02/30" << def;
    }
    void dates()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QDate, expected);
        yIni::setDateLocale(QLocale(locale));
        yIni ini;
        load(ini, screenDocument(QStringLiteral("      <D>") + text + QStringLiteral("</D>\r\n")));
        const QVariant v = ini.vGtVal(QStringLiteral("D"), QDate(2000, 1, 1));
        QCOMPARE(v.typeId(), int(QMetaType::QDate));
        QCOMPARE(v.toDate(), expected);
    }

    // What is written reads back the same, whatever the locale's own year width.
    void datesRoundTrip_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("written");
        QTest::newRow("system") << QString() << QString();
        QTest::newRow("US") << "en_US"
                            << "3/5/2024";
        QTest::newRow("Japanese") << "ja_JP"
                                  << "2024/03/05";
        QTest::newRow("German") << "de_DE"
                                << "05.03.2024";
    }
    void datesRoundTrip()
    {
        QFETCH(QString, locale);
        QFETCH(QString, written);
        if (!locale.isEmpty())
            yIni::setDateLocale(QLocale(locale));
        const QDate day(2024, 3, 5);
        const QDateTime moment(day, QTime(13, 45, 30));
        yIni ini;
        load(ini, screenDocument(QString()));
        ini.SetVal(QStringLiteral("D"), day);
        ini.SetVal(QStringLiteral("T"), moment);
        if (!written.isEmpty())
            QVERIFY2(ini.groupText().startsWith(QStringLiteral("      <D>") + written
                                                + QStringLiteral("</D>\r\n")),
                     qPrintable(ini.groupText()));
        QCOMPARE(ini.vGtVal(QStringLiteral("D"), QDate(2000, 1, 1)).toDate(), day);
        QCOMPARE(ini.vGtVal(QStringLiteral("T"), QDateTime()).toDateTime(), moment);
    }

    void valueTexts_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("int") << QVariant(50) << "50";
        QTest::newRow("negative") << QVariant(-1) << "-1";
        QTest::newRow("long long") << QVariant(qlonglong(12345678901LL)) << "12345678901";
        QTest::newRow("unsigned") << QVariant(4000000000U) << "4000000000";
        QTest::newRow("double") << QVariant(0.1) << "0.1";
        QTest::newRow("whole double") << QVariant(75.0) << "75";
        QTest::newRow("large double") << QVariant(1e20) << "1e+20";
        QTest::newRow("third") << QVariant(1.0 / 3) << "0.3333333333333333";
        QTest::newRow("float") << QVariant(0.1f) << "0.1";
        QTest::newRow("true") << QVariant(true) << "True";
        QTest::newRow("false") << QVariant(false) << "False";
        QTest::newRow("string") << QVariant(QStringLiteral(" 画 ")) << " 画 ";
    }
    void valueTexts()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        yIni ini;
        load(ini, screenDocument(QString()));
        ini.SetVal(QStringLiteral("K"), value);
        QCOMPARE(ini.groupText(), QStringLiteral("      <K>") + text + QStringLiteral("</K>\r\n"));
        if (value.typeId() == QMetaType::Double)
            QCOMPARE(ini.vGtVal(QStringLiteral("K"), 0).toDouble(), value.toDouble());
    }

    void updateInPlaceVersusAppend()
    {
        yIni ini;
        load(ini,
             screenDocument(QStringLiteral("      <A>1</A>\r\n      <B>2</B>\r\n"
                                           "      <C>3</C>\r\n")));
        ini.SetVal(QStringLiteral("B"), 77);
        QCOMPARE(ini.groupText(),
                 QStringLiteral("      <A>1</A>\r\n      <B>77</B>\r\n"
                                "      <C>3</C>\r\n"));
        ini.SetVal(QStringLiteral("B"), QString()); // emptied, still in place
        ini.SetVal(QStringLiteral("D"), QStringLiteral("x"));
        QCOMPARE(ini.groupText(),
                 QStringLiteral("      <A>1</A>\r\n      <B></B>\r\n"
                                "      <C>3</C>\r\n      <D>x</D>\r\n"));
        // "‡" marks line breaks only while a new line is built.
        ini.SetVal(QStringLiteral("A"), QStringLiteral("a‡b"));
        ini.SetVal(QStringLiteral("E"), QStringLiteral("c‡d"));
        QCOMPARE(ini.groupText(),
                 QStringLiteral("      <A>a‡b</A>\r\n      <B></B>\r\n"
                                "      <C>3</C>\r\n      <D>x</D>\r\n"
                                "      <E>c\r\nd</E>\r\n"));
    }

    void groupsKeepTheirPlace()
    {
        const QString g1 = QStringLiteral("   <一>\r\n      <K>1</K>\r\n   </一>\r\n");
        const QString g2 = QStringLiteral("   <二>\r\n      <K>2</K>\r\n   </二>\r\n");
        const QString text
            = kDecl + QStringLiteral("\r\n<運用>\r\n") + g1 + g2 + QStringLiteral("</運用>");
        const QString path = freshPath();
        writeBytes(path, Cp932::encode(text));
        yIni ini;
        bool ok = false;
        ini.GetTxt(path, ok);

        ini.GetGtx(QStringLiteral("一"));
        QCOMPARE(ini.groupText(), QStringLiteral("      <K>1</K>\r\n"));
        ini.SetVal(QStringLiteral("K"), 10);
        ini.SetGtx();
        const QString g1New = QStringLiteral("   <一>\r\n      <K>10</K>\r\n   </一>\r\n");
        QCOMPARE(ini.documentText(),
                 kDecl + QStringLiteral("\r\n<運用>\r\n") + g1New + g2 + QStringLiteral("</運用>"));

        // A change without SetGtx is dropped by the next GetGtx.
        ini.GetGtx(QStringLiteral("二"));
        ini.SetVal(QStringLiteral("K"), 20);
        ini.GetGtx(QStringLiteral("新"));
        QCOMPARE(ini.groupText(), QString());
        ini.SetVal(QStringLiteral("N"), 1);
        ini.SetGtx();
        QCOMPARE(ini.documentText(),
                 kDecl + QStringLiteral("\r\n<運用>\r\n") + g1New + g2
                     + QStringLiteral("   <新>\r\n      <N>1</N>\r\n   </新>\r\n"
                                      "</運用>"));
        QVERIFY(Dialogs::shown().isEmpty());
    }

    void groupWithoutRootEnd_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString group
            = QStringLiteral("   <画面>\r\n      <PC_SIZE>50</PC_SIZE>\r\n   </画面>\r\n");
        QTest::newRow("ends in a line end")
            << kDecl + QStringLiteral("\r\n<運用>\r\n")
            << kDecl + QStringLiteral("\r\n<運用>\r\n") + group + QStringLiteral("</運用>");
        QTest::newRow("ends mid-line")
            << kDecl + QStringLiteral("\r\n<運用>")
            << kDecl + QStringLiteral("\r\n<運用>\r\n") + group + QStringLiteral("</運用>");
    }
    void groupWithoutRootEnd()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        yIni ini;
        const QString path = load(ini, text);
        ini.SetVal(QStringLiteral("PC_SIZE"), 50);
        ini.SetGtx();
        QCOMPARE(ini.documentText(), expected);
        // The closed document reads back.
        bool ok = false;
        ini.SetTxt(ok);
        QVERIFY(ok);
        yIni again;
        again.GetTxt(path, ok);
        again.GetGtx(QStringLiteral("画面"));
        QCOMPARE(again.vGtVal(QStringLiteral("PC_SIZE"), 0).toDouble(), 50.0);
    }

    void groupTextRoundTrips_data()
    {
        QTest::addColumn<QString>("group");
        QTest::newRow("empty") << QString();
        QTest::newRow("one line") << QStringLiteral("      <PC_SIZE>50</PC_SIZE>\r\n");
        QTest::newRow("two lines") << QStringLiteral("      <A>1</A>\r\n      <B>画面</B>\r\n");
        QTest::newRow("odd spacing") << QStringLiteral(" x \r\n\r\n  ");
    }
    void groupTextRoundTrips()
    {
        QFETCH(QString, group);
        yIni ini;
        load(ini, screenDocument(group));
        QCOMPARE(ini.groupText(), group);
        const QString before = ini.documentText();
        ini.SetGtx();
        QCOMPARE(ini.documentText(), before);
        ini.GetGtx(QStringLiteral("画面"));
        QCOMPARE(ini.groupText(), group);
        QVERIFY(Dialogs::shown().isEmpty());
    }

    void squeezedGroupReadsEmpty_data()
    {
        QTest::addColumn<QString>("group");
        QTest::newRow("one line") << QStringLiteral("<画面></画面>\r\n");
        QTest::newRow("no indent") << QStringLiteral("<画面>\r\n</画面>\r\n");
    }
    void squeezedGroupReadsEmpty()
    {
        QFETCH(QString, group);
        yIni ini;
        load(ini,
             kDecl + QStringLiteral("\r\n<運用>\r\n") + group
                 + QStringLiteral("   <二>\r\n      <PC_SIZE>75</PC_SIZE>\r\n   </二>\r\n</運用>"));
        QCOMPARE(ini.groupText(), QString());
        QCOMPARE(ini.vGtVal(QStringLiteral("PC_SIZE"), 0), QVariant(0));
        QVERIFY(Dialogs::shown().isEmpty());
    }

    void newGroupTextRoundTrips()
    {
        yIni ini;
        load(ini, kEmptyDoc);
        ini.GetGtx(QStringLiteral("新"));
        ini.SetVal(QStringLiteral("A"), 1);
        ini.SetVal(QStringLiteral("B"), QStringLiteral("two"));
        const QString group = ini.groupText();
        ini.SetGtx();
        ini.GetGtx(QStringLiteral("画面"));
        ini.GetGtx(QStringLiteral("新"));
        QCOMPARE(ini.groupText(), group);
    }

    void dvRule_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("used");
        QTest::newRow("User_DV.xml") << "User_DV.xml"
                                     << "User.xml";
        QTest::newRow("user_dv.XML") << "user_dv.XML"
                                     << "user.xml";
        QTest::newRow("mixed case") << "User_Dv.Xml"
                                    << "User.xml";
        QTest::newRow("without") << "User.xml"
                                 << "User.xml";
        QTest::newRow("dv without point") << "User_DVxml"
                                          << "User_DVxml";
        QTest::newRow("only the first") << "a_dv.xml_dv.xml"
                                        << "a.xml_dv.xml";
    }
    void dvRule()
    {
        QFETCH(QString, given);
        QFETCH(QString, used);
        const QString path = freshPath(given);
        const QString folder = QFileInfo(path).path();
        yIni ini;
        bool ok = false;
        ini.GetTxt(path, ok);
        QVERIFY(ok);
        QCOMPARE(ini.filePath(), folder + u'/' + used);
        QVERIFY(QFileInfo(folder + u'/' + used).isFile());
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList {used});
    }

    void readFailureKeepsTheFile()
    {
        // Something in the way that cannot be read as a file, even as root.
        const QString path = freshPath();
        QVERIFY(QDir().mkdir(path));
        writeBytes(path + QStringLiteral("/inside"), "kept");
        yIni ini;
        bool ok = true;
        QString error;
        ini.GetTxt(path, ok, &error);
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        QCOMPARE(ini.documentText(), kEmptyDoc);
        ini.GetGtx(QStringLiteral("画面"));
        ini.SetVal(QStringLiteral("PC_SIZE"), 50);
        ini.SetGtx();
        ok = true;
        error.clear();
        ini.SetTxt(ok, &error);
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        QVERIFY(QFileInfo(path).isDir());
        QCOMPARE(readBytes(path + QStringLiteral("/inside")), QByteArray("kept"));
    }

    void missingFolderIsReportedByGetTxt()
    {
        const QString path = m_dir->filePath(QStringLiteral("no/such/folder/User.xml"));
        yIni ini;
        bool ok = true;
        QString error;
        ini.GetTxt(path, ok, &error);
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        QCOMPARE(ini.documentText(), kEmptyDoc);
    }

    void failedWriteLeavesTheOldFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("name too long for the temporary file") << "long";
        QTest::newRow("file replaced by a folder") << "folder";
        QTest::newRow("folder removed") << "removed";
    }
    void failedWriteLeavesTheOldFile()
    {
        QFETCH(QString, how);
        const QString name = how == u"long" ? QString(250, u'n') + QStringLiteral(".xml")
                                            : QStringLiteral("User.xml");
        const QString path = freshPath(name);
        const QByteArray old
            = Cp932::encode(screenDocument(QStringLiteral("      <PC_SIZE>75</PC_SIZE>\r\n")));
        writeBytes(path, old);
        yIni ini;
        bool ok = false;
        ini.GetTxt(path, ok);
        QVERIFY(ok);
        ini.GetGtx(QStringLiteral("画面"));
        ini.SetVal(QStringLiteral("PC_SIZE"), 32);
        ini.SetGtx();

        const QString folder = QFileInfo(path).path();
        if (how == u"folder") {
            QVERIFY(QFile::rename(path, path + QStringLiteral(".keep")));
            QVERIFY(QDir().mkdir(path));
        } else if (how == u"removed") {
            QVERIFY(QFile::rename(path, folder + QStringLiteral(".keep")));
            QVERIFY(QDir(folder).removeRecursively());
        }
        ok = true;
        QString error;
        ini.SetTxt(ok, &error);
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        if (how == u"long") {
            QCOMPARE(readBytes(path), old);
            QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList {name});
        } else if (how == u"folder") {
            QVERIFY(QFileInfo(path).isDir());
            QCOMPARE(readBytes(path + QStringLiteral(".keep")), old);
        } else {
            QVERIFY(!QFileInfo::exists(folder));
        }
    }

    void setTxtBeforeGetTxtWritesNothing()
    {
        yIni ini;
        bool ok = false;
        ini.SetTxt(ok);
        QVERIFY(!ok);
        ok = true;
        ini.SetTxt(ok);
        QVERIFY(ok);
        QCOMPARE(ini.filePath(), QString());
    }
};

QTEST_GUILESS_MAIN(TestYIni)
#include "tst_yini.moc"
