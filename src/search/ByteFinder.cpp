#include "search/ByteFinder.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

ByteFinder::ByteFinder(QByteArray needle, const std::array<quint64, 256> *byteCounts)
    : m_needle(std::move(needle))
{
    const qsizetype n = m_needle.size();
    m_anchorsAreAll = n <= 2;
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

namespace {

// Inline, so that the block loop makes no call and keeps its vectors in registers.
inline bool sameBytes(const char *a, const char *b, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

} // namespace

const char *ByteFinder::find(const char *from, const char *to, const char *limit) const
{
    const qsizetype n = m_needle.size();
    if (n == 0)
        return from < to ? from : nullptr;
    const char *needle = m_needle.constData();
    const qsizetype starts = to - from; // positions a match may start at
    const qsizetype readable = limit - from; // bytes that may be read
    const bool checkAll = !m_anchorsAreAll;
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(needle[m_a]);
    const __m128i second = _mm_set1_epi8(needle[m_b]);
    // Two blocks a turn: one test of the joined mask for 32 positions.
    const qsizetype blocks = qMin(starts, readable - m_b - 31);
    for (; i < blocks; i += 32) {
        const char *p = from + i;
        const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + m_a));
        const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + m_b));
        const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + m_a + 16));
        const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + m_b + 16));
        const quint32 m0 = quint32(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(a0, first), _mm_cmpeq_epi8(b0, second))));
        const quint32 m1 = quint32(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(a1, first), _mm_cmpeq_epi8(b1, second))));
        for (quint32 mask = m0 | (m1 << 16); mask; mask &= mask - 1) {
            const qsizetype at = i + std::countr_zero(mask);
            if (at >= starts)
                return nullptr;
            if (at + n <= readable && (!checkAll || sameBytes(from + at, needle, n)))
                return from + at;
        }
    }
#endif
    for (; i < starts && i + n <= readable; ++i) {
        const char *p = from + i;
        if (p[m_a] == needle[m_a] && p[m_b] == needle[m_b] && sameBytes(p, needle, n))
            return p;
    }
    return nullptr;
}
