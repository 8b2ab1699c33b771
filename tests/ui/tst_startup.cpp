#include "platform/Cp932.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// Start-up and shutdown of the real program, offscreen, in a temporary data folder.
class TestStartup : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;

    QString dataDir(const QString &name) const { return m_tmp.filePath(name) + u'/'; }

    void startProgram(QProcess &p, const QString &dir, const QStringList &more = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LINKWELL_NONINTERACTIVE"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The browser stays on this machine.
        env.insert(QStringLiteral("LINKWELL_SEARCH_URL"), QStringLiteral("about:blank"));
        env.insert(QStringLiteral("LINKWELL_HOME_URL"), QStringLiteral("about:blank"));
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   QStringLiteral("new_delete_type_mismatch=0:detect_leaks=0"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(LINKWELL_EXE), QStringList{QStringLiteral("--data-dir"), dir} + more);
        QVERIFY(p.waitForStarted());
    }

    // Running once its lock is held and its database exists.
    static bool waitReady(const QString &dir)
    {
        return QTest::qWaitFor(
            [&] {
                return QFile::exists(dir + QStringLiteral("linkwell.lock"))
                    && QFile::exists(dir + QStringLiteral("dbLink.mdb"));
            },
            60000);
    }

    static void closeProgram(QProcess &p)
    {
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(60000));
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_tmp.isValid()); }

    void firstRunCreatesFolderAndWritesSettings()
    {
        const QString dir = dataDir(QStringLiteral("first/usData"));
        QProcess p;
        startProgram(p, dir);
        QVERIFY(waitReady(dir));
        QVERIFY(QFileInfo(dir + QStringLiteral("Doc")).isDir());
        QVERIFY(QFileInfo(dir + QStringLiteral("Pic")).isDir());
        closeProgram(p);
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);

        QFile f(dir + QStringLiteral("User.xml"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray expected = Cp932::encode(
            QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n"
                           "<運用>\r\n"
                           "   <画面>\r\n"
                           "      <PC_SIZE>50</PC_SIZE>\r\n"
                           "   </画面>\r\n"
                           "</運用>"));
        QCOMPARE(f.readAll(), expected);
        QVERIFY(!QFile::exists(dir + QStringLiteral("linkwell.lock")));
    }

    void keepsStoredSettings()
    {
        const QString dir = dataDir(QStringLiteral("kept"));
        QDir().mkpath(dir);
        const QByteArray stored = Cp932::encode(
            QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n"
                           "   <画面>\r\n      <PC_SIZE>32</PC_SIZE>\r\n"
                           "      <HOME_URL>http://127.0.0.1:9/</HOME_URL>\r\n   </画面>\r\n"
                           "   <他>\r\n      <X>1</X>\r\n   </他>\r\n</運用>"));
        QFile f(dir + QStringLiteral("User.xml"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(stored);
        f.close();
        QProcess p;
        startProgram(p, dir);
        QVERIFY(waitReady(dir));
        closeProgram(p);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), stored);
    }

    void notADatabaseIsReportedAndLeftAlone()
    {
        const QString dir = dataDir(QStringLiteral("notdb"));
        QDir().mkpath(dir);
        const QByteArray junk = "This is not a database, but someone's notes.\n";
        QFile f(dir + QStringLiteral("dbLink.mdb"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(junk);
        f.close();
        QProcess p;
        startProgram(p, dir);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("dbLink.mdb")), qPrintable(err));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), junk);
        const QStringList entries = QDir(dir).entryList(QDir::Files);
        QVERIFY2(!entries.contains(QStringLiteral("dbLink.mdb-journal")), qPrintable(entries.join(u',')));
    }

    void secondInstanceIsRefused()
    {
        const QString dir = dataDir(QStringLiteral("twice"));
        QProcess first;
        startProgram(first, dir);
        QVERIFY(waitReady(dir));
        QProcess second;
        startProgram(second, dir);
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 1);
        const QString err = QString::fromUtf8(second.readAllStandardError());
        QVERIFY2(err.contains(QDir::toNativeSeparators(dir)), qPrintable(err));
        QCOMPARE(first.state(), QProcess::Running);
        closeProgram(first);
        QCOMPARE(first.exitCode(), 0);
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("expected");
        QTest::newRow("version") << "--version" << "0.";
        QTest::newRow("help") << "--help" << "--data-dir";
    }

    void commandLine()
    {
        QFETCH(QString, option);
        QFETCH(QString, expected);
        QProcess p;
        startProgram(p, dataDir(QStringLiteral("cmdline")), {option});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).contains(expected));
        // Nothing is created for a question about the program.
        QVERIFY(!QFile::exists(dataDir(QStringLiteral("cmdline")) + QStringLiteral("User.xml")));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
