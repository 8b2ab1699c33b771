#pragma once

#include "address/Address.h"

#include <QSet>
#include <QString>

// A set of addresses compared as Address::same compares them: "HTTP://A.example/x" and
// "http://a.example/x" are one address, "http://a.example/X" another.
class AddressSet
{
public:
    void reserve(qsizetype n) { m_set.reserve(n); }
    // False when the address is held already.
    bool insert(const QString &address)
    {
        const qsizetype before = m_set.size();
        m_set.insert(Address::matchForm(address));
        return m_set.size() != before;
    }
    bool contains(const QString &address) const
    {
        return m_set.contains(Address::matchForm(address));
    }
    qsizetype size() const { return m_set.size(); }

private:
    QSet<QString> m_set;
};
