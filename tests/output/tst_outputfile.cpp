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
        const Dialogs::SaveRequest &r = shown[0].save;
        QCOMPARE(QStringList({shown[0].text, r.title, r.filterText, r.patterns.join(u' '),
                              r.folder + u'/' + r.fileName}),
                 htm ? QStringList({"作成するHTM", "作成するHTM", "HTM ﾌｧｲﾙ (*.htm;*.html)",
                                    "*.htm *.html", "/data/usData/Doc/" + name})
                     : QStringList({"作成するDOC", "作成するDOC", "ﾜｰﾄﾞ文書 (*.doc;*.docx)",
                                    "*.doc *.docx", "/data/usData/Doc/" + name}));
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
