#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

// Finds one fixed byte string in memory, sixteen positions at a time: two bytes of the needle
// (the rarest ones, when the caller knows how often each byte occurs) are compared at every
// position at once, and only where both agree is the whole needle compared.
class ByteFinder
{
public:
    ByteFinder() = default;
    // byteCounts, when given, tells how often each byte value occurs in the haystacks.
    explicit ByteFinder(QByteArray needle, const std::array<quint64, 256> *byteCounts = nullptr);

    qsizetype size() const { return m_needle.size(); }
    const QByteArray &needle() const { return m_needle; }

    // The first match that starts in [from, to), or nullptr. Bytes up to limit may be read
    // (to <= limit); a match must end by limit.
    const char *find(const char *from, const char *to, const char *limit) const;

private:
    QByteArray m_needle;
    qsizetype m_a = 0; // the two compared positions, m_a <= m_b
    qsizetype m_b = 0;
    bool m_anchorsAreAll = true; // the two positions are the whole needle
};
