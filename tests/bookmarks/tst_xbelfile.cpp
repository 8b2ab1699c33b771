#include "bookmarks/XbelFile.h"

#include <QTest>

// XBEL read into folders and links; what is no XBEL, or asks for entities, refused with its line.
class TestXbelFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("result"); // folders; links; or the error

        const QByteArray doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE xbel PUBLIC \"+//IDN "
                               "python.org//DTD XML Bookmark Exchange Language 1.0//EN//XML\" "
                               "\"http://pyxml.sourceforge.net/topics/dtds/xbel.dtd\">\n";
        QTest::newRow("folders, titles, desc, added, separator")
            << doc
                + QByteArray("<xbel version=\"1.0\"><bookmark "
                             "href=\"https://r.example/\"><title>Root</title></bookmark>\n"
                             "<folder folded=\"no\"><title>TCP/IP &amp; "
                             "more</title><info><metadata owner=\"x\"/></info>\n"
                             "<bookmark href=\" https://a.example/ \" "
                             "added=\"2020-09-13T12:26:41Z\"><title>A</title><desc>two\n"
                             "lines</desc></bookmark><separator/>\n"
                             "<folder><title>Empty</title></folder>\n"
                             "<folder><title>Sub</title><bookmark href=\"https://b.example/\" "
                             "added=\"1600000000123\"><title>B</title></bookmark></folder>\n"
                             "<bookmark><title>no address</title></bookmark>\n"
                             "</folder></xbel>")
            << "TCP∕IP & more|TCP∕IP & more/Empty|TCP∕IP & more/Sub;"
               "https://r.example/|Root||0|-1,https://a.example/|A|two\nlines|1600000001|0,"
               "https://b.example/|B||1600000000|2;skipped 9";
        QTest::newRow("BOM and no DOCTYPE")
            << QByteArray("\xEF\xBB\xBF  <xbel><folder/></xbel>") << ";;skipped";
        QTest::newRow("entities of its own") << QByteArray(
            "<?xml version=\"1.0\"?>\n<!DOCTYPE xbel [\n<!ENTITY a \"aaaa\">\n<!ENTITY "
            "b \"&a;&a;&a;\">\n]>\n<xbel><bookmark href=\"&b;\"/></xbel>")
                                             << "独自の実体を宣言した XBEL は読みません (5 行目)";
        QTest::newRow("other XML") << QByteArray("<?xml version=\"1.0\"?>\n\n<html><body/></html>")
                                   << "XBEL のﾌｧｲﾙではありません (3 行目)";
        QTest::newRow("other DOCTYPE")
            << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE html>\n<xbel/>")
            << "XBEL のﾌｧｲﾙではありません (2 行目)";
        QTest::newRow("broken") << QByteArray("<xbel>\n<folder>\n<title>x</folder>\n</xbel>")
                                << "XBEL として読めません (3 行目): ";
    }
    void reads()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, result);
        QVERIFY(XbelFile::looksLikeXml(bytes));
        QVERIFY(!XbelFile::looksLikeXml("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<?xml"));
        const BookmarkFile file = XbelFile::parse(bytes);
        if (!file.ok()) {
            QVERIFY2(file.error.startsWith(result), qPrintable(file.error));
            return;
        }
        QStringList folders, links;
        for (const BookmarkFolder &f : file.folders)
            folders << f.path;
        for (const BookmarkLink &l : file.links)
            links << QStringList {l.address, l.title, l.description, QString::number(l.added),
                                  QString::number(l.folder)}
                         .join(u'|');
        QStringList skipped {QStringLiteral("skipped")};
        for (const int line : file.skippedLines)
            skipped << QString::number(line);
        QCOMPARE(QStringList({folders.join(u'|'), links.join(u','), skipped.join(u' ')}).join(u';'),
                 result);
    }
};

QTEST_GUILESS_MAIN(TestXbelFile)
#include "tst_xbelfile.moc"
