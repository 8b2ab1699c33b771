#include "output/OutputFile.h"
#include "platform/Dialogs.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

class TestOutputFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Dialogs::enableTestMode(); }
    void init() { Dialogs::enableTestMode(); }

    void askFileProposal_data()
    {
        QTest::addColumn<bool>("htm");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("name");
        const auto row = [](const char *tag, bool htm, const char *group, const char *name) {
            QTest::newRow(tag) << htm << QString::fromUtf8(group) << QString::fromUtf8(name);
        };
        row("all groups, page", true, "*", "Portal.htm");
        row("one group, page", true, "News", "News.htm");
        row("all groups, document", false, "*", "Portal.docx");
        row("one group, document", false, "ニュース", "ニュース.docx");
        row("star inside a name", true, "a*", "a_.htm");
        row("slash in a name", true, "A/B", "A_B.htm");
        row("nothing selected", false, "", "Portal.docx");
    }
    void askFileProposal()
    {
        QFETCH(bool, htm);
        QFETCH(QString, group);
        QFETCH(QString, name);

        Dialogs::setNextFileName(QString()); // cancel
        QCOMPARE(OutputFile::AskFile(htm, group, "/data/usData/"), QString());

        const QList<Dialogs::Shown> shown = Dialogs::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Dialogs::Shown::SaveFile);
        const Dialogs::SaveRequest &req = shown[0].save;
        QCOMPARE(req.fileName, name);
        QCOMPARE(req.folder, QString("/data/usData/Doc"));
        if (htm) {
            QCOMPARE(req.title, QString("作成するHTM"));
            QCOMPARE(req.filterText, QString("HTM ﾌｧｲﾙ (*.htm;*.html)"));
            QCOMPARE(req.patterns, QStringList({"*.htm", "*.html"}));
        } else {
            QCOMPARE(req.title, QString("作成するDOC"));
            QCOMPARE(req.filterText, QString("ﾜｰﾄﾞ文書 (*.doc;*.docx)"));
            QCOMPARE(req.patterns, QStringList({"*.doc", "*.docx"}));
        }
        QCOMPARE(shown[0].text, req.title);
    }

    void saveTextWritesCp932()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("p.htm");
        TestFiles::write(path, QByteArray(5000, 'x')); // a longer old file must not leave a tail

        QVERIFY(OutputFile::SaveText(path, QString("ﾘﾝｸ 日本①\r\n")));
        QCOMPARE(TestFiles::read(path), QByteArray::fromHex("d8ddb8 20 93fa967b 8740 0d0a"));
        QVERIFY(Dialogs::shown().isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"p.htm"}));
    }

    void saveTextFailure_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("makeDirectory");
        QTest::newRow("missing folder") << "no/such/folder/p.htm" << false;
        QTest::newRow("path is a folder") << "taken" << true;
    }
    void saveTextFailure()
    {
        QFETCH(QString, relative);
        QFETCH(bool, makeDirectory);
        QTemporaryDir dir;
        const QString path = dir.filePath(relative);
        if (makeDirectory)
            QVERIFY(QDir(dir.path()).mkdir(relative));

        QVERIFY(!OutputFile::SaveText(path, "text"));
        const QStringList texts = Dialogs::shownTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].startsWith("ﾌｧｲﾙ " + path + " に書き込めません: "),
                 qPrintable(texts[0]));
        QVERIFY2(texts[0].size() > QString("ﾌｧｲﾙ " + path + " に書き込めません: ").size(),
                 "the reason is missing");
        QCOMPARE(QFileInfo(path).isDir(), makeDirectory);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    void saveTextFullDiskKeepsOldFile()
    {
        // A file size limit fails the writes the way a full disk does, even for root.
        QTemporaryDir dir;
        const QString path = dir.filePath("p.htm");
        const QByteArray oldBytes = "old contents\r\n";
        TestFiles::write(path, oldBytes);

        rlimit saved {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool ok = OutputFile::SaveText(path, QString(100000, u'a'));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!ok);
        QCOMPARE(Dialogs::shownTexts().size(), 1);
        QVERIFY(Dialogs::shownTexts()[0].contains(path));
        QCOMPARE(TestFiles::read(path), oldBytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"p.htm"}));
    }

    void saveTextEmptyPath()
    {
        QVERIFY(!OutputFile::SaveText(QString(), "x"));
        QVERIFY(Dialogs::shown().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOutputFile)
#include "tst_outputfile.moc"
