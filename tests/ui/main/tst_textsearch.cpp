#include "pages/PageArchive.h"
#include "search/TextIndex.h"
#include "store/Statements.h"
#include "support/SqlSteps.h"
#include "support/TestFiles.h"
#include "support/widgets/MainWindowFixture.h"

#include <QCheckBox>
#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>

// "本文も検索" in the main window: the copies are indexed after the window shows, the words
// are found in the page text, the tooltip shows where, Escape gives the list back.
class TestTextSearch : public QObject
{
    Q_OBJECT
    MainWindowFixture m;

    QStringList numbers() const
    {
        QStringList out;
        for (int row = 1; row <= m.list()->MaxRows(); ++row)
            out << m.list()->GetCell(LinkList::Number, row);
        return out;
    }

private Q_SLOTS:
    void cleanup() { m.close(); }

    void findsThePageText()
    {
        m.openDatabase();
        SqlSteps::exec(Sql::kInsertLink, {100, "http://a/", 0, "Alpha", QString(), 1});
        SqlSteps::exec(Sql::kInsertLink, {101, "http://b/", 0, "Beta", QString(), 1});
        SqlSteps::exec(Sql::kInsertLink, {102, "http://c/", 0, "東京案内", QString(), 1});
        for (const auto &[n, html] : {std::pair {100, "<p>東京の天気は晴れ</p>"},
                                      std::pair {101, "<p>大阪の天気 sunny</p>"}})
            TestFiles::write(PageArchive::fileFor(Usr::sDataPh, n),
                             QByteArray("Content-Type: text/html; charset=utf-8\r\n\r\n") + html);
        m.openWindow();
        // The backfill made the index from the copies.
        QTRY_VERIFY(QFile::exists(Usr::sDataPh + QStringLiteral("Idx/text.db")));
        QTRY_VERIFY(TextIndex(Usr::sDataPh).snippet(QStringLiteral("sun"), 101).contains(u"sunny"));
        auto *choice = m.find<QCheckBox>("chText");
        auto *box = m.find<QLineEdit>("txFind");
        QVERIFY(!choice->isChecked());
        choice->setChecked(true);
        QCOMPARE(Usr::Ini->vGtVal(QStringLiteral("FIND_TEXT"), 0).toInt(), 1);
        QTest::keyClicks(box, "sun");
        QTRY_COMPARE(numbers(), QStringList {"101"});
        box->clear();
        for (const QChar c : QStringLiteral("京"))
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), {});
        // Page text and title alike; the page text's best first.
        QTRY_COMPARE(numbers(), (QStringList {"100", "102"}));
        QCOMPARE(m.w->findChild<QLabel *>("lbCount")->text(), QStringLiteral("2 件"));
        QWidget *viewport = m.list()->viewport();
        const QPoint at = m.list()->visualRect(m.list()->model()->index(0, 3)).center();
        QHelpEvent help(QEvent::ToolTip, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &help);
        QVERIFY2(QToolTip::text().contains(u"<b>") && QToolTip::text().contains(u"天気"),
                 qPrintable(QToolTip::text()));
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_COMPARE(m.list()->MaxRows(), 3);
    }
};

QTEST_MAIN(TestTextSearch)
#include "tst_textsearch.moc"
