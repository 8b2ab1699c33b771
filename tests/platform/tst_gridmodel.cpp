#include "platform/GridModel.h"

#include <QSignalSpy>
#include <QTest>

class TestGridModel : public QObject
{
    Q_OBJECT
private:
    static void fill(GridModel &m, int rows)
    {
        m.SetMaxCols(3);
        m.SetMaxRows(rows);
        for (int r = 1; r <= rows; ++r)
            m.SetText(1, r, QString::number(r));
    }

private Q_SLOTS:
    void insertAndDeleteShiftRows()
    {
        GridModel m;
        fill(m, 5);
        m.InsertRows(3, 2);
        QCOMPARE(m.MaxRows(), 7);
        QCOMPARE(m.GetText(1, 2), QStringLiteral("2"));
        QCOMPARE(m.GetText(1, 3), QString());
        QCOMPARE(m.GetText(1, 5), QStringLiteral("3"));
        m.DeleteRows(2, 3);
        QCOMPARE(m.MaxRows(), 4);
        QCOMPARE(m.GetText(1, 2), QStringLiteral("3"));
        m.DeleteRows(4, 10); // past the end: only what exists
        QCOMPARE(m.MaxRows(), 3);
        m.InsertRows(4, 1); // after the last row
        QCOMPARE(m.MaxRows(), 4);
        QCOMPARE(m.GetText(1, 9), QString()); // outside: empty, no crash
        m.SetText(9, 9, QStringLiteral("x"));
        m.SetMaxRows(0);
        QCOMPARE(m.rowCount(), 0);
    }

    void numberCells_data()
    {
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("shown");
        QTest::newRow("one decimal") << 1 << "100" << true << "100.0";
        QTest::newRow("rounded") << 1 << "12.25" << true << "12.3";
        QTest::newRow("too large") << 1 << "1000" << false << "5.0";
        // The limits themselves are inside the range.
        QTest::newRow("at the minimum") << 1 << "0" << true << "0.0";
        QTest::newRow("at the maximum") << 1 << "999.9" << true << "999.9";
        QTest::newRow("negative") << 1 << "-1" << false << "5.0";
        QTest::newRow("not a number") << 1 << "abc" << false << "5.0";
        QTest::newRow("emptied") << 1 << "" << true << "";
        QTest::newRow("whole") << 0 << "42" << true << "42";
    }
    void numberCells()
    {
        QFETCH(int, decimals);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(QString, shown);
        GridModel m;
        m.SetMaxCols(2);
        m.SetMaxRows(1);
        m.column(2).kind = GridModel::Kind::Number;
        m.column(2).decimals = decimals;
        m.column(2).min = 0;
        m.column(2).max = 999.9;
        m.SetText(2, 1, QStringLiteral("5"));
        if (decimals == 1)
            QCOMPARE(m.GetText(2, 1), QStringLiteral("5.0"));
        QSignalSpy changed(&m, &GridModel::userChanged);
        QCOMPARE(m.setData(m.index(0, 1), typed, Qt::EditRole), accepted);
        if (decimals == 1 || accepted)
            QCOMPARE(m.GetText(2, 1), shown);
        QCOMPARE(changed.size(), accepted && m.GetText(2, 1) != QStringLiteral("5.0") ? 1 : 0);
    }

