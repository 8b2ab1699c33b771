#include "app/Launch.h"
#include "app/Usr.h"
#include "platform/Cp932.h"
#include "store/Store.h"
#include "support/LoopbackServer.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"
#include "support/WithoutRootAccess.h"
#include "ui/Startup.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <unistd.h>

// Start-up and shutdown of the real program, offscreen, in a temporary data folder.
class TestStartup : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;

    QString dataDir(const QString &name) const { return m_tmp.filePath(name) + u'/'; }

    // The program (or the copy at exe) started offscreen with a home of its own.
    void start(QProcess &p, const QStringList &args, bool noRoot = false,
               const QString &exe = QStringLiteral(LINKWELL_EXE), const QString &dataHome = {})
    {
        QProcessEnvironment env = ProgramRun::windowEnvironment();
        env.insert(QStringLiteral("HOME"), m_tmp.filePath(QStringLiteral("home")));
        if (!dataHome.isEmpty())
            env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        p.setProcessEnvironment(env);
        if (noRoot) // without root's way past file permissions
            p.setChildProcessModifier(&WithoutRootAccess::dropForChild);
        p.start(exe, args);
        QVERIFY(p.waitForStarted());
    }
    void startProgram(QProcess &p, const QString &dir, const QStringList &more = {})
    {
        start(p, QStringList {QStringLiteral("--data-dir"), dir} + more);
    }

    static QString stderrOf(QProcess &p) { return QString::fromUtf8(p.readAllStandardError()); }

    static void closeProgram(QProcess &p)
    {
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(60000));
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_tmp.isValid()); }

    // The first run makes the data folder, its sub-folders and the settings; a later run leaves
    // stored settings byte for byte as they were; the lock keeps a second window out and goes
    // with the program. The window's
    // place is stored only once it was shown, which a stop may come before: it is left out.
    void settingsAfterARun_data()
    {
        QTest::addColumn<QByteArray>("stored"); // empty: none
        QTest::addColumn<QByteArray>("expected");
        const QString head = QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n"
                                            "<運用>\r\n   <画面>\r\n      <PC_SIZE>");
        QTest::newRow("first") << QByteArray()
                               << Cp932::encode(head
                                                + QStringLiteral("50</PC_SIZE>\r\n"
                                                                 "   </画面>\r\n</運用>"));
        const QByteArray stored = Cp932::encode(
            head
            + QStringLiteral("32</PC_SIZE>\r\n      <HOME_URL>http://127.0.0.1:9/</HOME_URL>\r\n"
                             "   </画面>\r\n   <他>\r\n      <X>1</X>\r\n   </他>\r\n</運用>"));
        QTest::newRow("stored") << stored << stored;
    }
    void settingsAfterARun()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, expected);
        const QString dir = dataDir(QTest::currentDataTag() + QStringLiteral("/usData"));
        if (!stored.isEmpty()) {
            QVERIFY(QDir().mkpath(dir));
            TestFiles::write(dir + QStringLiteral("User.xml"), stored);
        }
        // The address given is the first page shown.
        LoopbackServer server;
        QVERIFY(server.start());
        server.setPage("/start.htm", "<html><body>Hi</body></html>");
        QProcess p;
        startProgram(p, dir, {server.url(QStringLiteral("/start.htm"))});
        QVERIFY(ProgramRun::waitReady(dir));
        QVERIFY(QTest::qWaitFor([&] { return server.requestCount("/start.htm") > 0; }, 60000));
        for (const char *sub : {"Doc", "Pic", "Arc"})
            QVERIFY(QFileInfo(dir + QLatin1String(sub)).isDir());
        // A second window on the folder is refused as a change on the command line is.
        QProcess second;
        startProgram(second, dir);
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 3);
        QVERIFY(stderrOf(second).contains(dir + QStringLiteral(" は他の linkwell が使用中です")));
        closeProgram(p);
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QByteArray saved = TestFiles::read(dir + QStringLiteral("User.xml"));
        static const QRegularExpression place(
            QStringLiteral("      <WND_[A-Z]+>[^<]*</WND_[A-Z]+>\r\n"));
        // The receiver's token is made by the first run that finds none.
        static const QRegularExpression token(
            QStringLiteral("      <CAPTURE_TOKEN>[A-Za-z0-9_-]{43}</CAPTURE_TOKEN>\r\n"));
        QVERIFY(Cp932::decode(saved).contains(token));
        saved = Cp932::encode(Cp932::decode(saved).remove(place).remove(token));
        QCOMPARE(saved, expected);
        QVERIFY(!QFile::exists(dir + QStringLiteral("linkwell.lock")));
    }

    // A start-up that cannot go on says which file or folder and why, ends with status 1 and
    // leaves what is there as it was, a file that is no link database included. Settings files
    // that are no regular file or too large are rows of the settings object's own test.
    void failuresNameTheirFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("named"); // below the data folder; "." for the folder
        QTest::addColumn<bool>("noRoot");
        const auto row = [](const char *how, const char *named, bool noRoot) {
            QTest::newRow(how) << how << named << noRoot;
        };
        row("datafile", ".", false);
        row("readonly", ".", true);
        row("unreadable", "User.xml", true);
        row("notdb", "dbLink.mdb", false);
        row("docfile", "Doc", false);
        row("lockfolder", "linkwell.lock", false);
    }
    void failuresNameTheirFile()
    {
        QFETCH(QString, how);
        QFETCH(QString, named);
        QFETCH(bool, noRoot);
        const QString dir = dataDir(QStringLiteral("fail-") + how);
        const QString path = named == u"." ? dir.chopped(1) : dir + named;
        QVERIFY(QDir().mkpath(how == u"datafile" ? m_tmp.path() : dir));
        if (how == u"readonly")
            QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
        else if (how == u"lockfolder")
            QVERIFY(QDir().mkdir(path));
        else
            TestFiles::write(path,
                             "This is not what the program wants there, but someone's notes.\n");
        if (how == u"unreadable")
            QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
        const QByteArray before = QFileInfo(path).isFile() ? TestFiles::read(path) : QByteArray();

        QProcess p;
        start(p, {QStringLiteral("--data-dir"), dir}, noRoot);
        const bool ended = p.waitForFinished(60000);
        if (!ended)
            p.kill();
        QVERIFY2(ended, "the start did not end");
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QString err = stderrOf(p);
        QVERIFY2(err.contains(path), qPrintable(err));
        if (!before.isEmpty())
            QCOMPARE(TestFiles::read(path), before);
        QVERIFY(!QFile::exists(dir + QStringLiteral("dbLink.mdb-journal")));
    }

    // Without usData/ beside it, a renamed copy of the program keeps its data in the per-user
    // folder, named after the program, and makes nothing beside itself.
    void dataInThePerUserFolder()
    {
        const QString prog = m_tmp.filePath(QStringLiteral("prog"));
        QVERIFY(QDir().mkpath(prog));
        const QString exe = prog + QStringLiteral("/mylinks");
        // A hard link keeps the copy's own name as the program's path; a copy where not.
        if (::link(LINKWELL_EXE, QFile::encodeName(exe).constData()) != 0)
            QVERIFY(QFile::copy(QStringLiteral(LINKWELL_EXE), exe));
        const QString dataHome = prog + QStringLiteral("-data");
        const QString perUser = dataHome + QStringLiteral("/Linkwell/usData/");
        QProcess p;
        start(p, {}, false, exe, dataHome);
        QVERIFY(ProgramRun::waitReady(perUser));
        closeProgram(p);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(QFileInfo(perUser + QStringLiteral("User.xml")).isFile());
        QCOMPARE(QDir(prog).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList {QStringLiteral("mylinks")});
    }

    // A collection without links starts on a page of the program's own that says how to fill
    // it.
    void startPageOnAnEmptyCollection()
    {
        Launch launch;
        QCOMPARE(launch.openFolder(dataDir(QStringLiteral("empty")), Launch::Access::Write),
                 Launch::Ok);
        QCOMPARE(launch.openDatabase(), Launch::Ok);
        QVERIFY(Launch::collectionIsEmpty());
        const QString page = Launch::startPage();
        QVERIFY2(page.contains(QStringLiteral("F3"))
                     && page.contains(QStringLiteral("ﾌﾞｯｸﾏｰｸの取込")),
                 qPrintable(page));
        Store::CloseDb();
    }

    // An address as the only argument is the first page shown; one that names no page is
    // reported and the usual page is shown.
    void startAddress_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("expected"); // empty: refused
        const QString page
            = QUrl::fromLocalFile(QStringLiteral(LINKWELL_TEST_PAGES "/page.htm")).toString();
        const auto row = [](const char *name, const QString &argument, const QString &expected) {
            QTest::newRow(name) << argument << expected;
        };
        row("http", "http://127.0.0.1:8080/a?q=1", "http://127.0.0.1:8080/a?q=1");
        row("file address", page, page);
        row("absolute path", QStringLiteral(LINKWELL_TEST_PAGES "/page.htm"), page);
        row("relative path", "pages/page.htm", page);
        row("missing file", "pages/none.htm", "");
        row("script", "javascript:alert(1)", "");
        row("other scheme", "ftp://127.0.0.1/", "");
        row("no host", "http:/a", "");
    }
    void startAddress()
    {
        QFETCH(QString, argument);
        QFETCH(QString, expected);
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QFileInfo(QStringLiteral(LINKWELL_TEST_PAGES)).path()));
        QString error;
        const QString address = Usr::startAddress(argument, &error);
        QDir::setCurrent(old);
        QCOMPARE(address, expected);
        QCOMPARE(error.isEmpty(), !expected.isEmpty());
        QVERIFY(error.isEmpty() || error.contains(argument));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
