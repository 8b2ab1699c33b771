#include "output/ByteFinder.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

ByteFinder::ByteFinder(QByteArray needle, const std::array<quint64, 256> *byteCounts)
    : m_needle(std::move(needle))
{
    const qsizetype n = m_needle.size();
    if (n < 2)
        return;
    if (!byteCounts) {
        m_b = n - 1;
        return;
    }
    auto count = [&](qsizetype i) { return (*byteCounts)[quint8(m_needle.at(i))]; };
    qsizetype best = 0;
    for (qsizetype i = 1; i < n; ++i) {
        if (count(i) < count(best))
            best = i;
    }
    // The second position: the rarest byte among those that differ from the first, since the
    // same value again filters little; the same value only when there is no other.
    auto worse = [&](qsizetype i, qsizetype j) {
        const bool si = m_needle.at(i) == m_needle.at(best);
        const bool sj = m_needle.at(j) == m_needle.at(best);
        return si != sj ? si : count(i) > count(j);
    };
    qsizetype second = best == 0 ? 1 : 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (i != best && worse(second, i))
            second = i;
    }
    m_a = qMin(best, second);
    m_b = qMax(best, second);
}

const char *ByteFinder::find(const char *from, const char *to, const char *limit) const
{
    const qsizetype n = m_needle.size();
    if (n == 0)
        return from < to ? from : nullptr;
    const char *needle = m_needle.constData();
    const char *p = from;
    auto whole
        = [&](const char *s) { return s + n <= limit && std::memcmp(s, needle, size_t(n)) == 0; };
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(needle[m_a]);
    const __m128i second = _mm_set1_epi8(needle[m_b]);
    // Two blocks a turn: one test of the joined mask for 32 positions.
    for (; p < to && p + m_b + 32 <= limit; p += 32) {
        const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + m_a));
        const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + m_b));
        const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + m_a + 16));
        const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + m_b + 16));
        const quint32 m0 = quint32(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(a0, first), _mm_cmpeq_epi8(b0, second))));
        const quint32 m1 = quint32(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(a1, first), _mm_cmpeq_epi8(b1, second))));
        quint32 mask = m0 | (m1 << 16);
        while (mask) {
            const char *s = p + std::countr_zero(mask);
            if (s >= to)
                return nullptr;
            if (whole(s))
                return s;
            mask &= mask - 1;
        }
    }
#endif
    for (; p < to && p + n <= limit; ++p) {
        if (p[m_a] == needle[m_a] && p[m_b] == needle[m_b] && whole(p))
            return p;
    }
    return nullptr;
}
