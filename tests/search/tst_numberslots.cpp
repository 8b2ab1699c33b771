#include "search/NumberSlots.h"

#include <QRandomGenerator>
#include <QTest>

#include <limits>
#include <map>

class TestNumberSlots : public QObject
{
    Q_OBJECT
private slots:
    // Random appends, re-appends and drops over numbers narrow, wide and negative, few enough
    // that runs in the table meet and removals move entries back; checked against a map.
    void agreesWithMap_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("reserved");
        QTest::newRow("grown") << 1u << 0;
        QTest::newRow("reserved") << 2u << 3000;
        QTest::newRow("other seed") << 3u << 0;
    }
    void agreesWithMap()
    {
        QFETCH(quint32, seed);
        QFETCH(int, reserved);
        constexpr qint64 kWideFirst = 0xFFFFFFFEll; // the first number kept apart
        const qint64 special[] = {0,
                                  -1,
                                  -2,
                                  kWideFirst - 1,
                                  kWideFirst,
                                  kWideFirst + 1,
                                  qint64(1) << 40,
                                  std::numeric_limits<qint64>::max(),
                                  std::numeric_limits<qint64>::min()};
        QRandomGenerator rng(seed);
        NumberSlots table;
        table.reserve(size_t(reserved));
        std::map<qint64, quint32> held;
        for (int step = 0; step < 20000; ++step) {
            const qint64 n = rng.bounded(4) == 0 ? special[rng.bounded(int(std::size(special)))]
                                                 : qint64(rng.bounded(2000));
            if (rng.bounded(3) == 0) {
                if (const auto it = held.find(n); it != held.end()) {
                    table.drop(it->second);
                    QVERIFY(!table.live(it->second));
                    held.erase(it);
                }
            } else {
                const quint32 old = table.slotOf(n);
                const quint32 slot = table.append(n);
                QCOMPARE(slot, quint32(table.slotCount() - 1));
                if (old != NumberSlots::kNone)
                    QVERIFY(!table.live(old)); // a re-append drops the earlier slot
                held[n] = slot;
            }
            QCOMPARE(table.size(), held.size());
        }
        for (const auto &[n, slot] : held) {
            QCOMPARE(table.slotOf(n), slot);
            QVERIFY(table.live(slot));
            QCOMPARE(table.number(slot), n);
        }
        for (const qint64 n : special) {
            if (!held.contains(n))
                QCOMPARE(table.slotOf(n), NumberSlots::kNone);
        }
        size_t live = 0;
        for (quint32 s = 0; s < table.slotCount(); ++s)
            live += table.live(s);
        QCOMPARE(live, held.size());
        table.clear();
        QCOMPARE(table.size(), size_t(0));
        QCOMPARE(table.slotOf(5), NumberSlots::kNone);
    }
};

QTEST_APPLESS_MAIN(TestNumberSlots)
#include "tst_numberslots.moc"
