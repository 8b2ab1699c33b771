#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "settings/yIni.h"
#include "support/TestFiles.h"
#include "support/WithoutRootAccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

} // namespace

class TestUserFolders : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_count = 0;

    QString fresh()
    {
        const QString f = m_dir.filePath(QString::number(++m_count));
        QDir().mkpath(f);
        return f;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Every standard location points into the temporary folder before anything asks.
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("home"))));
        qputenv("HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("home"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data-home"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
        Dialogs::enableTestMode();
        Shell::enableTestMode();
        Usr::sPgName = QStringLiteral("Linkwell");
    }

    void init()
    {
        Dialogs::clearShown();
        Shell::clearCalls();
    }

    // A folder is made with every missing parent; as the data folder it is also named tidily,
    // ending in "/", and Usr::sDataPh names it even when it cannot be made. What a folder held
    // is kept, and the write probe leaves nothing behind.
    void foldersAreMade_data()
    {
        QTest::addColumn<QString>("given"); // relative to the current folder
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("ok");
        const auto row = [](const char *name, const char *given, const char *expected, bool ok) {
            QTest::newRow(name) << QString::fromLatin1(given) << QString::fromLatin1(expected)
                                << ok;
        };
        row("nested", "a/b/data", "a/b/data/", true);
        row("trailing slash", "c/data/", "c/data/", true);
        row("untidy", "d//x/../data", "d/data/", true);
        row("existing", "usData", "usData/", true);
        row("file in the way", "plain/usData", "plain/usData/", false);
        row("is a file", "plain", "plain/", false);
        row("no path", "", "", false);
    }
    void foldersAreMade()
    {
        QFETCH(QString, given);
        QFETCH(QString, expected);
        QFETCH(bool, ok);
        for (const bool data : {false, true}) {
            if (data && given.isEmpty())
                continue; // the data folder would then be the program's own
            // A fresh current folder holding the file "plain" and usData/Pic/100.jpg.
            const QString base = fresh();
            TestFiles::write(base + QStringLiteral("/plain"), "x");
            QVERIFY(QDir().mkpath(base + QStringLiteral("/usData/Pic")));
            TestFiles::write(base + QStringLiteral("/usData/Pic/100.jpg"), "x");
            const QString old = QDir::currentPath();
            QVERIFY(QDir::setCurrent(base));
            yIni ini;
            QString error;
            const bool made = data ? ini.W_UserData(given, &error) : ini.F_CreateFld(given, &error);
            QDir::setCurrent(old);
            QCOMPARE(made, ok);
            QCOMPARE(error.isEmpty(), ok);
            const QString folder = given.isEmpty()
                ? QString()
                : QFileInfo(base).canonicalFilePath() + u'/' + expected;
            if (data)
                QCOMPARE(Usr::sDataPh, folder);
            QCOMPARE(QFileInfo(folder).isDir(), ok);
            if (ok)
                QCOMPARE(entries(folder),
                         expected == u"usData/" ? QStringList {QStringLiteral("Pic")}
                                                : QStringList());
            QVERIFY(QFileInfo(base + QStringLiteral("/usData/Pic/100.jpg")).isFile());
        }
    }

    void dataFolderFallsBack()
    {
        const QString base = fresh();
        TestFiles::write(base + QStringLiteral("/install"),
                         "x"); // the program's folder is in the way
        const QString blocked = base + QStringLiteral("/install/usData/");
        const QString perUser = base + QStringLiteral("/appdata/usData/");
        QString error;
        QCOMPARE(yIni::pickDataFolder({blocked, perUser}, &error), perUser);
        QVERIFY(QFileInfo(perUser).isDir());

        // The first that works wins; the second is not even made.
        const QString own = base + QStringLiteral("/prog/usData/");
        const QString other = base + QStringLiteral("/other/usData/");
        QCOMPARE(yIni::pickDataFolder({own, other}), own);
        QVERIFY(!QFileInfo::exists(other));

        QString failed;
        error.clear();
        const QString last = base + QStringLiteral("/install/x/");
        QCOMPARE(yIni::pickDataFolder({blocked, last}, &error, &failed), QString());
        QVERIFY(!error.isEmpty());
        QCOMPARE(failed, last);
    }

    // A collection beside the program that cannot be written is not quietly replaced by an
    // empty one: the user is asked, naming both folders, and a Cancel chooses none. Without a
    // collection there, the per-user folder is taken without a question.
    void unwritableCollectionAsksFirst_data()
    {
        QTest::addColumn<bool>("collection");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("perUserChosen");
        QTest::newRow("collection, OK") << true << true << true;
        QTest::newRow("collection, Cancel") << true << false << false;
        QTest::newRow("no collection") << false << true << true;
    }
    void unwritableCollectionAsksFirst()
    {
        QFETCH(bool, collection);
        QFETCH(bool, answer);
        QFETCH(bool, perUserChosen);
        const QString base = fresh();
        const QString own = base + QStringLiteral("/prog/usData/");
        const QString perUser = base + QStringLiteral("/data/Linkwell/usData/");
        QVERIFY(QDir().mkpath(own));
        if (collection)
            TestFiles::write(own + QStringLiteral("dbLink.mdb"), "x");
        QVERIFY(QFile::setPermissions(own, QFile::ReadOwner | QFile::ExeOwner));
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        Dialogs::setNextAnswer(answer);
        QString error, failed;
        QString chosen;
        {
            WithoutRootAccess noRoot;
            chosen = yIni::chooseDataFolder(own, perUser, &error, &failed);
        }
        QCOMPARE(chosen, perUserChosen ? perUser : QString());
        QCOMPARE(QFileInfo(perUser).isDir(), perUserChosen);
        QVERIFY2(error.isEmpty(), qPrintable(error)); // a Cancel is no failure to report
        QCOMPARE(Dialogs::shown().size(), collection ? 1 : 0);
        if (collection) {
            const Dialogs::Shown asked = Dialogs::shown().first();
            QCOMPARE(asked.buttons, Dialogs::Buttons::OkCancel);
            QVERIFY2(asked.text.contains(own) && asked.text.contains(perUser),
                     qPrintable(asked.text));
        }
        if (!perUserChosen)
            QCOMPARE(failed, own);
        QCOMPARE(entries(own),
                 collection ? QStringList {QStringLiteral("dbLink.mdb")} : QStringList());
    }

    // The per-user folder is named after the program, however the executable is named.
    void perUserFolderIsNamedAfterTheProgram()
    {
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(QStringLiteral("renamed-copy"));
        const QString folder = yIni::perUserDataFolder();
        QCoreApplication::setApplicationName(name);
        QCOMPARE(folder, m_dir.filePath(QStringLiteral("data-home/Linkwell/usData/")));
    }

    // An installed program never keeps data beside itself, even where root could write.
    void systemProgramFolders_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("system");
        QTest::newRow("/usr/bin") << "/usr/bin" << true;
        QTest::newRow("with a step back") << "/usr/lib/../bin" << true;
        QTest::newRow("/usr/local/bin") << "/usr/local/bin/" << true;
        QTest::newRow("a portable folder") << m_dir.path() << false;
        QTest::newRow("/usr") << "/usr" << false;
    }
    void systemProgramFolders()
    {
        QFETCH(QString, folder);
        QFETCH(bool, system);
        QCOMPARE(yIni::isSystemProgramFolder(folder), system);
    }

    void subFolders()
    {
        const QString base = fresh();
        QVERIFY(QDir().mkdir(base + QStringLiteral("/Doc")));
        TestFiles::write(base + QStringLiteral("/Doc/Portal.htm"), "x");
        yIni ini;
        QVERIFY(ini.F_ChkSb(base + u'/', {QStringLiteral("Doc"), QStringLiteral("Pic")}));
        QVERIFY(QFileInfo(base + QStringLiteral("/Pic")).isDir());
        QVERIFY(QFileInfo(base + QStringLiteral("/Doc/Portal.htm")).isFile());

        // Without the closing slash too.
        QVERIFY(ini.F_ChkSb(base, {QStringLiteral("Wrk")}));
        QVERIFY(QFileInfo(base + QStringLiteral("/Wrk")).isDir());

        // One level only: a missing parent is a failure, and the others are still made.
        QString error;
        QVERIFY(!ini.F_ChkSb(base + u'/', {QStringLiteral("a/b"), QStringLiteral("c")}, &error));
        QVERIFY2(error.contains(QStringLiteral("a/b")), qPrintable(error));
        QVERIFY(!QFileInfo::exists(base + QStringLiteral("/a")));
        QVERIFY(QFileInfo(base + QStringLiteral("/c")).isDir());
    }

    // Opening is asked of the shell whenever a folder is named; exploring (what the program
    // asks for) only for a folder that exists.
    void exploreFolder_data()
    {
        QTest::addColumn<QString>("which"); // below a fresh folder holding "file"; empty: none
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("verb"); // empty: no call
        QTest::newRow("empty, open") << "" << true << "";
        QTest::newRow("missing, open") << "missing" << true << "open";
        QTest::newRow("existing, explore") << "." << false << "explore";
        QTest::newRow("file, explore") << "file" << false << "";
    }
    void exploreFolder()
    {
        QFETCH(QString, which);
        QFETCH(bool, open);
        QFETCH(QString, verb);
        const QString base = fresh() + u'/';
        TestFiles::write(base + QStringLiteral("file"), "x");
        const QString folder = which.isEmpty() ? QString() : base + which;
        yIni ini;
        ini.W_ExpFd(folder, open);
        QStringList calls;
        for (const Shell::Call &c : Shell::calls())
            calls << c.verb + u' ' + c.target;
        QCOMPARE(calls, verb.isEmpty() ? QStringList() : QStringList {verb + u' ' + folder});
    }

    // The program asks only for "send to"; one other known and one unknown number stay.
    void standardFolders_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("expected"); // below the temporary folder
        QTest::newRow("desktop") << 0 << "home/Desktop";
        QTest::newRow("send to") << 9 << "data-home/applications";
        QTest::newRow("unknown") << 1 << "";
    }
    void standardFolders()
    {
        QFETCH(int, id);
        QFETCH(QString, expected);
        QCOMPARE(yIni().FsGtSpFld(id), expected.isEmpty() ? QString() : m_dir.filePath(expected));
    }

    // The Send To entry starts this program and its making is reported; a rerun replaces it,
    // and a file where the folder belongs is a failure without the report.
    void sendTo()
    {
        yIni ini;
        const QString folder = m_dir.filePath(QStringLiteral("data-home/applications"));
        QString error;
        QVERIFY2(ini.W_SendTo(&error), qPrintable(error));
        const QString exe = QCoreApplication::applicationFilePath();
        QCOMPARE(QString::fromUtf8(TestFiles::read(folder + QStringLiteral("/Linkwell.desktop"))),
                 QStringLiteral("[Desktop Entry]\nType=Application\nName=Linkwell\nExec=") + exe
                     + u'\n');
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {exe + QStringLiteral(" のｼｮｰﾄｶｯﾄを ") + folder
                              + QStringLiteral(" に作成しました")});
        QCOMPARE(Dialogs::shown().first().buttons, Dialogs::Buttons::Ok);
        QVERIFY(ini.W_SendTo());
        QCOMPARE(entries(folder), QStringList {QStringLiteral("Linkwell.desktop")});

        Dialogs::clearShown();
        QVERIFY(QDir(folder).removeRecursively());
        TestFiles::write(folder, "x");
        QVERIFY(!ini.W_SendTo(&error));
        QVERIFY(!error.isEmpty());
        QVERIFY(Dialogs::shown().isEmpty());
        QVERIFY(QFile::remove(folder));
    }

    // Help pages are named in lower case, with ".htm" unless given and spaces escaped; the
    // page view's shortcut goes to the Wrk folder, made when missing. Each is then opened.
    // Without the data folder, or with a file or folder in the way, nothing is opened. The
    // program itself makes neither shortcut: its failure rows are kept.
    void shortcuts_data()
    {
        QTest::addColumn<QString>("setup"); // empty, "unset" or "blocked"
        QTest::addColumn<bool>("help");
        QTest::addColumn<QString>("arg"); // the help page, or the viewed address
        QTest::addColumn<QString>("entry"); // the name and address lines
        const auto help =
            [](const char *name, const char *setup, const char *job, const char *page) {
                QTest::newRow(name)
                    << QString::fromLatin1(setup) << true << QString::fromLatin1(job)
                    << QStringLiteral("Name=Linkwell_help\nURL=https://linkwell.example.org/help/")
                        + QString::fromLatin1(page);
            };
        help("Intro", "", "Intro", "intro.htm");
        help("Intro.HTML", "", "Intro.HTML", "intro.html");
        help("space", "", "My Page", "my%20page.htm");
        help("help, no data folder", "unset", "intro", "");
        help("help, folder in the way", "blocked", "intro", "");
        const QString url = QStringLiteral("http://127.0.0.1:8080/a?b=1&c=%20");
        const QString view = QStringLiteral("Name=htm_view\nURL=") + url;
        QTest::newRow("page view") << QString() << false << url << view;
        QTest::newRow("page view, no data folder") << "unset" << false << url << view;
        QTest::newRow("page view, file in the way") << "blocked" << false << url << view;
    }
    void shortcuts()
    {
        QFETCH(QString, setup);
        QFETCH(bool, help);
        QFETCH(QString, arg);
        QFETCH(QString, entry);
        Usr::sDataPh = setup == u"unset" ? QString() : fresh() + u'/';
        if (setup == u"blocked") {
            TestFiles::write(Usr::sDataPh + QStringLiteral("Wrk"), "x");
            QVERIFY(QDir().mkdir(Usr::sDataPh + QStringLiteral("Linkwell_help.desktop")));
        }
        yIni ini;
        QString error;
        const bool ok = help ? ini.W_Help(arg, &error) : ini.W_HtmView(arg, &error);
        QCOMPARE(ok, setup.isEmpty());
        QCOMPARE(error.isEmpty(), ok);
        if (!ok) {
            QVERIFY(Shell::calls().isEmpty());
            return;
        }
        const QString path = Usr::sDataPh
            + (help ? QStringLiteral("Linkwell_help.desktop")
                    : QStringLiteral("Wrk/htm_view.desktop"));
        QCOMPARE(QString::fromUtf8(TestFiles::read(path)),
                 QStringLiteral("[Desktop Entry]\nType=Link\n") + entry + u'\n');
        QCOMPARE(Shell::calls().size(), 1);
        QCOMPARE(Shell::calls().first().verb + u' ' + Shell::calls().first().target,
                 QStringLiteral("open ") + path);
    }

    // Values keep to one line with the format's escapes; a program path is quoted when the
    // launcher would split or expand it.
    void shortcutText_data()
    {
        QTest::addColumn<bool>("link");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("lines"); // the name and target lines
        const auto row = [](const char *name, bool link, const char *value, const char *target,
                            const char *lines) {
            QTest::newRow(name) << link << QString::fromUtf8(value) << QString::fromUtf8(target)
                                << QString::fromUtf8(lines);
        };
        row("link with backslash", true, "n", "a\\b", "Name=n\nURL=a\\\\b");
        row("one line", true, " two\nlines", "u\r\nv", "Name=\\stwo\\nlines\nURL=u\\r\\nv");
        row("plain program", false, "n", "/opt/lw/linkwell", "Name=n\nExec=/opt/lw/linkwell");
        row("space", false, "n", "/opt/my prog/lw", "Name=n\nExec=\"/opt/my prog/lw\"");
        row("percent", false, "n", "/opt/100%/lw", "Name=n\nExec=/opt/100%%/lw");
        row("dollar and quote", false, "n", "/opt/a$b\"c/lw",
            "Name=n\nExec=\"/opt/a\\\\$b\\\\\"c/lw\"");
        row("backslash", false, "n", "/opt/a\\b", "Name=n\nExec=\"/opt/a\\\\\\\\b\"");
    }
    void shortcutText()
    {
        QFETCH(bool, link);
        QFETCH(QString, name);
        QFETCH(QString, target);
        QFETCH(QString, lines);
        QCOMPARE(yIni::shortcutText(link ? yIni::Shortcut::Link : yIni::Shortcut::Application, name,
                                    target),
                 QStringLiteral("[Desktop Entry]\nType=")
                     + (link ? QStringLiteral("Link") : QStringLiteral("Application")) + u'\n'
                     + lines + u'\n');
    }
};

QTEST_GUILESS_MAIN(TestUserFolders)
#include "tst_userfolders.moc"
