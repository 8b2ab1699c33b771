#include "app/Usr.h"
#include "bookmarks/BookmarkTransfer.h"
#include "collection/LinkList.h"
#include "output/Document.h"
#include "output/Portal.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "settings/Language.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/SqlLines.h"
#include "support/TestFiles.h"
#include "support/Zip.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// What the program writes does not depend on the language it speaks: the
// portal page, the document, the bookmark export and a fresh database are the same in Japanese
// and in English.
class TestSameBytes : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;

    struct Written
    {
        QByteArray portal;
        QHash<QString, QByteArray> document; // the archive itself holds the time it was made
        QByteArray bookmarks;
        QString groupZero;
        QString message; // a text the language does change
    };

    // Everything written once, into the folder name, in the language installed now.
    void writeAll(const QString &name, Written &w)
    {
        const QString dir = m_tmp.filePath(name) + u'/';
        QVERIFY(QDir().mkpath(dir + QStringLiteral("Doc")));
        QVERIFY(QDir().mkpath(dir + QStringLiteral("Pic")));
        Usr::sDataPh = dir;

        // A fresh database and its group 0.
        QVERIFY(Store::OpenDb(dir + QStringLiteral("dbLink.mdb")));
        w.groupZero = SqlLines::of("Select nGrp, sGrp From mGrp").join(u' ');
        SqlSteps::exec(Sql::kInsertGroup, {1, QStringLiteral("技術"), 1});
        SqlSteps::exec(Sql::kInsertLink, {100, "http://a.example/", 1, "ｴｰ", "説明 a", 1});
        SqlSteps::exec(Sql::kInsertLink, {101, "http://b.example/", 0, "B", "memo b", 2});

        std::vector<PackedRow> packed;
        QVERIFY(LinkList::load(false, 0, packed));
        QList<ListRow> rows;
        for (const PackedRow &r : packed)
            rows.append(LinkList::toListRow(r));
        QCOMPARE(rows.size(), 2);

        Dialogs::setNextFileName(dir + QStringLiteral("Doc/portal.htm"));
        QCOMPARE(Portal::make(rows, QStringLiteral("*"), dir),
                 dir + QStringLiteral("Doc/portal.htm"));
        w.portal = TestFiles::read(dir + QStringLiteral("Doc/portal.htm"));

        Dialogs::setNextFileName(dir + QStringLiteral("Doc/links.docx"));
        QVERIFY(Document::make(rows, QStringLiteral("*"), dir, 50));
        w.document = unzip(TestFiles::read(dir + QStringLiteral("Doc/links.docx")));
        QVERIFY(w.document.size() > 3);

        int links = 0;
        QString error;
        QVERIFY2(BookmarkTransfer::exportTo(dir + QStringLiteral("bookmarks.html"), &links, &error),
                 qPrintable(error));
        w.bookmarks = TestFiles::read(dir + QStringLiteral("bookmarks.html"));
        w.message = BookmarkTransfer::exportedText(QStringLiteral("x"), links);
        Store::CloseDb();
    }

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        Shell::enableTestMode();
    }
    void cleanupTestCase() { Language::install(Language::Choice::Japanese); }

    void sameInBothLanguages()
    {
        Written ja, en;
        QVERIFY(Language::install(Language::Choice::Japanese));
        writeAll(QStringLiteral("ja"), ja);
        QVERIFY(Language::install(Language::Choice::English));
        writeAll(QStringLiteral("en"), en);
        QVERIFY(Language::install(Language::Choice::Japanese));

        // The languages really differed while the files were written.
        QCOMPARE(ja.message, QStringLiteral("2 件のﾘﾝｸを x に書き出しました"));
        QCOMPARE(en.message, QStringLiteral("Exported 2 links to x"));

        QCOMPARE(ja.groupZero, "0|未分類");
        QCOMPARE(en.groupZero, ja.groupZero);
        QVERIFY(ja.portal.contains(QByteArray("<title>My Portal</title>")));
        QCOMPARE(en.portal, ja.portal);
        QCOMPARE(en.document.size(), ja.document.size());
        for (auto it = ja.document.cbegin(); it != ja.document.cend(); ++it)
            QVERIFY2(en.document.value(it.key()) == it.value(), qPrintable(it.key()));
        QVERIFY(ja.bookmarks.contains(QByteArray("<H1>Bookmarks</H1>")));
        QCOMPARE(en.bookmarks, ja.bookmarks);
    }
};

QTEST_GUILESS_MAIN(TestSameBytes)
#include "tst_samebytes.moc"
