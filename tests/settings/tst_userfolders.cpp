#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "settings/yIni.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestUserFolders : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;

    static QString read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<missing>");
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        // Shortcut folders of the desktop point into the temporary folder.
        qputenv("XDG_DATA_HOME", m_tmp.filePath(QStringLiteral("xdg")).toUtf8());
        Dialogs::enableTestMode();
        Shell::enableTestMode();
        Usr::sPgName = QStringLiteral("Linkwell");
    }
    void init()
    {
        Dialogs::clearShown();
        Shell::clearCalls();
    }

    void explicitDataFolder()
    {
        yIni ini;
        const QString dir = m_tmp.filePath(QStringLiteral("a/b/usData"));
        QString error;
        QVERIFY(ini.W_UserData(dir, &error));
        QCOMPARE(Usr::sDataPh, dir + u'/');
        QVERIFY(QFileInfo(dir).isDir());
        // An existing folder is left as it is; a trailing slash is not doubled.
        QFile keep(dir + QStringLiteral("/keep.txt"));
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.close();
        QVERIFY(ini.W_UserData(dir + u'/', &error));
        QCOMPARE(Usr::sDataPh, dir + u'/');
        QVERIFY(keep.exists());
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("keep.txt")});
    }

    void unusableDataFolderIsReported()
    {
        yIni ini;
        const QString file = m_tmp.filePath(QStringLiteral("plainfile"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QString error;
        QVERIFY(!ini.W_UserData(file + QStringLiteral("/usData"), &error));
        QVERIFY2(error.contains(file), qPrintable(error));
    }

    void subFolders()
    {
        yIni ini;
        const QString dir = m_tmp.filePath(QStringLiteral("sub/"));
        QVERIFY(ini.F_CreateFld(dir + QStringLiteral("x/y/z")));
        QVERIFY(QFileInfo(dir + QStringLiteral("x/y/z")).isDir());
        QString error;
        QVERIFY(ini.F_ChkSb(dir, {QStringLiteral("Doc"), QStringLiteral("Pic")}, &error));
        QVERIFY(QFileInfo(dir + QStringLiteral("Doc")).isDir());
        QVERIFY(QFileInfo(dir + QStringLiteral("Pic")).isDir());
        QVERIFY(ini.F_ChkSb(dir, {QStringLiteral("Doc")}, &error)); // already there
        // One level only: a missing parent is a failure, named in the message.
        QVERIFY(!ini.F_ChkSb(dir + QStringLiteral("none/"), {QStringLiteral("Doc")}, &error));
        QVERIFY(error.contains(QStringLiteral("none/Doc")));
    }

    void explore_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("verb");
        QTest::newRow("empty") << "" << false << "";
        QTest::newRow("empty open") << "" << true << "";
        QTest::newRow("existing") << "EXISTS" << false << "explore";
        QTest::newRow("missing") << "/no/such/folder" << false << "";
        QTest::newRow("missing open") << "/no/such/folder" << true << "open";
    }
    void explore()
    {
        QFETCH(QString, folder);
        QFETCH(bool, open);
        QFETCH(QString, verb);
        if (folder == u"EXISTS")
            folder = m_tmp.path();
        yIni ini;
        ini.W_ExpFd(folder, open);
        const QList<Shell::Call> calls = Shell::calls();
        if (verb.isEmpty()) {
            QVERIFY(calls.isEmpty());
        } else {
            QCOMPARE(calls.size(), 1);
            QCOMPARE(calls.first().verb, verb);
            QCOMPARE(calls.first().target, folder);
        }
    }

    void help_data()
    {
        QTest::addColumn<QString>("job");
        QTest::addColumn<QString>("page");
        QTest::newRow("no extension") << "Intro" << "intro.htm";
        QTest::newRow("extension kept") << "Intro.HTML" << "intro.html";
    }
    void help()
    {
        QFETCH(QString, job);
        QFETCH(QString, page);
        Usr::sDataPh = m_tmp.filePath(QStringLiteral("help/"));
        QDir().mkpath(Usr::sDataPh);
        yIni ini;
        ini.W_Help(job);
        const QString shortcut = Usr::sDataPh + QStringLiteral("Linkwell_help.desktop");
        QVERIFY(read(shortcut).contains(QStringLiteral("\nURL=") + yIni::kHelpBase + page + u'\n'));
        QVERIFY(yIni::kHelpBase.endsWith(u'/'));
        QCOMPARE(Shell::calls().size(), 1);
        QCOMPARE(Shell::calls().first().target, shortcut);
    }

    void pageViewCreatesItsFolder()
    {
        Usr::sDataPh = m_tmp.filePath(QStringLiteral("view/"));
        QDir().mkpath(Usr::sDataPh);
        yIni ini;
        ini.W_HtmView(QStringLiteral("http://127.0.0.1/a?b=1"));
        const QString shortcut = Usr::sDataPh + QStringLiteral("Wrk/htm_view.desktop");
        const QString text = read(shortcut);
        QVERIFY(text.contains(QStringLiteral("Type=Link")));
        QVERIFY(text.contains(QStringLiteral("URL=http://127.0.0.1/a?b=1\n")));
        QCOMPARE(Shell::calls().first().target, shortcut);
    }

    void sendToMakesAnOpenWithEntry()
    {
        yIni ini;
        const QString folder = ini.FsGtSpFld(9);
        QVERIFY2(folder.startsWith(m_tmp.path()), qPrintable(folder));
        ini.W_SendTo();
        const QString text = read(folder + QStringLiteral("/Linkwell.desktop"));
        QVERIFY(text.contains(QStringLiteral("Type=Application")));
        QVERIFY(text.contains(QStringLiteral("Exec=\"") + QCoreApplication::applicationFilePath()));
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList{QCoreApplication::applicationFilePath() + QStringLiteral(" のｼｮｰﾄｶｯﾄを ")
                             + folder + QStringLiteral(" に作成しました")});
        QCOMPARE(ini.FsGtSpFld(12345), QString());
    }
};

QTEST_GUILESS_MAIN(TestUserFolders)
#include "tst_userfolders.moc"
