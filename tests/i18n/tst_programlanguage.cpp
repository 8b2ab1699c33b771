#include "platform/Cp932.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The real program's language: the locale of its environment and the setting "LANG" of its
// data folder choose it, for the command line and for the window alike.
class TestProgramLanguage : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;

    struct Result
    {
        int code = -1;
        QString err;
    };

    static Result run(const QStringList &args, const QMap<QString, QString> &vars)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &name : {QStringLiteral("LANG"), QStringLiteral("LANGUAGE"),
                                    QStringLiteral("LC_ALL"), QStringLiteral("LC_MESSAGES")})
            env.remove(name);
        for (auto it = vars.cbegin(); it != vars.cend(); ++it)
            env.insert(it.key(), it.value());
        env.insert(QStringLiteral("LINKWELL_NONINTERACTIVE"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LINKWELL_SEARCH_URL"), QStringLiteral("about:blank"));
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   QStringLiteral("new_delete_type_mismatch=0:detect_leaks=0"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(LINKWELL_EXE), args);
        Result r;
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
            qWarning() << "crashed or hung:" << args << p.readAllStandardError();
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.code = p.exitCode();
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    // A data folder whose settings file holds the language setting (none when empty).
    QString dataDir(const QString &name, const QString &language)
    {
        const QString dir = m_tmp.filePath(name) + u'/';
        QDir().mkpath(dir);
        if (!language.isEmpty())
            TestFiles::write(
                dir + QStringLiteral("User.xml"),
                Cp932::encode("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n"
                              "   <画面>\r\n      <LANG>"
                              + language + "</LANG>\r\n   </画面>\r\n</運用>"));
        return dir;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        TestFiles::write(m_tmp.filePath(QStringLiteral("notes.txt")), "plain text, no bookmarks\n");
    }

    // A file that is no bookmark file refused by the command line. Which locales and settings
    // choose which language is the language choice's own test; here they reach the program.
    void commandLine_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("lcAll");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("english");
        QTest::newRow("en_US") << "en_US.UTF-8" << QString() << QString() << true;
        QTest::newRow("C.UTF-8") << "C.UTF-8" << QString() << QString() << false;
        QTest::newRow("no locale at all") << QString() << QString() << QString() << false;
        QTest::newRow("LC_ALL ja_JP over LANG en_US") << "en_US.UTF-8"
                                                      << "ja_JP.UTF-8" << QString() << false;
        QTest::newRow("setting en under ja_JP") << "ja_JP.UTF-8" << QString() << "en" << true;
        QTest::newRow("setting ja under en_US") << "en_US.UTF-8" << QString() << "ja" << false;
    }
    void commandLine()
    {
        QFETCH(QString, lang);
        QFETCH(QString, lcAll);
        QFETCH(QString, setting);
        QFETCH(bool, english);
        const QString dir
            = dataDir(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_'), setting);
        const QByteArray settingsBefore = TestFiles::read(dir + QStringLiteral("User.xml"));
        QMap<QString, QString> vars;
        if (!lang.isEmpty())
            vars.insert(QStringLiteral("LANG"), lang);
        if (!lcAll.isEmpty())
            vars.insert(QStringLiteral("LC_ALL"), lcAll);
        const QString file = m_tmp.filePath(QStringLiteral("notes.txt"));
        const Result r
            = run({QStringLiteral("--data-dir"), dir, QStringLiteral("import"), file}, vars);
        QCOMPARE(r.code, 1);
        const QString expected = english
            ? QStringLiteral("linkwell: Cannot import the bookmarks %1: Not a bookmark file\n")
            : QStringLiteral(
                "linkwell: ﾌﾞｯｸﾏｰｸ %1 を取り込めません: ﾌﾞｯｸﾏｰｸのﾌｧｲﾙではありません\n");
        QCOMPARE(r.err, expected.arg(file));
        // The settings are read, never made or changed, by the command line.
        QCOMPARE(TestFiles::read(dir + QStringLiteral("User.xml")), settingsBefore);
        QCOMPARE(QFile::exists(dir + QStringLiteral("User.xml")), !setting.isEmpty());
    }

    // The window's messages: before the settings are read the locale speaks; after, the
    // setting may change it.
    void window_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("english");
        QTest::newRow("en_US") << "en_US.UTF-8" << true;
        QTest::newRow("ja_JP") << "ja_JP.UTF-8" << false;
    }
    void window()
    {
        QFETCH(QString, lang);
        QFETCH(bool, english);
        const Result r = run({QStringLiteral("a.example"), QStringLiteral("b.example")},
                             {{QStringLiteral("LANG"), lang}});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(
                     english ? QStringLiteral("Give only one address to open: a.example b.example")
                             : QStringLiteral(
                                 "開くｱﾄﾞﾚｽは1つだけ指定してください: a.example b.example")),
                 qPrintable(r.err));
    }

    // A database the window cannot open: said after the settings chose the language.
    void windowSetting_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("english");
        QTest::newRow("en over ja_JP") << "ja_JP.UTF-8"
                                       << "en" << true;
        QTest::newRow("ja over en_US") << "en_US.UTF-8"
                                       << "ja" << false;
    }
    void windowSetting()
    {
        QFETCH(QString, lang);
        QFETCH(QString, setting);
        QFETCH(bool, english);
        const QString dir = dataDir(QStringLiteral("window_") + setting, setting);
        TestFiles::write(dir + QStringLiteral("dbLink.mdb"), "not a database, but not empty\n");
        const Result r = run({QStringLiteral("--data-dir"), dir}, {{QStringLiteral("LANG"), lang}});
        QCOMPARE(r.code, 1);
        const QString pattern = english ? QStringLiteral("Cannot open the database %1: ")
                                        : QStringLiteral("ﾃﾞｰﾀｰﾍﾞｰｽ %1 が開けません: ");
        QVERIFY2(r.err.contains(pattern.arg(dir + QStringLiteral("dbLink.mdb"))),
                 qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestProgramLanguage)
#include "tst_programlanguage.moc"
