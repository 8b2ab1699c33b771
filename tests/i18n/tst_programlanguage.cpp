#include "platform/Cp932.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The real program's language: the locale of its environment and the setting "LANG" of its
// data folder choose it, for the command line and for the window alike.
class TestProgramLanguage : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;

    static ProgramRun::Result run(const QStringList &args, const QMap<QString, QString> &vars)
    {
        QProcessEnvironment env = ProgramRun::windowEnvironment();
        for (const QString &name : {QStringLiteral("LANG"), QStringLiteral("LANGUAGE"),
                                    QStringLiteral("LC_ALL"), QStringLiteral("LC_MESSAGES")})
            env.remove(name);
        for (auto it = vars.cbegin(); it != vars.cend(); ++it)
            env.insert(it.key(), it.value());
        return ProgramRun::run(args, env);
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

    // A message of the command line or the window, whole in the language the locale and the
    // setting choose (which chooses which is the language choice's own test): the system's
    // reasons included, and after the settings were read.
    void messages_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QStringList>("args"); // DIR: the data folder, FILE: notes.txt
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("expected"); // in standard error
        const QStringList import {"--data-dir", "DIR", "import", "FILE"};
        const QString notBookmarksEn
            = QStringLiteral("linkwell: Cannot import the bookmarks FILE: Not a bookmark file\n");
        const auto row = [](const char *name, const char *lang, const char *setting,
                            const QStringList &args, int code, const QString &expected) {
            QTest::newRow(name) << lang << setting << args << code << expected;
        };
        row("en_US", "en_US.UTF-8", "", import, 1, notBookmarksEn);
        row("setting en under ja_JP", "ja_JP.UTF-8", "en", import, 1, notBookmarksEn);
        row("system reason under C", "C.UTF-8", "", {"--data-dir", "DIR", "import", "none"}, 1,
            QStringLiteral("ﾌﾞｯｸﾏｰｸ none を取り込めません: ﾌｧｲﾙまたはﾌｫﾙﾀﾞがありません\n"));
        const QStringList two {"a.example", "b.example"};
        row("window, en_US", "en_US.UTF-8", "", two, 2,
            QStringLiteral("Give only one address to open: a.example b.example"));
        // A database the window cannot open: said after the settings chose the language.
        const QStringList window {"--data-dir", "DIR"};
        row("window, en over ja_JP", "ja_JP.UTF-8", "en", window, 1,
            QStringLiteral("Cannot open the database DIRdbLink.mdb: "));
        row("window, ja over en_US", "en_US.UTF-8", "ja", window, 1,
            QStringLiteral("ﾃﾞｰﾀｰﾍﾞｰｽ DIRdbLink.mdb が開けません: "));
    }
    void messages()
    {
        QFETCH(QString, lang);
        QFETCH(QString, setting);
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, expected);
        const QString dir
            = dataDir(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_'), setting);
        const bool window = args.size() == 2;
        if (window && args.first() == u"--data-dir")
            TestFiles::write(dir + QStringLiteral("dbLink.mdb"), "not a database, but not empty\n");
        const QByteArray settingsBefore = TestFiles::read(dir + QStringLiteral("User.xml"));
        const QString file = m_tmp.filePath(QStringLiteral("notes.txt"));
        args.replaceInStrings(QStringLiteral("DIR"), dir)
            .replaceInStrings(QStringLiteral("FILE"), file);
        QMap<QString, QString> vars;
        if (!lang.isEmpty())
            vars.insert(QStringLiteral("LANG"), lang);
        const ProgramRun::Result r = run(args, vars);
        QCOMPARE(r.code, code);
        expected.replace(QStringLiteral("FILE"), file).replace(QStringLiteral("DIR"), dir);
        QVERIFY2(r.err.contains(expected), qPrintable(r.err));
        if (window)
            return;
        // The settings are read, never made or changed, by the command line.
        QCOMPARE(TestFiles::read(dir + QStringLiteral("User.xml")), settingsBefore);
        QCOMPARE(QFile::exists(dir + QStringLiteral("User.xml")), !setting.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProgramLanguage)
#include "tst_programlanguage.moc"
