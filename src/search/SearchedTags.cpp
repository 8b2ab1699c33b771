#include "SearchedTags.h"

#include "store/LinkStore.h"

bool SearchedTags::load(QString *error)
{
    clear();
    return LinkStore::forEachTags(
        [this](qint64 n, QByteArrayView t) {
            const QByteArray &kept = *m_tags.insert(n, ' ' + t.toByteArray());
            m_bytes += size_t(kept.size());
        },
        error);
}

QByteArrayView SearchedTags::described(qint64 nURL, QByteArrayView description)
{
    const auto t = m_tags.constFind(nURL);
    if (t == m_tags.constEnd())
        return description;
    m_described = description.toByteArray() + *t;
    return m_described;
}
