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
#include <QTemporaryDir>
#include <QTest>

class TestUserFolders : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_count = 0;

    QString fresh()
    {
        const QString f = m_dir.filePath(QString::number(++m_count)) + u'/';
        QDir().mkpath(f);
        return f;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Every standard location points into the temporary folder before anything asks.
        qputenv("HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("home"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data-home"))));
        Dialogs::enableTestMode();
        Shell::enableTestMode();
        Usr::sPgName = QStringLiteral("Linkwell");
    }
    void init()
    {
        Dialogs::clearShown();
        Shell::clearCalls();
    }

    // usData/ beside the program is used only when it is there. One that cannot be written
    // and holds a collection makes the user choose (Cancel: none); reading needs no writing.
    void dataFolderChoice_data()
    {
        QTest::addColumn<QString>("own"); // "", "empty", "collection"
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("write");
        QTest::addColumn<QString>("chosen"); // "own", "perUser", "" (Cancel)
        QTest::addColumn<int>("questions");
        QTest::newRow("none beside: per user") << "" << false << true << "perUser" << 0;
        QTest::newRow("beside: used") << "empty" << false << true << "own" << 0;
        QTest::newRow("read-only, empty: per user") << "empty" << true << true << "perUser" << 0;
        QTest::newRow("read-only collection: asks") << "collection" << true << true << "" << 1;
        QTest::newRow("read-only collection, reading")
            << "collection" << true << false << "own" << 0;
    }
    void dataFolderChoice()
    {
        QFETCH(QString, own);
        QFETCH(bool, readOnly);
        QFETCH(bool, write);
        QFETCH(QString, chosen);
        QFETCH(int, questions);
        const QString base = fresh();
        const QString ownFolder = base + QStringLiteral("prog/usData/");
        const QString perUser = base + QStringLiteral("data/Linkwell/usData/");
        if (!own.isEmpty())
            QVERIFY(QDir().mkpath(ownFolder));
        if (own == u"collection")
            TestFiles::write(ownFolder + QStringLiteral("dbLink.mdb"), "links");
        if (readOnly)
            QVERIFY(QFile::setPermissions(ownFolder, QFile::ReadOwner | QFile::ExeOwner));
        Dialogs::setNextAnswer(false);
        QString error, failed;
        WithoutRootAccess noRoot;
        const QString folder = yIni::chooseDataFolder(ownFolder, perUser, write, &error, &failed);
        QFile::setPermissions(ownFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(folder, chosen == u"own" ? ownFolder : chosen.isEmpty() ? QString() : perUser);
        QCOMPARE(Dialogs::shown().size(), questions);
        if (questions)
            QVERIFY(Dialogs::shownTexts().first().contains(perUser));
        QCOMPARE(QFileInfo::exists(ownFolder), !own.isEmpty()); // never made beside the program
        QCOMPARE(QFileInfo::exists(perUser), chosen == u"perUser");
        QVERIFY(error.isEmpty());
    }

    // A named folder is made with its parents and named ending in "/".
    void namedDataFolder()
    {
        const QString base = fresh();
        yIni ini;
        QVERIFY(ini.W_UserData(base + QStringLiteral("a/b/../c")));
        QCOMPARE(Usr::sDataPh, base + QStringLiteral("a/c/"));
        QCOMPARE(yIni::perUserDataFolder(),
                 m_dir.filePath(QStringLiteral("data-home/Linkwell/usData/")));
    }

    // Sub-folders one level each: a missing parent is a failure and the others are still made.
    void subFolders()
    {
        const QString base = fresh();
        yIni ini;
        QString error;
        QVERIFY(ini.F_ChkSb(base, {QStringLiteral("Doc"), QStringLiteral("Pic")}));
        QVERIFY(QFileInfo(base + QStringLiteral("Pic")).isDir());
        QVERIFY(!ini.F_ChkSb(base, {QStringLiteral("a/b"), QStringLiteral("c")}, &error));
        QVERIFY2(error.contains(QStringLiteral("a/b")), qPrintable(error));
        QVERIFY(QFileInfo(base + QStringLiteral("c")).isDir());
    }

    // Opening is asked whenever a folder is named, exploring only for a folder that exists;
    // the shortcuts of the settings object are written and opened, the Send To one reported.
    void shell()
    {
        const QString base = fresh();
        yIni ini;
        ini.W_ExpFd(QString(), true);
        ini.W_ExpFd(base + QStringLiteral("missing"), false);
        ini.W_ExpFd(base, false);
        Usr::sDataPh = base;
        QVERIFY(ini.W_Help(QStringLiteral("My Page")));
        QVERIFY(ini.W_HtmView(QStringLiteral("http://127.0.0.1/a")));
        QStringList calls;
        for (const Shell::Call &c : Shell::calls())
            calls << c.verb + u' ' + c.target;
        QCOMPARE(calls,
                 (QStringList {
                     QStringLiteral("explore ") + base,
                     QStringLiteral("open ") + base + QStringLiteral("Linkwell_help.desktop"),
                     QStringLiteral("open ") + base + QStringLiteral("Wrk/htm_view.desktop")}));
        QVERIFY(TestFiles::read(base + QStringLiteral("Linkwell_help.desktop"))
                    .contains("URL=https://linkwell.example.org/help/my%20page.htm\n"));

        const QString sendTo = ini.FsGtSpFld(9);
        QCOMPARE(sendTo, m_dir.filePath(QStringLiteral("data-home/applications")));
        QVERIFY(ini.W_SendTo());
        QVERIFY(TestFiles::read(sendTo + QStringLiteral("/Linkwell.desktop"))
                    .contains(
                        QByteArray(QByteArray("Exec=")
                                   + QFile::encodeName(QCoreApplication::applicationFilePath()))));
        QCOMPARE(Dialogs::shownTexts().size(), 1);
        QVERIFY(Dialogs::shownTexts().first().endsWith(sendTo + QStringLiteral(" に作成しました")));
    }
};

QTEST_GUILESS_MAIN(TestUserFolders)
#include "tst_userfolders.moc"
