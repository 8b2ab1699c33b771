#include "bookmarks/BookmarkTransfer.h"
#include "platform/Shell.h"
#include "store/Statements.h"
#include "support/SqlLines.h"
#include "support/TestFiles.h"
#include "support/widgets/MainWindowFixture.h"
#include "support/widgets/ModalDriver.h"
#include "ui/main/SearchBox.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QProgressDialog>
#include <QSignalSpy>

// The bookmark items of the main window's file menu, over a real database and a fake browser.
class TestBookmarkCommands : public QObject
{
    Q_OBJECT
private:
    MainWindowFixture m;

    // A window over a database with one group and one link.
    void open()
    {
        m.openDatabase();
        SqlSteps::exec(Sql::kInsertGroup, {1, QStringLiteral("Held"), 1});
        SqlSteps::exec(
            Sql::kInsertLink,
            {100, QStringLiteral("http://held.example/"), 1, QStringLiteral("held"), QString(), 1});
        m.openWindow();
    }

    // A bookmark file of n links in the folder "Imported".
    QString bookmarks(int n)
    {
        QByteArray b = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><H3>Imported</H3>\n"
                       "<DL><p>\n<DT><A HREF=\"http://HELD.example/\">again</A>\n";
        for (int i = 0; i < n; ++i)
            b += "<DT><A HREF=\"http://x.example/" + QByteArray::number(i) + "\">x</A>\n";
        b += "</DL><p>\n</DL><p>\n";
        const QString path = m.tmp->filePath(QStringLiteral("bookmarks.html"));
        TestFiles::write(path, b);
        return path;
    }

    static QString links() { return SqlLines::of("Select Count(*) From tURL").value(0); }

    QStringList selector() const
    {
        QStringList items;
        for (int i = 0; i < m.group()->count(); ++i)
            items << m.group()->itemText(i);
        return items;
    }

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        Shell::enableTestMode();
        qputenv("LINKWELL_SEARCH_URL", "http://127.0.0.1:9/search");
    }
    void cleanup() { m.close(); }

    // The file menu's commands; the compaction's progress window is gone when its message
    // shows and never comes back.
    void fileCommands()
    {
        open();
        Shell::clearCalls();
        m.w->menus().mnFile[MnFile::OpenFolder]->trigger();
        QCOMPARE(Shell::calls().size(), 1);
        QCOMPARE(Shell::calls().first().verb, QStringLiteral("explore"));
        m.w->menus().mnFile[MnFile::Compact]->trigger();
        QCOMPARE(Dialogs::shownTexts().last(),
                 Usr::sDataPh + QStringLiteral("dbLink.mdb を最適化しました"));
        QTest::qWait(20);
        QVERIFY(!m.w->findChild<QProgressDialog *>());
        QSignalSpy unloaded(m.w.get(), &fmLink::unloaded);
        m.w->menus().mnFile[MnFile::Quit]->trigger();
        QCOMPARE(unloaded.count(), 1);
    }

    // Nothing is written until OK, and a cancel in the progress window takes back what was
    // written; only a finished import refills the selector and the list.
    void importFromTheMenu_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("cancelProgress");
        QTest::newRow("OK") << true << false;
        QTest::newRow("cancel at the question") << false << false;
        QTest::newRow("cancel while importing") << true << true;
    }
    void importFromTheMenu()
    {
        QFETCH(bool, answer);
        QFETCH(bool, cancelProgress);
        open();
        const QString path = bookmarks(30);
        Dialogs::setNextFileName(path);
        Dialogs::setNextAnswer(answer);
        int shownAt = -1;
        // Cancelled once some links are written.
        std::function<void(QProgressDialog *)> cancel = [&](QProgressDialog *d) {
            if (d->value() == 0)
                return ModalDriver::whenShown<QProgressDialog>(cancel);
            shownAt = d->value();
            d->cancel();
        };
        if (cancelProgress)
            ModalDriver::whenShown<QProgressDialog>(cancel);
        QVERIFY(m.w->findChild<SearchBox *>()->ensureBuilt());
        m.w->menus().mnFile[MnFile::ImportBookmarks]->trigger();

        const QList<Dialogs::Shown> shown = Dialogs::shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].kind, Dialogs::Shown::OpenFile);
        QCOMPARE(shown[1].buttons, Dialogs::Buttons::OkCancel);
        QVERIFY(!m.w->findChild<QProgressDialog *>());
        const bool written = answer && !cancelProgress;
        if (cancelProgress)
            QVERIFY2(shownAt > 0 && shownAt < 30, qPrintable(QString::number(shownAt)));
        QVERIFY(Store::isOpen());
        QCOMPARE(links(), written ? "31" : "1");
        QCOMPARE(selector(),
                 written ? (QStringList {"*", "Held", "Imported"}) : (QStringList {"*", "Held"}));
        QCOMPARE(m.list()->MaxRows(), written ? 31 : 1);
        // The search knows what the collection holds now.
        QVERIFY(m.w->findChild<SearchBox *>()->ensureBuilt());
        QCOMPARE(int(m.w->findChild<SearchBox *>()->index().allRows().size()), written ? 31 : 1);
    }

    // A file that is refused is named with the reason; nothing is asked or written.
    void refusedFileIsNamed()
    {
        open();
        const QString path = m.tmp->filePath(QStringLiteral("notes.txt"));
        TestFiles::write(path, "just notes\n");
        Dialogs::setNextFileName(path);
        m.w->menus().mnFile[MnFile::ImportBookmarks]->trigger();
        QCOMPARE(Dialogs::shownTexts().last(),
                 QStringLiteral("ﾌﾞｯｸﾏｰｸ ") + path
                     + QStringLiteral(" を取り込めません: ﾌﾞｯｸﾏｰｸのﾌｧｲﾙではありません"));
        QCOMPARE(Dialogs::shown().last().buttons, Dialogs::Buttons::Ok);
        QCOMPARE(links(), "1");
        // A cancelled file dialog asks nothing further.
        Dialogs::clearShown();
        m.w->menus().mnFile[MnFile::ImportBookmarks]->trigger();
        QCOMPARE(Dialogs::shown().size(), 1);
    }

    void exportFromTheMenu()
    {
        open();
        const QString path = m.tmp->filePath(QStringLiteral("Doc/out.html"));
        Dialogs::setNextFileName(path);
        m.w->menus().mnFile[MnFile::ExportBookmarks]->trigger();
        const QList<Dialogs::Shown> shown = Dialogs::shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].save.folder, Usr::sDataPh + QStringLiteral("Doc"));
        QCOMPARE(shown[1].text, BookmarkTransfer::exportedText(path, 1));
        QByteArray bytes;
        QVERIFY(BookmarkTransfer::exportBytes(bytes));
        QCOMPARE(TestFiles::read(path), bytes);
    }

    // The save dialog offers a type for each format; a bare name takes the chosen type's
    // ending and format.
    void exportByChosenType()
    {
        open();
        Dialogs::setNextFileName(m.tmp->filePath(QStringLiteral("Doc/out")));
        Dialogs::setNextFileType(1);
        m.w->menus().mnFile[MnFile::ExportBookmarks]->trigger();
        const Dialogs::SaveRequest asked = Dialogs::shown().first().save;
        QCOMPARE(asked.patterns + asked.moreTypes.value(0).patterns,
                 QStringList({"*.html", "*.htm", "*.xbel"}));
        QVERIFY(TestFiles::read(m.tmp->filePath("Doc/out.xbel")).contains("<xbel version"));
    }
};

QTEST_MAIN(TestBookmarkCommands)
#include "tst_bookmarkcommands.moc"