    // Only the user's edits count as changes; locked cells refuse them, limited ones cut them.
    void userEdits()
    {
        GridModel m;
        fill(m, 2);
        m.column(1).locked = true;
        m.column(3).maxLength = 5;
        QSignalSpy changed(&m, &GridModel::userChanged);
        m.SetText(2, 1, QStringLiteral("program"));
        QCOMPARE(changed.size(), 0);
        QVERIFY(m.setData(m.index(1, 1), QStringLiteral("user"), Qt::EditRole));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first(), (QList<QVariant> {2, 2}));
        // The same text again is no change.
        QVERIFY(m.setData(m.index(1, 1), QStringLiteral("user"), Qt::EditRole));
        QCOMPARE(changed.size(), 1);
        QVERIFY(!(m.flags(m.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(!m.setData(m.index(0, 0), QStringLiteral("x"), Qt::EditRole));
        QCOMPARE(m.GetText(1, 1), QStringLiteral("1"));
        QVERIFY(m.setData(m.index(0, 2), QStringLiteral("1234567"), Qt::EditRole));
        QCOMPARE(m.GetText(3, 1), QStringLiteral("12345"));

        // An empty cell may show another column's text; only shows it.
        m.column(2).shownWhenEmpty = 1;
        m.SetText(2, 2, QString());
        QCOMPARE(m.data(m.index(1, 1), Qt::DisplayRole).toString(), QStringLiteral("2"));
        QCOMPARE(m.data(m.index(1, 1), Qt::EditRole).toString(), QString());
        QCOMPARE(m.data(m.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("program"));
        QVERIFY(m.setData(m.index(1, 1), QString(), Qt::EditRole));
        QCOMPARE(changed.size(), 2);
        QCOMPARE(m.GetText(2, 2), QString());
    }

    void oneStepFill()
    {
        GridModel m;
        m.SetMaxCols(3);
        QSignalSpy reset(&m, &QAbstractItemModel::modelReset);
        std::vector<PackedRow> rows;
        for (int i = 0; i < 1000; ++i)
            rows.push_back(PackedRow {QByteArray::number(i), "ｸﾞﾙｰﾌﾟ", "", "past the last column"});
        rows.emplace_back(); // a row with no cells
        m.fillRows(std::move(rows));
        QCOMPARE(reset.size(), 1);
        QCOMPARE(m.MaxRows(), 1001);
        QCOMPARE(m.GetText(1, 1000), QStringLiteral("999"));
        QCOMPARE(m.GetText(2, 1), QStringLiteral("ｸﾞﾙｰﾌﾟ"));
        QCOMPARE(m.data(m.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("ｸﾞﾙｰﾌﾟ"));
        QCOMPARE(m.GetText(3, 1), QString());
        QCOMPARE(m.GetText(2, 1001), QString());
        // A cell past the filled ones is written and read back; its neighbours keep theirs.
        m.SetText(3, 1001, QStringLiteral("新しい"));
        m.SetText(2, 5, QStringLiteral("a longer text than before, in the middle of the row"));
        QCOMPARE(m.GetText(3, 1001), QStringLiteral("新しい"));
        QCOMPARE(m.GetText(1, 5), QStringLiteral("4"));
        QCOMPARE(m.GetText(2, 5),
                 QStringLiteral("a longer text than before, in the middle of the row"));
        // Columns taken away and given back come back empty.
        m.SetMaxCols(1);
        m.SetMaxCols(3);
        QCOMPARE(m.GetText(1, 5), QStringLiteral("4"));
        QCOMPARE(m.GetText(2, 5), QString());
        m.fillRows({});
        QCOMPARE(m.MaxRows(), 0);
    }

    void writesWhileUpdatesAreOffArriveAsOneReset()
    {
        GridModel m;
        fill(m, 3);
        QSignalSpy reset(&m, &QAbstractItemModel::modelReset);
        QSignalSpy data(&m, &QAbstractItemModel::dataChanged);
        m.SetScreenUpdate(false);
        m.SetMaxRows(100);
        for (int r = 1; r <= 100; ++r)
            m.SetText(2, r, QStringLiteral("x"));
        m.SetScreenUpdate(true);
        QCOMPARE(reset.size(), 1);
        QCOMPARE(data.size(), 0);
        QCOMPARE(m.rowCount(), 100);
        QCOMPARE(m.GetText(1, 3), QStringLiteral("3"));
    }

    // Rows packed side by side (over several blocks, a large one apart) outlive their packer
    // and join the rows on show, which they begin with, as one insertion.
    void packedRowsAppended()
    {
        GridModel m;
        fill(m, 2);
        QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
        const QByteArray large(100000, 'x');
        std::vector<PackedRow> rows;
        {
            PackedRow::Packer packer;
            for (int i = 1; i <= 2; ++i)
                rows.push_back(packer.make({QByteArray::number(i)}));
            for (int i = 0; i < 20000; ++i)
                rows.push_back(packer.make({QByteArray::number(i), i == 7 ? large : "ｸﾞﾙｰﾌﾟ"}));
            rows.push_back(packer.make({}));
        }
        m.extendRows(std::vector<PackedRow>(rows));
        rows.clear();
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(m.MaxRows(), 20003);
        QCOMPARE(m.GetText(1, 2), QStringLiteral("2"));
        QCOMPARE(m.GetText(1, 3), QStringLiteral("0"));
        QCOMPARE(m.GetText(2, 10), QString::fromLatin1(large));
        QCOMPARE(m.GetText(1, 20002), QStringLiteral("19999"));
        QCOMPARE(m.GetText(2, 20002), QStringLiteral("ｸﾞﾙｰﾌﾟ"));
        QCOMPARE(m.GetText(1, 20003), QString());
    }
};

QTEST_GUILESS_MAIN(TestGridModel)
#include "tst_gridmodel.moc"
