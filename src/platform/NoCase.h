#pragma once

#include <QString>
#include <QStringView>

#include <unordered_set>

// Texts compared as the database's NOCASE collation compares them: ASCII letters without case,
// every other character as it is, in code point order.
namespace NoCase {

int compare(QStringView a, QStringView b);
bool equal(QStringView a, QStringView b);
size_t hash(QStringView s);

} // namespace NoCase

// A set of addresses with the page lookup's comparison, so that "HTTP://A.example/" and
// "http://a.example/" are one address and "ä" and "Ä" are not.
class AddressSet
{
public:
    void reserve(qsizetype n) { m_set.reserve(size_t(n)); }
    // False when the address is held already.
    bool insert(const QString &address) { return m_set.insert(address).second; }
    bool contains(QStringView address) const { return m_set.find(address) != m_set.end(); }
    qsizetype size() const { return qsizetype(m_set.size()); }

private:
    struct Hash
    {
        using is_transparent = void;
        size_t operator()(QStringView s) const { return NoCase::hash(s); }
    };
    struct Equal
    {
        using is_transparent = void;
        bool operator()(QStringView a, QStringView b) const { return NoCase::equal(a, b); }
    };
    std::unordered_set<QString, Hash, Equal> m_set;
};
