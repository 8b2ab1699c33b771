#include "platform/PackedRow.h"

#include <QTest>

#include <vector>

// A row's cells read back as written, whatever their number and length, and copies stay
// intact while others edit theirs.
class TestPackedRow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Ends of one, two and four bytes, more cells than the header byte counts, empty cells.
    void cellsReadBack_data()
    {
        QTest::addColumn<int>("cells");
        QTest::addColumn<int>("length");
        QTest::addRow("short") << 5 << 20; // under 256 bytes of text
        QTest::addRow("at 255") << 1 << 255;
        QTest::addRow("at 256") << 1 << 256;
        QTest::addRow("medium") << 5 << 3000;
        QTest::addRow("at 65535") << 1 << 65535;
        QTest::addRow("past 64 KB") << 3 << 30000;
        QTest::addRow("many cells") << 70 << 3;
        QTest::addRow("empty cells") << 4 << 0;
    }
    void cellsReadBack()
    {
        QFETCH(int, cells);
        QFETCH(int, length);
        std::vector<QByteArray> texts;
        for (int c = 0; c < cells; ++c)
            texts.push_back(QByteArray(length, char('a' + c % 26)) + QByteArray::number(c % 2));
        if (length == 0)
            texts.assign(size_t(cells), QByteArray());
        std::vector<QByteArrayView> views(texts.begin(), texts.end());
        std::vector<PackedRow> rows {PackedRow(views)};
        {
            PackedRow::Packer packer;
            for (int i = 0; i < 3; ++i)
                rows.push_back(packer.make(views));
        } // the rows outlive their packer
        for (const PackedRow &r : rows) {
            QCOMPARE(r.size(), cells);
            for (int c = 0; c < cells; ++c)
                QCOMPARE(r.cell(c), QByteArrayView(texts[size_t(c)]));
            QVERIFY(r.cell(cells).isEmpty());
            QVERIFY(r.cell(-1).isEmpty());
        }
    }

    // An edit makes the edited copy's own row; the rows sharing its block, and its other
    // copies, keep their texts, also once the edited one and the packer are gone.
    void editOfASharedRow()
    {
        std::vector<PackedRow> rows;
        PackedRow copy;
        {
            PackedRow::Packer packer;
            for (int i = 0; i < 1000; ++i)
                rows.push_back(packer.make({QByteArray::number(i), "ｸﾞﾙｰﾌﾟ", "title"}));
            copy = rows[500];
            rows[500].set(2, QByteArray(70000, 'x')); // grows past 64 KB
            rows[501].set(4, "past the end");
            rows[502].truncate(1);
        }
        QCOMPARE(copy.size(), 3);
        QCOMPARE(copy.cell(2), QByteArrayView("title"));
        QCOMPARE(rows[500].cell(2).size(), 70000);
        QCOMPARE(rows[500].cell(1), QByteArrayView("ｸﾞﾙｰﾌﾟ"));
        QCOMPARE(rows[501].size(), 5);
        QVERIFY(rows[501].cell(3).isEmpty());
        QCOMPARE(rows[501].cell(4), QByteArrayView("past the end"));
        QCOMPARE(rows[502].size(), 1);
        rows.erase(rows.begin() + 400, rows.begin() + 600);
        QCOMPARE(rows[399].cell(0), QByteArrayView("399"));
        QCOMPARE(rows[400].cell(0), QByteArrayView("600"));
        QCOMPARE(copy.cell(0), QByteArrayView("500"));
        PackedRow moved = std::move(copy);
        QCOMPARE(copy.size(), 0);
        const PackedRow &same = moved;
        moved = same; // kept by a self assignment
        QCOMPARE(moved.cell(0), QByteArrayView("500"));
    }

    // A cell many rows share (a group's name) reads back as written, with every width of ends
    // and count of cells; too short to save anything or past the cells, it is held in the row.
    void sharedCell_data()
    {
        QTest::addColumn<int>("cells");
        QTest::addColumn<int>("shared");
        QTest::addColumn<int>("length");
        QTest::addRow("group name") << 5 << 2 << 20;
        QTest::addRow("first cell") << 3 << 0 << 300;
        QTest::addRow("past 64 KB") << 3 << 1 << 30000;
        QTest::addRow("many cells") << 70 << 62 << 3;
        QTest::addRow("short text") << 4 << 1 << 0;
        QTest::addRow("past the cells") << 2 << 5 << 10;
    }
    void sharedCell()
    {
        QFETCH(int, cells);
        QFETCH(int, shared);
        QFETCH(int, length);
        std::vector<PackedRow> rows;
        std::vector<std::vector<QByteArray>> written;
        {
            PackedRow::Packer packer;
            for (int i = 0; i < 50; ++i) {
                std::vector<QByteArray> texts;
                for (int c = 0; c < cells; ++c)
                    texts.push_back(c == shared ? QByteArray("ｸﾞﾙｰﾌﾟ" + QByteArray::number(i % 3))
                                                : QByteArray(length, char('a' + c % 26))
                                            + QByteArray::number(i));
                std::vector<QByteArrayView> views(texts.begin(), texts.end());
                rows.push_back(packer.make(views, shared));
                if (shared < cells && length > 0)
                    QVERIFY(PackedRow::bytesFor(views, shared) < PackedRow::bytesFor(views));
                written.push_back(std::move(texts));
            }
        }
        rows[7].set(0, "edited"); // an edit keeps the shared text as text
        written[7][0] = "edited";
        for (size_t i = 0; i < rows.size(); ++i) {
            QCOMPARE(rows[i].size(), cells);
            for (int c = 0; c < cells; ++c)
                QCOMPARE(rows[i].cell(c), QByteArrayView(written[i][size_t(c)]));
        }
    }
};

QTEST_GUILESS_MAIN(TestPackedRow)
#include "tst_packedrow.moc"
