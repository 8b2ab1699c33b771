#include "search/ByteFinder.h"

#include <QRandomGenerator>
#include <QTest>

#include <cstring>

class TestByteFinder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Random haystacks over a few byte values (many near misses), random windows [from, to) and
    // read limits, needles cut from the haystack or made up: the first match must be the one a
    // byte-by-byte search finds, in every block position and at every edge.
    void agreesWithPlainSearch()
    {
        QRandomGenerator rng(7);
        const char alphabet[] = {'a', 'b', 'c', char(0xC1), char(0x81), char(0xE3)};
        int found = 0;
        for (int round = 0; round < 20000; ++round) {
            QByteArray hay(int(rng.bounded(1, 200)), Qt::Uninitialized);
            for (char &c : hay)
                c = alphabet[rng.bounded(int(sizeof alphabet))];
            QByteArray needle;
            if (rng.bounded(3)) {
                const int at = int(rng.bounded(hay.size()));
                needle = hay.mid(at, int(rng.bounded(1, 40)));
            } else {
                for (int i = int(rng.bounded(1, 6)); i > 0; --i)
                    needle += alphabet[rng.bounded(int(sizeof alphabet))];
            }
            std::array<quint64, 256> counts {};
            for (const char c : hay)
                ++counts[quint8(c)];
            const ByteFinder finder(needle, rng.bounded(2) ? &counts : nullptr);
            const qsizetype limitAt = hay.size() - rng.bounded(qMin(hay.size(), 40) + 1);
            const qsizetype toAt = limitAt - rng.bounded(qMin(limitAt, qsizetype(40)) + 1);
            const qsizetype fromAt = rng.bounded(qMin(toAt, qsizetype(40)) + 1);
            const char *base = hay.constData();
            const char *expected = nullptr;
            for (qsizetype p = fromAt; p < toAt && !expected; ++p) {
                if (p + needle.size() <= limitAt
                    && std::memcmp(base + p, needle.constData(), size_t(needle.size())) == 0)
                    expected = base + p;
            }
            const char *got = finder.find(base + fromAt, base + toAt, base + limitAt);
            if (got != expected)
                QFAIL(qPrintable(QStringLiteral("round %1: found at %2 instead of %3")
                                     .arg(round)
                                     .arg(got ? got - base : -1)
                                     .arg(expected ? expected - base : -1)));
            found += expected != nullptr;
        }
        QVERIFY(found > 5000);
    }

    void rareBytesChosen()
    {
        // "eeqe": the rare 'q' and, of the rest, a byte other than 'q' decide; all four positions
        // must still agree for a match.
        std::array<quint64, 256> counts {};
        counts['e'] = 1000;
        counts['q'] = 1;
        const ByteFinder finder("eeqe", &counts);
        const QByteArray hay = "eeqx eqee eeqe";
        const char *at = finder.find(hay.constData(), hay.constData() + hay.size(),
                                     hay.constData() + hay.size());
        QCOMPARE(at - hay.constData(), 10);
        const ByteFinder same("qqq", &counts);
        const QByteArray q = "qq qqq";
        QCOMPARE(same.find(q.constData(), q.constData() + q.size(), q.constData() + q.size())
                     - q.constData(),
                 3);
    }
};

QTEST_APPLESS_MAIN(TestByteFinder)
#include "tst_bytefinder.moc"
