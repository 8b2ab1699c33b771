#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "settings/yIni.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString readText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("<unreadable>");
    return QString::fromUtf8(f.readAll());
}

void writeFile(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

} // namespace

class TestUserFolders : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_home;
    QString m_dataHome;
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
        m_home = m_dir.filePath(QStringLiteral("home"));
        m_dataHome = m_dir.filePath(QStringLiteral("data-home"));
        QVERIFY(QDir().mkpath(m_home));
        qputenv("HOME", QFile::encodeName(m_home));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome));
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

    void userDataWithExplicitFolder_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nested, no slash") << "a/b/data"
                                          << "a/b/data/";
        QTest::newRow("trailing slash") << "c/data/"
                                        << "c/data/";
        QTest::newRow("untidy") << "d//x/../data"
                                << "d/data/";
    }
    void userDataWithExplicitFolder()
    {
        QFETCH(QString, given);
        QFETCH(QString, expected);
        const QString base = fresh() + u'/';
        yIni ini;
        QString error;
        QVERIFY2(ini.W_UserData(base + given, &error), qPrintable(error));
        QCOMPARE(Usr::sDataPh, base + expected);
        QVERIFY(QFileInfo(Usr::sDataPh).isDir());
    }

    void userDataRelativeFolderBecomesAbsolute()
    {
        const QString base = fresh();
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(base));
        yIni ini;
        const bool ok = ini.W_UserData(QStringLiteral("rel"));
        QDir::setCurrent(old);
        QVERIFY(ok);
        QCOMPARE(Usr::sDataPh, QFileInfo(base).canonicalFilePath() + QStringLiteral("/rel/"));
    }

    void userDataFolderThatCannotBeMade()
    {
        const QString base = fresh();
        writeFile(base + QStringLiteral("/plain"));
        yIni ini;
        QString error;
        QVERIFY(!ini.W_UserData(base + QStringLiteral("/plain/usData"), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(Usr::sDataPh, base + QStringLiteral("/plain/usData/"));
    }

    void existingDataFolderIsLeftAlone()
    {
        const QString base = fresh();
        QVERIFY(QDir().mkpath(base + QStringLiteral("/usData/Pic")));
        writeFile(base + QStringLiteral("/usData/Pic/100.jpg"));
        yIni ini;
        QVERIFY(ini.W_UserData(base + QStringLiteral("/usData")));
        QCOMPARE(
            QDir(Usr::sDataPh).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList {QStringLiteral("Pic")});
        QVERIFY(QFileInfo(Usr::sDataPh + QStringLiteral("Pic/100.jpg")).isFile());
    }

    void dataFolderFallsBack()
    {
        const QString base = fresh();
        writeFile(base + QStringLiteral("/install")); // the program's folder is in the way
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
        QVERIFY(QDir(own)
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                    .isEmpty()); // the write probe leaves nothing behind

        QString failed;
        error.clear();
        QCOMPARE(
            yIni::pickDataFolder({blocked, base + QStringLiteral("/install/x/")}, &error, &failed),
            QString());
        QVERIFY(!error.isEmpty());
        QCOMPARE(failed, base + QStringLiteral("/install/x/"));
    }

    void createFolder_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("ok");
        QTest::newRow("nested") << "apps/prog/usData" << true;
        QTest::newRow("nested with slash") << "apps2/prog/usData/" << true;
        QTest::newRow("existing") << "." << true;
        QTest::newRow("file in the way") << "plain/sub" << false;
        QTest::newRow("is a file") << "plain" << false;
    }
    void createFolder()
    {
        QFETCH(QString, relative);
        QFETCH(bool, ok);
        const QString base = fresh();
        writeFile(base + QStringLiteral("/plain"));
        yIni ini;
        QString error;
        QCOMPARE(ini.F_CreateFld(base + u'/' + relative, &error), ok);
        QCOMPARE(QFileInfo(base + u'/' + relative).isDir(), ok);
        QCOMPARE(error.isEmpty(), ok);
        QVERIFY(QFileInfo(base + QStringLiteral("/plain")).isFile());
    }

    void createFolderWithoutPath()
    {
        yIni ini;
        QString error;
        QVERIFY(!ini.F_CreateFld(QString(), &error));
        QVERIFY(!error.isEmpty());
    }

    void subFolders()
    {
        const QString base = fresh();
        QVERIFY(QDir().mkdir(base + QStringLiteral("/Doc")));
        writeFile(base + QStringLiteral("/Doc/Portal.htm"));
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

    void exploreFolder_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("verb");
        QTest::newRow("empty, explore") << "empty" << false << "";
        QTest::newRow("empty, open") << "empty" << true << "";
        QTest::newRow("missing, explore") << "missing" << false << "";
        QTest::newRow("missing, open") << "missing" << true << "open";
        QTest::newRow("existing, explore") << "existing" << false << "explore";
        QTest::newRow("existing, open") << "existing" << true << "open";
        QTest::newRow("file, explore") << "file" << false << "";
    }
    void exploreFolder()
    {
        QFETCH(QString, which);
        QFETCH(bool, open);
        QFETCH(QString, verb);
        const QString base = fresh();
        writeFile(base + QStringLiteral("/file"));
        QString folder;
        if (which == u"missing")
            folder = base + QStringLiteral("/missing");
        else if (which == u"existing")
            folder = base + u'/';
        else if (which == u"file")
            folder = base + QStringLiteral("/file");
        yIni ini;
        ini.W_ExpFd(folder, open);
        const QList<Shell::Call> calls = Shell::calls();
        if (verb.isEmpty()) {
            QVERIFY(calls.isEmpty());
            return;
        }
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().verb, verb);
        QCOMPARE(calls.first().target, folder);
        QVERIFY(Dialogs::shown().isEmpty());
    }

    void specialFolders_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("expected"); // below the temporary folder
        QTest::newRow("desktop") << 0 << "home/Desktop";
        QTest::newRow("documents") << 5 << "home/Documents";
        QTest::newRow("send to") << 9 << "data-home/applications";
        QTest::newRow("application data") << 26 << "data-home";
        QTest::newRow("unknown 1") << 1 << "";
        QTest::newRow("unknown 100") << 100 << "";
        QTest::newRow("negative") << -1 << "";
    }
    void specialFolders()
    {
        QFETCH(int, id);
        QFETCH(QString, expected);
        yIni ini;
        QCOMPARE(ini.FsGtSpFld(id), expected.isEmpty() ? QString() : m_dir.filePath(expected));
    }

    void sendTo()
    {
        yIni ini;
        const QString folder = ini.FsGtSpFld(9);
        QVERIFY2(folder.startsWith(m_dir.path() + u'/'), qPrintable(folder));
        QString error;
        QVERIFY2(ini.W_SendTo(&error), qPrintable(error));
        const QString exe = QCoreApplication::applicationFilePath();
        const QString path = folder + QStringLiteral("/Linkwell.desktop");
        QCOMPARE(readText(path),
                 QStringLiteral("[Desktop Entry]\nType=Application\nName=Linkwell\n"
                                "Exec=")
                     + exe + u'\n');
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {exe + QStringLiteral(" のｼｮｰﾄｶｯﾄを ") + folder
                              + QStringLiteral(" に作成しました")});
        QCOMPARE(Dialogs::shown().first().buttons, Dialogs::Buttons::Ok);

        // A second run replaces the entry.
        QVERIFY(ini.W_SendTo());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList {QStringLiteral("Linkwell.desktop")});
    }

    void sendToFailureShowsNoSuccess()
    {
        yIni ini;
        const QString folder = ini.FsGtSpFld(9);
        QVERIFY(folder.startsWith(m_dir.path() + u'/'));
        QVERIFY(QDir(folder).removeRecursively());
        writeFile(folder); // a file where the folder belongs
        QString error;
        QVERIFY(!ini.W_SendTo(&error));
        QVERIFY(!error.isEmpty());
        QVERIFY(Dialogs::shown().isEmpty());
        QVERIFY(QFile::remove(folder));
    }

    void help_data()
    {
        QTest::addColumn<QString>("job");
        QTest::addColumn<QString>("page");
        QTest::newRow("Intro") << "Intro"
                               << "intro.htm";
        QTest::newRow("Intro.HTML") << "Intro.HTML"
                                    << "intro.html";
        QTest::newRow("folder") << "Guide/Start"
                                << "guide/start.htm";
        QTest::newRow("space") << "My Page"
                               << "my%20page.htm";
    }
    void help()
    {
        QFETCH(QString, job);
        QFETCH(QString, page);
        Usr::sDataPh = fresh() + u'/';
        yIni ini;
        QString error;
        QVERIFY2(ini.W_Help(job, &error), qPrintable(error));
        const QString path = Usr::sDataPh + QStringLiteral("Linkwell_help.desktop");
        QCOMPARE(readText(path),
                 QStringLiteral("[Desktop Entry]\nType=Link\nName=Linkwell_help\nURL="
                                "https://linkwell.example.org/help/")
                     + page + u'\n');
        QCOMPARE(Shell::calls().size(), 1);
        QCOMPARE(Shell::calls().first().verb, QStringLiteral("open"));
        QCOMPARE(Shell::calls().first().target, path);
    }

    void pageView()
    {
        Usr::sDataPh = fresh() + u'/';
        yIni ini;
        QVERIFY(!QFileInfo::exists(Usr::sDataPh + QStringLiteral("Wrk")));
        const QString url = QStringLiteral("http://127.0.0.1:8080/a?b=1&c=%20");
        QVERIFY(ini.W_HtmView(url));
        const QString path = Usr::sDataPh + QStringLiteral("Wrk/htm_view.desktop");
        QCOMPARE(readText(path),
                 QStringLiteral("[Desktop Entry]\nType=Link\nName=htm_view\nURL=") + url + u'\n');
        QCOMPARE(Shell::calls().size(), 1);
        QCOMPARE(Shell::calls().first().target, path);
    }

    void shortcutsNeedTheDataFolder()
    {
        const QString saved = Usr::sDataPh;
        Usr::sDataPh.clear();
        yIni ini;
        QString error;
        QVERIFY(!ini.W_Help(QStringLiteral("intro"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!ini.W_HtmView(QStringLiteral("http://127.0.0.1/")));
        QVERIFY(Shell::calls().isEmpty());
        Usr::sDataPh = saved;
    }

    void shortcutFailureOpensNothing()
    {
        Usr::sDataPh = fresh() + u'/';
        writeFile(Usr::sDataPh + QStringLiteral("Wrk")); // a file where the folder belongs
        QVERIFY(QDir().mkdir(Usr::sDataPh + QStringLiteral("Linkwell_help.desktop")));
        yIni ini;
        QString error;
        QVERIFY(!ini.W_HtmView(QStringLiteral("http://127.0.0.1/"), &error));
        QVERIFY(!error.isEmpty());
        error.clear();
        QVERIFY(!ini.W_Help(QStringLiteral("intro"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(Shell::calls().isEmpty());
    }

    void shortcutText_data()
    {
        QTest::addColumn<bool>("link");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("last"); // the entry's last line
        QTest::newRow("plain link") << true << "n"
                                    << "https://a.example/x"
                                    << "URL=https://a.example/x";
        QTest::newRow("link with backslash") << true << "n"
                                             << "a\\b"
                                             << "URL=a\\\\b";
        QTest::newRow("plain program") << false << "n"
                                       << "/opt/lw/linkwell"
                                       << "Exec=/opt/lw/linkwell";
        QTest::newRow("space") << false << "n"
                               << "/opt/my prog/lw"
                               << "Exec=\"/opt/my prog/lw\"";
        QTest::newRow("percent") << false << "n"
                                 << "/opt/100%/lw"
                                 << "Exec=/opt/100%%/lw";
        QTest::newRow("dollar and quote") << false << "n"
                                          << "/opt/a$b\"c/lw"
                                          << "Exec=\"/opt/a\\\\$b\\\\\"c/lw\"";
        QTest::newRow("backslash") << false << "n"
                                   << "/opt/a\\b"
                                   << "Exec=\"/opt/a\\\\\\\\b\"";
    }
    void shortcutText()
    {
        QFETCH(bool, link);
        QFETCH(QString, name);
        QFETCH(QString, target);
        QFETCH(QString, last);
        const QString text = yIni::shortcutText(
            link ? yIni::Shortcut::Link : yIni::Shortcut::Application, name, target);
        const QStringList lines = text.split(u'\n');
        QCOMPARE(lines.size(), 5); // four lines and the final line end
        QCOMPARE(lines.at(0), QStringLiteral("[Desktop Entry]"));
        QCOMPARE(lines.at(1),
                 link ? QStringLiteral("Type=Link") : QStringLiteral("Type=Application"));
        QCOMPARE(lines.at(2), QStringLiteral("Name=") + name);
        QCOMPARE(lines.at(3), last);
        QCOMPARE(lines.at(4), QString());
    }

    void shortcutNamesStayOnOneLine()
    {
        const QString text = yIni::shortcutText(yIni::Shortcut::Link, QStringLiteral(" two\nlines"),
                                                QStringLiteral("u\r\nv"));
        QCOMPARE(text,
                 QStringLiteral("[Desktop Entry]\nType=Link\nName=\\stwo\\nlines\n"
                                "URL=u\\r\\nv\n"));
    }
};

QTEST_GUILESS_MAIN(TestUserFolders)
#include "tst_userfolders.moc"
