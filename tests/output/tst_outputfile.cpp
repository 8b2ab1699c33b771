#include "output/OutputFile.h"
#include "platform/Dialogs.h"
#include "support/FullDisk.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

    // Only a file written and flushed whole replaces the old one; the message names the file
    // and the system's reason.
    void fullDiskKeepsOldFile()
    {
        QVERIFY(!OutputFile::SaveBytes(QString(), "x"));
        const QByteArray oldBytes = "old contents\r\n";
        FullDisk disk({{"p.htm", oldBytes}});
        if (!disk.isValid())
            QSKIP("no small file system can be mounted here");
        const QString path = disk.path("p.htm");
        QVERIFY(!OutputFile::SaveBytes(path, "new"));
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList("ﾌｧｲﾙ " + path + " に書き込めません: ﾃﾞｨｽｸに空きがありません"));
        QCOMPARE(TestFiles::read(path), oldBytes);
        QCOMPARE(QDir(disk.path(".")).entryList(QDir::Files), QStringList({"p.htm"}));
    }
};

QTEST_GUILESS_MAIN(TestOutputFile)
#include "tst_outputfile.moc"
