#include "platform/widgets/Grid.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

// A real grid, offscreen, driven by mouse and keys.
class TestGrid : public QObject
{
    Q_OBJECT
private:
    static void setUp(Grid &g)
    {
        g.SetMaxCols(4);
        g.SetMaxRows(8);
        for (int r = 1; r <= 8; ++r)
            for (int c = 1; c <= 4; ++c)
                g.SetText(c, r, QStringLiteral("%1-%2").arg(c).arg(r));
        g.resize(600, 400);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
    }
    static QPoint centre(Grid &g, int col, int row)
    {
        return g.visualRect(g.model()->index(row - 1, col - 1)).center();
    }

private Q_SLOTS:
    void clickAndShiftClickReportCellAndBlock()
    {
        Grid g;
        setUp(g);
        QSignalSpy click(&g, &Grid::Click);
        QSignalSpy block(&g, &Grid::BlockSelected);
        QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, centre(g, 2, 5));
        QCOMPARE(QList<QList<QVariant>>(click), (QList<QList<QVariant>> {{2, 5}}));
        QCOMPARE(g.ActiveRow(), 5);
        QTest::mouseClick(g.viewport(), Qt::LeftButton, Qt::ShiftModifier, centre(g, 3, 7));
        QVERIFY(!block.isEmpty());
        QCOMPARE(block.last(), (QList<QVariant> {2, 5, 3, 7}));
    }

    void keyDownComesBeforeTheGridMoves()
    {
        Grid g;
        setUp(g);
        g.SetActiveRow(3);
        int rowSeen = 0;
        connect(&g, &Grid::KeyDown, &g, [&](int key, Qt::KeyboardModifiers) {
            if (key == Qt::Key_Down)
                rowSeen = g.ActiveRow();
        });
        QTest::keyClick(&g, Qt::Key_Down);
        QCOMPARE(rowSeen, 3);
        QCOMPARE(g.ActiveRow(), 4);
        // A handler can keep the grid from moving.
        connect(&g, &Grid::KeyDown, &g, [&](int, Qt::KeyboardModifiers) { g.consumeKey(); });
        QTest::keyClick(&g, Qt::Key_Down);
        QCOMPARE(g.ActiveRow(), 4);
    }

    // Rows picked on the row numbers are a block of every column, however they were picked;
    // any later change of the selection is told at once, so a remembered block can go.
    void rowNumbersSelectBlocks_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("click") << "click" << 3 << 3;
        QTest::newRow("Shift+click") << "shift" << 2 << 5;
        QTest::newRow("Shift+click upwards") << "shift-up" << 2 << 6;
        QTest::newRow("drag") << "drag" << 2 << 6;
    }
    void rowNumbersSelectBlocks()
    {
        QFETCH(QString, how);
        QFETCH(int, first);
        QFETCH(int, last);
        Grid g;
        setUp(g);
        QWidget *numbers = g.verticalHeader()->viewport();
        const auto at = [&](int row) {
            QHeaderView *h = g.verticalHeader();
            return QPoint(h->width() / 2,
                          h->sectionViewportPosition(row - 1) + h->sectionSize(row - 1) / 2);
        };
        QSignalSpy block(&g, &Grid::BlockSelected);
        QSignalSpy changed(&g, &Grid::SelectionChanged);
        if (how == u"click") {
            QTest::mouseClick(numbers, Qt::LeftButton, {}, at(first));
        } else if (how == u"shift") {
            QTest::mouseClick(numbers, Qt::LeftButton, {}, at(first));
            QTest::mouseClick(numbers, Qt::LeftButton, Qt::ShiftModifier, at(last));
        } else if (how == u"shift-up") {
            QTest::mouseClick(numbers, Qt::LeftButton, {}, at(last));
            QTest::mouseClick(numbers, Qt::LeftButton, Qt::ShiftModifier, at(first));
        } else {
            QTest::mousePress(numbers, Qt::LeftButton, {}, at(first));
            for (int r = first + 1; r <= last; ++r)
                QTest::mouseMove(numbers, at(r));
            QTest::mouseRelease(numbers, Qt::LeftButton, {}, at(last));
        }
        QVERIFY(!block.isEmpty());
        QCOMPARE(block.last(), (QList<QVariant> {1, first, 4, last}));
        QVERIFY(!changed.isEmpty());

        // A single cell afterwards is no block, and the grid says the selection changed.
        block.clear();
        changed.clear();
        QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, centre(g, 2, 7));
        QVERIFY(block.isEmpty());
        QVERIFY(!changed.isEmpty());
        // So does the program moving the active cell, filling the grid anew or emptying it.
        for (const auto &change : std::initializer_list<std::function<void()>> {
                 [&] { g.SetActiveRow(1); },
                 [&] {
                     g.SetScreenUpdate(false);
                     g.SetText(1, 1, QStringLiteral("new"));
                     g.SetScreenUpdate(true);
                 },
                 [&] { g.SetMaxRows(0); }}) {
            changed.clear();
            change();
            QVERIFY(!changed.isEmpty());
        }
    }

    void editingReplacesAndReports()
    {
        Grid g;
        setUp(g);
        g.SetReplaceOnEdit(true);
        g.SetColText(3, 60);
        QSignalSpy change(&g, &Grid::Change);
        g.setCurrentIndex(g.model()->index(1, 2));
        QTest::keyClick(&g, Qt::Key_F2);
        auto *edit = g.findChild<QLineEdit *>();
        QVERIFY(edit);
        QVERIFY(edit->hasSelectedText());
        QTest::keyClicks(edit, QStringLiteral("typed"));
        QTest::keyClick(edit, Qt::Key_Return);
        // The editor commits from the event loop.
        QTRY_COMPARE(g.GetText(3, 2), QStringLiteral("typed"));
        QCOMPARE(QList<QList<QVariant>>(change), (QList<QList<QVariant>> {{3, 2}}));
    }

    void comboPickIsAChange()
    {
        Grid g;
        setUp(g);
        g.SetColCombo(4);
        g.TypeComboBoxList(4, QStringLiteral("News\tTech\tBlogs"));
        QSignalSpy change(&g, &Grid::Change);
        g.setCurrentIndex(g.model()->index(0, 3));
        QTest::keyClick(&g, Qt::Key_F2);
        auto *box = g.findChild<QComboBox *>();
        QVERIFY(box);
        QCOMPARE(box->count(), 3);
        box->setCurrentIndex(1);
        Q_EMIT box->activated(1);
        QCOMPARE(g.GetText(4, 1), QStringLiteral("Tech"));
        QCOMPARE(QList<QList<QVariant>>(change), (QList<QList<QVariant>> {{4, 1}}));
    }

    void hiddenColumnsAndWidths()
    {
        Grid g;
        setUp(g);
        g.SetColHidden(2, true);
        QVERIFY(g.isColumnHidden(1));
        g.SetColWidth(3, 10);
        QCOMPARE(g.ColWidth(3), 10.0);
        QVERIFY(g.columnWidth(2) >= int(10 * g.unitPixels()));
    }

    void deleteKeepsActiveRowOnTheNextRow()
    {
        Grid g;
        setUp(g);
        g.SetActiveRow(8);
        g.DeleteRows(8, 1);
        QCOMPARE(g.MaxRows(), 7);
        QCOMPARE(g.ActiveRow(), 7);
        g.SetActiveRow(2);
        g.DeleteRows(2, 1);
        QCOMPARE(g.ActiveRow(), 2);
        QCOMPARE(g.GetText(1, 2), QStringLiteral("1-3"));
    }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
